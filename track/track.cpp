// track.cpp -- finding the player window, reading its title and asking its figures
#include "track.h"

// GetWindowText's buffer size: at most 254 characters and a zero.
const int kTitleReadSize = 255;
// A UTF-16 unit becomes at most three UTF-8 bytes (a surrogate pair, four
// bytes for two units), so a whole title always fits before it is cut.
const u32 kTitleCap = 3 * (kTitleReadSize - 1) + 1;
// A player that does not answer within this bound counts as silent; the
// messenger's thread must never wait on a hung player for long.
const UINT kPlayerTimeoutMs = 500;

HWND g_playerWindow;
u32 g_playerKind;
char g_trackName[kTrackCap];
char g_work[kWorkCap];
char g_scratch[kWorkCap];

static char g_title[kTitleCap];

static void readTitle(HWND window, TrackForm form)
{
    g_title[0] = 0;
    if (form == trackAnsi) {
        GetWindowTextA(window, g_title, kTitleReadSize);
        return;
    }
    // Read as UTF-16 so that names outside the ANSI code page survive.
    WCHAR wide[kTitleReadSize];
    const int units = GetWindowTextW(window, wide, kTitleReadSize);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, units, g_title, kTitleCap - 1, NULL, NULL);
    g_title[bytes > 0 ? bytes : 0] = 0;
}

void detectTrack(TrackForm form)
{
    g_playerKind = kPlayerLightAlloy;
    g_playerWindow = FindWindowA(kLightAlloyClass, NULL);
    if (!g_playerWindow) {
        g_playerKind = kPlayerWinamp;
        g_playerWindow = FindWindowA(kWinampClass, NULL);
    }
    if (!g_playerWindow) {
        g_playerKind = kPlayerNone;
        g_trackName[0] = 0;
        return;
    }
    readTitle(g_playerWindow, form);
    trackFromTitle(g_playerKind, g_title, g_trackName, kTrackCap, form == trackUtf8 ? cutUtf8 : cutBytes);
}

void askPlayer(PlayerAnswers *answers)
{
    u32 *figures[kQuestionCount] = {&answers->bitRate, &answers->sampleRate, &answers->channels, &answers->length,
                                    &answers->position};
    bool silent = !g_playerWindow;
    for (u32 i = 0; i < kQuestionCount; i++) {
        DWORD_PTR result = 0;
        // SMTO_BLOCK: no other sent message may re-enter the plug-in while it waits.
        if (!silent && !SendMessageTimeoutA(g_playerWindow, WM_USER, kQuestions[i].wParam, kQuestions[i].lParam,
                                            SMTO_BLOCK | SMTO_ABORTIFHUNG, kPlayerTimeoutMs, &result)) {
            silent = true;
            result = 0;
        }
        *figures[i] = silent ? 0 : (u32)result;
    }
}
