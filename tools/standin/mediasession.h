// mediasession.h -- the test side of mediasession.dll, a stand-in for Windows' system media session
// (Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager), which Wine does not have.
//
// The test program links mediasession.dll, registers it with standinRegister(1), and sets what the
// sessions show; the module then reaches the same instance through combase's RoGetActivationFactory.
#pragma once

// The runtime class the DLL is registered under and answers DllGetActivationFactory for.
#define STANDIN_MEDIA_CLASS L"Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager"

struct StandinSession {
    int status;                     // playback status: 0 closed, 1 opened, 2 changing, 3 stopped, 4 playing, 5 paused
    const wchar_t *title;           // the media properties' title; null or empty: none
    const wchar_t *artist;          // null or empty: none
    long long start, end, position; // the timeline, 100 ns units
    long long lastUpdated;          // 100 ns since 1601 (FILETIME); 0: never
};

extern "C" {
// Keeps the sessions (their texts are not copied: they must outlive them); current is the index
// GetCurrentSession gives, -1 (or any index outside the list) for none. A session handed out shows
// what its session was at that moment.
void __cdecl standinSetSessions(const StandinSession *sessions, int count, int current);
// From then on RequestAsync's operations, and TryGetMediaPropertiesAsync's, complete this many ms
// after they were made, on a thread of their own, as Windows' do; 0 at once, -1 never.
void __cdecl standinSetDelays(int managerMs, int propertiesMs);
// The system's side restarts: every manager handed out so far fails each call with
// RPC_E_DISCONNECTED; RequestAsync gives working ones again.
void __cdecl standinDisconnect();
// Waits at most ms for a manager to be handed out (GetResults) since the last wait; whether one was.
int __cdecl standinAwaitManager(int ms);
// Reads begun (GetCurrentSession calls) so far.
int __cdecl standinReads();
// Calls the module must never make: a session's commands and any change handler's registration.
int __cdecl standinForbiddenCalls();
// IAsyncInfo::get_Status calls that answered Started: polls for an operation still running.
int __cdecl standinStartedPolls();
// Objects alive (created and not released to zero), once every operation's own thread has ended.
int __cdecl standinObjectsAlive();
// Registers this DLL's full path under STANDIN_MEDIA_CLASS in
// HKLM\Software\Microsoft\WindowsRuntime\ActivatableClassId (DllPath), or removes that key; returns
// whether the registry is then as asked (removing a key that is not there succeeds).
int __cdecl standinRegister(int on);
}
