// dialog_test.cpp -- the settings dialog and the about box driven through the real module inside the stand-in host
#include "tools/standin/standin.h"
#include "common/texts.h"

#include <algorithm>
#include <functional>
#include <stdio.h>
#include <string.h>

// ---- What the dialog must show, written out independently of the module's own tables.

struct ExpectedControl {
    int id;
    const char *className;
    DWORD style;
    int x, y, cx, cy;    // dialog units
    const wchar_t *text; // NULL for the edit, which shows the message template
};

// Dialog template order, which is also the Z order of the children and the tab order.
static const ExpectedControl kControls[] = {
    {201, "Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 5, 2, 235, 10,
     L"Добавлять кнопку плагина для отправки трека'"},
    {0xFFFF, "Static", WS_CHILD | WS_VISIBLE | SS_LEFT, 5, 14, 140, 10, L"Текст для отправки:"},
    {202, "Edit",
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
         ES_AUTOHSCROLL | ES_WANTRETURN,
     5, 26, 235, 52, NULL},
    {203, "Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON, 5, 80, 75, 10, L"Отправлять сразу"},
    {204, "Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON, 85, 80, 140, 10,
     L"Дописывать к набираемому тексту"},
    {209, "Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 5, 92, 100, 13, L"О плагине/список тегов"},
    {210, "Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 125, 92, 60, 13, L"Отмена"},
    {211, "Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 190, 92, 50, 13, L"OK"},
};

const int kIdShowButton = 201, kIdMessage = 202, kIdSendAtOnce = 203, kIdAppend = 204;
const int kIdAbout = 209, kIdCancel = 210, kIdOk = 211;
const int kSwitched[] = {kIdMessage, kIdSendAtOnce, kIdAppend}; // enabled only while the box is ticked

// "Слушаю: %track%" in Windows-1251, the template of a fresh installation.
static const std::string kExpectedDefaultMessage = "\xD1\xEB\xF3\xF8\xE0\xFE: %track%";

// ---- Small helpers.

static std::string utf8(const std::wstring &text) // for failure messages
{
    char buffer[4096];
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer), NULL, NULL);
    return n > 0 ? buffer : "<unconvertible>";
}

static std::wstring windowText(HWND window)
{
    wchar_t buffer[2048] = L"";
    GetWindowTextW(window, buffer, 2048);
    return buffer;
}

static std::string itemText(HWND dialog, int id)
{
    char text[512] = "";
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

static std::string className(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    return name;
}

static bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
static bool enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
// A user's click: the button itself tells the dialog, with notification code 0.
static void click(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

// ---- Driving the modal dialog: the settings event returns only once the dialog has closed,
// so the test acts from a thread timer that the modal loops run, one step per tick. A step
// returns false to be run again while it waits for a window.

typedef std::function<bool(HWND dialog)> Step;
typedef std::vector<Step> Steps;

static Steps g_steps;
static size_t g_step;
static HWND g_dialog;
static bool g_inStep;
static int g_idleTicks;
const int kMaxIdleTicks = 100; // a window the modal loop shows comes within a tick or two
static std::vector<WPARAM> g_commands; // WM_COMMAND sent to the settings dialog
static int g_closes;                   // WM_CLOSE sent or posted to it
static LRESULT g_initResult; // what its procedure answered to WM_INITDIALOG; -1 before it
static HHOOK g_sentHook, g_postedHook;

static LRESULT CALLBACK watchSent(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT *m = (const CWPRETSTRUCT *)lParam;
    const bool toDialog = code == HC_ACTION && g_dialog && m->hwnd == g_dialog;
    if (code == HC_ACTION && m->message == WM_INITDIALOG && g_initResult == -1) g_initResult = m->lResult;
    if (toDialog && m->message == WM_COMMAND) g_commands.push_back(m->wParam);
    if (toDialog && m->message == WM_CLOSE) g_closes++;
    return CallNextHookEx(g_sentHook, code, wParam, lParam);
}

static LRESULT CALLBACK watchPosted(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG *m = (const MSG *)lParam;
    if (code == HC_ACTION && wParam == PM_REMOVE && g_dialog && m->hwnd == g_dialog && m->message == WM_CLOSE)
        g_closes++;
    return CallNextHookEx(g_postedHook, code, wParam, lParam);
}

static size_t commandsSeen(WPARAM wParam) { return std::count(g_commands.begin(), g_commands.end(), wParam); }

// A dialog-class window of this thread other than except, shown or not.
static HWND threadDialog(HWND except = NULL)
{
    for (HWND w = NULL; (w = FindWindowExA(NULL, w, "#32770", NULL)) != NULL;)
        if (w != except && GetWindowThreadProcessId(w, NULL) == GetCurrentThreadId()) return w;
    return NULL;
}

static int threadDialogCount()
{
    int n = 0;
    for (HWND w = NULL; (w = FindWindowExA(NULL, w, "#32770", NULL)) != NULL;)
        n += GetWindowThreadProcessId(w, NULL) == GetCurrentThreadId();
    return n;
}

// Ends every dialog of the thread, the about box first, so that a broken script cannot hang the run.
static void abandon(const char *why)
{
    ok(false, "%s (%zu of %zu steps done)", why, g_step, g_steps.size());
    g_step = g_steps.size();
    for (HWND box; (box = threadDialog(g_dialog)) != NULL; DestroyWindow(box))
        EndDialog(box, IDOK);
    if (g_dialog) EndDialog(g_dialog, 0);
}

static VOID CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
{
    // A step that never returns runs a modal loop of its own, such as a second dialog.
    if (g_inStep) {
        if (++g_idleTicks > kMaxIdleTicks) abandon("a step never returned");
        return;
    }
    HWND shown = g_dialog ? g_dialog : threadDialog();
    if (shown && IsWindowVisible(shown)) g_dialog = shown;
    if (g_dialog && g_step >= g_steps.size()) return abandon("the dialog is still open after the last step");
    g_inStep = true;
    const bool done = g_dialog && g_steps[g_step](g_dialog);
    g_inStep = false;
    if (done) g_step++, g_idleTicks = 0;
    else if (++g_idleTicks > kMaxIdleTicks) abandon("the dialog, or a window a step waits for, never showed");
}

// Sends the settings event and runs the steps inside the dialog it opens; the last step ends it.
static void runDialog(const Steps &steps)
{
    g_steps = steps;
    g_step = 0;
    g_dialog = NULL;
    g_idleTicks = g_closes = 0;
    g_commands.clear();
    g_initResult = -1;
    g_sentHook = SetWindowsHookExA(WH_CALLWNDPROCRET, watchSent, NULL, GetCurrentThreadId());
    g_postedHook = SetWindowsHookExA(WH_GETMESSAGE, watchPosted, NULL, GetCurrentThreadId());
    const UINT_PTR timer = SetTimer(NULL, 0, 20, tick);
    const u8 *answer = callPlugin(eventMessage(3, 3));
    KillTimer(NULL, timer);
    UnhookWindowsHookEx(g_sentHook);
    UnhookWindowsHookEx(g_postedHook);
    ok(answer == NULL, "the settings event was answered");
    ok(lastStackDelta() == 0, "pluginFun left the stack off by %d bytes", lastStackDelta());
    ok(g_dialog != NULL, "no dialog was seen");
    ok(g_step == g_steps.size(), "only %zu of %zu steps ran", g_step, g_steps.size());
    ok(!g_dialog || !IsWindow(g_dialog), "the dialog window outlived the settings event");
}

static std::vector<Bytes> g_loadRequests;

// Loads the module fresh in a fresh folder on this settings file (none when empty), keeps
// the load's requests in g_loadRequests and runs the steps in the dialog. Returns the file's path.
static std::string session(const Bytes &file, const Steps &steps)
{
    resetHost();
    const std::string folder = freshFolder("t_dialog");
    if (!file.empty()) writeBytes(folder + "nowtune.dat", file);
    loadPlugin();
    callPlugin(loadEvent(folder));
    g_loadRequests.swap(g_requests);
    g_requests.clear();
    runDialog(steps);
    return folder + "nowtune.dat";
}

// Steps that end a script with the dialog's own buttons.
static bool cancel(HWND dialog) { click(dialog, kIdCancel); return true; }
static bool confirm(HWND dialog) { click(dialog, kIdOk); return true; }

static void stillOpen(HWND dialog, const char *after)
{
    ok(IsWindow(dialog) && IsWindowVisible(dialog), "the dialog closed after %s", after);
}

// The requests since the last clear are exactly these frames.
static void expectRequests(const std::vector<Bytes> &frames, const char *what)
{
    ok(g_requests.size() == frames.size(), "%s: %zu requests, expected %zu; the first [%s]", what, g_requests.size(),
       frames.size(), g_requests.empty() ? "" : hexBytes(g_requests[0]).c_str());
    for (size_t i = 0; i < std::min(frames.size(), g_requests.size()); i++)
        sameFrame(g_requests[i], frames[i], what);
}

// The unload event removes the button with this handle, or nothing when handle is 0.
static void expectUnloadRemoves(u32 handle, const char *what)
{
    g_requests.clear();
    callPlugin(eventMessage(3, 2));
    expectRequests(handle ? std::vector<Bytes>{removeFrame(handle)} : std::vector<Bytes>(), what);
}

// The saved file: 259 bytes, beginning with the version, flag, mode and the zero-terminated template.
static void expectSaved(const std::string &path, u8 flag, u8 mode, const std::string &text, const char *what)
{
    Bytes saved = readBytes(path), start = settingsFile(flag, mode, text);
    start.resize(3 + text.size() + 1);
    const size_t size = saved.size();
    const bool same = size == 259 && std::equal(start.begin(), start.end(), saved.begin());
    saved.resize(std::min(size, start.size()));
    ok(same, "%s: %zu bytes saved, beginning [%s], expected [%s]", what, size, hexBytes(saved).c_str(),
       hexBytes(start).c_str());
}

// A real keypress, with Alt held if asked: it reaches the focused control through the
// input queue and the dialog's modal loop (IsDialogMessage), as the user's would.
static void pressKey(HWND dialog, int focusId, BYTE key, bool alt = false)
{
    HWND target = GetDlgItem(dialog, focusId);
    SetFocus(target);
    ok(GetForegroundWindow() == dialog && GetFocus() == target, "keys go to %p, not control %d", GetFocus(), focusId);
    if (alt) keybd_event(VK_MENU, 0, 0, 0);
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
    if (alt) keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
}

// Opens the about box, runs inside on it, closes it with its OK button, and sees the dialog stay.
static Steps withAbout(Steps steps, const std::function<void(HWND box)> &inside)
{
    steps.push_back([](HWND dialog) { return PostMessageA(GetDlgItem(dialog, kIdAbout), BM_CLICK, 0, 0) != 0; });
    steps.push_back([inside](HWND dialog) {
        HWND box = threadDialog(dialog);
        if (!box || !IsWindowVisible(box)) return false;
        inside(box);
        SendMessageA(box, WM_COMMAND, IDOK, 0);
        return true;
    });
    steps.push_back([](HWND dialog) {
        ok(!threadDialog(dialog), "the about box is still there after OK");
        stillOpen(dialog, "the about box");
        return true;
    });
    return steps;
}

// ---- Layout: the dialog window, and each control's class, identifier, style and place.

static void checkLayout(HWND dialog)
{
    // The template's bits stand; the system adds DS_3DLOOK, and WS_CAPTION and WS_CLIPSIBLINGS.
    const DWORD style = GetWindowLongA(dialog, GWL_STYLE), exStyle = GetWindowLongA(dialog, GWL_EXSTYLE);
    ok((style & 0xFFFF & ~DS_3DLOOK) == (DS_SETFONT | DS_CENTER), "dialog style bits %08lx", style);
    ok((style & (WS_SYSMENU | WS_CAPTION)) == (WS_SYSMENU | WS_CAPTION), "no system menu or title bar: %08lx", style);
    ok(!(style & (WS_POPUP | WS_CHILD | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)), "window kind %08lx", style);
    ok((exStyle & ~(WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT)) == 0, "extended style %08lx", exStyle);
    ok(!GetWindow(dialog, GW_OWNER) && !GetParent(dialog), "the dialog has an owner %p", GetWindow(dialog, GW_OWNER));
    // The instance is the host program's module, not the plug-in's.
    const HINSTANCE instance = (HINSTANCE)GetWindowLongPtrA(dialog, GWLP_HINSTANCE);
    ok(instance == GetModuleHandleA(NULL), "dialog instance %p, plug-in %p", instance, pluginModule());
    // Without frame bits the window is the template's size; the title bar comes out of
    // the client area, which must still hold the edit's right and the buttons' bottom.
    RECT window, size = {0, 0, 250, 130}, client, lowest = {0, 0, 240, 105}, work;
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    MapDialogRect(dialog, &size);
    MapDialogRect(dialog, &lowest);
    ok(window.right - window.left == size.right && window.bottom - window.top == size.bottom,
       "window %ldx%ld, expected %ldx%ld", window.right - window.left, window.bottom - window.top, size.right,
       size.bottom);
    ok(client.right >= lowest.right && client.bottom >= lowest.bottom, "client %ldx%ld cuts off controls",
       client.right, client.bottom);
    // Centred on the work area (DS_CENTER), to a pixel of rounding.
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    ok(labs(window.left + window.right - work.left - work.right) <= 2 &&
           labs(window.top + window.bottom - work.top - work.bottom) <= 2,
       "dialog at (%ld,%ld)-(%ld,%ld), work area (%ld,%ld)-(%ld,%ld)", window.left, window.top, window.right,
       window.bottom, work.left, work.top, work.right, work.bottom);

    HWND child = GetWindow(dialog, GW_CHILD);
    for (const ExpectedControl &c : kControls) {
        ok(child != NULL, "control %d missing", c.id);
        if (!child) return;
        ok((GetDlgCtrlID(child) & 0xFFFF) == c.id, "control %d where %d was expected", GetDlgCtrlID(child), c.id);
        ok(className(child) == c.className, "control %d is of class %s", c.id, className(child).c_str());
        // The system may change some bits: WS_DISABLED follows the check box, the edit may
        // trade WS_BORDER for a client edge, a radio button's WS_TABSTOP follows its check.
        const bool edit = strcmp(c.className, "Edit") == 0;
        const bool radio = strcmp(c.className, "Button") == 0 && (c.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
        const DWORD systemBits = WS_DISABLED | (edit ? WS_BORDER : 0) | (radio ? WS_TABSTOP : 0);
        const DWORD style = GetWindowLongA(child, GWL_STYLE), exStyle = GetWindowLongA(child, GWL_EXSTYLE);
        ok((style & ~systemBits) == (c.style & ~systemBits), "control %d style %08lx", c.id, style);
        if (radio) ok(!(style & WS_TABSTOP) == !checked(dialog, c.id), "radio %d style %08lx", c.id, style);
        if (edit) ok((style & WS_BORDER) || (exStyle & WS_EX_CLIENTEDGE), "the edit has no border: %08lx", style);
        // No extended style in the template: the dialog manager adds WS_EX_NOPARENTNOTIFY.
        ok(!(exStyle & ~(WS_EX_NOPARENTNOTIFY | (edit ? WS_EX_CLIENTEDGE : 0))), "control %d exStyle %08lx", c.id,
           exStyle);
        // Position and size are converted each on its own, as the dialog manager does.
        RECT units = {c.x, c.y, c.cx, c.cy}, got; // x, y, width, height
        MapDialogRect(dialog, &units);
        GetWindowRect(child, &got);
        MapWindowPoints(NULL, dialog, (POINT *)&got, 2);
        got.right -= got.left, got.bottom -= got.top;
        ok(EqualRect(&got, &units), "control %d at (%ld,%ld) size %ldx%ld, expected (%ld,%ld) size %ldx%ld", c.id,
           got.left, got.top, got.right, got.bottom, units.left, units.top, units.right, units.bottom);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    ok(child == NULL, "an extra control %d of class %s", GetDlgCtrlID(child), className(child).c_str());
    // The tab order follows the template, skipping the label and, the button being off, 202-204.
    HWND item = GetDlgItem(dialog, kIdShowButton);
    for (int id : {kIdAbout, kIdCancel, kIdOk, kIdShowButton}) {
        item = GetNextDlgTabItem(dialog, item, FALSE);
        ok(GetDlgCtrlID(item) == id, "tab goes to %d, expected %d", GetDlgCtrlID(item), id);
    }
    // The procedure answers the initialisation with 0, so the system sets no focus then.
    ok(g_initResult == 0, "WM_INITDIALOG answered %ld (-1: never seen)", (long)g_initResult);
}

// ---- Texts: the caption, the font, every control's text and the about box, with the
// layout too unless the texts run (code page 1252) asks for the texts alone.

static void checkTexts(HWND dialog)
{
    ok(windowText(dialog) == L"Настройки", "caption \"%s\"", utf8(windowText(dialog)).c_str());
    for (const ExpectedControl &c : kControls) {
        const std::wstring text = windowText(GetDlgItem(dialog, c.id));
        ok(!c.text || text == c.text, "control %d says \"%s\"", c.id, utf8(text).c_str());
    }
    // The template is ANSI text and shows as such; only in code page 1251 is it Russian.
    if (GetACP() == 1251)
        ok(itemText(dialog, kIdMessage) == kExpectedDefaultMessage, "the edit shows \"%s\"",
           utf8(windowText(GetDlgItem(dialog, kIdMessage))).c_str());
    LOGFONTW font = {};
    HFONT handle = (HFONT)SendMessageW(dialog, WM_GETFONT, 0, 0);
    ok(handle && GetObjectW(handle, sizeof(font), &font), "the dialog has no font of its own");
    ok(wcscmp(font.lfFaceName, L"MS Sans Serif") == 0, "font \"%s\"", utf8(font.lfFaceName).c_str());
    HDC screen = GetDC(NULL);
    const int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(NULL, screen);
    ok(font.lfHeight == height, "font height %ld, 8 points are %d", font.lfHeight, height);
}

static void checkAbout(HWND box)
{
    ok(windowText(box) == L"Nowtune v2.3", "about caption \"%s\"", utf8(windowText(box)).c_str());
    wchar_t shown[2048] = L"", expected[2048] = L"";
    GetDlgItemTextW(box, 0xFFFF, shown, 2048); // a message box's text is its static control 0xFFFF
    MultiByteToWideChar(1251, 0, kAboutText, -1, expected, 2048);
    const std::wstring text = shown;
    ok(text == expected, "about text differs: \"%s\"", utf8(text).c_str()); // its lines: the unit test
    HICON icon = NULL;
    int buttons = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        buttons += className(child) == "Button";
        if (className(child) == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            icon = (HICON)SendMessageA(child, STM_GETICON, 0, 0);
    }
    const HICON information = LoadIconA(NULL, (LPCSTR)IDI_INFORMATION);
    ok(icon && icon == information, "about icon %p, the information icon is %p", icon, information);
    ok(buttons == 1 && GetDlgItem(box, IDOK), "about box has %d buttons, OK %p", buttons, GetDlgItem(box, IDOK));
    ok(GetWindow(box, GW_OWNER) == NULL, "about box owned by %p", GetWindow(box, GW_OWNER));
}

static void testTexts(bool withLayout)
{
    Steps steps = withAbout({[withLayout](HWND dialog) {
                                checkTexts(dialog);
                                if (withLayout) checkLayout(dialog);
                                return true;
                            }},
                            checkAbout);
    steps.push_back(cancel);
    session(Bytes(), steps);
    expectRequests({}, "the about box");
}

// ---- Initial states by flag and mode (from files written elsewhere, flag 2 is on and mode 7
// appending). Then every setting is changed (the check box switching the three controls),
// something the dialog ignores arrives, and the dialog is left without OK: nothing is
// stored, and it opens again as it was.

static void expectState(HWND dialog, u8 flag, u8 mode, const std::string &text, const char *when)
{
    const bool on = flag != 0, append = mode != 0;
    ok(checked(dialog, kIdShowButton) == on, "%s, flag %u: box %d", when, flag, checked(dialog, kIdShowButton));
    for (int id : kSwitched)
        ok(enabled(dialog, id) == on, "%s, flag %u: control %d enabled %d", when, flag, id, enabled(dialog, id));
    for (int id : {kIdShowButton, kIdAbout, kIdCancel, kIdOk})
        ok(enabled(dialog, id), "%s: control %d disabled", when, id);
    ok(checked(dialog, kIdSendAtOnce) == !append && checked(dialog, kIdAppend) == append, "%s, mode %u: radios",
       when, mode);
    ok(itemText(dialog, kIdMessage) == text, "%s: the edit shows \"%s\"", when, itemText(dialog, kIdMessage).c_str());
}

// Notifications other than a click: the box's comes while its check disagrees with the
// three controls, which must stay as they are; cancel's and OK's must not end the dialog.
static void notify(HWND dialog)
{
    CheckDlgButton(dialog, kIdShowButton, !checked(dialog, kIdShowButton));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kIdShowButton, BN_SETFOCUS), (LPARAM)GetDlgItem(dialog, kIdShowButton));
    CheckDlgButton(dialog, kIdShowButton, !checked(dialog, kIdShowButton));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kIdCancel, BN_SETFOCUS), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kIdOk, BN_SETFOCUS), 0);
}

static void escapeOnBox(HWND dialog) { pressKey(dialog, kIdShowButton, VK_ESCAPE); }
static bool command2Came() { return commandsSeen(IDCANCEL) == 1; }
static bool closeBox(HWND dialog) { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); return true; }

static void testInitialStatesAndLeaving()
{
    // Escape in the multi-line edit comes as a posted WM_CLOSE, on a button as command 2.
    // The close box, the system menu's Close and Alt+F4 all come as SC_CLOSE.
    static const struct {
        u8 flag, mode;
        const char *ignored;
        void (*ignore)(HWND dialog);
        bool (*came)(); // proof that the ignored input reached the dialog
        const char *how;
        bool (*leave)(HWND dialog);
    } cases[] = {
        {0, 0, "Escape in the edit", [](HWND d) { pressKey(d, kIdMessage, VK_ESCAPE); }, [] { return g_closes > 0; },
         "cancel", cancel},
        {0, 1, "Escape on the box", escapeOnBox, command2Came, "the close box", closeBox},
        {1, 0, "command 2", [](HWND d) { SendMessageA(d, WM_COMMAND, IDCANCEL, 0); }, command2Came, "a posted close",
         [](HWND d) { return PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0) != 0; }},
        {1, 1, "WM_CLOSE", [](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); }, [] { return g_closes == 1; }, "Alt+F4",
         [](HWND d) { pressKey(d, kIdShowButton, VK_F4, true); return true; }},
        {2, 0, "notifications", notify, [] { return commandsSeen(MAKEWPARAM(kIdOk, BN_SETFOCUS)) == 1; }, "cancel",
         cancel},
        {1, 7, "Escape on the box", escapeOnBox, command2Came, "the close box", closeBox},
    };
    for (const auto &c : cases) {
        const std::string text = "%track% by mode " + std::to_string(c.mode);
        const Bytes file = settingsFile(c.flag, c.mode, text);
        const std::string path = session(file, {
            [&](HWND dialog) {
                expectState(dialog, c.flag, c.mode, text, "opened");
                // The radio buttons take a click only while the box is ticked.
                if (!c.flag) click(dialog, kIdShowButton);
                click(dialog, c.mode ? kIdSendAtOnce : kIdAppend);
                if (c.flag) click(dialog, kIdShowButton);
                SetDlgItemTextA(dialog, kIdMessage, "changed");
                expectState(dialog, !c.flag, !c.mode, "changed", "changed");
                c.ignore(dialog);
                return true;
            },
            [&](HWND dialog) {
                stillOpen(dialog, c.ignored);
                ok(c.came(), "%s never reached the dialog", c.ignored);
                expectState(dialog, !c.flag, !c.mode, "changed", c.ignored);
                return c.leave(dialog);
            },
        });
        expectRequests({}, c.how);
        ok(readBytes(path) == file, "%s changed the settings file", c.how);
        runDialog({[&](HWND dialog) {
            expectState(dialog, c.flag, c.mode, text, c.how);
            return cancel(dialog);
        }});
        expectUnloadRemoves(c.flag ? HostSettings().buttonHandle : 0, c.how);
    }
}

// ---- OK and the button, round after round: each opens the dialog, finds the box as the
// last OK (or the load) left it, clicks it or not, and confirms.

static void testOkButtonRules()
{
    const u32 loadHandle = HostSettings().buttonHandle;
    const struct {
        const char *name;
        int fileFlag; // a new session on a file with this flag, or -1 to reopen
        bool click;
        u8 request;   // what OK sends: nothing (0), add (201) or remove (203)
        u32 handle;   // the button added or removed
        u8 savedFlag; // the flag saved, and the box's state at the next opening
    } rounds[] = {
        {"off and left", 0, false, 0, 0, 0},
        {"ticked: added", -1, true, 201, 0x1111, 1},
        {"on and left: no second add", -1, false, 0, 0, 1},
        {"unticked: removed", -1, true, 203, 0x1111, 0},
        {"on again: added", -1, true, 201, 0x2222, 1},
        {"the load's button removed", 1, true, 203, loadHandle, 0},
        {"flag 2 is on", 2, false, 0, 0, 1},
    };
    u32 shown = 0; // the button unload must remove: the newest
    bool on = false;
    std::string path;
    for (const auto &r : rounds) {
        const Step step = [&](HWND dialog) {
            ok(checked(dialog, kIdShowButton) == on, "%s: the box opened as %d", r.name, !on);
            if (r.request == 201) g_host.buttonHandle = r.handle;
            if (r.click) click(dialog, kIdShowButton);
            expectRequests({}, "the box alone");
            return confirm(dialog);
        };
        if (r.fileFlag >= 0) {
            if (shown) expectUnloadRemoves(shown, r.name);
            on = r.fileFlag != 0;
            shown = on ? loadHandle : 0;
            path = session(settingsFile((u8)r.fileFlag, 0, kExpectedDefaultMessage), {step});
            ok(g_loadRequests.size() == on, "%s: the load sent %zu requests", r.name, g_loadRequests.size());
        } else {
            g_requests.clear();
            runDialog({step});
        }
        if (r.request == 203) expectRequests({removeFrame(r.handle)}, r.name);
        else ok(g_requests.size() == (r.request == 201) && countRequests(5, 201) == g_requests.size(),
                "%s: OK sent %zu requests", r.name, g_requests.size());
        expectSaved(path, r.savedFlag, 0, kExpectedDefaultMessage, r.name);
        if (r.request) shown = r.request == 201 ? r.handle : 0;
        on = r.savedFlag != 0;
    }
    if (shown) expectUnloadRemoves(shown, "the last round");
}

// ---- OK: the mode and the template, while the host goes on working. Status events and
// presses of the button are served with the dialog and the about box open; changes reach
// the button only with OK. Enter in the edit starts a new line and leaves the dialog
// open; elsewhere it presses OK.

// The status-text answer's frame: kind 2, then both strings counted.
static Bytes statusAnswer(const std::string &a, const std::string &b)
{
    Bytes payload = {2}, frame;
    addCounted(payload, textBytes(a));
    addCounted(payload, textBytes(b));
    addCounted(frame, payload); // a frame is its payload counted
    return frame;
}

// Presses the button the load added, through the function its add-button request named.
static const u8 *pressLoadedButton()
{
    const bool added = g_loadRequests.size() == 1 && g_loadRequests[0].size() >= 14;
    ok(added, "the load added no button");
    return added ? pressButton(le32At(g_loadRequests[0], 6)) : NULL;
}

static void testModeTemplateAndHost()
{
    // "Играет: %track%", a line break, "%bitrate% kbps" in Windows-1251, typed in as ANSI text.
    const std::string first = "\xC8\xE3\xF0\xE0\xE5\xF2: %track%", typed = first + "\r\n%bitrate% kbps";
    createPlayer("Winamp v1.x", "1. Artist - Song - Winamp");
    Steps steps = withAbout(
        {
            [](HWND dialog) {
                const Bytes answer = frameBytes(
                    callPlugin(statusEvent(textBytes("A"), textBytes("%track% %bitrate% %channels% %length%"))));
                sameFrame(answer, statusAnswer("A", "Artist - Song 320 stereo 4:05"), "status text in the dialog");
                stillOpen(dialog, "the status event");
                return true;
            },
            [&](HWND dialog) {
                click(dialog, kIdAppend);
                ok(checked(dialog, kIdAppend) && !checked(dialog, kIdSendAtOnce), "the radio buttons did not switch");
                SetDlgItemTextA(dialog, kIdMessage, first.c_str());
                SendDlgItemMessageA(dialog, kIdMessage, EM_SETSEL, first.size(), first.size());
                pressKey(dialog, kIdMessage, VK_RETURN);
                return true;
            },
            [&](HWND dialog) {
                stillOpen(dialog, "Enter in the edit");
                SendDlgItemMessageA(dialog, kIdMessage, EM_REPLACESEL, FALSE, (LPARAM) "%bitrate% kbps");
                ok(itemText(dialog, kIdMessage) == typed, "edit \"%s\"", itemText(dialog, kIdMessage).c_str());
                // Not yet confirmed: the old template and mode still apply.
                const u8 *answer = pressLoadedButton();
                ok(lastStackDelta() == 0, "the button function left the stack off by %d bytes", lastStackDelta());
                Bytes send;
                addLe32(send, g_host.contact);
                addLe32(send, 0);
                addCounted(send, textBytes("Artist - Song (4:05)"));
                expectRequests({eventMessage(1, 201), eventMessage(5, 1, send)}, "query contact and send");
                ok(answer == hostAnswerFor(5, 1), "the press answered %p, not the send answer", answer);
                stillOpen(dialog, "the press");
                g_requests.clear();
                return true;
            },
        },
        [](HWND) {
            sameFrame(frameBytes(callPlugin(statusEvent(Bytes(), textBytes("%bitrate%")))), statusAnswer("", "320"),
                      "status text with the about box open");
        });
    steps.push_back(confirm);
    std::string path = session(settingsFile(1, 0, "%track% (%length%)"), steps);
    expectSaved(path, 1, 1, typed, "append and a typed template");
    // Confirmed now: the press appends the new template.
    g_requests.clear();
    const u8 *answer = pressLoadedButton();
    Bytes append;
    addCounted(append, textBytes("\xC8\xE3\xF0\xE0\xE5\xF2: Artist - Song\r\n320 kbps"));
    expectRequests({eventMessage(5, 112, append)}, "append after OK");
    ok(answer == hostAnswerFor(5, 112), "the press answered %p, not the append answer", answer);
    destroyPlayers();

    runDialog({[&](HWND dialog) {
        ok(checked(dialog, kIdAppend), "appending was not kept");
        ok(itemText(dialog, kIdMessage) == typed, "the template came back as \"%s\"",
           itemText(dialog, kIdMessage).c_str());
        click(dialog, kIdSendAtOnce);
        SetDlgItemTextA(dialog, kIdMessage, "");
        return confirm(dialog);
    }});
    expectSaved(path, 1, 0, "", "send at once and an empty template");
    const std::string longText(300, 'x');
    runDialog({[&](HWND dialog) {
        SetDlgItemTextA(dialog, kIdMessage, longText.c_str());
        pressKey(dialog, kIdShowButton, VK_RETURN);
        return true;
    }});
    expectSaved(path, 1, 0, longText.substr(0, 254), "300 characters, cut to 254, saved by Enter on the box");
    // The record keeps 254 characters, so the edit takes no more from the user.
    const std::string typedLong(255, 'y');
    runDialog({[&](HWND dialog) {
        SetDlgItemTextA(dialog, kIdMessage, "");
        SendDlgItemMessageA(dialog, kIdMessage, EM_REPLACESEL, TRUE, (LPARAM)typedLong.c_str());
        ok(itemText(dialog, kIdMessage) == typedLong.substr(0, 254), "the edit took %zu of 255 pasted characters",
           itemText(dialog, kIdMessage).size());
        SendDlgItemMessageA(dialog, kIdMessage, WM_CHAR, 'z', 0);
        ok(itemText(dialog, kIdMessage) == typedLong.substr(0, 254), "the edit took a typed 255th character");
        return confirm(dialog);
    }});
    expectSaved(path, 1, 0, typedLong.substr(0, 254), "255 characters pasted, 254 taken");
    // A mode other than 0 and 1 from elsewhere counts as appending and is saved as 1.
    path = session(settingsFile(0, 7, kExpectedDefaultMessage), {confirm});
    expectSaved(path, 0, 1, kExpectedDefaultMessage, "mode 7 and OK");
}

// ---- A second settings event while the dialog, or its about box, is open opens nothing
// more: it brings the open window to the front.

static void testSecondSettingsEvent()
{
    HWND other = CreateWindowA("Static", "another program", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100, NULL, NULL,
                               NULL, NULL);
    const auto openAgain = [other](HWND front, int dialogs) {
        SetForegroundWindow(other);
        ok(GetForegroundWindow() == other, "the other window did not come to the front");
        ok(callPlugin(eventMessage(3, 3)) == NULL, "the second settings event was answered");
        ok(threadDialogCount() == dialogs, "%d dialog windows, expected %d", threadDialogCount(), dialogs);
        ok(GetForegroundWindow() == front, "%p is in front, not %p", GetForegroundWindow(), front);
    };
    Steps steps = withAbout({[&](HWND dialog) {
                                openAgain(dialog, 1);
                                return true;
                            }},
                            [&](HWND box) { openAgain(box, 2); });
    steps.push_back(cancel);
    session(Bytes(), steps);
    DestroyWindow(other);
}

// ---- A save while another program holds the new file for a moment, as a virus scanner
// does just after it is closed, without sharing deletion: the swap waits it out.

static DWORD WINAPI releaseAfterWrite(void *held)
{
    LARGE_INTEGER size = {};
    for (int i = 0; i < 5000 && (!GetFileSizeEx(held, &size) || size.QuadPart < 259); i++)
        Sleep(1);
    Sleep(50);
    CloseHandle(held);
    return 0;
}

static void testSaveWaitsOutAHolder()
{
    const std::string temp = "t_dialog\\nowtune.tmp";
    HANDLE releaser = NULL;
    // No settings file yet, so writing in place cannot stand in for the swap.
    const std::string path = session(Bytes(), {[&](HWND dialog) {
        HANDLE held = CreateFileA(temp.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                  0, NULL);
        ok(held != INVALID_HANDLE_VALUE, "cannot hold %s: %lu", temp.c_str(), GetLastError());
        releaser = CreateThread(NULL, 0, releaseAfterWrite, held, 0, NULL);
        SetDlgItemTextA(dialog, kIdMessage, "held");
        return confirm(dialog);
    }});
    WaitForSingleObject(releaser, INFINITE);
    CloseHandle(releaser);
    expectSaved(path, 0, 0, "held", "a save past a brief holder");
    ok(!fileExists(temp), "the temporary file was left behind");
}

// A read-only settings file is not a held one: no wait makes it writable, so OK
// gives up at once, and the file keeps the old settings.
static void testReadOnlyFileFailsAtOnce()
{
    // Waiting out a holder takes four waits of 50 ms at the least.
    const DWORD kRetriesMs = 200;
    const std::string file = "t_dialog\\nowtune.dat";
    const Bytes old = settingsFile(0, 0, "read-only");
    DWORD took = 0;
    HANDLE open = INVALID_HANDLE_VALUE;
    session(old, {[&](HWND dialog) {
        ok(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY), "cannot make %s read-only", file.c_str());
        // Windows refuses to replace a read-only file, with access denied. Wine run as root
        // replaces it, and refuses only a file that is open: so it is held open, sharing all.
        open = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, 0, NULL);
        SetDlgItemTextA(dialog, kIdMessage, "new");
        const DWORD before = GetTickCount();
        click(dialog, kIdOk);
        took = GetTickCount() - before;
        return true;
    }});
    CloseHandle(open);
    ok(took < kRetriesMs, "OK on a read-only file took %lu ms", took);
    ok(readBytes(file) == old, "the read-only file changed");
    ok(!fileExists("t_dialog\\nowtune.tmp"), "the temporary file was left behind");
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// ---- The unload event inside the dialog's loop, the about box's, or OK's request to the
// host: the user quits the messenger, or another plug-in unloads this one. A host may free
// the module as soon as the event returns, while those loops still run below it: they
// must end without running into freed code, store nothing and send nothing more. Each
// case loads a copy of its own, since the module pins itself.

static int g_copies;
static size_t g_requestsAtUnload;

static std::string loadCopy(const Bytes &file)
{
    resetHost();
    const std::string folder = freshFolder("t_dialog"), copy = "t_unload" + std::to_string(++g_copies) + ".dll";
    writeBytes(folder + "nowtune.dat", file);
    CopyFileA("nowtune.dll", copy.c_str(), FALSE);
    ok(loadPlugin(copy.c_str()), "%s did not load", copy.c_str());
    callPlugin(loadEvent(folder));
    return copy;
}

static void unloadAndFree()
{
    ok(callPlugin(eventMessage(3, 2)) == NULL, "the unload event was answered");
    g_requestsAtUnload = g_requests.size();
    unloadPlugin();
}

static void testUnloadInsideTheDialog()
{
    const auto edit = [](HWND dialog) {
        SetDlgItemTextA(dialog, kIdMessage, "not to be kept");
        click(dialog, kIdShowButton);
    };
    const struct {
        const char *where;
        u8 flag; // the file's: a button the unload removes, or none
        Steps steps;
        void (*duringRequest)(u8 kind, u8 code);
    } cases[] = {
        {"the dialog's loop", 1, {[&](HWND dialog) {
             edit(dialog);
             unloadAndFree();
             return true;
         }},
         nullptr},
        {"the about box's loop", 1,
         {[&](HWND dialog) {
              edit(dialog);
              return PostMessageA(GetDlgItem(dialog, kIdAbout), BM_CLICK, 0, 0) != 0;
          },
          [](HWND dialog) {
              HWND box = threadDialog(dialog);
              if (!box || !IsWindowVisible(box)) return false;
              unloadAndFree();
              return true;
          }},
         nullptr},
        // The unload comes while the host adds the button OK asked for.
        {"OK's request", 0, {[&](HWND dialog) {
             edit(dialog);
             return confirm(dialog);
         }},
         [](u8 kind, u8 code) {
             if (kind == 5 && code == 201) unloadAndFree();
         }},
    };
    for (const auto &c : cases) {
        const Bytes file = settingsFile(c.flag, 0, "kept");
        loadCopy(file);
        g_requests.clear();
        g_requestsAtUnload = 0;
        g_host.duringRequest = c.duringRequest;
        runDialog(c.steps);
        g_host.duringRequest = nullptr;
        ok(!threadDialogCount(), "%s: a dialog outlived the unload", c.where);
        ok(g_requestsAtUnload && g_requests.size() == g_requestsAtUnload, "%s: %zu requests, the unload's last at %zu",
           c.where, g_requests.size(), g_requestsAtUnload);
        ok(countRequests(5, 203) == c.flag, "%s: %zu buttons removed", c.where, countRequests(5, 203));
        ok(readBytes("t_dialog\\nowtune.dat") == file, "%s: the settings file changed", c.where);
    }
    // With nothing of the module below it, the unload leaves the module free to go.
    const std::string copy = loadCopy(settingsFile(0, 0, "kept"));
    callPlugin(eventMessage(3, 2));
    unloadPlugin();
    ok(GetModuleHandleA(copy.c_str()) == NULL, "a plain unload kept the module");
}

// A crash, such as a call into a freed module, ends the run at once with a line,
// rather than in Wine's debugger waiting for the test's time to run out.
static LONG WINAPI reportCrash(EXCEPTION_POINTERS *e)
{
    printf("dialog_test: crashed, exception %08lx at %p\n", e->ExceptionRecord->ExceptionCode,
           e->ExceptionRecord->ExceptionAddress);
    fflush(stdout);
    ExitProcess(3);
}

int main(int argc, char **argv)
{
    SetUnhandledExceptionFilter(reportCrash);
    // The module's texts are Windows-1251 whatever the ANSI code page; the texts run proves that under 1252.
    printf("ANSI code page %u\n", GetACP());
    if (argc > 1 && strcmp(argv[1], "texts") == 0) {
        ok(GetACP() == 1252, "the texts run is meant for code page 1252, got %u", GetACP());
        testTexts(false);
        unloadPlugin();
        return finishChecks("dialog_test texts");
    }
    ok(GetACP() == 1251, "typed templates are Windows-1251: the ANSI code page is %u", GetACP());
    testTexts(true);
    testInitialStatesAndLeaving();
    testOkButtonRules();
    testModeTemplateAndHost();
    testSecondSettingsEvent();
    testSaveWaitsOutAHolder();
    testReadOnlyFileFailsAtOnce();
    testUnloadInsideTheDialog();
    unloadPlugin();
    return finishChecks("dialog_test");
}
