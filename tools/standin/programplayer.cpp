// programplayer.cpp -- a program's player windows, copied under the program's name: they answer nothing and count what they receive
//   programplayer.exe CLASS TITLE [CLASS TITLE ...]   one top-level window for each pair
#include "standin.h"

static LRESULT CALLBACK programProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static UINT countMessage = RegisterWindowMessageA(kRequestCountMessage);
    if (message == countMessage) return GetWindowLongPtrA(window, GWLP_USERDATA);
    if (message >= WM_USER && message <= kLastUserMessage)
        SetWindowLongPtrA(window, GWLP_USERDATA, GetWindowLongPtrA(window, GWLP_USERDATA) + 1);
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char **argv)
{
    if (argc < 3 || argc % 2 == 0) return 2;
    for (int i = 1; i + 1 < argc; i += 2) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = programProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = argv[i];
        RegisterClassA(&wc); // fails harmlessly when a pair before registered it
        if (!CreateWindowExA(0, argv[i], argv[i + 1], WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, NULL, NULL,
                             GetModuleHandleA(NULL), NULL))
            return 1;
    }
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
