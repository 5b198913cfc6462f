// button.h -- the plug-in's button in the host's chat windows
#pragma once

#include <windows.h>
#include "../settings/record.h"

// Loads the button's icon from the module's resources.
void initButton(HINSTANCE instance);
void addChatButton();
// Sends no request while no button was ever added (handle 0).
void removeChatButton();
// What OK in the settings dialog asks of the button.
void changeChatButton(ButtonChange change);
// Called by the host on a press; returns the host's answer to the last request.
const u8 *PLUGIN_CALL chatButtonPressed(u32 unused);
