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

// A handle names one window for as long as it lives (the system changes its
// upper bits when it reuses a slot), so the owner found for the last player
// window holds while the handle is the same: one system call less per event.
static HWND g_checkedWindow;
static bool g_checkedIsOwn;

static bool ownWindow(HWND window)
{
    if (window != g_checkedWindow) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        g_checkedIsOwn = process == GetCurrentProcessId();
        g_checkedWindow = window;
    }
    return g_checkedIsOwn;
}

// GetWindowText sends WM_GETTEXT, with no bound, to a window of this process,
// such as one another plug-in made; a hung thread there would hang the host.
// Such a window is asked with the questions' bound and flags instead; windows
// of other processes are read as before, which sends nothing.
static int readTitleUnits(HWND window, bool wide)
{
    if (!ownWindow(window))
        return wide ? GetWindowTextW(window, g_wideTitle, kTitleReadSize)
                    : GetWindowTextA(window, g_title, kTitleReadSize);
    typedef LRESULT(WINAPI * SendTimeout)(HWND, UINT, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR);
    const SendTimeout send = wide ? SendMessageTimeoutW : SendMessageTimeoutA;
    const LPARAM buffer = wide ? (LPARAM)g_wideTitle : (LPARAM)g_title;
    DWORD_PTR copied = 0;
    if (!send(window, WM_GETTEXT, kTitleReadSize, buffer, kPlayerSendFlags, kPlayerTimeoutMs, &copied)) {
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
    // Encoded here: under Wine, WideCharToMultiByte cost more than all the rest
    // of the event's own work.
    utf8FromUtf16(g_title, kTitleCap, (const u16 *)g_wideTitle, (u32)units);
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
