// mediasession.cpp -- mediasession.dll: Windows' system media session as WinRT objects with hand-made
// vtables, showing what the test program set through the functions in mediasession.h.
//
// Only what a reader of the session calls is there: a table of methods ends at the last slot it
// uses, except that the calls it must never make (commands, change handlers) are there and counted.
// Every object lives exactly as long as someone holds it, so the count of objects alive falls to zero
// once the module has let go of everything, and a reference it forgets shows.
#include <windows.h>
#include <winstring.h>

#include <vector>

#include "mediasession.h"

namespace {

const HRESULT kOutOfBounds = 0x8000000B;       // E_BOUNDS
const HRESULT kNotInThisState = 0x8000000E;    // E_ILLEGAL_METHOD_CALL
const HRESULT kCannotChangeState = 0x8000000D; // E_ILLEGAL_STATE_CHANGE
const HRESULT kGone = RPC_E_DISCONNECTED;      // the system's side restarted
enum AsyncStatus { kStarted = 0, kCompleted = 1, kCanceled = 2 };

const wchar_t kClassKey[] = L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\" STANDIN_MEDIA_CLASS;

const GUID kIidAsyncInfo = {0x00000036, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidManagerStatics = {0x2050c4ee, 0x11a0, 0x57de, {0xae, 0xd7, 0xc9, 0x7c, 0x70, 0x33, 0x82, 0x45}};

// ---- The state the test program sets, and what the objects count for it.

// Guards the fields below that are not counted with Interlocked calls. Never held while calling into
// an object that is not ours.
CRITICAL_SECTION g_lock;
std::vector<StandinSession> g_sessions;
int g_current = -1;
int g_managerDelayMs, g_propertiesDelayMs;
std::vector<HANDLE> g_completers; // the threads that complete operations later

LONG g_generation; // of the system's side: a restart begins a new one
LONG g_reads, g_forbiddenCalls, g_startedPolls, g_objectsAlive;
HANDLE g_managerHandedOut;
HMODULE g_self;

struct Lock {
    Lock() { EnterCriticalSection(&g_lock); }
    ~Lock() { LeaveCriticalSection(&g_lock); }
};

HRESULT makeString(const wchar_t *text, HSTRING *string)
{
    return WindowsCreateString(text, text ? static_cast<UINT32>(wcslen(text)) : 0, string);
}

// ---- Objects: a table of methods first, as every COM interface pointer is, then a reference count.
// None has C++ virtual functions, which would put the compiler's own table first.

typedef void (*Slot)(); // a table entry; whoever calls it casts it back to the method's true type
template <typename Method> Slot slot(Method method) { return reinterpret_cast<Slot>(method); }

struct Object {
    const Slot *vtable;
    LONG refs;
    void (*destroy)(Object *object);
};

template <typename T> void destroyAs(Object *object) { delete static_cast<T *>(object); }

template <typename T> T *create(const Slot *vtable)
{
    T *object = new T();
    object->vtable = vtable;
    object->refs = 1;
    object->destroy = destroyAs<T>;
    InterlockedIncrement(&g_objectsAlive);
    return object;
}

ULONG __stdcall addRef(Object *self) { return InterlockedIncrement(&self->refs); }

ULONG __stdcall release(Object *self)
{
    const LONG refs = self ? InterlockedDecrement(&self->refs) : 1;
    if (refs == 0) {
        self->destroy(self);
        InterlockedDecrement(&g_objectsAlive);
    }
    return refs;
}

HRESULT __stdcall queryInterface(Object *self, REFIID iid, void **out)
{
    *out = nullptr;
    if (iid != IID_IUnknown) return E_NOINTERFACE;
    addRef(self);
    *out = self;
    return S_OK;
}

// IInspectable's own methods and reads the module has no use for: one or two out-parameters.
HRESULT __stdcall unused1(Object *, void *) { return E_NOTIMPL; }
HRESULT __stdcall unused2(Object *, void *, void *) { return E_NOTIMPL; }
#define INSPECTABLE_SLOTS(queryInterfaceMethod) \
    slot(queryInterfaceMethod), slot(addRef), slot(release), slot(unused2), slot(unused1), slot(unused1)

// The calls the module must never make, by the 32-bit words their arguments take, so that a call
// returns with the stack as the caller left it and the count is all a test sees.
HRESULT forbidden()
{
    InterlockedIncrement(&g_forbiddenCalls);
    return E_NOTIMPL;
}
HRESULT __stdcall forbidden1(Object *, void *) { return forbidden(); }
HRESULT __stdcall forbidden2(Object *, void *, void *) { return forbidden(); }
HRESULT __stdcall forbidden3(Object *, void *, void *, void *) { return forbidden(); }

// ---- Asynchronous operations: IAsyncOperation<T> on the object, IAsyncInfo on a second table in it.
// The caller's completion handler is known by its table alone.

struct Handler {
    const struct HandlerTable *table;
};
struct HandlerTable {
    void *queryInterface;
    ULONG(__stdcall *addRef)(Handler *self);
    ULONG(__stdcall *release)(Handler *self);
    HRESULT(__stdcall *invoke)(Handler *self, void *operation, INT32 status);
};

struct Operation;
struct OperationInfo {
    const Slot *vtable;
    Operation *owner;
};
struct Operation : Object {
    OperationInfo info;
    int status = kStarted;
    bool givesManager = false;
    int delayMs = 0;
    Object *result = nullptr;     // GetResults hands it out once completed
    Handler *completed = nullptr; // held until Close
    ~Operation()
    {
        release(result);
        if (completed) completed->table->release(completed);
    }
};

// A started operation ends as status says, and tells its handler.
void finish(Operation *operation, int status)
{
    Handler *handler;
    {
        Lock lock;
        if (operation->status != kStarted) return;
        operation->status = status;
        handler = operation->completed;
        if (handler) handler->table->addRef(handler);
    }
    if (!handler) return;
    handler->table->invoke(handler, operation, status);
    handler->table->release(handler);
}

DWORD WINAPI completeLater(void *operationAddress)
{
    Operation *operation = static_cast<Operation *>(operationAddress);
    Sleep(operation->delayMs);
    finish(operation, kCompleted);
    release(operation);
    return 0;
}

HRESULT __stdcall operationQueryInterface(Operation *self, REFIID iid, void **out)
{
    if (iid != kIidAsyncInfo) return queryInterface(self, iid, out);
    addRef(self);
    *out = &self->info;
    return S_OK;
}

HRESULT __stdcall putCompleted(Operation *self, Handler *handler)
{
    int status;
    {
        Lock lock;
        handler->table->addRef(handler);
        self->completed = handler;
        status = self->status;
    }
    // Ended already: told now; otherwise finish() tells it.
    if (status != kStarted) handler->table->invoke(handler, self, status);
    return S_OK;
}

HRESULT __stdcall getResults(Operation *self, Object **result)
{
    Lock lock;
    *result = nullptr;
    if (self->status != kCompleted) return kNotInThisState;
    if (self->givesManager) SetEvent(g_managerHandedOut);
    addRef(self->result);
    *result = self->result;
    return S_OK;
}

HRESULT __stdcall infoQueryInterface(OperationInfo *self, REFIID iid, void **out)
{
    return operationQueryInterface(self->owner, iid, out);
}
ULONG __stdcall infoAddRef(OperationInfo *self) { return addRef(self->owner); }
ULONG __stdcall infoRelease(OperationInfo *self) { return release(self->owner); }

HRESULT __stdcall infoStatus(OperationInfo *self, INT32 *status)
{
    Lock lock;
    *status = self->owner->status;
    if (*status == kStarted) InterlockedIncrement(&g_startedPolls);
    return S_OK;
}

HRESULT __stdcall infoCancel(OperationInfo *self)
{
    finish(self->owner, kCanceled);
    return S_OK;
}

HRESULT __stdcall infoClose(OperationInfo *self)
{
    Handler *handler;
    {
        Lock lock;
        if (self->owner->status == kStarted) return kCannotChangeState;
        handler = self->owner->completed;
        self->owner->completed = nullptr;
    }
    if (handler) handler->table->release(handler);
    return S_OK;
}

const Slot kInfoSlots[] = {
    slot(infoQueryInterface), slot(infoAddRef), slot(infoRelease), slot(unused2), slot(unused1), slot(unused1),
    slot(unused1), slot(infoStatus), slot(unused1), slot(infoCancel), slot(infoClose), // 6 get_Id, 8 get_ErrorCode
};
const Slot kOperationSlots[] = {
    INSPECTABLE_SLOTS(operationQueryInterface), slot(putCompleted), slot(unused1), slot(getResults),
};

// Holds result until it completes, delayMs from now on a thread of its own (0: at once, -1: never).
// Under g_lock.
Operation *startOperation(Object *result, int delayMs)
{
    Operation *operation = create<Operation>(kOperationSlots);
    operation->info = {kInfoSlots, operation};
    operation->result = result;
    operation->delayMs = delayMs;
    if (delayMs == 0) operation->status = kCompleted;
    if (delayMs <= 0) return operation;
    addRef(operation);
    HANDLE thread = CreateThread(nullptr, 0, completeLater, operation, 0, nullptr);
    if (thread) g_completers.push_back(thread);
    else release(operation);
    return operation;
}

// ---- A session and what it gives: each a copy of the session as it was when asked for, read
// through the table of what it stands for.

struct Snapshot : Object {
    StandinSession state;
};

Snapshot *snapshot(const Slot *vtable, const StandinSession &state)
{
    Snapshot *made = create<Snapshot>(vtable);
    made->state = state;
    return made;
}

HRESULT __stdcall propertiesTitle(Snapshot *self, HSTRING *text) { return makeString(self->state.title, text); }
HRESULT __stdcall propertiesArtist(Snapshot *self, HSTRING *text) { return makeString(self->state.artist, text); }
const Slot kMediaPropertiesSlots[] = {
    INSPECTABLE_SLOTS(queryInterface), slot(propertiesTitle), slot(unused1), slot(unused1), // 7-8 subtitle, album artist
    slot(propertiesArtist),
};

template <long long StandinSession::*field> HRESULT __stdcall timelineTime(Snapshot *self, INT64 *time)
{
    *time = self->state.*field;
    return S_OK;
}
const Slot kTimelineSlots[] = {
    INSPECTABLE_SLOTS(queryInterface), slot(timelineTime<&StandinSession::start>),
    slot(timelineTime<&StandinSession::end>), slot(unused1), slot(unused1), // 8-9 the seek bounds
    slot(timelineTime<&StandinSession::position>), slot(timelineTime<&StandinSession::lastUpdated>),
};

HRESULT __stdcall playbackStatus(Snapshot *self, INT32 *status)
{
    *status = self->state.status;
    return S_OK;
}
const Slot kPlaybackInfoSlots[] = {INSPECTABLE_SLOTS(queryInterface), slot(unused1), slot(playbackStatus)};

HRESULT __stdcall sessionMediaProperties(Snapshot *self, Operation **operation)
{
    Lock lock;
    *operation = startOperation(snapshot(kMediaPropertiesSlots, self->state), g_propertiesDelayMs);
    return S_OK;
}

template <const Slot *vtable> HRESULT __stdcall sessionPart(Snapshot *self, Snapshot **part)
{
    *part = snapshot(vtable, self->state);
    return S_OK;
}

const Slot kSessionSlots[] = {
    INSPECTABLE_SLOTS(queryInterface),
    slot(unused1), // 6 get_SourceAppUserModelId
    slot(sessionMediaProperties),
    slot(sessionPart<kTimelineSlots>),
    slot(sessionPart<kPlaybackInfoSlots>),
    // 10-20 play, pause, stop, record, fast forward, rewind, skip next and previous, channel up and
    // down, toggle play and pause; 21 repeat mode, 22 rate, 23 shuffle, 24 position
    slot(forbidden1), slot(forbidden1), slot(forbidden1), slot(forbidden1), slot(forbidden1), slot(forbidden1),
    slot(forbidden1), slot(forbidden1), slot(forbidden1), slot(forbidden1), slot(forbidden1),
    slot(forbidden2), slot(forbidden3), slot(forbidden2), slot(forbidden3),
    // 25-30 change handlers for the timeline, the playback info and the media properties, added and removed
    slot(forbidden2), slot(forbidden2), slot(forbidden2), slot(forbidden2), slot(forbidden2), slot(forbidden2),
};

// The list shows the sessions as they are when asked.
HRESULT __stdcall listGetAt(Object *, UINT32 index, Snapshot **session)
{
    Lock lock;
    *session = index < g_sessions.size() ? snapshot(kSessionSlots, g_sessions[index]) : nullptr;
    return *session ? S_OK : kOutOfBounds;
}
HRESULT __stdcall listSize(Object *, UINT32 *size)
{
    Lock lock;
    *size = static_cast<UINT32>(g_sessions.size());
    return S_OK;
}
const Slot kSessionListSlots[] = {INSPECTABLE_SLOTS(queryInterface), slot(listGetAt), slot(listSize)};

// ---- The manager, its statics and the activation factory.

struct Manager : Object {
    LONG generation;
};

HRESULT __stdcall managerCurrentSession(Manager *self, Snapshot **session)
{
    InterlockedIncrement(&g_reads);
    *session = nullptr;
    Lock lock;
    if (self->generation != g_generation) return kGone;
    if (g_current >= 0) *session = snapshot(kSessionSlots, g_sessions[g_current]);
    return S_OK;
}

HRESULT __stdcall managerSessions(Manager *self, Object **list)
{
    *list = self->generation == g_generation ? create<Object>(kSessionListSlots) : nullptr;
    return *list ? S_OK : kGone;
}

const Slot kManagerSlots[] = {
    INSPECTABLE_SLOTS(queryInterface), slot(managerCurrentSession), slot(managerSessions),
    // 8-11 change handlers for the current session and the list, added and removed
    slot(forbidden2), slot(forbidden2), slot(forbidden2), slot(forbidden2),
};

HRESULT __stdcall staticsRequest(Object *, Operation **operation)
{
    Lock lock;
    Manager *manager = create<Manager>(kManagerSlots);
    manager->generation = g_generation;
    *operation = startOperation(manager, g_managerDelayMs);
    (*operation)->givesManager = true;
    return S_OK;
}

// The activation factory is its own statics: a reader asks it for nothing else.
HRESULT __stdcall factoryQueryInterface(Object *self, REFIID iid, void **out)
{
    return queryInterface(self, iid == kIidManagerStatics ? IID_IUnknown : iid, out);
}
const Slot kFactorySlots[] = {INSPECTABLE_SLOTS(factoryQueryInterface), slot(staticsRequest)};

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void *)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        InitializeCriticalSection(&g_lock);
        g_managerHandedOut = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

// combase asks only for the class the DLL is registered under.
HRESULT __stdcall DllGetActivationFactory(HSTRING, void **factory)
{
    *factory = create<Object>(kFactorySlots);
    return S_OK;
}

void __cdecl standinSetSessions(const StandinSession *sessions, int count, int current)
{
    Lock lock;
    g_sessions.assign(sessions, sessions + count);
    g_current = current >= 0 && current < static_cast<int>(g_sessions.size()) ? current : -1;
}

void __cdecl standinSetDelays(int managerMs, int propertiesMs)
{
    Lock lock;
    g_managerDelayMs = managerMs;
    g_propertiesDelayMs = propertiesMs;
}

void __cdecl standinDisconnect() { InterlockedIncrement(&g_generation); }

int __cdecl standinAwaitManager(int ms) { return WaitForSingleObject(g_managerHandedOut, ms) == WAIT_OBJECT_0; }
int __cdecl standinReads() { return g_reads; }
int __cdecl standinForbiddenCalls() { return g_forbiddenCalls; }
int __cdecl standinStartedPolls() { return g_startedPolls; }

int __cdecl standinObjectsAlive()
{
    std::vector<HANDLE> threads;
    {
        Lock lock;
        threads.swap(g_completers);
    }
    for (HANDLE thread : threads) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    return g_objectsAlive;
}

int __cdecl standinRegister(int on)
{
    if (!on) {
        LSTATUS removed = RegDeleteKeyW(HKEY_LOCAL_MACHINE, kClassKey);
        return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
    }
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(g_self, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return 0;
    // Wine's combase needs DllPath alone.
    return !RegSetKeyValueW(HKEY_LOCAL_MACHINE, kClassKey, L"DllPath", REG_SZ, path, (length + 1) * sizeof *path);
}

} // extern "C"
