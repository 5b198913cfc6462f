// settings.h -- the module-wide settings record, its file and the settings dialog
#pragma once

#include "record.h"
#include "../host/wire.h"

extern Settings g_settings;

// The defaults, before any file is read.
void initSettings();
// Builds the file's path from the host's folder and reads the file, if any.
void loadSettings(const u8 *folder, u32 folderLength);
// True when the record reached the file: by replacing it with a new one, or,
// when that is refused, by writing over it. Otherwise the old file is intact.
bool writeSettings();

// OK hands the dialog's button choice to this before it stores anything.
typedef void (*ButtonChanger)(ButtonChange change);
void runSettingsDialog(ButtonChanger changeButton);
