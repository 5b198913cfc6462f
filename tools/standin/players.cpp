// players.cpp -- stand-in player windows that answer the players' read-only requests, and AIMP's file mapping
#include "standin.h"

#include <string.h>

// Each player's interface as its makers document it, written out here on its
// own so that a wrong number in the module shows.
const LPARAM kIpcGetInfo = 126;
const LPARAM kIpcGetOutputTime = 105;
const WPARAM kPotGetLength = 0x5002;
const WPARAM kPotGetPosition = 0x5004;
const WPARAM kPotGetState = 0x5006;
const UINT kAimpPropertyMessage = WM_USER + 0x77;
const WPARAM kAimpGetPosition = 0x20;
const WPARAM kAimpGetState = 0x40;
const char kAimpRemote[] = "AIMP2_RemoteInfo";
const DWORD kAimpMappingSize = 2048;
const u32 kAimpHeaderSize = 88;
const u32 kMillisecondsPerSecond = 1000;

std::vector<PlayerQuery> g_playerQueries;
size_t g_titleRequests;

static std::vector<HWND> g_players;
static std::vector<PlayerFigures> g_figures; // indexed by each window's user data
static HANDLE g_aimpMapping;

static LRESULT answer(UINT message, WPARAM wParam, LPARAM lParam, const PlayerFigures &f)
{
    if (message == WM_USER && lParam == kIpcGetInfo) {
        if (wParam == 0) return f.sampleRate;
        if (wParam == 1) return f.bitRate;
        if (wParam == 2) return f.channels;
    }
    if (message == WM_USER && lParam == kIpcGetOutputTime) {
        if (wParam == 0) return f.position;
        if (wParam == 1) return f.length;
    }
    if (message == WM_USER && lParam == 0) {
        if (wParam == kPotGetLength) return f.length * kMillisecondsPerSecond;
        if (wParam == kPotGetPosition) return f.position;
        if (wParam == kPotGetState) return (LRESULT)(i32)f.state;
    }
    if (message == kAimpPropertyMessage && lParam == 0) {
        if (wParam == kAimpGetPosition) return f.position;
        if (wParam == kAimpGetState) return f.state;
    }
    return 0;
}

static LRESULT CALLBACK playerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETTEXT) g_titleRequests++;
    if (message < WM_USER || message > kLastUserMessage) return DefWindowProcW(window, message, wParam, lParam);
    g_playerQueries.push_back({window, wParam, lParam, message});
    return answer(message, wParam, lParam, g_figures[GetWindowLongPtrW(window, GWLP_USERDATA)]);
}

static std::wstring wide(const char *text, UINT codePage = CP_ACP)
{
    wchar_t buffer[1024];
    const int n = MultiByteToWideChar(codePage, 0, text, -1, buffer, 1024);
    return std::wstring(buffer, n > 0 ? n - 1 : 0);
}

HWND createPlayerW(const char *className, const wchar_t *title, const PlayerFigures &figures)
{
    const std::wstring name = wide(className);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = playerProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = name.c_str();
    RegisterClassW(&wc); // fails harmlessly when already registered
    HWND window = CreateWindowExW(0, name.c_str(), title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, NULL, NULL,
                                  GetModuleHandleW(NULL), NULL);
    if (!window) return NULL;
    g_figures.push_back(figures);
    SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)(g_figures.size() - 1));
    g_players.push_back(window);
    return window;
}

HWND createPlayer(const char *className, const char *title, const PlayerFigures &figures)
{
    return createPlayerW(className, wide(title).c_str(), figures);
}

void setAimpMapping(const Bytes &bytes)
{
    u8 *view = g_aimpMapping ? (u8 *)MapViewOfFile(g_aimpMapping, FILE_MAP_WRITE, 0, 0, kAimpMappingSize) : NULL;
    if (!view) return;
    memset(view, 0, kAimpMappingSize);
    memcpy(view, bytes.data(), bytes.size() < kAimpMappingSize ? bytes.size() : kAimpMappingSize);
    UnmapViewOfFile(view);
}

HWND createAimp(const wchar_t *artist, const wchar_t *title, const wchar_t *fileName, const PlayerFigures &figures)
{
    g_aimpMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, kAimpMappingSize, kAimpRemote);
    if (!g_aimpMapping) return NULL;
    // The header, of 32-bit fields: reserved, active, bit rate,
    // channels, duration, file size (two), file mark, sample rate, track
    // number, the six strings' lengths and six reserved fields. The strings
    // behind it, UTF-16, in the order of their lengths: album, artist, date,
    // file name, genre, title.
    const std::wstring strings[] = {L"", artist, L"", fileName, L"", title};
    Bytes bytes;
    for (u32 field : {kAimpHeaderSize, 1u, figures.bitRate, figures.channels, figures.length * kMillisecondsPerSecond, 0u, 0u, 0u,
                      figures.sampleRate, 1u})
        addLe32(bytes, field);
    for (const std::wstring &text : strings)
        addLe32(bytes, (u32)text.size());
    bytes.resize(kAimpHeaderSize, 0);
    for (const std::wstring &text : strings)
        for (wchar_t unit : text) {
            bytes.push_back((u8)unit);
            bytes.push_back((u8)(unit >> 8));
        }
    setAimpMapping(bytes);
    return createPlayer(kAimpRemote, kAimpRemote, figures);
}

void destroyPlayers()
{
    for (HWND window : g_players)
        DestroyWindow(window);
    if (g_aimpMapping) CloseHandle(g_aimpMapping);
    g_aimpMapping = NULL;
    g_players.clear();
    g_figures.clear();
    g_playerQueries.clear();
    g_titleRequests = 0;
}

// Stand-in players that live in processes of their own: within one process,
// reading another thread's window title sends it a message and would hang the
// reader too, which a real player in its own process never does.
static PROCESS_INFORMATION g_hung;
static std::vector<PROCESS_INFORMATION> g_programs;
const int kStartPolls = 500;
const DWORD kStartPollMs = 10;

static std::string quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

static bool startProcess(std::string command, PROCESS_INFORMATION *process)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    return CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, process) != FALSE;
}

static void endProcess(PROCESS_INFORMATION *process)
{
    TerminateProcess(process->hProcess, 0);
    WaitForSingleObject(process->hProcess, INFINITE);
    CloseHandle(process->hProcess);
    CloseHandle(process->hThread);
    *process = PROCESS_INFORMATION();
}

// The window of this class and title that the process shows, waiting for it a while.
static HWND windowOf(DWORD process, const char *className, const char *title)
{
    for (int i = 0; i < kStartPolls; i++) {
        for (HWND w = NULL; (w = FindWindowExA(NULL, w, className, title)) != NULL;) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == process) return w;
        }
        Sleep(kStartPollMs);
    }
    return NULL;
}

HWND startHungPlayer(const char *className, const char *title)
{
    stopHungPlayer();
    if (!startProcess("hungplayer.exe " + quoted(className) + " " + quoted(title), &g_hung)) return NULL;
    HWND window = windowOf(g_hung.dwProcessId, className, title);
    if (!window) stopHungPlayer();
    return window;
}

void stopHungPlayer()
{
    if (g_hung.hProcess) endProcess(&g_hung);
}

std::vector<HWND> startProgram(const std::string &folder, const std::string &exeName,
                               const std::vector<ProgramWindow> &windows)
{
    CreateDirectoryA(folder.c_str(), NULL);
    const std::string path = folder + "\\" + exeName;
    std::string command = quoted(path);
    for (const ProgramWindow &w : windows)
        command += " " + quoted(w.className) + " " + quoted(w.title);
    PROCESS_INFORMATION process = {};
    if (!CopyFileA("programplayer.exe", path.c_str(), FALSE) || !startProcess(command, &process)) return {};
    g_programs.push_back(process);
    std::vector<HWND> shown;
    for (const ProgramWindow &w : windows)
        if (HWND window = windowOf(process.dwProcessId, w.className, w.title)) shown.push_back(window);
    return shown.size() == windows.size() ? shown : std::vector<HWND>();
}

void stopPrograms()
{
    for (PROCESS_INFORMATION &process : g_programs)
        endProcess(&process);
    g_programs.clear();
}

size_t requestsReceived(HWND window)
{
    static const UINT countMessage = RegisterWindowMessageA(kRequestCountMessage);
    DWORD_PTR count = 0;
    SendMessageTimeoutA(window, countMessage, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    return count;
}
