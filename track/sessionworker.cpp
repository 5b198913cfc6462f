// sessionworker.cpp -- the system's media session, read through WinRT on a worker thread of its own
#include "sessionworker.h"
#include "players.h"

#include <windows.h>

// The host's thread is the messenger's user-interface thread, possibly a
// single-threaded apartment already, and must never wait long: WinRT is called
// only from the worker, in a multithreaded apartment of its own.
const DWORD kReadWaitMs = 250;
const DWORD kAsyncWaitMs = 2000;
const DWORD kWorkerEndWaitMs = 1000;
// A manager the system did not give is asked for again no sooner than this.
const DWORD kManagerRetryMs = 60000;
// A manager whose calls fail is let go and a new one asked for within the same
// read: the system's side restarted, and the old one will never work again.
const u32 kManagersPerRead = 2;
// More sessions than anyone runs; a longer list is not looked through.
const u32 kSessionsLooked = 64;
// A worker that outlived its unload event may still run when the module, kept
// loaded by it, is loaded again: the new one gets the other link.
const u32 kLinkCount = 2;

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
const u32 kPutCompletedSlot = 6;        // IAsyncOperation<T>
const u32 kGetResultsSlot = 8;
const u32 kCancelSlot = 9;              // IAsyncInfo
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
const i32 kAsyncCompleted = 1;
const i32 kNoStatus = -1;

static const GUID kStaticsIid = {0x2050c4ee, 0x11a0, 0x57de, {0xae, 0xd7, 0xc9, 0x7c, 0x70, 0x33, 0x82, 0x45}};
static const GUID kAsyncInfoIid = {0x00000036, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const GUID kUnknownIid = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const GUID kAgileObjectIid = {0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};
// AsyncOperationCompletedHandler<T> for the manager and for the media properties.
static const GUID kManagerHandlerIid = {0x10f0074e, 0x923d, 0x5510, {0x8f, 0x4a, 0xdd, 0xe3, 0x77, 0x54, 0xca, 0x0e}};
static const GUID kPropertiesHandlerIid = {0x84593a3d, 0x951a, 0x55b6, {0x83, 0x53, 0x52, 0x05, 0xe5, 0x77, 0x79, 0x7b}};

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

// What the host's thread and one worker share, from the load event until both
// have let go of it; the last to let go closes it.
struct WorkerLink {
    volatile LONG claimed; // by a load event, until it is closed
    volatile LONG holders; // the host's side and the worker
    HMODULE self;          // the worker's own reference to the module
    HANDLE thread;
    HANDLE wake;      // auto-reset: an event asks for a read
    HANDLE readDone;  // auto-reset: the read is in lastRead
    HANDLE stop;      // manual-reset: the unload event
    HANDLE awaitDone; // auto-reset: the awaited operation has ended
    CRITICAL_SECTION lock; // guards lastRead
    SessionRead lastRead;
    // The operation the worker awaits, claimed by the completion that reports it.
    void *volatile awaited;
    volatile LONG awaitedStatus;
};
static WorkerLink g_links[kLinkCount];
// The host's side: the link of the worker this load started.
static WorkerLink *g_link;

// The worker's own: the runtime, the manager's statics (kept for its life,
// as each activation may cost the system something) and the manager.
struct Worker {
    WorkerLink *link;
    Runtime runtime;
    WinRtObject *statics;
    WinRtObject *manager;
    bool requestFailed;
    DWORD requestFailedAt;
};

// ---- The completion handler: one object for each kind of operation, shared by
// every worker. An operation may hold it past the worker's wait, so it finds
// the worker by the operation it reports, and tells none that gave up on it.

struct CompletionHandler {
    void *const *methods;
    const GUID *iid;
};

// References the system holds to the handlers: while any is held, an operation
// may still call into the module.
static volatile LONG g_handlerRefs;

static HRESULT WINAPI handlerQueryInterface(CompletionHandler *self, const GUID *iid, void **out)
{
    const GUID *const answered[] = {&kUnknownIid, &kAgileObjectIid, self->iid};
    *out = NULL;
    for (const GUID *known : answered)
        if (sameBytes(iid, known, sizeof(GUID))) {
            InterlockedIncrement(&g_handlerRefs);
            *out = self;
            return S_OK;
        }
    return E_NOINTERFACE;
}

static ULONG WINAPI handlerAddRef(CompletionHandler *)
{
    return (ULONG)InterlockedIncrement(&g_handlerRefs);
}

static ULONG WINAPI handlerRelease(CompletionHandler *)
{
    return (ULONG)InterlockedDecrement(&g_handlerRefs);
}

static HRESULT WINAPI handlerInvoke(CompletionHandler *, void *operation, i32 status)
{
    for (WorkerLink &link : g_links)
        if (operation && InterlockedCompareExchangePointer(&link.awaited, NULL, operation) == operation) {
            link.awaitedStatus = status;
            SetEvent(link.awaitDone);
        }
    return S_OK;
}

static void *const kHandlerMethods[] = {(void *)handlerQueryInterface, (void *)handlerAddRef, (void *)handlerRelease,
                                        (void *)handlerInvoke};
static CompletionHandler g_managerHandler = {kHandlerMethods, &kManagerHandlerIid};
static CompletionHandler g_propertiesHandler = {kHandlerMethods, &kPropertiesHandlerIid};

// ---- The worker.

template <typename Function> static bool lookUp(Runtime *runtime, Function *function, const char *name)
{
    *function = (Function)(void *)GetProcAddress(runtime->module, name);
    return *function != NULL;
}

static bool loadRuntime(Runtime *runtime)
{
    // From the system's folder only: where Windows has no combase.dll (7 and
    // before), a bare name would be looked for in the messenger's folder, the
    // current one and the PATH. Systems that know no such flag have no WinRT.
    runtime->module = LoadLibraryExA(kRuntimeModule, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return runtime->module && lookUp(runtime, &runtime->initialize, "RoInitialize") &&
           lookUp(runtime, &runtime->uninitialize, "RoUninitialize") &&
           lookUp(runtime, &runtime->activationFactory, "RoGetActivationFactory") &&
           lookUp(runtime, &runtime->stringReference, "WindowsCreateStringReference") &&
           lookUp(runtime, &runtime->rawBuffer, "WindowsGetStringRawBuffer") &&
           lookUp(runtime, &runtime->deleteString, "WindowsDeleteString");
}

// Awaits an asynchronous operation through its completion handler, for a while
// and while the worker is not told to end, and gives its result; the operation
// is let go either way. Its completion is awaited, never polled for: a Sleep
// lasts at least a timer tick, 15.6 ms on Windows.
static WinRtObject *awaitResult(WorkerLink *link, WinRtObject *operation, CompletionHandler *handler)
{
    WinRtObject *info = NULL, *result = NULL;
    if (operation && SUCCEEDED(call(operation, kQueryInterfaceSlot, &kAsyncInfoIid, &info)) && info) {
        InterlockedExchangePointer(&link->awaited, operation);
        const HANDLE ends[] = {link->awaitDone, link->stop};
        DWORD waited = WAIT_FAILED;
        // An operation that has ended already reports it from within put_Completed.
        if (SUCCEEDED(call(operation, kPutCompletedSlot, handler)))
            waited = WaitForMultipleObjects(dimof(ends), ends, FALSE, kAsyncWaitMs);
        // Taken back unless its completion claimed it: nothing it reports later counts.
        const bool ended = InterlockedExchangePointer(&link->awaited, NULL) == NULL;
        // Claimed as the wait gave up: its signal is on its way and must not
        // end the next wait early.
        if (ended && waited != WAIT_OBJECT_0) WaitForSingleObject(link->awaitDone, kAsyncWaitMs);
        if (ended && link->awaitedStatus == kAsyncCompleted && FAILED(call(operation, kGetResultsSlot, &result)))
            result = NULL;
        if (!ended) call(info, kCancelSlot);
        call(info, kCloseSlot);
        release(info);
    }
    release(operation);
    return result;
}

static bool activateStatics(Worker *w)
{
    HStringHeader header;
    HString name = NULL;
    return SUCCEEDED(w->runtime.stringReference(kManagerClass, dimof(kManagerClass) - 1, &header, &name)) &&
           SUCCEEDED(w->runtime.activationFactory(name, &kStaticsIid, (void **)&w->statics)) && w->statics;
}

static bool haveManager(Worker *w)
{
    if (w->manager) return true;
    if (w->requestFailed && GetTickCount() - w->requestFailedAt < kManagerRetryMs) return false;
    WinRtObject *operation = NULL;
    if (FAILED(call(w->statics, kRequestAsyncSlot, &operation))) operation = NULL;
    w->manager = awaitResult(w->link, operation, &g_managerHandler);
    w->requestFailed = w->manager == NULL;
    w->requestFailedAt = GetTickCount();
    return w->manager != NULL;
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
// managerFailed tells that a call on the manager itself failed.
static WinRtObject *playingSession(WinRtObject *manager, bool *managerFailed)
{
    WinRtObject *session = NULL, *sessions = NULL;
    *managerFailed = FAILED(call(manager, kGetCurrentSessionSlot, &session));
    if (*managerFailed) return NULL;
    if (session && playbackStatus(session) == kSessionPlaying) return session;
    release(session);
    session = NULL;
    *managerFailed = FAILED(call(manager, kGetSessionsSlot, &sessions));
    if (*managerFailed || !sessions) return NULL;
    UINT32 count = 0;
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

static const u8 *rawUnits(const Runtime &runtime, HString string, UINT32 *units)
{
    *units = 0;
    return string ? (const u8 *)runtime.rawBuffer(string, units) : NULL;
}

static void readName(Worker *w, WinRtObject *session, SessionRead *read)
{
    WinRtObject *operation = NULL;
    if (FAILED(call(session, kMediaPropertiesSlot, &operation))) operation = NULL;
    WinRtObject *properties = awaitResult(w->link, operation, &g_propertiesHandler);
    if (!properties) return;
    HString title = NULL, artist = NULL;
    if (FAILED(call(properties, kTitleSlot, &title))) title = NULL;
    if (FAILED(call(properties, kArtistSlot, &artist))) artist = NULL;
    UINT32 titleUnits, artistUnits;
    const u8 *titleText = rawUnits(w->runtime, title, &titleUnits);
    const u8 *artistText = rawUnits(w->runtime, artist, &artistUnits);
    read->nameUnits = artistTitleName(artistText, artistUnits, titleText, titleUnits, read->name, kSessionNameCap);
    if (title) w->runtime.deleteString(title);
    if (artist) w->runtime.deleteString(artist);
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

static void readSession(Worker *w, SessionRead *read)
{
    for (u32 managers = 0; managers < kManagersPerRead && haveManager(w); managers++) {
        bool managerFailed;
        WinRtObject *session = playingSession(w->manager, &managerFailed);
        if (!managerFailed) {
            if (!session) return;
            readName(w, session, read);
            readTimeline(session, read);
            release(session);
            read->playing = read->nameUnits != 0;
            return;
        }
        release(w->manager);
        w->manager = NULL;
    }
}

// The last to let go of a link closes what it holds, and frees it for a later load.
static void letGo(WorkerLink *link)
{
    if (InterlockedDecrement(&link->holders)) return;
    const HANDLE handles[] = {link->thread, link->wake, link->readDone, link->stop, link->awaitDone};
    for (HANDLE handle : handles)
        if (handle) CloseHandle(handle);
    DeleteCriticalSection(&link->lock);
    link->thread = link->wake = link->readDone = link->stop = link->awaitDone = NULL;
    InterlockedExchange(&link->claimed, 0);
}

// The worker holds a reference to the module of its own and lets it go as it
// ends, so even a host that frees the module early never unmaps code this
// thread still runs.
static DWORD WINAPI runWorker(void *linkAddress)
{
    Worker w = {};
    w.link = (WorkerLink *)linkAddress;
    WorkerLink *link = w.link;
    const HRESULT initialized = loadRuntime(&w.runtime) ? w.runtime.initialize(kRoInitMultithreaded) : E_FAIL;
    // Where there is no media session the worker ends at once, and its ended
    // thread tells the host's side so.
    if (SUCCEEDED(initialized) && activateStatics(&w)) {
        haveManager(&w);
        const HANDLE wakes[] = {link->stop, link->wake};
        while (WaitForMultipleObjects(dimof(wakes), wakes, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            SessionRead read = {};
            readSession(&w, &read);
            EnterCriticalSection(&link->lock);
            link->lastRead = read;
            LeaveCriticalSection(&link->lock);
            SetEvent(link->readDone);
        }
    }
    release(w.manager);
    release(w.statics);
    if (SUCCEEDED(initialized)) w.runtime.uninitialize();
    if (w.runtime.module) FreeLibrary(w.runtime.module);
    HMODULE self = link->self;
    letGo(link);
    // An operation that still holds a completion handler would call into the
    // module once it ends: the module is kept loaded for it.
    if (g_handlerRefs) ExitThread(0);
    FreeLibraryAndExitThread(self, 0);
    return 0;
}

void startMediaSession()
{
    if (g_link) return;
    WorkerLink *link = NULL;
    for (WorkerLink &candidate : g_links)
        if (!link && InterlockedCompareExchange(&candidate.claimed, 1, 0) == 0) link = &candidate;
    if (!link) return;
    InitializeCriticalSection(&link->lock);
    link->lastRead = SessionRead();
    link->holders = 1;
    link->wake = CreateEventA(NULL, FALSE, FALSE, NULL);
    link->readDone = CreateEventA(NULL, FALSE, FALSE, NULL);
    link->stop = CreateEventA(NULL, TRUE, FALSE, NULL);
    link->awaitDone = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (link->wake && link->readDone && link->stop && link->awaitDone &&
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)(void *)runWorker, &link->self)) {
        link->holders = 2;
        link->thread = CreateThread(NULL, 0, runWorker, link, 0, NULL);
        if (!link->thread) {
            link->holders = 1;
            FreeLibrary(link->self);
        }
    }
    if (link->thread) g_link = link;
    else letGo(link);
}

bool readMediaSession(SessionRead *read)
{
    WorkerLink *link = g_link;
    if (!link || WaitForSingleObject(link->thread, 0) == WAIT_OBJECT_0) return false;
    ResetEvent(link->readDone);
    SetEvent(link->wake);
    const HANDLE ends[] = {link->readDone, link->thread};
    WaitForMultipleObjects(dimof(ends), ends, FALSE, kReadWaitMs);
    EnterCriticalSection(&link->lock);
    *read = link->lastRead;
    LeaveCriticalSection(&link->lock);
    return read->playing;
}

void endMediaSession()
{
    WorkerLink *link = g_link;
    if (!link) return;
    g_link = NULL;
    SetEvent(link->stop);
    // A worker still inside a call past the wait lets go of the link itself
    // when it ends; until then the link is not given to another load.
    WaitForSingleObject(link->thread, kWorkerEndWaitMs);
    letGo(link);
}
