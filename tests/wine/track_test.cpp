// track_test.cpp -- the status-text event against stand-in players: detection, the five questions, the answer
#include "tools/standin/standin.h"

#include <stdio.h>

static const char kWinamp[] = "Winamp v1.x";
static const char kLightAlloy[] = "LightAlloyFront";
static const std::string kAllTags = "%track%|%bitrate%|%samplerate%|%channels%|%length%|%position%";
// The questions in the order they must come: bit rate, sample rate, channels, length, position.
static const PlayerQuery kQuestionOrder[] = {{0, 1, 126}, {0, 0, 126}, {0, 2, 126}, {0, 1, 105}, {0, 0, 105}};

// The expanded text of a status answer, or "<null>" for no answer.
static std::string statusOf(const std::string &text, const Bytes &stringA = textBytes("A"))
{
    const Bytes answer = frameBytes(callPlugin(statusEvent(stringA, textBytes(text))));
    ok(lastStackDelta() == 0, "pluginFun left the stack off by %d bytes", lastStackDelta());
    if (answer.size() < 13) return "<null>";
    const size_t at = 9 + le32At(answer, 5);
    const u32 lengthR = le32At(answer, at);
    ok(answer.size() == at + 4 + lengthR, "answer of %zu bytes, lengths say %zu", answer.size(), at + 4 + lengthR);
    return std::string(answer.begin() + at + 4, answer.end());
}

static void checkQuestions(HWND window, const char *what)
{
    ok(g_playerQueries.size() == 5, "%s: %zu questions", what, g_playerQueries.size());
    for (size_t i = 0; i < g_playerQueries.size() && i < 5; i++) {
        const PlayerQuery &q = g_playerQueries[i];
        ok(q.window == window && q.wParam == kQuestionOrder[i].wParam && q.lParam == kQuestionOrder[i].lParam,
           "%s: question %zu was (%u, %ld) to %p", what, i, (unsigned)q.wParam, (long)q.lParam, q.window);
    }
    g_playerQueries.clear();
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
    destroyPlayers();
    unloadPlugin();
    return finishChecks("track_test");
}
