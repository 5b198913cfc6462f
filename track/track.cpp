// track.cpp -- finding the player window, reading its title and asking its figures
#include "track.h"

// A UTF-16 unit becomes at most three UTF-8 bytes (a surrogate pair, four
// bytes for two units), so a whole title always fits before it is cut.
const u32 kTitleCap = 3 * (kTitleReadSize - 1) + 1;

char g_trackName[kTrackCap];
char g_work[kWorkCap];
char g_scratch[kWorkCap];

static HWND g_playerWindow;
static u32 g_playerKind;
// Static, not on the stack: a window of this process that answers after the
// wait has given up may still write its title here.
static char g_title[kTitleCap];
static WCHAR g_wideTitle[kTitleReadSize];
// Set when the title read went unanswered: the questions then wait no more.
static bool g_playerSilent;

// GetWindowText sends WM_GETTEXT, with no bound, to a window of this process,
// such as one another plug-in made; a hung thread there would hang the host.
// Such a window is asked with the questions' bound and flags instead; windows
// of other processes are read as before, which sends nothing.
static int readTitleUnits(HWND window, bool wide)
{
    void *buffer = wide ? (void *)g_wideTitle : (void *)g_title;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId())
        return wide ? GetWindowTextW(window, g_wideTitle, kTitleReadSize)
                    : GetWindowTextA(window, g_title, kTitleReadSize);
    DWORD_PTR copied = 0;
    const LRESULT answered =
        wide ? SendMessageTimeoutW(window, WM_GETTEXT, kTitleReadSize, (LPARAM)buffer, kPlayerSendFlags,
                                   kPlayerTimeoutMs, &copied)
             : SendMessageTimeoutA(window, WM_GETTEXT, kTitleReadSize, (LPARAM)buffer, kPlayerSendFlags,
                                   kPlayerTimeoutMs, &copied);
    if (!answered) {
        g_playerSilent = true;
        return 0;
    }
    return copied < (DWORD_PTR)kTitleReadSize ? (int)copied : kTitleReadSize - 1;
}

static void readTitle(HWND window, TrackForm form)
{
    if (form == trackAnsi) {
        g_title[readTitleUnits(window, false)] = 0;
        return;
    }
    // Read as UTF-16 so that names outside the ANSI code page survive.
    const int units = readTitleUnits(window, true);
    const int bytes =
        units > 0 ? WideCharToMultiByte(CP_UTF8, 0, g_wideTitle, units, g_title, kTitleCap - 1, NULL, NULL) : 0;
    g_title[bytes > 0 ? bytes : 0] = 0;
}

void detectTrack(TrackForm form, bool wantName)
{
    g_playerSilent = false;
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
    bool silent = !g_playerWindow || g_playerSilent;
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
