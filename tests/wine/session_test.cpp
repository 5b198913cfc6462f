// session_test.cpp -- the system's media session, from a stand-in registered for combase, as the last player
#include "tools/standin/mediasession.h"
#include "tools/standin/standin.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <stdio.h>

const long long kSecond = 10000000;
const int kPlaying = 4, kPaused = 5;
static const char kNoFigures[] = "|0|0|0ch|0:00|0:00";
// An event waits for the worker's read at most 250 ms; under an emulator the
// event's own work adds some.
const DWORD kEventBoundMs = 1000;
const DWORD kUnloadBoundMs = 1500;
// A process's first use of combase and the class may take a while.
const int kManagerWaitMs = 10000;
// The first event comes this long after the load event.
const DWORD kFirstEventMs = 1000;

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

// Wine 8's GetProcessHandleCount answers 0, so every handle value is asked its
// type. Registry keys are left out: Wine's RoGetActivationFactory leaves one
// open for each activation.
static int handleCount()
{
    typedef LONG(WINAPI * QueryObject)(HANDLE handle, int what, void *out, ULONG size, ULONG *needed);
    const int kObjectTypeInformation = 2;
    const UINT_PTR kHandleValuesProbed = 0x4000;
    QueryObject query = (QueryObject)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject");
    int n = 0;
    for (UINT_PTR value = 4; query && value < kHandleValuesProbed; value += 4) {
        union {
            UNICODE_STRING name;
            BYTE bytes[1024];
        } type;
        if (query((HANDLE)value, kObjectTypeInformation, &type, sizeof(type), NULL) >= 0)
            n += std::wstring(type.name.Buffer, type.name.Length / sizeof(WCHAR)) != L"Key";
    }
    return n;
}

// One session, current, 4:05 long, 1:05 into it as of now.
static void showSession(int status, const wchar_t *artist, const wchar_t *title)
{
    const StandinSession session = {status, title, artist, 0, 245 * kSecond, 65 * kSecond, 0};
    standinSetSessions(&session, 1, 0);
}

static void start()
{
    resetHost();
    destroyPlayers();
    loadPlugin();
    callPlugin(loadEvent(freshFolder("t_session")));
}

// Loaded, with the manager asked for at the load event and given.
static void startReady(const char *what)
{
    start();
    ok(standinAwaitManager(kManagerWaitMs), "%s: no manager was asked for at the load event", what);
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

// Unloads while the worker may run: it ends within the wait, and the module freed
// after it leaves no thread behind, nor any code a thread still runs.
static void unloadAndCount(int threadsBefore, const char *what)
{
    const DWORD before = GetTickCount();
    callPlugin(eventMessage(3, 2));
    const DWORD took = GetTickCount() - before;
    ok(took < kUnloadBoundMs, "%s: the unload event took %lu ms", what, took);
    ok(threadCount() == threadsBefore, "%s: %d threads after the unload, %d before the load", what, threadCount(),
       threadsBefore);
    unloadPlugin();
    ok(standinObjectsAlive() == 0, "%s: %d objects never released", what, standinObjectsAlive());
    ok(standinForbiddenCalls() == 0, "%s: %d commands or change handlers", what, standinForbiddenCalls());
}

// ---- An earlier player that has a track wins, and a text without a tag needs
// nothing: the session is not read for either.

static void testEarlierPlayersAndPlainTexts()
{
    const int threads = threadCount();
    showSession(kPlaying, L"Session", L"Song");
    startReady("earlier players");
    const int reads = standinReads();
    createPlayer("Winamp v1.x", "1. A - B - Winamp");
    ok(statusOf("%track% %bitrate%") == "A - B 320", "Winamp beside a playing session");
    destroyPlayers();
    createAimp(L"Artist", L"Title", L"");
    ok(statusOf("%track% %length%") == "Artist - Title 4:05", "AIMP beside a playing session");
    destroyPlayers();
    ok(boundedStatus("plain text") == "plain text", "a text without a tag");
    ok(standinReads() == reads, "the session was read %d times", standinReads() - reads);
    ok(boundedStatus("%track%") == "Session - Song", "the session after them");
    unloadAndCount(threads, "earlier players");
}

// ---- Which session, what it gives, and nothing but reads; a restart of the system's side.

static void testSessions()
{
    const int threads = threadCount();
    startReady("sessions");
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
    standinSetSessions(two, 2, 0);
    got = boundedStatus("%track% %length%");
    ok(got == "Playing - Other 2:00", "a paused current session beside a playing one: \"%s\"", got.c_str());
    standinSetSessions(NULL, 0, -1);
    got = boundedStatus(kAllTags);
    ok(got == kNoFigures, "no session: \"%s\"", got.c_str());
    // The system's side restarts: the old manager fails, and the track comes back
    // within an event or two.
    showSession(kPlaying, L"Artist", L"Song");
    standinDisconnect();
    got = boundedStatus("%track%");
    if (got.empty()) got = boundedStatus("%track%");
    ok(got == "Artist - Song", "after a restart: \"%s\"", got.c_str());
    unloadAndCount(threads, "sessions");
}

// ---- Operations that complete later, on another thread, as Windows' do: each is
// awaited, never polled for. One that never comes leaves the events bounded, and
// the unload still ends the worker at once.

static void testLateOperations()
{
    const struct {
        int managerMs, propertiesMs;
        const char *expected, *what;
    } cases[] = {
        {0, 80, "Artist - Song", "properties 80 ms late"},
        {400, 0, "Artist - Song", "the manager 400 ms late"},
        {-1, 0, "", "a manager that never comes"},
        {0, -1, "", "properties that never come"},
    };
    showSession(kPlaying, L"Artist", L"Song");
    for (const auto &c : cases) {
        const int threads = threadCount();
        standinSetDelays(c.managerMs, c.propertiesMs);
        start();
        Sleep(kFirstEventMs);
        const int polls = standinStartedPolls();
        for (int i = 0; i < 3; i++) {
            const std::string got = boundedStatus("%track%");
            ok(got == c.expected, "%s, event %d: \"%s\"", c.what, i, got.c_str());
        }
        ok(standinStartedPolls() == polls, "%s: %d polls for a running operation", c.what,
           standinStartedPolls() - polls);
        unloadAndCount(threads, c.what);
    }
    standinSetDelays(0, 0);
}

// ---- Loads and unloads, each read the session once: nothing piles up.

static void testCycles()
{
    const int kCycles = 9;
    showSession(kPlaying, L"Artist", L"Song");
    int handles = 0, threads = 0;
    for (int cycle = 1; cycle <= kCycles; cycle++) {
        startReady("cycles");
        ok(boundedStatus("%track%") == "Artist - Song", "cycle %d gave no track", cycle);
        callPlugin(eventMessage(3, 2));
        unloadPlugin();
        if (cycle == 1) {
            handles = handleCount();
            threads = threadCount();
        }
    }
    ok(handleCount() == handles, "%d handles after %d cycles, %d after one", handleCount(), kCycles, handles);
    ok(threadCount() == threads, "%d threads after %d cycles, %d after one", threadCount(), kCycles, threads);
    ok(standinObjectsAlive() == 0, "cycles: %d objects never released", standinObjectsAlive());
}

// ---- Where Windows has no such class, the session is simply absent, and no
// thread of the module stays.

static void testAbsent()
{
    ok(standinRegister(0) != 0, "the class could not be unregistered");
    showSession(kPlaying, L"Artist", L"Song");
    const int threads = threadCount();
    start();
    for (int i = 0; i < 3; i++) {
        const std::string got = boundedStatus(kAllTags);
        ok(got == kNoFigures, "no class: \"%s\"", got.c_str());
    }
    ok(threadCount() == threads, "no class: %d threads after the load, %d before", threadCount(), threads);
    unloadAndCount(threads, "no class");
    ok(standinRegister(1) != 0, "the class could not be registered");
}

int main()
{
    ok(standinRegister(1) != 0, "the class could not be registered");
    testEarlierPlayersAndPlainTexts();
    testSessions();
    testLateOperations();
    testCycles();
    testAbsent();
    standinRegister(0);
    // Whatever the module left running has had time to run into freed code.
    Sleep(300);
    return finishChecks("session_test");
}
