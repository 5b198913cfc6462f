// players.cpp -- stand-in player windows that answer Winamp's WM_USER queries
#include "standin.h"

const LPARAM kIpcGetInfo = 126;
const LPARAM kIpcGetOutputTime = 105;

std::vector<PlayerQuery> g_playerQueries;
size_t g_titleRequests;

static std::vector<HWND> g_players;
static std::vector<PlayerFigures> g_figures; // indexed by each window's user data

static LRESULT CALLBACK playerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETTEXT) g_titleRequests++;
    if (message != WM_USER) return DefWindowProcW(window, message, wParam, lParam);
    g_playerQueries.push_back({window, wParam, lParam});
    const PlayerFigures &f = g_figures[GetWindowLongPtrW(window, GWLP_USERDATA)];
    if (lParam == kIpcGetInfo) {
        if (wParam == 0) return f.sampleRate;
        if (wParam == 1) return f.bitRate;
        if (wParam == 2) return f.channels;
    }
    if (lParam == kIpcGetOutputTime) {
        if (wParam == 0) return f.position;
        if (wParam == 1) return f.length;
    }
    return 0;
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

void destroyPlayers()
{
    for (HWND window : g_players)
        DestroyWindow(window);
    g_players.clear();
    g_figures.clear();
    g_playerQueries.clear();
    g_titleRequests = 0;
}

// The hung player lives in a process of its own: within one process, reading
// another thread's window title sends it a message and would hang the reader
// too, which a real player in its own process never does.
static PROCESS_INFORMATION g_hung;

HWND startHungPlayer(const char *className, const char *title)
{
    stopHungPlayer();
    std::string command = std::string("hungplayer.exe \"") + className + "\" \"" + title + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &g_hung)) return NULL;
    for (int i = 0; i < 500; i++) {
        HWND window = FindWindowA(className, NULL);
        if (window) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == g_hung.dwProcessId) return window;
        }
        Sleep(10);
    }
    stopHungPlayer();
    return NULL;
}

void stopHungPlayer()
{
    if (!g_hung.hProcess) return;
    TerminateProcess(g_hung.hProcess, 0);
    WaitForSingleObject(g_hung.hProcess, INFINITE);
    CloseHandle(g_hung.hProcess);
    CloseHandle(g_hung.hThread);
    g_hung = PROCESS_INFORMATION();
}
