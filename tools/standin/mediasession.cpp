// mediasession.cpp -- mediasession.dll: Windows' system media session as WinRT objects with hand-made
// vtables, showing what the test program set through the functions in mediasession.h.
//
// Nothing is kept for later: every object lives exactly as long as someone holds it, so the count of
// objects alive falls to zero once the module has let go of everything, and a reference it forgets
// shows. The one exception to fresh objects is the session: asking twice for the session at the same
// place gives the same object while anyone holds it, as Windows does, so comparing pointers works.
#include <windows.h>

#include <string>
#include <vector>

#include "mediasession.h"

namespace {

// ---- Results and constants of the Windows Runtime that the Windows headers here lack.

typedef struct StandinString *HSTRING;
typedef unsigned char boolean8; // a WinRT boolean: one byte

const HRESULT kOutOfBounds = 0x8000000B;          // E_BOUNDS
const HRESULT kNotInThisState = 0x8000000E;       // E_ILLEGAL_METHOD_CALL
const HRESULT kCannotChangeState = 0x8000000D;    // E_ILLEGAL_STATE_CHANGE
const HRESULT kHandlerAlreadySet = 0x80000018;    // E_ILLEGAL_DELEGATE_ASSIGNMENT
const HRESULT kSessionGone = RPC_E_DISCONNECTED;  // the list no longer reaches the session's place
const HRESULT kCancelled = HRESULT_FROM_WIN32(ERROR_CANCELLED);

enum AsyncStatus { kStarted = 0, kCompleted = 1, kCanceled = 2 };
const int kBaseTrust = 0;

const wchar_t kAppIdPrefix[] = L"StandinPlayer";
const wchar_t kClassKey[] = L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\" STANDIN_MEDIA_CLASS;
const DWORD kInProcess = 0;      // ActivationType
const DWORD kAnyApartment = 0;   // Threading: Both

const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidInspectable = {0xAF86E2E0, 0xB12D, 0x4c6a, {0x9C, 0x5A, 0xD7, 0xAA, 0x65, 0x10, 0x1E, 0x90}};
const GUID kIidAgileObject = {0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};
const GUID kIidActivationFactory = {0x00000035, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidAsyncInfo = {0x00000036, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidManagerStatics = {0x2050c4ee, 0x11a0, 0x57de, {0xae, 0xd7, 0xc9, 0x7c, 0x70, 0x33, 0x82, 0x45}};
const GUID kIidManagerOperation = {0x3eec115e, 0x7346, 0x5c27, {0x8c, 0x5f, 0xda, 0x78, 0x51, 0x4a, 0x27, 0x7b}};
const GUID kIidPropertiesOperation = {0xb185e6f3, 0xe0d8, 0x51cb, {0x91, 0x3f, 0xc9, 0x8d, 0x48, 0xc9, 0x3c, 0x46}};
const GUID kIidManager = {0xcace8eac, 0xe86e, 0x504a, {0xab, 0x31, 0x5f, 0xf8, 0xff, 0x1b, 0xce, 0x49}};
const GUID kIidSessionList = {0x9b2672da, 0x5088, 0x5a1d, {0xac, 0xd9, 0xa3, 0xfc, 0x5e, 0xf1, 0xcf, 0xa4}};
const GUID kIidSession = {0x7148c835, 0x9b14, 0x5ae2, {0xab, 0x85, 0xdc, 0x9b, 0x1c, 0x14, 0xe1, 0xa8}};
const GUID kIidMediaProperties = {0x68856cf6, 0xadb4, 0x54b2, {0xac, 0x16, 0x05, 0x83, 0x79, 0x07, 0xac, 0xb6}};
const GUID kIidTimeline = {0xede34136, 0x6f25, 0x588d, {0x8e, 0xcf, 0xea, 0x5b, 0x67, 0x35, 0xaa, 0xa5}};
const GUID kIidPlaybackInfo = {0x94b4b6cf, 0xe8ba, 0x51ad, {0x87, 0xa7, 0xc1, 0x0a, 0xde, 0x10, 0x61, 0x27}};

#define MEDIA_CONTROL L"Windows.Media.Control.GlobalSystemMediaTransportControls"

// ---- The state the test program sets, and what the objects count for it.

struct SessionState {
    int status;
    std::wstring title, artist;
    INT64 start, end, position, lastUpdated;
};

// Guards every field below that is not counted with Interlocked calls. Never held while calling
// into an object that is not ours, which may call back from another thread.
CRITICAL_SECTION g_lock;
std::vector<SessionState> g_sessions;
int g_current = -1;
bool g_managerStalls = false;
bool g_propertiesStall = false;

LONG g_callsMade = 0;
LONG g_commandsCalled = 0;
LONG g_objectsAlive = 0;
LONG g_lastOperationId = 0;
HMODULE g_self;

enum Event { kCurrentSessionChanged, kSessionsChanged, kTimelineChanged, kPlaybackInfoChanged, kMediaPropertiesChanged };
struct Registration {
    Event event;
    INT64 token;
    void *handler; // a reference held until the registration is removed
};
std::vector<Registration> g_registrations;
INT64 g_lastToken = 0;

class Lock {
public:
    Lock() { EnterCriticalSection(&g_lock); }
    ~Lock() { LeaveCriticalSection(&g_lock); }
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;
};

void countCall() { InterlockedIncrement(&g_callsMade); }

// ---- combase's strings, found at run time as the module finds them.

typedef HRESULT(__stdcall *CreateStringFunction)(const wchar_t *text, UINT32 length, HSTRING *string);
typedef const wchar_t *(__stdcall *RawBufferFunction)(HSTRING string, UINT32 *length);

void *combaseFunction(const char *name)
{
    // Loaded once and kept: the HSTRINGs handed out must outlive any call here. Two threads racing
    // to load it only raise its load count.
    static HMODULE combase;
    if (!combase) combase = LoadLibraryW(L"combase.dll");
    return combase ? reinterpret_cast<void *>(GetProcAddress(combase, name)) : nullptr;
}

HRESULT makeString(const std::wstring &text, HSTRING *string)
{
    if (!string) return E_POINTER;
    *string = nullptr;
    CreateStringFunction create = reinterpret_cast<CreateStringFunction>(combaseFunction("WindowsCreateString"));
    if (!create) return E_FAIL;
    return create(text.c_str(), static_cast<UINT32>(text.size()), string);
}

// ---- Foreign objects (the caller's handlers): only their vtable slots are known.

typedef void (*Slot)(); // a vtable entry; whoever calls it casts it back to the method's true type
template <typename Method> Slot slot(Method method) { return reinterpret_cast<Slot>(method); }

struct Foreign {
    const Slot *vtable;
};
const int kAddRefSlot = 1, kReleaseSlot = 2, kInvokeSlot = 3;
typedef ULONG(__stdcall *CountMethod)(void *self);
typedef HRESULT(__stdcall *CompletedMethod)(void *self, void *operation, INT32 status);

void foreignAddRef(void *object)
{
    reinterpret_cast<CountMethod>(static_cast<Foreign *>(object)->vtable[kAddRefSlot])(object);
}
void foreignRelease(void *object)
{
    if (object) reinterpret_cast<CountMethod>(static_cast<Foreign *>(object)->vtable[kReleaseSlot])(object);
}

// ---- Our objects: a vtable pointer first, as every COM interface pointer is, then a reference count.
// None has C++ virtual functions, which would put the compiler's own vtable first.

struct Object;
struct Type {
    const GUID *iid;
    const GUID *secondIid; // another interface its QueryInterface answers, or null
    const wchar_t *className;
    void (*destroy)(Object *object);
};
struct Object {
    const Slot *vtable;
    LONG refs;
    const Type *type;
};

template <typename T> T *create(const Slot *vtable, const Type *type)
{
    T *object = new T();
    object->vtable = vtable;
    object->refs = 1;
    object->type = type;
    InterlockedIncrement(&g_objectsAlive);
    return object;
}

template <typename T> void destroyAs(Object *object) { delete static_cast<T *>(object); }

ULONG addRefOf(Object *object) { return InterlockedIncrement(&object->refs); }

ULONG releaseOf(Object *object)
{
    if (!object) return 0;
    LONG refs = InterlockedDecrement(&object->refs);
    if (refs == 0) {
        object->type->destroy(object);
        InterlockedDecrement(&g_objectsAlive);
    }
    return refs;
}

bool answersCommon(const Object *object, REFIID iid)
{
    return iid == kIidUnknown || iid == kIidInspectable || iid == kIidAgileObject || iid == *object->type->iid;
}

HRESULT answer(Object *object, REFIID iid, void **out)
{
    if (!out) return E_POINTER;
    if (!answersCommon(object, iid)) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    addRefOf(object);
    *out = object;
    return S_OK;
}

HRESULT __stdcall queryInterface(Object *self, REFIID iid, void **out)
{
    countCall();
    return answer(self, iid, out);
}

ULONG __stdcall addRef(Object *self)
{
    countCall();
    return addRefOf(self);
}

ULONG __stdcall release(Object *self)
{
    countCall();
    return releaseOf(self);
}

HRESULT iidsOf(const Object *object, ULONG *count, IID **iids)
{
    if (!count || !iids) return E_POINTER;
    ULONG n = object->type->secondIid ? 2 : 1;
    *iids = static_cast<IID *>(CoTaskMemAlloc(n * sizeof(IID)));
    if (!*iids) {
        *count = 0;
        return E_OUTOFMEMORY;
    }
    (*iids)[0] = *object->type->iid;
    if (n == 2) (*iids)[1] = *object->type->secondIid;
    *count = n;
    return S_OK;
}

HRESULT __stdcall getIids(Object *self, ULONG *count, IID **iids)
{
    countCall();
    return iidsOf(self, count, iids);
}

HRESULT __stdcall getRuntimeClassName(Object *self, HSTRING *name)
{
    countCall();
    return makeString(self->type->className, name);
}

HRESULT __stdcall getTrustLevel(Object *, int *level)
{
    countCall();
    if (!level) return E_POINTER;
    *level = kBaseTrust;
    return S_OK;
}

#define INSPECTABLE_SLOTS(queryInterfaceMethod) \
    slot(queryInterfaceMethod), slot(addRef), slot(release), slot(getIids), slot(getRuntimeClassName), slot(getTrustLevel)

// Methods shared by several objects for what the stand-in leaves out.
HRESULT __stdcall giveNothing(Object *, void **out)
{
    countCall();
    if (!out) return E_POINTER;
    *out = nullptr;
    return S_OK;
}

HRESULT __stdcall notImplemented(Object *, void **out)
{
    countCall();
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT __stdcall giveEmptyText(Object *, HSTRING *text)
{
    countCall();
    return makeString(std::wstring(), text);
}

HRESULT __stdcall giveZero(Object *, INT32 *value)
{
    countCall();
    if (!value) return E_POINTER;
    *value = 0;
    return S_OK;
}

// ---- Event registrations, the same for the manager's events and the sessions'.

template <Event event> HRESULT __stdcall addHandler(Object *, void *handler, INT64 *token)
{
    countCall();
    if (!token) return E_POINTER;
    if (!handler) return E_INVALIDARG;
    foreignAddRef(handler);
    Lock lock;
    *token = ++g_lastToken;
    g_registrations.push_back({event, *token, handler});
    return S_OK;
}

template <Event event> HRESULT __stdcall removeHandler(Object *, INT64 token)
{
    countCall();
    void *handler = nullptr;
    {
        Lock lock;
        for (size_t i = 0; i < g_registrations.size(); i++) {
            if (g_registrations[i].event == event && g_registrations[i].token == token) {
                handler = g_registrations[i].handler;
                g_registrations.erase(g_registrations.begin() + i);
                break;
            }
        }
    }
    // A token that was never given, or given for another event, removes nothing, as in Windows.
    foreignRelease(handler);
    return S_OK;
}

// ---- Snapshots: what Windows hands out as the result of a query, fixed when made.

struct MediaProperties : Object {
    std::wstring title, artist;
};

HRESULT __stdcall propertiesTitle(MediaProperties *self, HSTRING *text)
{
    countCall();
    return makeString(self->title, text);
}

HRESULT __stdcall propertiesArtist(MediaProperties *self, HSTRING *text)
{
    countCall();
    return makeString(self->artist, text);
}

const Slot kMediaPropertiesSlots[] = {
    INSPECTABLE_SLOTS(queryInterface),
    slot(propertiesTitle), // 6 get_Title
    slot(giveEmptyText),   // 7 get_Subtitle
    slot(giveEmptyText),   // 8 get_AlbumArtist
    slot(propertiesArtist),
    slot(giveEmptyText),   // 10 get_AlbumTitle
    slot(giveZero),        // 11 get_TrackNumber
    slot(notImplemented),  // 12 get_Genres
    slot(giveZero),        // 13 get_AlbumTrackCount
    slot(giveNothing),     // 14 get_PlaybackType
    slot(giveNothing),     // 15 get_Thumbnail
};
static_assert(sizeof kMediaPropertiesSlots / sizeof(Slot) == 16, "media properties: 16 slots");
const Type kMediaPropertiesType = {&kIidMediaProperties, nullptr, MEDIA_CONTROL L"SessionMediaProperties",
                                   destroyAs<MediaProperties>};

struct Timeline : Object {
    INT64 start, end, position, lastUpdated;
};

template <INT64 Timeline::*field> HRESULT __stdcall timelineTime(Timeline *self, INT64 *time)
{
    countCall();
    if (!time) return E_POINTER;
    *time = self->*field;
    return S_OK;
}

const Slot kTimelineSlots[] = {
    INSPECTABLE_SLOTS(queryInterface),
    slot(timelineTime<&Timeline::start>),    // 6 get_StartTime
    slot(timelineTime<&Timeline::end>),      // 7 get_EndTime
    slot(timelineTime<&Timeline::start>),    // 8 get_MinSeekTime: the whole track is seekable
    slot(timelineTime<&Timeline::end>),      // 9 get_MaxSeekTime
    slot(timelineTime<&Timeline::position>), // 10 get_Position
    slot(timelineTime<&Timeline::lastUpdated>),
};
static_assert(sizeof kTimelineSlots / sizeof(Slot) == 12, "timeline: 12 slots");
const Type kTimelineType = {&kIidTimeline, nullptr, MEDIA_CONTROL L"SessionTimelineProperties", destroyAs<Timeline>};

struct PlaybackInfo : Object {
    int status;
};

HRESULT __stdcall playbackStatus(PlaybackInfo *self, INT32 *status)
{
    countCall();
    if (!status) return E_POINTER;
    *status = self->status;
    return S_OK;
}

const Slot kPlaybackInfoSlots[] = {
    INSPECTABLE_SLOTS(queryInterface),
    slot(notImplemented), // 6 get_Controls
    slot(playbackStatus),
    slot(giveNothing), // 8 get_PlaybackType
    slot(giveNothing), // 9 get_AutoRepeatMode
    slot(giveNothing), // 10 get_PlaybackRate
    slot(giveNothing), // 11 get_IsShuffleActive
};
static_assert(sizeof kPlaybackInfoSlots / sizeof(Slot) == 12, "playback info: 12 slots");
const Type kPlaybackInfoType = {&kIidPlaybackInfo, nullptr, MEDIA_CONTROL L"SessionPlaybackInfo",
                                destroyAs<PlaybackInfo>};

// ---- Asynchronous operations: IAsyncOperation<T> on the object, IAsyncInfo on a second vtable in it.

struct Operation;
struct OperationInfo {
    const Slot *vtable;
    Operation *owner;
};
struct Operation : Object {
    OperationInfo info;
    UINT32 id;
    int status;
    bool closed;
    Object *result;  // held from completion until Close or the end
    void *completed; // the caller's handler, held likewise
};

void destroyOperation(Object *object)
{
    Operation *operation = static_cast<Operation *>(object);
    releaseOf(operation->result);
    foreignRelease(operation->completed);
    delete operation;
}

Operation *createOperation(const Slot *vtable, const Type *type, const Slot *infoVtable)
{
    Operation *operation = create<Operation>(vtable, type);
    operation->info.vtable = infoVtable;
    operation->info.owner = operation;
    operation->id = static_cast<UINT32>(InterlockedIncrement(&g_lastOperationId));
    operation->status = kStarted;
    return operation;
}

void complete(Operation *operation, Object *result)
{
    operation->status = kCompleted;
    operation->result = result;
}

void tellCompleted(Operation *operation, void *handler, int status)
{
    reinterpret_cast<CompletedMethod>(static_cast<Foreign *>(handler)->vtable[kInvokeSlot])(handler, operation, status);
}

HRESULT __stdcall operationQueryInterface(Operation *self, REFIID iid, void **out)
{
    countCall();
    if (out && iid == kIidAsyncInfo) {
        addRefOf(self);
        *out = &self->info;
        return S_OK;
    }
    return answer(self, iid, out);
}

HRESULT __stdcall putCompleted(Operation *self, void *handler)
{
    countCall();
    if (!handler) return E_INVALIDARG;
    int status;
    {
        Lock lock;
        if (self->closed) return kNotInThisState;
        if (self->completed) return kHandlerAlreadySet;
        foreignAddRef(handler);
        self->completed = handler;
        status = self->status;
    }
    // Ended already: told now. Otherwise Cancel tells it, having seen the handler under the lock.
    if (status != kStarted) tellCompleted(self, handler, status);
    return S_OK;
}

HRESULT __stdcall getCompleted(Operation *self, void **handler)
{
    countCall();
    if (!handler) return E_POINTER;
    Lock lock;
    *handler = self->completed;
    if (*handler) foreignAddRef(*handler);
    return S_OK;
}

HRESULT __stdcall getResults(Operation *self, Object **result)
{
    countCall();
    if (!result) return E_POINTER;
    *result = nullptr;
    Lock lock;
    if (self->closed || self->status != kCompleted) return kNotInThisState;
    addRefOf(self->result);
    *result = self->result;
    return S_OK;
}

HRESULT __stdcall infoQueryInterface(OperationInfo *self, REFIID iid, void **out)
{
    return operationQueryInterface(self->owner, iid, out);
}
ULONG __stdcall infoAddRef(OperationInfo *self) { return addRef(self->owner); }
ULONG __stdcall infoRelease(OperationInfo *self) { return release(self->owner); }
HRESULT __stdcall infoGetIids(OperationInfo *self, ULONG *count, IID **iids) { return getIids(self->owner, count, iids); }
HRESULT __stdcall infoGetRuntimeClassName(OperationInfo *self, HSTRING *name)
{
    return getRuntimeClassName(self->owner, name);
}
HRESULT __stdcall infoGetTrustLevel(OperationInfo *self, int *level) { return getTrustLevel(self->owner, level); }

HRESULT __stdcall infoId(OperationInfo *self, UINT32 *id)
{
    countCall();
    if (!id) return E_POINTER;
    Lock lock;
    if (self->owner->closed) return kNotInThisState;
    *id = self->owner->id;
    return S_OK;
}

HRESULT __stdcall infoStatus(OperationInfo *self, INT32 *status)
{
    countCall();
    if (!status) return E_POINTER;
    Lock lock;
    if (self->owner->closed) return kNotInThisState;
    *status = self->owner->status;
    return S_OK;
}

HRESULT __stdcall infoErrorCode(OperationInfo *self, HRESULT *error)
{
    countCall();
    if (!error) return E_POINTER;
    Lock lock;
    if (self->owner->closed) return kNotInThisState;
    *error = self->owner->status == kCanceled ? kCancelled : S_OK;
    return S_OK;
}

HRESULT __stdcall infoCancel(OperationInfo *self)
{
    countCall();
    Operation *operation = self->owner;
    void *handler = nullptr;
    {
        Lock lock;
        if (operation->closed) return kNotInThisState;
        if (operation->status != kStarted) return S_OK;
        operation->status = kCanceled;
        handler = operation->completed;
        if (handler) foreignAddRef(handler);
    }
    if (handler) {
        tellCompleted(operation, handler, kCanceled);
        foreignRelease(handler);
    }
    return S_OK;
}

HRESULT __stdcall infoClose(OperationInfo *self)
{
    countCall();
    Operation *operation = self->owner;
    Object *result;
    void *handler;
    {
        Lock lock;
        if (operation->closed) return S_OK;
        if (operation->status == kStarted) return kCannotChangeState;
        operation->closed = true;
        result = operation->result;
        handler = operation->completed;
        operation->result = nullptr;
        operation->completed = nullptr;
    }
    releaseOf(result);
    foreignRelease(handler);
    return S_OK;
}

const Slot kInfoSlots[] = {
    slot(infoQueryInterface), slot(infoAddRef), slot(infoRelease),
    slot(infoGetIids), slot(infoGetRuntimeClassName), slot(infoGetTrustLevel),
    slot(infoId), slot(infoStatus), slot(infoErrorCode), slot(infoCancel), slot(infoClose),
};
static_assert(sizeof kInfoSlots / sizeof(Slot) == 11, "IAsyncInfo: 11 slots");

const Slot kOperationSlots[] = {
    INSPECTABLE_SLOTS(operationQueryInterface), slot(putCompleted), slot(getCompleted), slot(getResults),
};
static_assert(sizeof kOperationSlots / sizeof(Slot) == 9, "IAsyncOperation: 9 slots");

const Type kManagerOperationType = {
    &kIidManagerOperation, &kIidAsyncInfo,
    L"Windows.Foundation.IAsyncOperation`1<" MEDIA_CONTROL L"SessionManager>", destroyOperation};
const Type kPropertiesOperationType = {
    &kIidPropertiesOperation, &kIidAsyncInfo,
    L"Windows.Foundation.IAsyncOperation`1<" MEDIA_CONTROL L"SessionMediaProperties>", destroyOperation};

// ---- Sessions. A session object stands for a place in the list; g_sessionObjects remembers, without
// holding a reference, the object alive for each place.

struct Session : Object {
    int index;
};
std::vector<Session *> g_sessionObjects;

const SessionState *stateOf(const Session *session) // under g_lock
{
    return session->index < static_cast<int>(g_sessions.size()) ? &g_sessions[session->index] : nullptr;
}

HRESULT __stdcall sessionAppId(Session *self, HSTRING *id)
{
    countCall();
    if (!id) return E_POINTER;
    *id = nullptr;
    {
        Lock lock;
        if (!stateOf(self)) return kSessionGone;
    }
    return makeString(kAppIdPrefix + std::to_wstring(self->index + 1), id);
}

HRESULT __stdcall sessionMediaProperties(Session *self, Operation **operation)
{
    countCall();
    if (!operation) return E_POINTER;
    *operation = nullptr;
    Lock lock;
    const SessionState *state = stateOf(self);
    if (!state) return kSessionGone;
    Operation *made = createOperation(kOperationSlots, &kPropertiesOperationType, kInfoSlots);
    if (!g_propertiesStall) {
        MediaProperties *properties = create<MediaProperties>(kMediaPropertiesSlots, &kMediaPropertiesType);
        properties->title = state->title;
        properties->artist = state->artist;
        complete(made, properties);
    }
    *operation = made;
    return S_OK;
}

HRESULT __stdcall sessionTimeline(Session *self, Timeline **timeline)
{
    countCall();
    if (!timeline) return E_POINTER;
    *timeline = nullptr;
    Lock lock;
    const SessionState *state = stateOf(self);
    if (!state) return kSessionGone;
    Timeline *made = create<Timeline>(kTimelineSlots, &kTimelineType);
    made->start = state->start;
    made->end = state->end;
    made->position = state->position;
    made->lastUpdated = state->lastUpdated;
    *timeline = made;
    return S_OK;
}

HRESULT __stdcall sessionPlaybackInfo(Session *self, PlaybackInfo **info)
{
    countCall();
    if (!info) return E_POINTER;
    *info = nullptr;
    Lock lock;
    const SessionState *state = stateOf(self);
    if (!state) return kSessionGone;
    PlaybackInfo *made = create<PlaybackInfo>(kPlaybackInfoSlots, &kPlaybackInfoType);
    made->status = state->status;
    *info = made;
    return S_OK;
}

// The commands, which the module must never call: each with its true parameters, so that a call
// returns with the stack as the caller left it and the count is all a test sees.
HRESULT refuseCommand(void **operation)
{
    countCall();
    InterlockedIncrement(&g_commandsCalled);
    if (operation) *operation = nullptr;
    return E_NOTIMPL;
}
HRESULT __stdcall command(Session *, void **operation) { return refuseCommand(operation); }
HRESULT __stdcall commandWithMode(Session *, INT32, void **operation) { return refuseCommand(operation); }
HRESULT __stdcall commandWithRate(Session *, DOUBLE, void **operation) { return refuseCommand(operation); }
HRESULT __stdcall commandWithSwitch(Session *, boolean8, void **operation) { return refuseCommand(operation); }
HRESULT __stdcall commandWithPosition(Session *, INT64, void **operation) { return refuseCommand(operation); }

const Slot kSessionSlots[] = {
    INSPECTABLE_SLOTS(queryInterface),
    slot(sessionAppId),
    slot(sessionMediaProperties),
    slot(sessionTimeline),
    slot(sessionPlaybackInfo),
    slot(command), // 10 TryPlayAsync
    slot(command), // 11 TryPauseAsync
    slot(command), // 12 TryStopAsync
    slot(command), // 13 TryRecordAsync
    slot(command), // 14 TryFastForwardAsync
    slot(command), // 15 TryRewindAsync
    slot(command), // 16 TrySkipNextAsync
    slot(command), // 17 TrySkipPreviousAsync
    slot(command), // 18 TryChangeChannelUpAsync
    slot(command), // 19 TryChangeChannelDownAsync
    slot(command), // 20 TryTogglePlayPauseAsync
    slot(commandWithMode),     // 21 TryChangeAutoRepeatModeAsync
    slot(commandWithRate),     // 22 TryChangePlaybackRateAsync
    slot(commandWithSwitch),   // 23 TryChangeShuffleActiveAsync
    slot(commandWithPosition), // 24 TryChangePlaybackPositionAsync
    slot(addHandler<kTimelineChanged>),
    slot(removeHandler<kTimelineChanged>),
    slot(addHandler<kPlaybackInfoChanged>),
    slot(removeHandler<kPlaybackInfoChanged>),
    slot(addHandler<kMediaPropertiesChanged>),
    slot(removeHandler<kMediaPropertiesChanged>),
};
static_assert(sizeof kSessionSlots / sizeof(Slot) == 31, "session: 31 slots");

void destroySession(Object *object)
{
    Session *session = static_cast<Session *>(object);
    {
        Lock lock;
        if (g_sessionObjects[session->index] == session) g_sessionObjects[session->index] = nullptr;
    }
    delete session;
}

const Type kSessionType = {&kIidSession, nullptr, MEDIA_CONTROL L"Session", destroySession};

// A reference to a live object, unless its count has already reached zero: a release on another
// thread is then destroying it, and it must stay dead.
bool addRefIfAlive(Object *object)
{
    LONG refs = object->refs;
    while (refs > 0) {
        LONG seen = InterlockedCompareExchange(&object->refs, refs + 1, refs);
        if (seen == refs) return true;
        refs = seen;
    }
    return false;
}

Session *sessionAt(int index) // under g_lock; a new reference
{
    if (index >= static_cast<int>(g_sessionObjects.size())) g_sessionObjects.resize(index + 1, nullptr);
    Session *known = g_sessionObjects[index];
    if (known && addRefIfAlive(known)) return known;
    Session *session = create<Session>(kSessionSlots, &kSessionType);
    session->index = index;
    g_sessionObjects[index] = session;
    return session;
}

// ---- The list of sessions GetSessions gives: the sessions as they were when asked.

struct SessionList : Object {
    std::vector<Session *> items; // each a reference
};

void destroySessionList(Object *object)
{
    SessionList *list = static_cast<SessionList *>(object);
    for (Session *session : list->items) releaseOf(session);
    delete list;
}

HRESULT __stdcall listGetAt(SessionList *self, UINT32 index, Session **session)
{
    countCall();
    if (!session) return E_POINTER;
    *session = nullptr;
    if (index >= self->items.size()) return kOutOfBounds;
    addRefOf(self->items[index]);
    *session = self->items[index];
    return S_OK;
}

HRESULT __stdcall listSize(SessionList *self, UINT32 *size)
{
    countCall();
    if (!size) return E_POINTER;
    *size = static_cast<UINT32>(self->items.size());
    return S_OK;
}

HRESULT __stdcall listIndexOf(SessionList *self, Session *session, UINT32 *index, boolean8 *found)
{
    countCall();
    if (!index || !found) return E_POINTER;
    *index = 0;
    *found = 0;
    for (size_t i = 0; i < self->items.size(); i++) {
        if (self->items[i] == session) {
            *index = static_cast<UINT32>(i);
            *found = 1;
            break;
        }
    }
    return S_OK;
}

HRESULT __stdcall listGetMany(SessionList *self, UINT32 start, UINT32 capacity, Session **sessions, UINT32 *actual)
{
    countCall();
    if (!actual || (capacity && !sessions)) return E_POINTER;
    *actual = 0;
    if (start > self->items.size()) return kOutOfBounds;
    UINT32 n = 0;
    for (UINT32 i = start; i < self->items.size() && n < capacity; i++, n++) {
        addRefOf(self->items[i]);
        sessions[n] = self->items[i];
    }
    *actual = n;
    return S_OK;
}

const Slot kSessionListSlots[] = {
    INSPECTABLE_SLOTS(queryInterface), slot(listGetAt), slot(listSize), slot(listIndexOf), slot(listGetMany),
};
static_assert(sizeof kSessionListSlots / sizeof(Slot) == 10, "IVectorView: 10 slots");
const Type kSessionListType = {
    &kIidSessionList, nullptr,
    L"Windows.Foundation.Collections.IVectorView`1<" MEDIA_CONTROL L"Session>", destroySessionList};

// ---- The manager, its statics and the activation factory.

HRESULT __stdcall managerCurrentSession(Object *, Session **session)
{
    countCall();
    if (!session) return E_POINTER;
    Lock lock;
    *session = g_current >= 0 ? sessionAt(g_current) : nullptr;
    return S_OK;
}

HRESULT __stdcall managerSessions(Object *, SessionList **list)
{
    countCall();
    if (!list) return E_POINTER;
    Lock lock;
    SessionList *made = create<SessionList>(kSessionListSlots, &kSessionListType);
    for (size_t i = 0; i < g_sessions.size(); i++) made->items.push_back(sessionAt(static_cast<int>(i)));
    *list = made;
    return S_OK;
}

const Slot kManagerSlots[] = {
    INSPECTABLE_SLOTS(queryInterface),
    slot(managerCurrentSession),
    slot(managerSessions),
    slot(addHandler<kCurrentSessionChanged>),
    slot(removeHandler<kCurrentSessionChanged>),
    slot(addHandler<kSessionsChanged>),
    slot(removeHandler<kSessionsChanged>),
};
static_assert(sizeof kManagerSlots / sizeof(Slot) == 12, "manager: 12 slots");
const Type kManagerType = {&kIidManager, nullptr, STANDIN_MEDIA_CLASS, destroyAs<Object>};

HRESULT __stdcall staticsRequest(Object *, Operation **operation)
{
    countCall();
    if (!operation) return E_POINTER;
    Lock lock;
    Operation *made = createOperation(kOperationSlots, &kManagerOperationType, kInfoSlots);
    if (!g_managerStalls) complete(made, create<Object>(kManagerSlots, &kManagerType));
    *operation = made;
    return S_OK;
}

const Slot kStaticsSlots[] = {INSPECTABLE_SLOTS(queryInterface), slot(staticsRequest)};
static_assert(sizeof kStaticsSlots / sizeof(Slot) == 7, "manager statics: 7 slots");
const Type kStaticsType = {&kIidManagerStatics, nullptr, STANDIN_MEDIA_CLASS, destroyAs<Object>};

// The statics are an object of their own, so that a caller who keeps them and drops the factory
// (or the other way round) holds what it thinks it holds.
HRESULT __stdcall factoryQueryInterface(Object *self, REFIID iid, void **out)
{
    countCall();
    if (out && iid == kIidManagerStatics) {
        *out = create<Object>(kStaticsSlots, &kStaticsType);
        return S_OK;
    }
    return answer(self, iid, out);
}

const Slot kFactorySlots[] = {INSPECTABLE_SLOTS(factoryQueryInterface), slot(notImplemented)}; // 6 ActivateInstance
static_assert(sizeof kFactorySlots / sizeof(Slot) == 7, "activation factory: 7 slots");
const Type kFactoryType = {&kIidActivationFactory, &kIidManagerStatics, STANDIN_MEDIA_CLASS, destroyAs<Object>};

bool isOurClass(HSTRING classId)
{
    RawBufferFunction raw = reinterpret_cast<RawBufferFunction>(combaseFunction("WindowsGetStringRawBuffer"));
    if (!raw) return false;
    UINT32 length = 0;
    const wchar_t *name = raw(classId, &length);
    return name && std::wstring(name, length) == STANDIN_MEDIA_CLASS;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void *)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        InitializeCriticalSection(&g_lock);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HRESULT __stdcall DllGetActivationFactory(HSTRING classId, void **factory)
{
    countCall();
    if (!factory) return E_POINTER;
    *factory = nullptr;
    if (!isOurClass(classId)) return CLASS_E_CLASSNOTAVAILABLE;
    *factory = create<Object>(kFactorySlots, &kFactoryType);
    return S_OK;
}

void __cdecl standinSetSessions(const StandinSession *sessions, int count, int current)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const INT64 nowTime = static_cast<INT64>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
    std::vector<SessionState> copied;
    for (int i = 0; sessions && i < count; i++) {
        const StandinSession &from = sessions[i];
        copied.push_back({from.status, from.title ? from.title : L"", from.artist ? from.artist : L"", from.start,
                          from.end, from.position, from.lastUpdated ? from.lastUpdated : nowTime});
    }
    Lock lock;
    g_sessions.swap(copied);
    g_current = current >= 0 && current < static_cast<int>(g_sessions.size()) ? current : -1;
}

void __cdecl standinSetStalls(int managerNeverCompletes, int propertiesNeverComplete)
{
    Lock lock;
    g_managerStalls = managerNeverCompletes != 0;
    g_propertiesStall = propertiesNeverComplete != 0;
}

int __cdecl standinCommandsCalled() { return g_commandsCalled; }
int __cdecl standinCallsMade() { return g_callsMade; }
int __cdecl standinObjectsAlive() { return g_objectsAlive; }

int __cdecl standinHandlersRegistered()
{
    Lock lock;
    return static_cast<int>(g_registrations.size());
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
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kClassKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
        return 0;
    // combase needs DllPath alone; the other two are what Windows writes for its own in-process classes.
    bool written =
        !RegSetValueExW(key, L"DllPath", 0, REG_SZ, reinterpret_cast<const BYTE *>(path), (length + 1) * sizeof *path) &&
        !RegSetValueExW(key, L"ActivationType", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&kInProcess), sizeof kInProcess) &&
        !RegSetValueExW(key, L"Threading", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&kAnyApartment), sizeof kAnyApartment);
    RegCloseKey(key);
    return written;
}

} // extern "C"
