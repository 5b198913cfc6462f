// button.h -- the plug-in's button in the host's chat windows
#pragma once

#include "../common/types.h"

extern u32 g_buttonHandle;

void addChatButton();
// Sends no request while no button was ever added (handle 0).
void removeChatButton();
// Called by the host on a press; returns the host's answer to the last request.
const u8 *NT_STDCALL chatButtonPressed(u32 unused);
