// settings.h -- the module-wide settings record, its file and the settings dialog
#pragma once

#include "record.h"

extern Settings g_settings;

// The defaults, before any file is read.
void initSettings();
// Builds the file's path from the host's folder and reads the file, if any.
void loadSettings(const u8 *folder, u32 folderLength);
// True when the record reached the file. The record is written to a temporary
// file that replaces the settings file in one step (atomic: the old file or the
// new one, whatever happens). A step another program refuses for a moment (a
// sharing violation or access denied) is tried again for about 200 ms. Only when
// the replace is still refused is the record written over the file in place.
// That is not atomic, but any error it sees puts the old bytes and length back.
// On false the old file stands, unless putting it back failed too.
bool writeSettings();

// OK hands the dialog's button choice to this before it stores anything.
typedef void (*ButtonChanger)(ButtonChange change);
// Runs the modal dialog; while one is open, brings it to the front instead.
void runSettingsDialog(ButtonChanger changeButton);
// Ends the open dialog and its about box, if any; the dialog then stores and
// saves nothing, even where OK was being handled.
void closeSettingsDialog();
