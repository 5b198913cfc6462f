// path.h -- where the settings file lies: the host's folder and the file's name
#pragma once

#include "../common/types.h"

const char kSettingsFileName[] = "nowtune.dat";
const u32 kSettingsPathCap = 256;

// Builds folder + kSettingsFileName into path (kSettingsPathCap bytes). A folder
// too long for the path gives false and an empty path: a cut path could name
// some other file.
bool buildSettingsPath(char *path, const u8 *folder, u32 folderLength);
