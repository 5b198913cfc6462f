// hungplayer.cpp -- a player window whose thread never reads its messages again
#include <windows.h>

int main(int argc, char **argv)
{
    if (argc < 3) return 2;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = argv[1];
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, argv[1], argv[2], WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    if (!window) return 1;
    // Stuck, as a player busy with something else: the caller ends this process.
    Sleep(INFINITE);
    return 0;
}
