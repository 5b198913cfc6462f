// button.h -- the plug-in's button in the host's chat windows
#pragma once

#include <windows.h>
#include "../settings/record.h"

// What the host calls on a press, with one value the plug-in ignores.
typedef const u8 *(PLUGIN_CALL *ButtonFunction)(u32 unused);

// Loads the button's icon from the module's resources; the add-button request
// names press as the button's function.
void initButton(HINSTANCE instance, ButtonFunction press);
void addChatButton();
// Sends no request while no button was ever added (handle 0).
void removeChatButton();
// What OK in the settings dialog asks of the button.
void changeChatButton(ButtonChange change);
// A press: returns the host's answer to the last request.
const u8 *pressChatButton();
