// event_bench.cpp -- times the real module's status-text event against the bare window calls it cannot avoid
#include "host/wire.h"
#include "tools/standin/mediasession.h"
#include "tools/standin/standin.h"
#include "track/track.h"

#include <stdio.h>
#include <algorithm>

// Short rounds, the two kinds taking turns, so that a burst of other load on
// the machine spoils a few rounds of both rather than one whole measurement.
const int kRounds = 25;
const int kEventsPerRound = 400;
// An event that looks through a whole desktop's windows, or waits for a slow
// media session, takes milliseconds.
const int kSlowEventsPerRound = 10;
static int g_eventsPerRound = kEventsPerRound;
const double kMicrosecondsPerSecond = 1e6;

const char kPlayerTitle[] = "12. Artist - Song - Winamp";
const char kStringA[] = "away";
// "Слушаю: ..." in UTF-8, as the host sends it, with all six tags.
const char kStringB[] = "\xD0\xA1\xD0\xBB\xD1\x83\xD1\x88\xD0\xB0\xD1\x8E: %track% [%bitrate% kbps, %samplerate% kHz, "
                        "%channels%, %position%/%length%]";
const char kExpected[] = "\xD0\xA1\xD0\xBB\xD1\x83\xD1\x88\xD0\xB0\xD1\x8E: Artist - Song [320 kbps, 44 kHz, "
                         "stereo, 1:05/4:05]";

static double g_ticksPerMicrosecond;
static volatile u32 g_sink;

static LONGLONG now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// What one event with Winamp running must do at least: the search for Light
// Alloy, the one that finds Winamp, one title read and five questions to the
// player, with the module's own calls, flags and bound.
static void bareCalls()
{
    HWND lightAlloy = FindWindowA(kLightAlloyClass, NULL);
    HWND winamp = FindWindowA(kWinampClass, NULL);
    WCHAR title[kTitleReadSize];
    u32 sum = (u32)(UINT_PTR)lightAlloy + (u32)InternalGetWindowText(winamp, title, kTitleReadSize);
    DWORD_PTR result = 0;
    for (const PlayerQuestion &q : kQuestions) {
        SendMessageTimeoutA(winamp, WM_USER, q.wParam, q.lParam, kPlayerSendFlags, kPlayerTimeoutMs, &result);
        sum += (u32)result;
    }
    g_sink = sum;
}

static BOOL CALLBACK countWindow(HWND, LPARAM count)
{
    ++*(u32 *)count;
    return TRUE;
}

// With no player running, one search for every class of a player found by its
// window class, and one pass over the top-level windows for those found by
// their program.
static void bareSearches()
{
    u32 sum = 0;
    for (u32 row = 0; row < kFirstProgramRow; row++)
        for (const char *name : kPlayers[row].classes)
            if (name) sum += (u32)(UINT_PTR)FindWindowA(name, NULL);
    EnumWindows(countWindow, (LPARAM)&sum);
    g_sink = sum;
}

// A desktop's other programs: top-level windows of assorted classes, as
// browsers, editors, input methods and tray programs leave them, in processes
// of their own.
const int kOtherPrograms = 10;
const int kWindowsPerProgram = 20;
static const char *const kOtherClasses[] = {"Chrome_WidgetWin_1", "Qt5QWindowIcon", "IME", "MSCTFIME UI",
                                            "WindowsForms10.Window.8.app.0.2bf8098_r6_ad1", "tooltips_class32",
                                            "GDI+ Hook Window Class", "Notepad++", "TrayNotifyWnd", "SunAwtFrame"};

static bool startDesktop()
{
    std::vector<std::string> titles;
    for (int p = 0; p < kOtherPrograms; p++) {
        std::vector<ProgramWindow> windows;
        titles.clear();
        for (int w = 0; w < kWindowsPerProgram; w++)
            titles.push_back("Document " + std::to_string(w) + " - Program " + std::to_string(p));
        for (int w = 0; w < kWindowsPerProgram; w++)
            windows.push_back({kOtherClasses[(p + w) % (sizeof(kOtherClasses) / sizeof(*kOtherClasses))],
                               titles[w].c_str()});
        if (startProgram("bench-desktop", "program" + std::to_string(p) + ".exe", windows).empty()) return false;
    }
    return true;
}

const int kPlaying = 4;
const long long kSecond = 10000000;
// The worker's first read loads combase and the class.
const DWORD kFirstReadMs = 10000;
// What Windows' own media session may take to give a session's properties.
const int kSessionLatencyMs = 20;

// The system's media session as Windows 10 and 11 have it, with nothing
// playing: the stand-in, registered for combase.
static bool registerSession()
{
    if (!standinRegister(1)) return false;
    standinSetSessions(NULL, 0, -1);
    return true;
}

static double timeEvents(const Bytes &message)
{
    const LONGLONG start = now();
    for (int i = 0; i < g_eventsPerRound; i++)
        g_sink = (u32)(UINT_PTR)callPlugin(message);
    return (now() - start) / g_ticksPerMicrosecond / g_eventsPerRound;
}

static double timeBareCalls(void (*bare)())
{
    const LONGLONG start = now();
    for (int i = 0; i < g_eventsPerRound; i++)
        bare();
    return (now() - start) / g_ticksPerMicrosecond / g_eventsPerRound;
}

// The answer's expanded text, or an empty string when the frame is malformed.
static std::string expandedText(const Bytes &frame)
{
    const size_t aAt = kLengthBytes + 1;
    if (frame.size() < aAt + kLengthBytes) return std::string();
    const size_t lengthAt = aAt + kLengthBytes + le32At(frame, aAt);
    if (frame.size() < lengthAt + kLengthBytes) return std::string();
    const size_t textAt = lengthAt + kLengthBytes;
    const size_t textLength = le32At(frame, lengthAt);
    if (frame.size() != textAt + textLength) return std::string();
    return std::string(frame.begin() + textAt, frame.end());
}

// Times the event against the bare calls it cannot avoid, the two taking
// turns, and prints the medians.
static void measure(const char *what, const Bytes &message, void (*bare)())
{
    // One untimed round of each first: the first calls of a run pay for filling
    // caches (and, under an emulator, for translating the code) once.
    timeEvents(message);
    timeBareCalls(bare);
    // The stand-in player logs every question; room for a whole round's log is
    // made now, so that neither kind pays for the log growing.
    g_playerQueries.clear();
    g_playerQueries.reserve(2 * g_eventsPerRound * kQuestionCount);

    std::vector<double> events, bares, ratios;
    for (int round = 0; round < kRounds; round++) {
        // Each kind goes first in every other round: whatever the one before
        // leaves behind (a warm or a cold cache) falls on both alike.
        if (round % 2) bares.push_back(timeBareCalls(bare));
        events.push_back(timeEvents(message));
        if (round % 2 == 0) bares.push_back(timeBareCalls(bare));
        ratios.push_back(events.back() / bares.back());
        g_playerQueries.clear();
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(events.begin(), events.end());
    std::sort(bares.begin(), bares.end());
    printf("status-text event with all six tags, %s, %d rounds of %d, microseconds per event\n", what, kRounds,
           g_eventsPerRound);
    printf("%-8s %12s %12s %8s\n", "", "event", "bare calls", "ratio");
    printf("%-8s %12.2f %12.2f %8.2f\n", "best", events.front(), bares.front(), events.front() / bares.front());
    const double eventMedian = events[kRounds / 2], bareMedian = bares[kRounds / 2];
    printf("%-8s %12.2f %12.2f %8.2f\n", "median", eventMedian, bareMedian, eventMedian / bareMedian);
    printf("ratio of the medians, event / bare calls: %.3f\n", eventMedian / bareMedian);
    // Neighbouring rounds share the machine's mood: their ratio drifts least.
    printf("median of the rounds' own ratios: %.3f\n", ratios[kRounds / 2]);
    printf("the module's own work per event (median event - median bare calls): %.2f us\n",
           eventMedian - bareMedian);
}

int main()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g_ticksPerMicrosecond = frequency.QuadPart / kMicrosecondsPerSecond;

    if (!registerSession()) {
        printf("the stand-in media session could not be registered\n");
        return 1;
    }
    if (!loadPlugin("nowtune.dll")) {
        printf("nowtune.dll could not be loaded\n");
        return 1;
    }
    if (!callPlugin(loadEvent(freshFolder("bench-settings")))) {
        printf("the load event got no answer\n");
        return 1;
    }
    if (!createPlayer(kWinampClass, kPlayerTitle)) {
        printf("the stand-in Winamp could not be created\n");
        return 1;
    }

    const Bytes message = statusEvent(textBytes(kStringA), textBytes(kStringB));
    // Timing an event that answers wrongly would measure nothing useful.
    const std::string got = expandedText(frameBytes(callPlugin(message)));
    if (got != kExpected) {
        printf("unexpected status text: \"%s\"\n", got.c_str());
        return 1;
    }

    measure("Winamp running", message, bareCalls);
    destroyPlayers();
    printf("\n");
    measure("no player", message, bareSearches);
    if (!startDesktop()) {
        printf("the other programs' windows could not be shown\n");
        return 1;
    }
    char what[64];
    snprintf(what, sizeof(what), "no player, %d other programs' windows", kOtherPrograms * kWindowsPerProgram);
    printf("\n");
    g_eventsPerRound = kSlowEventsPerRound;
    measure(what, message, bareSearches);
    stopPrograms();

    // The session answers once the worker's first read is in.
    const StandinSession session = {kPlaying, L"Song", L"Artist", 0, 245 * kSecond, 65 * kSecond, 0};
    standinSetSessions(&session, 1, 0);
    const std::string expected = kExpected, track = "Artist - Song";
    const std::string prefix = expected.substr(0, expected.find(track) + track.size());
    const DWORD before = GetTickCount();
    bool answered = true;
    while (answered && expandedText(frameBytes(callPlugin(message))).compare(0, prefix.size(), prefix) != 0)
        answered = GetTickCount() - before < kFirstReadMs;
    if (!answered) {
        printf("the stand-in media session gave no track\n");
        return 1;
    }
    printf("\n");
    g_eventsPerRound = kEventsPerRound;
    measure("the media session playing", message, bareSearches);
    standinSetDelays(0, kSessionLatencyMs);
    snprintf(what, sizeof(what), "the media session playing, properties %d ms late", kSessionLatencyMs);
    printf("\n");
    g_eventsPerRound = kSlowEventsPerRound;
    measure(what, message, bareSearches);

    callPlugin(eventMessage(kKindEvent, kEventUnload));
    unloadPlugin();
    standinRegister(0);
    destroyPlayers();
    return 0;
}
