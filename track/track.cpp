// track.cpp -- finding the player window, reading its title or AIMP's mapping, and asking its figures
#include "track.h"

// A UTF-16 unit becomes at most three UTF-8 bytes (a surrogate pair, four
// bytes for two units) and at most two bytes of a double-byte ANSI code page,
// so a whole title always fits before it is cut.
const u32 kTitleCap = 3 * (kTitleReadSize - 1) + 1;
// A track's name from AIMP's mapping is held to what a title read gives.
const u32 kNameUnitsCap = kTitleReadSize - 1;

char g_trackName[kTrackCap];
char g_work[kWorkCap];
char g_scratch[kWorkCap];

static const Player *g_player;
static HWND g_playerWindow;
// Set when the player's interface says it plays nothing: no name, all figures 0.
static bool g_playerStopped;
// Set when a request went unanswered: the rest of the event waits no more.
static bool g_playerSilent;
// AIMP's figures, read from its mapping with its name.
static PlayerAnswers g_aimpFigures;
static char g_title[kTitleCap];
static WCHAR g_wideTitle[kTitleReadSize];

static void findPlayer()
{
    for (const Player &player : kPlayers)
        for (const char *name : player.classes) {
            HWND window = name ? FindWindowA(name, NULL) : NULL;
            if (window) {
                g_player = &player;
                g_playerWindow = window;
                return;
            }
        }
    g_player = NULL;
    g_playerWindow = NULL;
}

// Sends the player one read-only request with the bound. Once one has gone
// unanswered, sends nothing more: false, and the answer is 0.
static bool ask(UINT message, u32 wParam, u32 lParam, u32 *answer)
{
    DWORD_PTR result = 0;
    if (!g_playerSilent &&
        !SendMessageTimeoutA(g_playerWindow, message, wParam, lParam, kPlayerSendFlags, kPlayerTimeoutMs, &result))
        g_playerSilent = true;
    *answer = g_playerSilent ? 0 : (u32)result;
    return !g_playerSilent;
}

// AIMP's mapping is opened read-only and let go within the event: AIMP may end
// at any time. A view is only made of a mapping as large as AIMP's.
static u32 readAimp(bool *active)
{
    u32 units = 0;
    *active = false;
    g_aimpFigures = PlayerAnswers();
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, kAimpRemoteName);
    const u8 *view = mapping ? (const u8 *)MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kAimpMappingSize) : NULL;
    if (view) {
        units = readAimpMapping(view, kAimpMappingSize, active, &g_aimpFigures, (u16 *)g_wideTitle, kNameUnitsCap);
        UnmapViewOfFile(view);
    }
    if (mapping) CloseHandle(mapping);
    return units;
}

// Puts the units in g_wideTitle into g_title in the form the path wants.
static void encodeTitle(int units, TrackForm form)
{
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
    g_playerSilent = false;
    g_playerStopped = false;
    g_trackName[0] = 0;
    findPlayer();
    if (!g_playerWindow) return;
    int units = 0;
    u32 state = 0;
    if (g_player->figures == interfacePotPlayer) {
        g_playerStopped = ask(WM_USER, kPotGetState, 0, &state) && state == kPotStopped;
    } else if (g_player->figures == interfaceAimp) {
        bool active;
        units = (int)readAimp(&active);
        g_playerStopped =
            !active || (ask(WM_USER + kAimpMessageOffset, kAimpPropertyState, 0, &state) && state == kAimpStopped);
    }
    if (g_playerStopped || !wantName) return;
    // InternalGetWindowText copies the text the system keeps for the window and
    // sends it nothing, so neither a hung window nor one of this process that
    // answers late can hold the host or write into the module's buffers.
    if (g_player->rule != titleNone) units = InternalGetWindowText(g_playerWindow, g_wideTitle, kTitleReadSize);
    encodeTitle(units, form);
    trackFromTitle(g_player, g_title, g_trackName, kTrackCap, form == trackUtf8 ? cutUtf8 : cutBytes);
}

void askPlayer(PlayerAnswers *answers)
{
    *answers = PlayerAnswers();
    if (!g_playerWindow || g_playerStopped) return;
    switch (g_player->figures) {
    case interfaceWinamp: {
        u32 *figures[kQuestionCount] = {&answers->bitRate, &answers->sampleRate, &answers->channels,
                                        &answers->length, &answers->position};
        for (u32 i = 0; i < kQuestionCount; i++)
            ask(WM_USER, kQuestions[i].wParam, kQuestions[i].lParam, figures[i]);
        break;
    }
    case interfacePotPlayer:
        if (ask(WM_USER, kPotGetLength, 0, &answers->length) && answers->length != kNoFigure)
            answers->length /= kMillisecondsPerSecond;
        ask(WM_USER, kPotGetPosition, 0, &answers->position);
        break;
    case interfaceAimp:
        *answers = g_aimpFigures;
        ask(WM_USER + kAimpMessageOffset, kAimpPropertyPosition, 0, &answers->position);
        break;
    case interfaceNone:
        break;
    }
}
