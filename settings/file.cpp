// file.cpp -- the settings record and its file: read at load, saved without losing the old settings
#include "settings.h"
#include "../text/text.h"

#include <windows.h>

// The temporary file takes the settings file's place in one step, so a failed
// save leaves the old settings as they were. Same length as the ".dat" name.
const char kTempExtension[] = "tmp";

Settings g_settings;

static char g_settingsPath[kSettingsPathCap];
// False when the host's folder was too long for the path: no file is touched.
static bool g_settingsPathOk;

void initSettings()
{
    defaultSettings(&g_settings);
}

void loadSettings(const u8 *folder, u32 folderLength)
{
    g_settingsPathOk = buildSettingsPath(g_settingsPath, folder, folderLength);
    if (!g_settingsPathOk) return;
    HANDLE file = CreateFileA(g_settingsPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    u8 bytes[kSettingsSize];
    u32 total = 0;
    DWORD got = 0;
    while (total < kSettingsSize && ReadFile(file, bytes + total, kSettingsSize - total, &got, NULL) && got)
        total += got;
    CloseHandle(file);
    parseSettings(&g_settings, bytes, total);
}

// Opens path for writing as asked, writes the whole record from its start, cuts
// anything behind it, flushes and closes it; false unless every step succeeded.
static bool writeRecordTo(const char *path, DWORD share, DWORD disposition)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, share, NULL, disposition, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool complete = WriteFile(file, g_settings.bytes, kSettingsSize, &written, NULL) &&
                          written == kSettingsSize && SetEndOfFile(file) && FlushFileBuffers(file);
    CloseHandle(file);
    return complete;
}

bool writeSettings()
{
    if (!g_settingsPathOk) return false;
    char tempPath[kSettingsPathCap];
    const u32 n = copyText(tempPath, sizeof(tempPath), g_settingsPath, cutBytes);
    copyMemory(tempPath + n - (sizeof(kTempExtension) - 1), kTempExtension, sizeof(kTempExtension) - 1);

    if (writeRecordTo(tempPath, FILE_SHARE_READ, CREATE_ALWAYS) &&
        MoveFileExA(tempPath, g_settingsPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    // A viewer, backup tool or virus scanner that holds the file open without
    // sharing deletion makes the replace fail, yet lets the file be written.
    const bool saved = writeRecordTo(g_settingsPath, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS);
    DeleteFileA(tempPath);
    return saved;
}
