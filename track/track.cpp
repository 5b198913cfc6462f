// track.cpp -- finding the player window, reading its title and asking its figures
#include "track.h"

// A UTF-16 unit becomes at most three UTF-8 bytes (a surrogate pair, four
// bytes for two units) and at most two bytes of a double-byte ANSI code page,
// so a whole title always fits before it is cut.
const u32 kTitleCap = 3 * (kTitleReadSize - 1) + 1;

char g_trackName[kTrackCap];
char g_work[kWorkCap];
char g_scratch[kWorkCap];

static HWND g_playerWindow;
static u32 g_playerKind;
static char g_title[kTitleCap];
static WCHAR g_wideTitle[kTitleReadSize];

// InternalGetWindowText copies the text the system keeps for the window and
// sends it nothing, so neither a hung window nor one of this process that
// answers late can hold the host or write into the module's buffers.
static void readTitle(HWND window, TrackForm form)
{
    const int units = InternalGetWindowText(window, g_wideTitle, kTitleReadSize);
    if (form == trackAnsi) {
        const int n = WideCharToMultiByte(CP_ACP, 0, g_wideTitle, units, g_title, (int)kTitleCap - 1, NULL, NULL);
        g_title[n] = 0;
        return;
    }
    // Encoded here: under Wine, WideCharToMultiByte cost more than all the rest
    // of the event's own work.
    utf8FromUtf16(g_title, kTitleCap, (const u16 *)g_wideTitle, (u32)units);
}

void detectTrack(TrackForm form, bool wantName)
{
    g_playerKind = kPlayerLightAlloy;
    g_playerWindow = FindWindowA(kLightAlloyClass, NULL);
    if (!g_playerWindow) {
        g_playerKind = kPlayerWinamp;
        g_playerWindow = FindWindowA(kWinampClass, NULL);
    }
    g_trackName[0] = 0;
    if (!g_playerWindow) {
        g_playerKind = kPlayerNone;
        return;
    }
    if (!wantName) return;
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
        if (!silent && !SendMessageTimeoutA(g_playerWindow, WM_USER, kQuestions[i].wParam, kQuestions[i].lParam,
                                            kPlayerSendFlags, kPlayerTimeoutMs, &result)) {
            silent = true;
            result = 0;
        }
        *figures[i] = silent ? 0 : (u32)result;
    }
}
