// path.cpp -- the settings file's path built from the folder the host names
#include "path.h"
#include "../text/text.h"

bool buildSettingsPath(char *path, const u8 *folder, u32 folderLength)
{
    const u32 nameLength = sizeof(kSettingsFileName) - 1;
    path[0] = 0;
    if (folderLength > kSettingsPathCap - 1 - nameLength) return false;
    copyMemory(path, folder, folderLength);
    path[folderLength] = 0;
    // Appended at the first zero, as lstrcatA would: the host's folder ends there.
    appendText(path, kSettingsPathCap, kSettingsFileName, cutBytes);
    return true;
}
