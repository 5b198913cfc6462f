// file.cpp -- the settings record and its file: read at load, saved without losing the old settings
#include "settings.h"
#include "path.h"
#include "../text/text.h"

#include <windows.h>

// The temporary file takes the settings file's place in one step, so a failed
// save leaves the old settings as they were. Same length as the ".dat" name.
const char kTempExtension[] = "tmp";
// The in-place write keeps the old file's bytes to put them back; an old file
// longer than this could not be put back whole, so it is not written over.
const u32 kKeptFileCap = 1024;
// Virus scanners, the search indexer and sync clients open a file just after it
// is closed, often without sharing deletion: a step they refuse is tried again
// this many times, this far apart, about 200 ms in all.
const u32 kHeldRetries = 4;
const DWORD kHeldRetryMs = 50;

Settings g_settings;

static char g_settingsPath[kSettingsPathCap];
// False when the host's folder was too long for the path: no file is touched.
static bool g_settingsPathOk;

void initSettings()
{
    defaultSettings(&g_settings);
}

// Reads up to cap bytes from the file's current position; returns the bytes read.
static u32 readUpTo(HANDLE file, u8 *bytes, u32 cap)
{
    u32 total = 0;
    DWORD got = 0;
    while (total < cap && ReadFile(file, bytes + total, cap - total, &got, NULL) && got)
        total += got;
    return total;
}

void loadSettings(const u8 *folder, u32 folderLength)
{
    g_settingsPathOk = buildSettingsPath(g_settingsPath, folder, folderLength);
    if (!g_settingsPathOk) return;
    HANDLE file = CreateFileA(g_settingsPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    u8 bytes[kSettingsSize];
    const u32 total = readUpTo(file, bytes, kSettingsSize);
    CloseHandle(file);
    parseSettings(&g_settings, bytes, total);
}

// What Windows answers when another program has the file at path open without
// sharing what the step needs. Access denied also means a read-only file, which
// no wait will change.
static bool heldByAnother(DWORD error, const char *path)
{
    if (error != ERROR_ACCESS_DENIED) return error == ERROR_SHARING_VIOLATION;
    const DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY);
}

// Runs step until it succeeds, or fails otherwise than by another program
// holding the file at path, or the retries are spent; returns ERROR_SUCCESS or
// the last failure.
template <typename Step> static DWORD retryWhileHeld(const char *path, Step step)
{
    for (u32 tries = 0;; tries++) {
        if (step()) return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        if (!heldByAnother(error, path) || tries == kHeldRetries) return error;
        Sleep(kHeldRetryMs);
    }
}

// Writes n bytes from the file's start, cuts the file behind them and flushes
// it; false unless every step succeeded.
static bool rewrite(HANDLE file, const void *bytes, u32 n)
{
    DWORD written = 0;
    return SetFilePointer(file, 0, NULL, FILE_BEGIN) == 0 && WriteFile(file, bytes, n, &written, NULL) &&
           written == n && SetEndOfFile(file) && FlushFileBuffers(file);
}

static bool writeTempFile(const char *tempPath)
{
    // A stale read-only copy left by an earlier save that died would refuse CREATE_ALWAYS.
    SetFileAttributesA(tempPath, FILE_ATTRIBUTE_NORMAL);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (retryWhileHeld(tempPath, [&] {
            file = CreateFileA(tempPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
            return file != INVALID_HANDLE_VALUE;
        }) != ERROR_SUCCESS)
        return false;
    const bool complete = rewrite(file, g_settings.bytes, kSettingsSize);
    CloseHandle(file);
    return complete;
}

// A holder that keeps the file beyond the retries leaves it behind; the next
// save writes over it.
static void removeTempFile(const char *tempPath)
{
    retryWhileHeld(tempPath, [&] { return DeleteFileA(tempPath) || GetLastError() == ERROR_FILE_NOT_FOUND; });
}

// Not atomic: a crash midway leaves a mixed file. Every failure this write
// sees puts the old bytes and the old length back.
static bool writeInPlace()
{
    HANDLE file = CreateFileA(g_settingsPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    u8 old[kKeptFileCap];
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file, &sizeHigh);
    bool saved = false;
    if (!sizeHigh && size <= kKeptFileCap && readUpTo(file, old, size) == size) {
        saved = rewrite(file, g_settings.bytes, kSettingsSize);
        if (!saved) rewrite(file, old, size);
    }
    CloseHandle(file);
    return saved;
}

bool writeSettings()
{
    if (!g_settingsPathOk) return false;
    char tempPath[kSettingsPathCap];
    const u32 n = copyText(tempPath, sizeof(tempPath), g_settingsPath, cutBytes);
    copyMemory(tempPath + n - (sizeof(kTempExtension) - 1), kTempExtension, sizeof(kTempExtension) - 1);

    if (!writeTempFile(tempPath)) {
        removeTempFile(tempPath);
        return false;
    }
    // Either file may be the one held: the temporary one just closed, or the
    // settings file, which a viewer or backup tool may keep open. Only the
    // settings file may be read-only.
    const DWORD error = retryWhileHeld(g_settingsPath, [&] {
        return MoveFileExA(tempPath, g_settingsPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    });
    if (error == ERROR_SUCCESS) return true;
    // Still held: a holder that shares writing lets the file be written all the same.
    const bool saved = heldByAnother(error, g_settingsPath) && writeInPlace();
    removeTempFile(tempPath);
    return saved;
}
