// track_test.cpp -- the status-text event against stand-in players: detection, the five questions, the answer
#include "tools/standin/standin.h"

#include <stdio.h>

static const char kWinamp[] = "Winamp v1.x";
static const char kLightAlloy[] = "LightAlloyFront";
// The questions in the order they must come: bit rate, sample rate, channels, length, position.
static const PlayerQuery kQuestionOrder[] = {{0, 1, 126}, {0, 0, 126}, {0, 2, 126}, {0, 1, 105}, {0, 0, 105}};

// Checks that window, and no other player, received exactly the requests
// expected, in order, then forgets them.
static void checkRequests(HWND window, const PlayerQuery *expected, size_t count, const char *what)
{
    ok(g_playerQueries.size() == count, "%s: %zu requests, %zu expected", what, g_playerQueries.size(), count);
    for (size_t i = 0; i < g_playerQueries.size() && i < count; i++) {
        const PlayerQuery &q = g_playerQueries[i];
        const PlayerQuery &e = expected[i];
        ok(q.window == window && q.message == e.message && q.wParam == e.wParam && q.lParam == e.lParam,
           "%s: request %zu was (%#x, %#x, %ld) to %p", what, i, q.message, (unsigned)q.wParam, (long)q.lParam,
           q.window);
    }
    g_playerQueries.clear();
}

static void checkQuestions(HWND window, const char *what)
{
    checkRequests(window, kQuestionOrder, 5, what);
}

static void start()
{
    resetHost();
    destroyPlayers();
    loadPlugin();
    callPlugin(loadEvent(freshFolder("t_track")));
}

static void testNoPlayer()
{
    start();
    const std::string got = statusOf(kAllTags);
    ok(got == "|0|0|0ch|0:00|0:00", "no player: \"%s\"", got.c_str());
    ok(g_requests.empty(), "the status text sent %zu requests", g_requests.size());
}

static void testWinamp()
{
    start();
    PlayerFigures f;
    f.bitRate = 192;
    f.sampleRate = 48000;
    f.channels = 6;
    f.length = 7200;
    f.position = 999;
    HWND winamp = createPlayer(kWinamp, "1. A - B - Winamp", f);
    std::string got = statusOf("\xD0\xA1\xD0\xBB\xD1\x83\xD1\x88\xD0\xB0\xD1\x8E: %track%"); // "Слушаю: %track%"
    ok(got == "\xD0\xA1\xD0\xBB\xD1\x83\xD1\x88\xD0\xB0\xD1\x8E: A - B", "Winamp: \"%s\"", got.c_str());
    checkQuestions(winamp, "one tag");
    got = statusOf(kAllTags);
    ok(got == "A - B|192|48000|6ch|120:00|0:00", "all tags: \"%s\"", got.c_str());
    checkQuestions(winamp, "all tags");
    got = statusOf("plain text");
    ok(got == "plain text", "no tags: \"%s\"", got.c_str());
    checkQuestions(winamp, "no tags");

    // Winamp's -1 for length and position: nothing is playing.
    destroyPlayers();
    f.length = f.position = 0xFFFFFFFF;
    f.channels = 1;
    createPlayer(kWinamp, "Winamp 5.5", f);
    got = statusOf(kAllTags);
    ok(got == "|192|48000|mono|0:00|0:00", "stopped Winamp: \"%s\"", got.c_str());
}

// The title of a player window of this process is read without sending the window
// anything: an answer that came after a wait had given up would write into the module.
static void testTitleReadSendsNothing()
{
    start();
    HWND winamp = createPlayer(kWinamp, "7. Own - Window - Winamp");
    const std::string got = statusOf("%track% %bitrate%");
    ok(got == "Own - Window 320", "a player of this process: \"%s\"", got.c_str());
    ok(g_titleRequests == 0, "the player of this process was sent WM_GETTEXT %zu times", g_titleRequests);
    checkQuestions(winamp, "a player of this process");
}

static void testLightAlloyWins()
{
    start();
    HWND winamp = createPlayer(kWinamp, "1. A - B - Winamp");
    HWND alloy = createPlayer(kLightAlloy, "movie.avi - Light Alloy");
    std::string got = statusOf("%track% %channels%");
    ok(got == "movie.avi stereo", "both players: \"%s\"", got.c_str());
    checkQuestions(alloy, "Light Alloy");
    DestroyWindow(alloy);
    createPlayer(kLightAlloy, "untitled");
    got = statusOf("[%track%]");
    ok(got == "[]", "Light Alloy without its title end: \"%s\"", got.c_str());
    g_playerQueries.clear();
    (void)winamp;
}

static void testNamesOutsideTheAnsiCodePage()
{
    start();
    // "Сплин - Выхода нет": Cyrillic, which code page 1251 holds.
    createPlayerW(kWinamp, L"3. \x0421\x043F\x043B\x0438\x043D - \x0412\x044B\x0445\x043E\x0434\x0430 "
                           L"\x043D\x0435\x0442 - Winamp");
    std::string got = statusOf("%track%");
    ok(got == "\xD0\xA1\xD0\xBF\xD0\xBB\xD0\xB8\xD0\xBD - \xD0\x92\xD1\x8B\xD1\x85\xD0\xBE\xD0\xB4\xD0\xB0 "
              "\xD0\xBD\xD0\xB5\xD1\x82",
       "Cyrillic title: \"%s\"", got.c_str());
    destroyPlayers();
    // "Sigur Rós" and a Japanese name: letters no 1251 system can show.
    createPlayerW(kWinamp, L"4. Sigur R\x00F3s - \x5742\x672C - Winamp");
    got = statusOf("%track%");
    ok(got == "Sigur R\xC3\xB3s - \xE5\x9D\x82\xE6\x9C\xAC", "title outside 1251: \"%s\"", got.c_str());
}

static void testLongTexts()
{
    start();
    createPlayer(kWinamp, "1. A - B - Winamp");
    // String A alone leaves no room for the answer: no answer at all.
    ok(statusOf("x", Bytes(1020 - 9 + 1, 'a')) == "<null>", "an oversized string A was answered");
    ok(statusOf("x", Bytes(1020 - 9, 'a')).empty(), "string A filling the answer leaves no text");
    const std::string got = statusOf(std::string(600, 'b'));
    ok(got == std::string(511, 'b'), "600-byte text came back as %zu bytes", got.size());
}

static void testHungPlayer()
{
    start();
    HWND hung = startHungPlayer(kWinamp, "5. Stuck - Song - Winamp");
    ok(hung != NULL, "the hung player did not start");
    const DWORD before = GetTickCount();
    const std::string got = statusOf(kAllTags);
    const DWORD waited = GetTickCount() - before;
    ok(got == "Stuck - Song|0|0|0ch|0:00|0:00", "hung player: \"%s\"", got.c_str());
    // One unanswered question ends the waiting for that expansion: five waits would take
    // five times the bound.
    ok(waited < 2000, "a hung player held the host for %lu ms", waited);
    stopHungPlayer();
}

// A player window on a second thread of this process that stops reading its
// messages for a while, as a window another plug-in made inside the messenger might.
const DWORD kStallMs = 3000;

static DWORD WINAPI stalledPlayerThread(LPVOID ready)
{
    createPlayer(kWinamp, "6. Busy - Song - Winamp");
    SetEvent((HANDLE)ready);
    Sleep(kStallMs);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

static void testStalledPlayerInThisProcess()
{
    start();
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, NULL);
    DWORD threadId = 0;
    HANDLE thread = CreateThread(NULL, 0, stalledPlayerThread, ready, 0, &threadId);
    ok(WaitForSingleObject(ready, 5000) == WAIT_OBJECT_0, "the stalled player did not start");
    const DWORD before = GetTickCount();
    const std::string got = statusOf(kAllTags);
    const DWORD waited = GetTickCount() - before;
    printf("stalled player in this process: the event took %lu ms\n", waited);
    // The title is read without the window's help; the first question goes unanswered.
    ok(got == "Busy - Song|0|0|0ch|0:00|0:00", "stalled player: \"%s\"", got.c_str());
    // A question without a bound would have waited out the whole stall.
    ok(waited < kStallMs - 500, "a stalled window of this process held the host for %lu ms", waited);
    PostThreadMessageA(threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(ready);
}

// PotPlayer's and AIMP's read-only requests: state first, then the times.
static const PlayerQuery kPotPlayerRequests[] = {{0, 0x5006, 0}, {0, 0x5002, 0}, {0, 0x5004, 0}};
static const UINT kAimpMessage = WM_USER + 0x77;
static const PlayerQuery kAimpRequests[] = {{0, 0x40, 0, kAimpMessage}, {0, 0x20, 0, kAimpMessage}};
static const char kFoobar[] = "{97E27FAA-C0B3-4b8e-A693-ED7881E99FC1}";

// Each player of the table on its own: its name and figures, and nothing sent
// to it but its own read-only requests.
static void testTablePlayers()
{
    const struct {
        const char *className;
        const wchar_t *title;
        const char *expected;
        const PlayerQuery *requests;
        size_t requestCount;
    } players[] = {
        {"PotPlayer", L"Song.mp3 - PotPlayer", "Song.mp3|0|0|0ch|4:05|1:05", kPotPlayerRequests, 3},
        {"PotPlayer64", L"\x0421\x043F\x043B\x0438\x043D.flac - PotPlayer", "\xD0\xA1\xD0\xBF\xD0\xBB\xD0\xB8\xD0\xBD.flac|0|0|0ch|4:05|1:05",
         kPotPlayerRequests, 3},
        {kFoobar, L"Artist - Title [foobar2000]", "Artist - Title|0|0|0ch|0:00|0:00", NULL, 0},
        {kFoobar, L"foobar2000 v2.1.4", "|0|0|0ch|0:00|0:00", NULL, 0},
        {"MPC-BE", L"clip.mkv - MPC-BE", "clip.mkv|0|0|0ch|0:00|0:00", NULL, 0},
        {"MediaPlayerClassicW", L"clip.mkv", "clip.mkv|0|0|0ch|0:00|0:00", NULL, 0},
        {"MediaPlayerClassicW", L"MPC-HC", "|0|0|0ch|0:00|0:00", NULL, 0},
    };
    for (const auto &p : players) {
        start();
        HWND window = createPlayerW(p.className, p.title);
        const std::string got = statusOf(kAllTags);
        ok(got == p.expected, "%s: \"%s\"", p.className, got.c_str());
        checkRequests(window, p.requests, p.requestCount, p.className);
        ok(g_titleRequests == 0, "%s was sent WM_GETTEXT", p.className);
    }

    start();
    PlayerFigures f;
    f.sampleRate = 44100;
    HWND aimp = createAimp(L"Artist", L"Song", L"C:\\Music\\01.mp3", f);
    std::string got = statusOf(kAllTags);
    ok(got == "Artist - Song|320|44|stereo|4:05|1:05", "AIMP: \"%s\"", got.c_str());
    checkRequests(aimp, kAimpRequests, 2, "AIMP");
    ok(g_titleRequests == 0, "AIMP was sent WM_GETTEXT");

    // Stopped: no name, no figures, and nothing asked past the state.
    setAimpMapping(Bytes()); // a header that says inactive
    got = statusOf(kAllTags);
    ok(got == "|0|0|0ch|0:00|0:00", "inactive AIMP: \"%s\"", got.c_str());
    checkRequests(aimp, NULL, 0, "inactive AIMP");
    destroyPlayers();
    f.state = 0;
    aimp = createAimp(L"Artist", L"Song", L"", f);
    got = statusOf(kAllTags);
    ok(got == "|0|0|0ch|0:00|0:00", "stopped AIMP: \"%s\"", got.c_str());
    checkRequests(aimp, kAimpRequests, 1, "stopped AIMP");
    destroyPlayers();
    f.state = 0xFFFFFFFF;
    HWND pot = createPlayerW("PotPlayer", L"Song.mp3 - PotPlayer", f);
    got = statusOf(kAllTags);
    ok(got == "|0|0|0ch|0:00|0:00", "stopped PotPlayer: \"%s\"", got.c_str());
    checkRequests(pot, kPotPlayerRequests, 1, "stopped PotPlayer");
}

// Light Alloy and a Winamp-class window are looked for first: with either
// running, the table's players are sent nothing.
static void testWinampAndLightAlloyWin()
{
    start();
    createAimp(L"Artist", L"Song", L"");
    for (const char *className : {"PotPlayer", "PotPlayer64", kFoobar, "MPC-BE", "MediaPlayerClassicW"})
        createPlayer(className, "x - PotPlayer [foobar2000] - MPC-BE");
    HWND winamp = createPlayer(kWinamp, "1. A - B - Winamp");
    std::string got = statusOf("%track% %bitrate%");
    ok(got == "A - B 320", "Winamp among the table's players: \"%s\"", got.c_str());
    checkQuestions(winamp, "Winamp among the table's players");
    HWND alloy = createPlayer(kLightAlloy, "movie.avi - Light Alloy");
    got = statusOf("%track%");
    ok(got == "movie.avi", "Light Alloy among the table's players: \"%s\"", got.c_str());
    checkQuestions(alloy, "Light Alloy among the table's players");
}

// A mapping whose string lengths run past its 2048 bytes, alone or summed,
// gives no name and is not read past.
static void testMalformedAimpMapping()
{
    const struct {
        u32 artist, title;
    } cases[] = {{0, 1000}, {500, 481}, {0xFFFFFFFF, 2}};
    for (const auto &c : cases) {
        start();
        createAimp(L"", L"", L"");
        // The header: reserved, active, bit rate, then up to the lengths of
        // album, artist, date, file name, genre and title.
        Bytes header;
        for (u32 field : {88u, 1u, 64u, 2u, 0u, 0u, 0u, 0u, 44100u, 1u, 0u, c.artist, 0u, 0u, 0u, c.title})
            addLe32(header, field);
        setAimpMapping(header);
        const std::string got = statusOf("%track%|%bitrate%");
        ok(got == "|0", "AIMP lengths %u and %u: \"%s\"", c.artist, c.title, got.c_str());
        g_playerQueries.clear();
    }
}

// ---- Players found by their program. Copies of one stand-in under each program's
// name, chrome.exe among them as a program whose windows wear the players' classes
// and titles. None of these windows may be sent a request: no interface for
// figures is documented, so every figure is 0.

// Qt 5.12 and later put their version into the class.
static const char kQtClass[] = "Qt5152QWindowIcon";
static const char kFormsClass[] = "WindowsForms10.Window.8.app.0.141b42a_r9_ad1";
static const char kChromeClass[] = "Chrome_WidgetWin_0";
static const char kNoFigures[] = "|0|0|0ch|0:00|0:00";

static void setTitle(HWND window, const wchar_t *title)
{
    SendMessageW(window, WM_SETTEXT, 0, (LPARAM)title);
}

static void testProgramPlayers()
{
    start();
    std::vector<HWND> shown;
    const auto run = [&](const char *exe, const std::vector<ProgramWindow> &windows) {
        const std::vector<HWND> started = startProgram("t_programs", exe, windows);
        ok(started.size() == windows.size(), "%s did not start", exe);
        shown.insert(shown.end(), started.begin(), started.end());
        return started.empty() ? std::vector<HWND>(windows.size()) : started;
    };
    const auto expect = [](const std::string &track, const char *what) {
        const std::string got = statusOf(kAllTags);
        ok(got == track + kNoFigures, "%s: \"%s\"", what, got.c_str());
    };
    run("chrome.exe", {{kQtClass, "Song - VLC media player"},
                       {kChromeClass, "Artist - Song"},
                       {kFormsClass, "Artist - Song - MusicBee"}});
    expect("", "another program's windows");
    const HWND spotify = run("Spotify.exe", {{kChromeClass, "Spotify Premium"},
                                             {"Chrome_WidgetWin_1", "Spotify Free"},
                                             {"IME", "Default IME"},
                                             {kChromeClass, ""}})[0];
    const HWND musicBee = run("MusicBee.exe", {{kFormsClass, "MusicBee"}})[0];
    const HWND vlc = run("vlc.exe", {{kQtClass, "VLC media player"}})[0];
    expect("", "the players idle");
    setTitle(spotify, L"Spotify");
    expect("", "Spotify paused");
    setTitle(spotify, L"S - Song");
    expect("S - Song", "Spotify plays");
    setTitle(musicBee, L"M - \x0421\x043F\x043B\x0438\x043D - MusicBee");
    expect("M - \xD0\xA1\xD0\xBF\xD0\xBB\xD0\xB8\xD0\xBD", "MusicBee before Spotify");
    setTitle(vlc, L"V - Song - VLC media player");
    expect("V - Song", "VLC before MusicBee");
    // The chat button's name comes in the ANSI code page.
    g_requests.clear();
    ok(loadPlugin(), "the module did not load again");
    g_host.buttonHandle = 1;
    writeBytes("t_track\\nowtune.dat", settingsFile(1, 1, "%track%"));
    callPlugin(loadEvent("t_track\\"));
    setTitle(vlc, L"VLC media player");
    ok(pressButton(le32At(g_requests[0], 6)) != NULL, "the press got no answer");
    Bytes append;
    addCounted(append, textBytes("M - \xD1\xEF\xEB\xE8\xED"));
    ok(g_requests.size() == 2 && g_requests[1] == eventMessage(5, 112, append), "the press appended [%s]",
       g_requests.size() == 2 ? hexBytes(g_requests[1]).c_str() : "");
    for (HWND window : shown)
        ok(requestsReceived(window) == 0, "window %p was sent %zu requests", window, requestsReceived(window));
    stopPrograms();
}

// ---- After Light Alloy and Winamp, an idle or stopped player does not stop the search:
// the first that has a track is the player, whatever the text asks.

static void testFirstWithATrack()
{
    start();
    createPlayer(kFoobar, "foobar2000 v2.1");
    createPlayer("MPC-BE", "Artist - Song - MPC-BE");
    std::string got = statusOf("%track%");
    ok(got == "Artist - Song", "an idle foobar2000 beside MPC-BE: \"%s\"", got.c_str());

    start();
    PlayerFigures f;
    f.state = 0xFFFFFFFF;
    HWND pot = createPlayer("PotPlayer", "Old.mp3 - PotPlayer", f);
    createPlayer("MediaPlayerClassicW", "clip.mkv");
    got = statusOf("%track%");
    ok(got == "clip.mkv", "a stopped PotPlayer beside MPC-HC: \"%s\"", got.c_str());
    checkRequests(pot, kPotPlayerRequests, 1, "a stopped PotPlayer");

    // AIMP plays but names nothing, PotPlayer plays a track of its own: with or
    // without %track% in the text, the figures are PotPlayer's.
    start();
    f = PlayerFigures();
    f.length = 100;
    HWND aimp = createAimp(L"", L"", L"", f);
    pot = createPlayer("PotPlayer", "Song.mp3 - PotPlayer");
    for (const char *text : {"%length%", "%track% %length%"}) {
        got = statusOf(text);
        ok(got == (text[1] == 'l' ? "4:05" : "Song.mp3 4:05"), "\"%s\" beside a nameless AIMP: \"%s\"", text,
           got.c_str());
        const PlayerQuery expected[] = {{aimp, 0x40, 0, kAimpMessage}, {pot, 0x5006, 0}, {pot, 0x5002, 0},
                                        {pot, 0x5004, 0}};
        ok(g_playerQueries.size() == 4, "%s: %zu requests", text, g_playerQueries.size());
        for (size_t i = 0; i < g_playerQueries.size() && i < 4; i++)
            ok(g_playerQueries[i].window == expected[i].window && g_playerQueries[i].wParam == expected[i].wParam,
               "%s: request %zu was %#x to %p", text, i, (unsigned)g_playerQueries[i].wParam,
               g_playerQueries[i].window);
        g_playerQueries.clear();
    }

    // An idle Winamp is still the player.
    start();
    HWND winamp = createPlayer(kWinamp, "Winamp 5.5");
    createPlayer("MPC-BE", "Artist - Song - MPC-BE");
    got = statusOf("[%track%]");
    ok(got == "[]", "an idle Winamp beside MPC-BE: \"%s\"", got.c_str());
    checkQuestions(winamp, "an idle Winamp");
}

int main()
{
    testNoPlayer();
    testWinamp();
    testTitleReadSendsNothing();
    testLightAlloyWins();
    testNamesOutsideTheAnsiCodePage();
    testLongTexts();
    testHungPlayer();
    testStalledPlayerInThisProcess();
    testTablePlayers();
    testWinampAndLightAlloyWin();
    testMalformedAimpMapping();
    testFirstWithATrack();
    testProgramPlayers();
    destroyPlayers();
    unloadPlugin();
    return finishChecks("track_test");
}
