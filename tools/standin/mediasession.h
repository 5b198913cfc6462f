// mediasession.h -- the test side of mediasession.dll, a stand-in for Windows' system media session
// (Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager), which Wine does not have.
//
// The test program loads mediasession.dll itself, registers it with standinRegister(1), and sets what
// the sessions show; the module then reaches the same instance through combase's RoGetActivationFactory.
// Call the functions through GetProcAddress with the names and types below.
#pragma once

// The runtime class the DLL is registered under and answers DllGetActivationFactory for.
#define STANDIN_MEDIA_CLASS L"Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager"

struct StandinSession {
    int status;                     // playback status: 0 closed, 1 opened, 2 changing, 3 stopped, 4 playing, 5 paused
    const wchar_t *title;           // the media properties' title; null or empty: none
    const wchar_t *artist;          // null or empty: none
    long long start, end, position; // the timeline, 100 ns units
    long long lastUpdated;          // 100 ns since 1601 (FILETIME); 0: "now" at the moment of setting
};

// A session object stands for a place in the list, not for what is there: after a new list its
// getters show the new session at that place, or fail with RPC_E_DISCONNECTED when the list is shorter.
// Each session's app id is "StandinPlayer" and its place counted from 1 ("StandinPlayer1", ...).

// Copies the sessions (texts too); current is the index GetCurrentSession gives, -1 (or any index
// outside the list) for none.
typedef void(__cdecl *StandinSetSessions)(const StandinSession *sessions, int count, int current);
// From then on RequestAsync's operation, or every TryGetMediaPropertiesAsync operation, stays started
// until cancelled; operations made earlier keep what they are.
typedef void(__cdecl *StandinSetStalls)(int managerNeverCompletes, int propertiesNeverComplete);
// Session commands (slots 10-24) called so far.
typedef int(__cdecl *StandinCommandsCalled)();
// Every method of every object called so far, DllGetActivationFactory included: a test that expects
// the session untouched checks this stays put.
typedef int(__cdecl *StandinCallsMade)();
// Event handlers added and not removed (releasing the object they were added to removes none), and
// objects alive (created and not released to zero).
typedef int(__cdecl *StandinHandlersRegistered)();
typedef int(__cdecl *StandinObjectsAlive)();
// Registers this DLL's full path under STANDIN_MEDIA_CLASS in
// HKLM\Software\Microsoft\WindowsRuntime\ActivatableClassId (DllPath), or removes that key; returns
// whether the registry is then as asked (removing a key that is not there succeeds).
typedef int(__cdecl *StandinRegister)(int on);

extern "C" {
void __cdecl standinSetSessions(const StandinSession *sessions, int count, int current);
void __cdecl standinSetStalls(int managerNeverCompletes, int propertiesNeverComplete);
int __cdecl standinCommandsCalled();
int __cdecl standinCallsMade();
int __cdecl standinHandlersRegistered();
int __cdecl standinObjectsAlive();
int __cdecl standinRegister(int on);
}
