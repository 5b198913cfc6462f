// sessionworker.cpp -- the system's media session, read through WinRT on a worker thread of its own
#include "sessionworker.h"
#include "players.h"

#include <windows.h>

// The host's thread is the messenger's user-interface thread, possibly a
// single-threaded apartment already, and must never wait long: WinRT is called
// only from the worker, in a multithreaded apartment of its own.
const DWORD kReadWaitMs = 250;
const DWORD kAsyncWaitMs = 2000;
const DWORD kAsyncPollMs = 5;
const DWORD kWorkerEndWaitMs = 1000;
// A manager the system did not give is asked for again no sooner than this.
const DWORD kManagerRetryMs = 60000;
// More sessions than anyone runs; a longer list is not looked through.
const u32 kSessionsLooked = 64;

// Looked up at run time: Windows before 8 has no WinRT, and the module still
// loads there. So is a system without the manager's class.
const char kRuntimeModule[] = "combase.dll";
const WCHAR kManagerClass[] = L"Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager";
const u32 kRoInitMultithreaded = 1;

// Interfaces, from the Windows SDK's windows.media.control.h: each method's
// place in its table. 0-2 are IUnknown's, 3-5 IInspectable's.
const u32 kQueryInterfaceSlot = 0;
const u32 kReleaseSlot = 2;
const u32 kRequestAsyncSlot = 6;        // the manager's statics
const u32 kGetResultsSlot = 8;          // IAsyncOperation<T>
const u32 kGetStatusSlot = 7;           // IAsyncInfo
const u32 kCancelSlot = 9;
const u32 kCloseSlot = 10;
const u32 kGetCurrentSessionSlot = 6;   // the manager
const u32 kGetSessionsSlot = 7;
const u32 kGetAtSlot = 6;               // IVectorView<Session>
const u32 kGetSizeSlot = 7;
const u32 kMediaPropertiesSlot = 7;     // a session: TryGetMediaPropertiesAsync
const u32 kTimelineSlot = 8;            // GetTimelineProperties
const u32 kPlaybackInfoSlot = 9;        // GetPlaybackInfo; 10-24 are commands, never called
const u32 kTitleSlot = 6;               // media properties
const u32 kArtistSlot = 9;
const u32 kStartTimeSlot = 6;           // timeline
const u32 kEndTimeSlot = 7;
const u32 kPositionSlot = 10;
const u32 kLastUpdatedSlot = 11;
const u32 kPlaybackStatusSlot = 7;      // playback info
const i32 kAsyncStarted = 0;
const i32 kAsyncCompleted = 1;
const i32 kNoStatus = -1;

static const GUID kStaticsIid = {0x2050c4ee, 0x11a0, 0x57de, {0xae, 0xd7, 0xc9, 0x7c, 0x70, 0x33, 0x82, 0x45}};
static const GUID kAsyncInfoIid = {0x00000036, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// A WinRT object: a pointer to its table of methods, each __stdcall, the object first.
struct WinRtObject {
    void *const *methods;
};

template <typename... Args> static HRESULT call(WinRtObject *object, u32 slot, Args... args)
{
    typedef HRESULT(WINAPI * Method)(WinRtObject *, Args...);
    return ((Method)object->methods[slot])(object, args...);
}

static void release(WinRtObject *object)
{
    if (object) call(object, kReleaseSlot);
}

struct HStringHandle;
typedef HStringHandle *HString;
// HSTRING_HEADER: room for a string reference, 20 bytes in a 32-bit process.
struct HStringHeader {
    void *reserved[5];
};

struct Runtime {
    HMODULE module;
    HRESULT(WINAPI *initialize)(u32 type);
    void(WINAPI *uninitialize)();
    HRESULT(WINAPI *activationFactory)(HString classId, const GUID *iid, void **factory);
    HRESULT(WINAPI *stringReference)(const WCHAR *text, UINT32 length, HStringHeader *header, HString *string);
    const WCHAR *(WINAPI *rawBuffer)(HString string, UINT32 *length);
    HRESULT(WINAPI *deleteString)(HString string);
};

// The worker's alone.
static Runtime g_runtime;
static WinRtObject *g_manager;
static bool g_managerAsked;
static DWORD g_managerAskedAt;

// Shared with the host's thread: the last complete read, under g_readLock.
static CRITICAL_SECTION g_readLock;
static bool g_readLockReady;
static SessionRead g_lastRead;
static HANDLE g_worker, g_wake, g_readDone;
static volatile LONG g_stopWorker;

template <typename Function> static bool lookUp(Function *function, const char *name)
{
    *function = (Function)(void *)GetProcAddress(g_runtime.module, name);
    return *function != NULL;
}

static bool loadRuntime()
{
    // From the system's folder only: where Windows has no combase.dll (7 and
    // before), a bare name would be looked for in the messenger's folder, the
    // current one and the PATH. Systems that know no such flag have no WinRT.
    g_runtime.module = LoadLibraryExA(kRuntimeModule, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return g_runtime.module && lookUp(&g_runtime.initialize, "RoInitialize") &&
           lookUp(&g_runtime.uninitialize, "RoUninitialize") &&
           lookUp(&g_runtime.activationFactory, "RoGetActivationFactory") &&
           lookUp(&g_runtime.stringReference, "WindowsCreateStringReference") &&
           lookUp(&g_runtime.rawBuffer, "WindowsGetStringRawBuffer") &&
           lookUp(&g_runtime.deleteString, "WindowsDeleteString");
}

// Waits for an asynchronous operation, for a while and while the worker is
// not told to end, and gives its result; the operation is let go either way.
static WinRtObject *awaitResult(WinRtObject *operation)
{
    WinRtObject *info = NULL, *result = NULL;
    if (operation && SUCCEEDED(call(operation, kQueryInterfaceSlot, &kAsyncInfoIid, &info)) && info) {
        i32 status = kNoStatus;
        const DWORD start = GetTickCount();
        while (SUCCEEDED(call(info, kGetStatusSlot, &status)) && status == kAsyncStarted && !g_stopWorker &&
               GetTickCount() - start < kAsyncWaitMs)
            Sleep(kAsyncPollMs);
        if (status == kAsyncCompleted && FAILED(call(operation, kGetResultsSlot, &result))) result = NULL;
        if (status == kAsyncStarted) call(info, kCancelSlot);
        call(info, kCloseSlot);
        release(info);
    }
    release(operation);
    return result;
}

static bool haveManager()
{
    if (g_manager) return true;
    if (g_managerAsked && GetTickCount() - g_managerAskedAt < kManagerRetryMs) return false;
    g_managerAsked = true;
    g_managerAskedAt = GetTickCount();
    HStringHeader header;
    HString name = NULL;
    WinRtObject *statics = NULL, *operation = NULL;
    if (FAILED(g_runtime.stringReference(kManagerClass, dimof(kManagerClass) - 1, &header, &name)) ||
        FAILED(g_runtime.activationFactory(name, &kStaticsIid, (void **)&statics)) || !statics)
        return false;
    if (FAILED(call(statics, kRequestAsyncSlot, &operation))) operation = NULL;
    release(statics);
    g_manager = awaitResult(operation);
    return g_manager != NULL;
}

static i32 playbackStatus(WinRtObject *session)
{
    WinRtObject *info = NULL;
    i32 status = kNoStatus;
    if (SUCCEEDED(call(session, kPlaybackInfoSlot, &info)) && info) {
        if (FAILED(call(info, kPlaybackStatusSlot, &status))) status = kNoStatus;
        release(info);
    }
    return status;
}

// The session Windows names current when it plays, else the first that plays.
static WinRtObject *playingSession()
{
    WinRtObject *session = NULL, *sessions = NULL;
    if (SUCCEEDED(call(g_manager, kGetCurrentSessionSlot, &session)) && session) {
        if (playbackStatus(session) == kSessionPlaying) return session;
        release(session);
    }
    session = NULL;
    UINT32 count = 0;
    if (FAILED(call(g_manager, kGetSessionsSlot, &sessions)) || !sessions) return NULL;
    if (FAILED(call(sessions, kGetSizeSlot, &count))) count = 0;
    for (UINT32 i = 0; i < count && i < kSessionsLooked && !session; i++) {
        WinRtObject *candidate = NULL;
        if (FAILED(call(sessions, kGetAtSlot, i, &candidate)) || !candidate) continue;
        if (playbackStatus(candidate) == kSessionPlaying) session = candidate;
        else release(candidate);
    }
    release(sessions);
    return session;
}

static const u8 *rawUnits(HString string, UINT32 *units)
{
    *units = 0;
    return string ? (const u8 *)g_runtime.rawBuffer(string, units) : NULL;
}

static void readName(WinRtObject *session, SessionRead *read)
{
    WinRtObject *operation = NULL;
    if (FAILED(call(session, kMediaPropertiesSlot, &operation))) operation = NULL;
    WinRtObject *properties = awaitResult(operation);
    if (!properties) return;
    HString title = NULL, artist = NULL;
    if (FAILED(call(properties, kTitleSlot, &title))) title = NULL;
    if (FAILED(call(properties, kArtistSlot, &artist))) artist = NULL;
    UINT32 titleUnits, artistUnits;
    const u8 *titleText = rawUnits(title, &titleUnits), *artistText = rawUnits(artist, &artistUnits);
    read->nameUnits = artistTitleName(artistText, artistUnits, titleText, titleUnits, read->name, kSessionNameCap);
    if (title) g_runtime.deleteString(title);
    if (artist) g_runtime.deleteString(artist);
    release(properties);
}

static void readTimeline(WinRtObject *session, SessionRead *read)
{
    WinRtObject *timeline = NULL;
    if (FAILED(call(session, kTimelineSlot, &timeline)) || !timeline) return;
    int64_t *const times[] = {&read->start, &read->end, &read->position, &read->lastUpdated};
    const u32 slots[] = {kStartTimeSlot, kEndTimeSlot, kPositionSlot, kLastUpdatedSlot};
    for (u32 i = 0; i < dimof(slots); i++)
        if (FAILED(call(timeline, slots[i], times[i]))) *times[i] = 0;
    release(timeline);
}

static void readSession(SessionRead *read)
{
    if (!haveManager()) return;
    WinRtObject *session = playingSession();
    if (!session) return;
    readName(session, read);
    readTimeline(session, read);
    release(session);
    read->playing = read->nameUnits != 0;
}

// The worker holds a reference to the module of its own (self) and lets it go
// as it ends, so even a host that frees the module early never unmaps code
// this thread still runs.
static DWORD WINAPI runWorker(void *self)
{
    g_managerAsked = false;
    const HRESULT initialized = loadRuntime() ? g_runtime.initialize(kRoInitMultithreaded) : E_FAIL;
    while (WaitForSingleObject(g_wake, INFINITE) == WAIT_OBJECT_0 && !g_stopWorker) {
        SessionRead read = {};
        if (SUCCEEDED(initialized)) readSession(&read);
        EnterCriticalSection(&g_readLock);
        g_lastRead = read;
        LeaveCriticalSection(&g_readLock);
        SetEvent(g_readDone);
    }
    release(g_manager);
    g_manager = NULL;
    if (SUCCEEDED(initialized)) g_runtime.uninitialize();
    if (g_runtime.module) FreeLibrary(g_runtime.module);
    FreeLibraryAndExitThread((HMODULE)self, 0);
    return 0;
}

static bool startWorker()
{
    if (g_worker) {
        if (!g_stopWorker) return true;
        // An earlier unload's worker that outlived its wait must end before another starts.
        if (WaitForSingleObject(g_worker, 0) != WAIT_OBJECT_0) return false;
        CloseHandle(g_worker);
        g_worker = NULL;
    }
    if (!g_readLockReady) {
        InitializeCriticalSection(&g_readLock);
        g_readLockReady = true;
    }
    if (!g_wake) g_wake = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (!g_readDone) g_readDone = CreateEventA(NULL, FALSE, FALSE, NULL);
    HMODULE self = NULL;
    if (!g_wake || !g_readDone ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)(void *)runWorker, &self))
        return false;
    g_stopWorker = 0;
    g_worker = CreateThread(NULL, 0, runWorker, self, 0, NULL);
    if (!g_worker) FreeLibrary(self);
    return g_worker != NULL;
}

bool readMediaSession(SessionRead *read)
{
    if (!startWorker()) return false;
    ResetEvent(g_readDone);
    SetEvent(g_wake);
    WaitForSingleObject(g_readDone, kReadWaitMs);
    EnterCriticalSection(&g_readLock);
    *read = g_lastRead;
    LeaveCriticalSection(&g_readLock);
    return read->playing;
}

void endMediaSession()
{
    if (!g_worker || g_stopWorker) return;
    InterlockedExchange(&g_stopWorker, 1);
    SetEvent(g_wake);
    // A worker still inside a call past the wait keeps its handle, and the
    // events it uses, until a later start finds it ended.
    if (WaitForSingleObject(g_worker, kWorkerEndWaitMs) != WAIT_OBJECT_0) return;
    CloseHandle(g_worker);
    g_worker = NULL;
    // A module kept loaded may be loaded again: its first events show no old track.
    g_lastRead = SessionRead();
}
