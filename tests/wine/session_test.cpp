// session_test.cpp -- the system's media session, from a stand-in registered for combase, as the last player
#include "tools/standin/mediasession.h"
#include "tools/standin/standin.h"

#include <tlhelp32.h>

#include <stdio.h>

const long long kSecond = 10000000;
const int kPlaying = 4, kPaused = 5;
static const char kNoFigures[] = "|0|0|0ch|0:00|0:00";
// An event waits for the worker's read at most 250 ms; under an emulator the
// event's own work adds some.
const DWORD kEventBoundMs = 1000;
const DWORD kUnloadBoundMs = 1500;
// The worker's first read loads combase and the class: it may miss the first events.
const DWORD kFirstReadMs = 10000;

static struct {
    StandinSetSessions setSessions;
    StandinSetStalls setStalls;
    StandinCommandsCalled commandsCalled;
    StandinCallsMade callsMade;
    StandinHandlersRegistered handlersRegistered;
    StandinObjectsAlive objectsAlive;
    StandinRegister registerClass;
} g_session;

template <typename Function> static void lookUp(HMODULE module, Function *function, const char *name)
{
    *function = (Function)(void *)GetProcAddress(module, name);
    ok(*function != NULL, "mediasession.dll has no %s", name);
}

static bool loadStandin()
{
    HMODULE module = LoadLibraryA("mediasession.dll");
    ok(module != NULL, "mediasession.dll did not load");
    if (!module) return false;
    lookUp(module, &g_session.setSessions, "standinSetSessions");
    lookUp(module, &g_session.setStalls, "standinSetStalls");
    lookUp(module, &g_session.commandsCalled, "standinCommandsCalled");
    lookUp(module, &g_session.callsMade, "standinCallsMade");
    lookUp(module, &g_session.handlersRegistered, "standinHandlersRegistered");
    lookUp(module, &g_session.objectsAlive, "standinObjectsAlive");
    lookUp(module, &g_session.registerClass, "standinRegister");
    return g_failures == 0;
}

static int threadCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof(thread);
    int n = 0;
    for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
        n += thread.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return n;
}

// One session, current, 4:05 long, 1:05 into it as of now.
static void showSession(int status, const wchar_t *artist, const wchar_t *title)
{
    const StandinSession session = {status, title, artist, 0, 245 * kSecond, 65 * kSecond, 0};
    g_session.setSessions(&session, 1, 0);
}

static void start()
{
    resetHost();
    destroyPlayers();
    loadPlugin();
    callPlugin(loadEvent(freshFolder("t_session")));
}

// The expanded text of an event that must return within the bound.
static std::string boundedStatus(const std::string &text)
{
    const DWORD before = GetTickCount();
    const std::string got = statusOf(text);
    const DWORD took = GetTickCount() - before;
    ok(took < kEventBoundMs, "an event took %lu ms", took);
    return got;
}

// Events until the worker's first read has come in.
static void awaitFirstRead()
{
    const DWORD before = GetTickCount();
    while (statusOf("%track%").empty() && GetTickCount() - before < kFirstReadMs)
        Sleep(50);
}

// Unloads while the worker may run: it ends within the wait, and the module freed
// after it leaves no thread behind, nor any code a thread still runs.
static void unloadAndCount(int threadsBefore, const char *what)
{
    const DWORD before = GetTickCount();
    callPlugin(eventMessage(3, 2));
    const DWORD took = GetTickCount() - before;
    ok(took < kUnloadBoundMs, "%s: the unload event took %lu ms", what, took);
    ok(threadCount() == threadsBefore, "%s: %d threads after the unload, %d before the session", what, threadCount(),
       threadsBefore);
    unloadPlugin();
    ok(g_session.handlersRegistered() == 0, "%s: %d handlers left registered", what, g_session.handlersRegistered());
    ok(g_session.objectsAlive() == 0, "%s: %d objects never released", what, g_session.objectsAlive());
}

// ---- An earlier player that has a track wins, and the session is neither read nor started.

static void testEarlierPlayersWin()
{
    start();
    const int threads = threadCount();
    const int calls = g_session.callsMade();
    showSession(kPlaying, L"Session", L"Song");
    createPlayer("Winamp v1.x", "1. A - B - Winamp");
    ok(statusOf("%track% %bitrate%") == "A - B 320", "Winamp beside a playing session");
    destroyPlayers();
    createAimp(L"Artist", L"Title", L"");
    ok(statusOf("%track% %length%") == "Artist - Title 4:05", "AIMP beside a playing session");
    ok(g_session.callsMade() == calls, "the session was called %d times", g_session.callsMade() - calls);
    ok(threadCount() == threads, "%d threads, %d before", threadCount(), threads);
    destroyPlayers();
    unloadAndCount(threads, "earlier players");
}

// ---- Which session, what it gives, and nothing but reads.

static void testSessions()
{
    start();
    const int threads = threadCount();
    showSession(kPlaying, L"Artist", L"Warm-up");
    awaitFirstRead();
    // "Сплин - Выхода нет" arrives in UTF-8.
    showSession(kPlaying, L"\x0421\x043F\x043B\x0438\x043D",
                L"\x0412\x044B\x0445\x043E\x0434\x0430 \x043D\x0435\x0442");
    std::string got = boundedStatus(kAllTags);
    ok(got == "\xD0\xA1\xD0\xBF\xD0\xBB\xD0\xB8\xD0\xBD - \xD0\x92\xD1\x8B\xD1\x85\xD0\xBE\xD0\xB4\xD0\xB0 "
              "\xD0\xBD\xD0\xB5\xD1\x82|0|0|0ch|4:05|1:05",
       "a playing session: \"%s\"", got.c_str());
    showSession(kPlaying, NULL, L"Other");
    got = boundedStatus("%track%");
    ok(got == "Other", "a changed title without an artist: \"%s\"", got.c_str());
    showSession(kPaused, L"Artist", L"Song");
    got = boundedStatus(kAllTags);
    ok(got == kNoFigures, "a paused session: \"%s\"", got.c_str());
    // Title, then artist.
    const StandinSession two[] = {{kPaused, L"Current", L"Paused", 0, 60 * kSecond, 0, 0},
                                  {kPlaying, L"Other", L"Playing", 0, 120 * kSecond, 0, 0}};
    g_session.setSessions(two, 2, 0);
    got = boundedStatus("%track% %length%");
    ok(got == "Playing - Other 2:00", "a paused current session beside a playing one: \"%s\"", got.c_str());
    g_session.setSessions(NULL, 0, -1);
    got = boundedStatus(kAllTags);
    ok(got == kNoFigures, "no session: \"%s\"", got.c_str());
    ok(g_session.commandsCalled() == 0, "%d of the session's commands were called", g_session.commandsCalled());
    unloadAndCount(threads, "sessions");
}

// ---- A manager, or a session's properties, that never come: every event returns within
// the bound with no track, and the unload still ends the worker at once.

static void testStalls()
{
    showSession(kPlaying, L"Artist", L"Song");
    const struct {
        int manager, properties;
        const char *what;
    } cases[] = {{1, 0, "a manager that never comes"}, {0, 1, "properties that never come"}};
    for (const auto &c : cases) {
        g_session.setStalls(c.manager, c.properties);
        start();
        const int threads = threadCount();
        for (int i = 0; i < 3; i++) {
            const std::string got = boundedStatus(kAllTags);
            ok(got == kNoFigures, "%s: \"%s\"", c.what, got.c_str());
        }
        unloadAndCount(threads, c.what);
    }
    g_session.setStalls(0, 0);
}

// ---- Where Windows has no such class, the session is simply absent.

static void testAbsent()
{
    ok(g_session.registerClass(0) != 0, "the class could not be unregistered");
    showSession(kPlaying, L"Artist", L"Song");
    start();
    const int threads = threadCount();
    for (int i = 0; i < 3; i++) {
        const std::string got = boundedStatus(kAllTags);
        ok(got == kNoFigures, "no class: \"%s\"", got.c_str());
    }
    unloadAndCount(threads, "no class");
    ok(g_session.registerClass(1) != 0, "the class could not be registered");
}

int main()
{
    if (!loadStandin()) return finishChecks("session_test");
    ok(g_session.registerClass(1) != 0, "the class could not be registered");
    testEarlierPlayersWin();
    testSessions();
    testStalls();
    testAbsent();
    g_session.registerClass(0);
    // Whatever the module left running has had time to run into freed code.
    Sleep(300);
    return finishChecks("session_test");
}
