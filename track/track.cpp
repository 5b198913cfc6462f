// track.cpp -- finding the player (by class, by program, or the media session), its name and its figures
#include "track.h"
#include "sessionworker.h"

// A UTF-16 unit becomes at most three UTF-8 bytes (a surrogate pair, four
// bytes for two units) and at most two bytes of a double-byte ANSI code page,
// so a whole title always fits before it is cut.
const u32 kTitleCap = 3 * (kTitleReadSize - 1) + 1;
// A track's name from AIMP's mapping or the media session is held to what a
// title read gives.
const u32 kNameUnitsCap = kTitleReadSize - 1;
static_assert(kSessionNameCap == kNameUnitsCap, "a session's name is read as a title is");

char g_trackName[kTrackCap];
char g_work[kWorkCap];
char g_scratch[kWorkCap];

// A program's full path, in UTF-16 units; a longer one names no player.
const DWORD kImagePathCap = 1024;
// Room for every class a player's row names; a longer class is read cut short.
const int kClassNameCap = 64;
const char kKernelModule[] = "kernel32.dll";
const char kQueryImageNameExport[] = "QueryFullProcessImageNameW";

static const Player *g_player;
static HWND g_playerWindow;
// Set when the player's interface says it plays nothing: no name, all figures 0.
static bool g_playerStopped;
// Set when a request went unanswered: the rest of the event waits no more.
static bool g_playerSilent;
// AIMP's figures, read from its mapping with its name.
static PlayerAnswers g_aimpFigures;
// The last read of the system's media session, when it is the player.
static SessionRead g_session;
static const Player kSessionPlayer = {{}, nullptr, titleNone, nullptr, {}, interfaceSession};
static char g_title[kTitleCap];
static WCHAR g_wideTitle[kTitleReadSize];

// Windows Vista and later; without it no program's player is found.
typedef BOOL(WINAPI *QueryImageName)(HANDLE process, DWORD flags, LPWSTR path, PDWORD units);
static QueryImageName g_queryImageName;

void initTrack()
{
    g_queryImageName = (QueryImageName)(void *)GetProcAddress(GetModuleHandleA(kKernelModule), kQueryImageNameExport);
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

// Puts the units in g_wideTitle into g_title in the form the path wants, and
// the track's name cut out of it by player's rule into g_trackName. True when
// the name is not empty.
static bool nameFromTitle(const Player *player, int units, TrackForm form)
{
    if (form == trackAnsi) {
        const int n = WideCharToMultiByte(CP_ACP, 0, g_wideTitle, units, g_title, (int)kTitleCap - 1, NULL, NULL);
        g_title[n] = 0;
    } else {
        // Encoded here: under Wine, WideCharToMultiByte cost more than all the
        // rest of the event's own work.
        utf8FromUtf16(g_title, kTitleCap, (const u16 *)g_wideTitle, (u32)units);
    }
    return trackFromTitle(player, g_title, g_trackName, kTrackCap, form == trackUtf8 ? cutUtf8 : cutBytes) != 0;
}

// Makes window the player of this event, asks its state where its interface
// tells it, and reads its track's name when wanted. True when it has a track:
// its interface does not say it is stopped, and its name is not empty.
static bool takePlayer(const Player *player, HWND window, TrackForm form, bool wantName)
{
    g_player = player;
    g_playerWindow = window;
    g_playerSilent = false;
    g_playerStopped = false;
    g_trackName[0] = 0;
    int units = 0;
    u32 state = 0;
    if (player->figures == interfacePotPlayer) {
        g_playerStopped = ask(WM_USER, kPotGetState, 0, &state) && state == kPotStopped;
    } else if (player->figures == interfaceAimp) {
        bool active;
        units = (int)readAimp(&active);
        g_playerStopped =
            !active || (ask(WM_USER + kAimpMessageOffset, kAimpPropertyState, 0, &state) && state == kAimpStopped);
    }
    if (g_playerStopped || !wantName) return false;
    // InternalGetWindowText copies the text the system keeps for the window and
    // sends it nothing, so neither a hung window nor one of this process that
    // answers late can hold the host or write into the module's buffers.
    if (player->rule != titleNone) units = InternalGetWindowText(window, g_wideTitle, kTitleReadSize);
    return nameFromTitle(player, units, form);
}

static void takeNoPlayer()
{
    g_player = NULL;
    g_playerWindow = NULL;
    g_playerStopped = false;
    g_trackName[0] = 0;
}

// The row of the player whose program owns window, or kPlayerCount.
static u32 programOfWindow(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    HANDLE handle = g_queryImageName ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process) : NULL;
    if (!handle) return kPlayerCount;
    WCHAR path[kImagePathCap];
    DWORD units = kImagePathCap;
    const BOOL named = g_queryImageName(handle, 0, path, &units);
    CloseHandle(handle);
    return named ? playerOfProgram((const u16 *)path, units) : kPlayerCount;
}

// The best window one pass over the top-level windows found so far.
struct ProgramPass {
    TrackForm form;
    u32 row;
    HWND window;
};

// The cheap tests first: the class, then the name its title gives. Only a
// window that passes both has its program looked up.
static BOOL CALLBACK meetWindow(HWND window, LPARAM passAddress)
{
    ProgramPass *pass = (ProgramPass *)passAddress;
    char name[kClassNameCap];
    const u32 length = (u32)GetClassNameA(window, name, kClassNameCap);
    int units = -1;
    // Only a player the table puts before the best so far is looked at.
    for (u32 row = kFirstProgramRow; row < pass->row; row++) {
        const Player *player = &kPlayers[row];
        if (!playerHasClass(*player, name, length)) continue;
        if (units < 0) units = InternalGetWindowText(window, g_wideTitle, kTitleReadSize);
        if (nameFromTitle(player, units, pass->form) && programOfWindow(window) == row) {
            pass->row = row;
            pass->window = window;
        }
    }
    // Nothing comes before the table's first program.
    return pass->row != kFirstProgramRow;
}

// The programs' players: one pass over the top-level windows, the first of the
// table's order that has a track. True when one has.
static bool findProgramPlayer(TrackForm form)
{
    ProgramPass pass = {form, kPlayerCount, NULL};
    EnumWindows(meetWindow, (LPARAM)&pass);
    // A window looked at after the best one may have left its own name behind.
    return pass.window && takePlayer(&kPlayers[pass.row], pass.window, form, true);
}

// Last, what the system's media session plays.
static bool takeSession(TrackForm form)
{
    if (!readMediaSession(&g_session)) return false;
    takeNoPlayer();
    g_player = &kSessionPlayer;
    copyMemory(g_wideTitle, g_session.name, g_session.nameUnits * sizeof(WCHAR));
    return nameFromTitle(g_player, (int)g_session.nameUnits, form);
}

void startTrack()
{
    startMediaSession();
}

void endTrack()
{
    endMediaSession();
}

void detectTrack(TrackForm form, const char *text)
{
    const bool wantName = needsTrackName(text);
    // Light Alloy, then a Winamp-class window: found, it is the player whatever its state.
    for (u32 row = kLightAlloyRow; row <= kWinampRow; row++)
        if (HWND window = FindWindowA(kPlayers[row].classes[0], NULL)) {
            takePlayer(&kPlayers[row], window, form, wantName);
            return;
        }
    // Otherwise the first that has a track. Its name is read whatever the text
    // asks, so that the text never decides which player gives the figures.
    for (u32 row = kWinampRow + 1; row < kFirstProgramRow; row++)
        for (const char *name : kPlayers[row].classes) {
            HWND window = name ? FindWindowA(name, NULL) : NULL;
            if (window && takePlayer(&kPlayers[row], window, form, true)) return;
        }
    // A text without a tag uses nothing of the player: the costly searches are spared.
    if (!holdsTag(text) || (!findProgramPlayer(form) && !takeSession(form))) takeNoPlayer();
}

void askPlayer(PlayerAnswers *answers)
{
    *answers = PlayerAnswers();
    if (!g_player || g_playerStopped) return;
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
    case interfaceSession: {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        sessionFigures(&g_session, (int64_t)now.dwHighDateTime << 32 | now.dwLowDateTime, answers);
        break;
    }
    case interfaceNone:
        break;
    }
}
