// standin.h -- a stand-in messenger host and stand-in players for exercising nowtune.dll
#pragma once

#include <windows.h>

#include "events.h"

// ---- The host side: loading the module and delivering events.

// Loads the module fresh (unloading any earlier copy, so its statics start anew).
bool loadPlugin(const char *path = "nowtune.dll");
// Sends the unload event and frees the module.
void unloadPlugin();
HMODULE pluginModule();

// Calls pluginFun or the button function the way the host does, and measures
// the stack pointer around the call: a __stdcall callee leaves it balanced.
const u8 *callPlugin(const Bytes &message);
const u8 *pressButton(u32 buttonFunction);
int lastStackDelta(); // bytes the last call left on (positive) or took off the stack

// The load event, in the layout the module reads; the others are in events.h.
Bytes loadEvent(const std::string &folder, const std::string &skipped = "Palaver", u32 hostFunAddress = 0);

// Every tag, between bars.
const char kAllTags[] = "%track%|%bitrate%|%samplerate%|%channels%|%length%|%position%";
// Sends a status-text event and gives the expanded text of its answer, or
// "<null>" for no answer; checks the stack and the answer's lengths on the way.
std::string statusOf(const std::string &text, const Bytes &stringA = textBytes("A"));

u32 le32At(const Bytes &bytes, size_t at);
// A settings file as the module writes it: version, flag, mode, template, zeros to 259 bytes.
Bytes settingsFile(u8 buttonFlag, u8 mode, const std::string &text);
// The frame of a remove-button request for handle.
Bytes removeFrame(u32 handle);

// Copies a framed message (length field and payload) out of the module's buffer.
Bytes frameBytes(const u8 *message);

// ---- hostFun: records every request and answers as the real host would.

struct HostSettings {
    bool answerAddButton = true;
    u32 buttonHandle = 0x0B0771;
    bool answerQueryContact = true;
    u32 contact = 0xC0FFEE;
    // Called with each request's kind and code once it is recorded, before it is
    // answered: where a host may deliver other events.
    void (*duringRequest)(u8 kind, u8 code) = nullptr;
};
extern HostSettings g_host;
extern std::vector<Bytes> g_requests; // each request's frame, length field included

const u8 *PLUGIN_CALL standinHostFun(const u8 *message);
size_t countRequests(u8 kind, u8 code);
u32 standinHostFunAddress();
// The answers hostFun hands back, so a test can compare returned pointers.
const u8 *hostAnswerFor(u8 kind, u8 code);
void resetHost();

// ---- Players: top-level windows of the players' classes. Each answers every
// player's read-only requests (Winamp's, PotPlayer's, AIMP's) and logs all it
// receives from WM_USER up, so a test sees a request sent to the wrong player.

struct PlayerFigures {
    u32 sampleRate = 44; // Winamp reports kHz, AIMP's mapping Hz
    u32 bitRate = 320;
    u32 channels = 2;
    u32 length = 245;     // seconds
    u32 position = 65000; // milliseconds
    u32 state = 2;        // PotPlayer's and AIMP's: playing
};
struct PlayerQuery {
    HWND window;
    WPARAM wParam;
    LPARAM lParam;
    UINT message = WM_USER;
};

// Creates a player window on this thread with the given class and title.
HWND createPlayer(const char *className, const char *title, const PlayerFigures &figures = PlayerFigures());
// The same with a UTF-16 title, for names outside the ANSI code page.
HWND createPlayerW(const char *className, const wchar_t *title, const PlayerFigures &figures = PlayerFigures());
// AIMP: its remote window and its file mapping, active, holding these strings
// and figures (sampleRate in Hz); the window answers the state and position.
HWND createAimp(const wchar_t *artist, const wchar_t *title, const wchar_t *fileName,
                const PlayerFigures &figures = PlayerFigures());
// Overwrites AIMP's mapping with these bytes and zeros behind them, as an
// inactive, broken or hostile AIMP might.
void setAimpMapping(const Bytes &bytes);
void destroyPlayers();
// What the players received from WM_USER up, in order.
extern std::vector<PlayerQuery> g_playerQueries;
// WM_GETTEXT messages the players received.
extern size_t g_titleRequests;

// The last message number a player's own interface may use: WM_USER up to this.
const UINT kLastUserMessage = 0x7FFF;

// ---- Players found by their program: copies of programplayer.exe under the
// program's name, each with top-level windows of the classes and titles given.
// They answer nothing and count what they receive.

struct ProgramWindow {
    const char *className;
    const char *title;
};
// Starts folder\exeName (a copy of programplayer.exe) with these windows;
// returns them in order, or none when it did not start.
std::vector<HWND> startProgram(const std::string &folder, const std::string &exeName,
                               const std::vector<ProgramWindow> &windows);
void stopPrograms();
// Sent to a program's window, answered with the messages from WM_USER to
// kLastUserMessage it has received.
const char kRequestCountMessage[] = "nowtune stand-in: requests received";
size_t requestsReceived(HWND window);

// A player window owned by a thread that never reads its messages: a hung player.
HWND startHungPlayer(const char *className, const char *title);
void stopHungPlayer();

// ---- Files, for settings prepared before a load and read back after a save.

bool writeBytes(const std::string &path, const Bytes &bytes);
Bytes readBytes(const std::string &path);
bool fileExists(const std::string &path);
// A fresh folder (emptied of the settings files) with a trailing separator.
std::string freshFolder(const std::string &name);

// ---- Small checks in the manner of Wine's tests.

extern int g_checks, g_failures;
#define ok(cond, ...) okAt(__FILE__, __LINE__, (cond), __VA_ARGS__)
void okAt(const char *file, int line, bool cond, const char *format, ...);
// Prints the summary line and gives the exit code.
int finishChecks(const char *name);
std::string hexBytes(const Bytes &bytes);
bool sameFrame(const Bytes &got, const Bytes &expected, const char *what);
