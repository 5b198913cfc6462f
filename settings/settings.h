// settings.h -- the module-wide settings record, its file and the settings dialog
#pragma once

#include "record.h"
#include "../host/wire.h"

extern Settings g_settings;
extern char g_settingsPath[kSettingsPathCap];
// False when the host's folder was too long for the path: no file is touched.
extern bool g_settingsPathOk;

void readSettings();
// True when the record reached the file: by replacing it with a new one, or,
// when that is refused, by writing over it. Otherwise the old file is intact.
bool writeSettings();
void runSettingsDialog();
