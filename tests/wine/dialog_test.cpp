// dialog_test.cpp -- the settings dialog and the about box driven through the real module inside the stand-in host
#include "tools/standin/standin.h"
#include "settings/texts.h"

#include <functional>
#include <stdio.h>
#include <string.h>

// ---- What the dialog must show, written out independently of the module's own tables.

static const wchar_t kCaption[] = L"Настройки";
static const wchar_t kFontFace[] = L"MS Sans Serif";
static const wchar_t kAboutCaption[] = L"Nowtune v2.3";

struct ExpectedControl {
    int id;
    const char *className;
    DWORD style;
    int x, y, cx, cy; // dialog units
    const wchar_t *text; // NULL for the edit, which shows the template
};

// Template order, which is also the Z order of the children and the tab order.
static const ExpectedControl kControls[] = {
    {201, "Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 5, 2, 150, 10,
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

const int kIdShowButton = 201, kIdTemplate = 202, kIdSendAtOnce = 203, kIdAppend = 204;
const int kIdAbout = 209, kIdCancel = 210, kIdOk = 211;

// "Слушаю: %track%" in Windows-1251, the template of a fresh installation.
static const std::string kDefaultTemplate = "\xD1\xEB\xF3\xF8\xE0\xFE: %track%";
static const wchar_t kDefaultTemplateW[] = L"Слушаю: %track%";

// ---- Small helpers.

static std::string narrow(const wchar_t *text)
{
    char buffer[4096];
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), NULL, NULL);
    return n > 0 ? std::string(buffer) : std::string("<unconvertible>");
}

static std::wstring windowText(HWND window)
{
    wchar_t buffer[2048];
    const int n = GetWindowTextW(window, buffer, 2048);
    return std::wstring(buffer, n > 0 ? n : 0);
}

static std::string className(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    return name;
}

static std::wstring wideFrom1251(const char *text)
{
    static wchar_t buffer[4096];
    const int n = MultiByteToWideChar(1251, 0, text, -1, buffer, 4096);
    return std::wstring(buffer, n > 0 ? n - 1 : 0);
}

static bool checked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

static bool enabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

// A user's click: the button itself tells the dialog, with notification code 0.
static void click(HWND dialog, int id)
{
    SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0);
}

// ---- Driving the modal dialog.
//
// The settings event returns only when the dialog has closed, so the test acts
// from a thread timer: its procedure is called from the dialog's own modal loop
// (and from the about box's), one script step per tick. A step returns false
// to be run again at the next tick, when it waits for a window to show.

typedef std::function<bool(HWND dialog)> Step;

static std::vector<Step> g_steps;
static size_t g_step;
static HWND g_dialog;
static bool g_inStep;
static int g_idleTicks;
const int kTickMs = 20;
// A step waits for a window the modal loop shows as soon as its queue is empty:
// a tick or two at most. This many means the window will never come.
const int kMaxIdleTicks = 100;

struct SeenCommand {
    WPARAM wParam;
    LPARAM lParam;
};
static std::vector<SeenCommand> g_commands; // WM_COMMAND that reached the settings dialog
static int g_closes;                          // and WM_CLOSE, sent or posted
static HHOOK g_hook, g_queueHook;

static LRESULT CALLBACK watchCommands(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *sent = (const CWPSTRUCT *)lParam;
    if (code == HC_ACTION && g_dialog && sent->hwnd == g_dialog) {
        if (sent->message == WM_COMMAND) g_commands.push_back({sent->wParam, sent->lParam});
        if (sent->message == WM_CLOSE) g_closes++;
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

static LRESULT CALLBACK watchQueue(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG *posted = (const MSG *)lParam;
    if (code == HC_ACTION && wParam == PM_REMOVE && g_dialog && posted->hwnd == g_dialog &&
        posted->message == WM_CLOSE)
        g_closes++;
    return CallNextHookEx(g_queueHook, code, wParam, lParam);
}

// What the dialog's window procedure answered to WM_INITDIALOG, watched as it returns.
static bool g_initDialogSeen;
static LRESULT g_initDialogResult;
static HHOOK g_returnHook;

static LRESULT CALLBACK watchReturns(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT *sent = (const CWPRETSTRUCT *)lParam;
    if (code == HC_ACTION && sent->message == WM_INITDIALOG) {
        g_initDialogSeen = true;
        g_initDialogResult = sent->lResult;
    }
    return CallNextHookEx(g_returnHook, code, wParam, lParam);
}

static size_t commandsSeen(WPARAM wParam)
{
    size_t n = 0;
    for (const SeenCommand &c : g_commands)
        n += c.wParam == wParam;
    return n;
}

struct FoundDialog {
    HWND except;
    HWND found;
};

static BOOL CALLBACK findDialog(HWND window, LPARAM lParam)
{
    FoundDialog *search = (FoundDialog *)lParam;
    if (window == search->except || className(window) != "#32770") return TRUE;
    search->found = window;
    return FALSE;
}

// A dialog-class window of this thread other than except, shown or not.
static HWND threadDialog(HWND except = NULL)
{
    FoundDialog search = {except, NULL};
    EnumThreadWindows(GetCurrentThreadId(), findDialog, (LPARAM)&search);
    return search.found;
}

// Ends every dialog of the thread, the about box first, so that a broken script cannot hang the run.
static void abandon(const char *why)
{
    ok(false, "%s (%zu of %zu steps done)", why, g_step, g_steps.size());
    g_step = g_steps.size();
    for (HWND box; (box = threadDialog(g_dialog)) != NULL;) {
        EndDialog(box, IDOK);
        DestroyWindow(box);
    }
    if (g_dialog) EndDialog(g_dialog, 0);
}

static VOID CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_inStep) return;
    if (!g_dialog) {
        HWND dialog = threadDialog();
        if (!dialog || !IsWindowVisible(dialog)) {
            if (++g_idleTicks > kMaxIdleTicks) abandon("the settings dialog never showed");
            return;
        }
        g_dialog = dialog;
        g_idleTicks = 0;
    }
    if (g_step >= g_steps.size()) {
        // The last step ends the dialog; a tick after it means it did not.
        abandon("the dialog is still open after the last step");
        return;
    }
    g_inStep = true;
    const bool done = g_steps[g_step](g_dialog);
    g_inStep = false;
    if (done) {
        g_step++;
        g_idleTicks = 0;
    } else if (++g_idleTicks > kMaxIdleTicks) {
        abandon("a step waited for a window that never came");
    }
}

// Sends the settings event and runs the steps inside the dialog it opens.
static void runDialog(const std::vector<Step> &steps)
{
    g_steps = steps;
    g_step = 0;
    g_dialog = NULL;
    g_idleTicks = 0;
    g_commands.clear();
    g_closes = 0;
    g_initDialogSeen = false;
    g_hook = SetWindowsHookExA(WH_CALLWNDPROC, watchCommands, NULL, GetCurrentThreadId());
    g_queueHook = SetWindowsHookExA(WH_GETMESSAGE, watchQueue, NULL, GetCurrentThreadId());
    g_returnHook = SetWindowsHookExA(WH_CALLWNDPROCRET, watchReturns, NULL, GetCurrentThreadId());
    const UINT_PTR timer = SetTimer(NULL, 0, kTickMs, tick);
    const u8 *answer = callPlugin(eventMessage(3, 3));
    KillTimer(NULL, timer);
    UnhookWindowsHookEx(g_hook);
    UnhookWindowsHookEx(g_queueHook);
    UnhookWindowsHookEx(g_returnHook);
    ok(answer == NULL, "the settings event was answered");
    ok(lastStackDelta() == 0, "pluginFun left the stack off by %d bytes", lastStackDelta());
    ok(g_dialog != NULL, "no dialog was seen");
    ok(g_step == g_steps.size(), "only %zu of %zu steps ran", g_step, g_steps.size());
    ok(!g_dialog || !IsWindow(g_dialog), "the dialog window outlived the settings event");
}

// Loads the module fresh with the given settings file in a fresh folder; returns the file's path.
static std::string startWith(const char *folderName, const Bytes *file)
{
    resetHost();
    destroyPlayers();
    const std::string folder = freshFolder(folderName);
    if (file) writeBytes(folder + "nowtune.dat", *file);
    loadPlugin();
    callPlugin(loadEvent(folder));
    return folder + "nowtune.dat";
}

static bool stillOpen(HWND dialog, const char *after)
{
    const bool open = IsWindow(dialog) && IsWindowVisible(dialog);
    ok(open, "the dialog closed after %s", after);
    return open;
}

// Steps that end a script with the dialog's own buttons.
static bool cancel(HWND dialog)
{
    click(dialog, kIdCancel);
    return true;
}

static bool confirm(HWND dialog)
{
    click(dialog, kIdOk);
    return true;
}

// ---- Texts: the caption, every control's text and the about box.

struct AboutBox {
    HWND window = NULL;
    std::wstring caption, text;
    HWND owner = NULL;
    HICON icon = NULL;
    int buttons = 0;
    bool hasOk = false;
};

static BOOL CALLBACK readBoxChild(HWND child, LPARAM lParam)
{
    AboutBox *box = (AboutBox *)lParam;
    const std::string name = className(child);
    if (name == "Button") box->buttons++;
    if (name == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        box->icon = (HICON)SendMessageA(child, STM_GETICON, 0, 0);
    return TRUE;
}

static AboutBox readAbout(HWND window)
{
    AboutBox box;
    box.window = window;
    box.caption = windowText(window);
    wchar_t text[2048] = L"";
    // Message boxes keep their text in a static control with the identifier 0xFFFF.
    GetDlgItemTextW(window, 0xFFFF, text, 2048);
    box.text = text;
    box.owner = GetWindow(window, GW_OWNER);
    box.hasOk = GetDlgItem(window, IDOK) != NULL;
    EnumChildWindows(window, readBoxChild, (LPARAM)&box);
    return box;
}

static std::vector<std::wstring> splitLines(const std::wstring &text)
{
    std::vector<std::wstring> lines;
    size_t start = 0, at;
    while ((at = text.find(L"\r\n", start)) != std::wstring::npos) {
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

static void checkAboutBox(const AboutBox &box)
{
    ok(box.caption == kAboutCaption, "about caption \"%s\"", narrow(box.caption.c_str()).c_str());
    const std::wstring expected = wideFrom1251(kAboutText);
    ok(box.text == expected, "about text differs: \"%s\"", narrow(box.text.c_str()).c_str());
    // The module's text itself: thirteen lines, a few of them spelt out here.
    const std::vector<std::wstring> lines = splitLines(box.text);
    ok(lines.size() == 13, "about text has %zu lines", lines.size());
    if (lines.size() == 13) {
        ok(lines[0] == L"Плагин для вставки названия проигрываемого трека в текст допстатуса Palaver",
           "line 1: \"%s\"", narrow(lines[0].c_str()).c_str());
        ok(lines[1].empty() && lines[4].empty() && lines[11].empty(), "lines 2, 5 and 12 are not empty");
        ok(lines[3] == L"Поддерживаемые теги:", "line 4: \"%s\"", narrow(lines[3].c_str()).c_str());
        ok(lines[5] == L"%track% - название проигываемого трека", "line 6: \"%s\"", narrow(lines[5].c_str()).c_str());
        ok(lines[12] == L"Для корректной работы плагина необходима версия Palaver 1070 и выше", "line 13: \"%s\"",
           narrow(lines[12].c_str()).c_str());
    }
    ok(box.icon != NULL && box.icon == LoadIconA(NULL, (LPCSTR)IDI_INFORMATION),
       "about icon %p, the information icon is %p", box.icon, LoadIconA(NULL, (LPCSTR)IDI_INFORMATION));
    ok(box.buttons == 1 && box.hasOk, "about box has %d buttons, OK %s", box.buttons, box.hasOk ? "present" : "missing");
    ok(box.owner == NULL, "about box owned by %p", box.owner);
}

// The caption, the dialog font and every control's text; then the about box, whose
// text is opened from the dialog and closed with its OK button.
static void testTexts()
{
    startWith("t_dlg_texts", NULL);
    AboutBox box;
    runDialog({
        [](HWND dialog) {
            const std::wstring caption = windowText(dialog);
            ok(caption == kCaption, "caption \"%s\"", narrow(caption.c_str()).c_str());
            for (const ExpectedControl &c : kControls) {
                if (!c.text) continue;
                const std::wstring text = windowText(GetDlgItem(dialog, c.id));
                ok(text == c.text, "control %d says \"%s\"", c.id, narrow(text.c_str()).c_str());
            }
            const std::wstring edit = windowText(GetDlgItem(dialog, kIdTemplate));
            // The template is ANSI text and shows as such; only in code page 1251 is it Russian.
            if (GetACP() == 1251)
                ok(edit == kDefaultTemplateW, "the edit shows \"%s\"", narrow(edit.c_str()).c_str());
            LOGFONTW font = {};
            HFONT handle = (HFONT)SendMessageW(dialog, WM_GETFONT, 0, 0);
            ok(handle && GetObjectW(handle, sizeof(font), &font), "the dialog has no font of its own");
            ok(wcscmp(font.lfFaceName, kFontFace) == 0, "font \"%s\"", narrow(font.lfFaceName).c_str());
            HDC screen = GetDC(NULL);
            const int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
            ReleaseDC(NULL, screen);
            ok(font.lfHeight == height, "font height %ld, 8 points are %d", font.lfHeight, height);
            PostMessageA(GetDlgItem(dialog, kIdAbout), BM_CLICK, 0, 0);
            return true;
        },
        [&box](HWND dialog) {
            HWND window = threadDialog(dialog);
            if (!window || !IsWindowVisible(window)) return false;
            box = readAbout(window);
            checkAboutBox(box);
            SendMessageA(window, WM_COMMAND, IDOK, 0);
            return true;
        },
        [&box](HWND dialog) {
            ok(!IsWindow(box.window), "the about box is still there after OK");
            stillOpen(dialog, "the about box");
            return cancel(dialog);
        },
    });
    ok(box.window != NULL, "no about box was seen");
    ok(g_requests.empty(), "the about box sent %zu requests", g_requests.size());
}

// ---- Layout: the dialog window, and each control's class, identifier, style and place.

static void checkDialogWindow(HWND dialog)
{
    const DWORD style = GetWindowLongA(dialog, GWL_STYLE);
    // The template's own bits (DS_SETFONT, DS_CENTER, WS_SYSMENU) stand as they are; the
    // system adds DS_3DLOOK to every dialog, and WS_CAPTION and WS_CLIPSIBLINGS to an
    // overlapped window.
    ok((style & 0xFFFF & ~DS_3DLOOK) == (DS_SETFONT | DS_CENTER), "dialog style bits %08lx", style);
    ok((style & (WS_SYSMENU | WS_CAPTION)) == (WS_SYSMENU | WS_CAPTION), "no system menu or title bar: %08lx", style);
    ok(!(style & (WS_POPUP | WS_CHILD | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)),
       "unexpected window kind bits: %08lx", style);
    // No extended style of its own; a window with a title bar gets WS_EX_WINDOWEDGE, a
    // dialog WS_EX_CONTROLPARENT.
    const DWORD exStyle = GetWindowLongA(dialog, GWL_EXSTYLE);
    ok((exStyle & ~(WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT)) == 0, "extended style %08lx", exStyle);
    ok(GetWindow(dialog, GW_OWNER) == NULL && GetParent(dialog) == NULL, "the dialog has an owner %p",
       GetWindow(dialog, GW_OWNER));
    // The instance is the host program's module, not the plug-in's.
    const HINSTANCE instance = (HINSTANCE)GetWindowLongPtrA(dialog, GWLP_HINSTANCE);
    ok(instance == GetModuleHandleA(NULL), "dialog instance %p, host module %p, plug-in %p", instance,
       GetModuleHandleA(NULL), pluginModule());

    // The template's style has no frame bits, so the system makes the whole window the
    // template's size; the title bar it then gives every overlapped window comes out of
    // the client area. The controls must still fit in what is left.
    RECT window, expected = {0, 0, 250, 130};
    GetWindowRect(dialog, &window);
    MapDialogRect(dialog, &expected);
    ok(window.right - window.left == expected.right && window.bottom - window.top == expected.bottom,
       "window %ldx%ld, expected %ldx%ld", window.right - window.left, window.bottom - window.top, expected.right,
       expected.bottom);
    RECT client, lowest = {0, 0, 240, 105}; // the right of the edit, the bottom of the push buttons
    GetClientRect(dialog, &client);
    MapDialogRect(dialog, &lowest);
    ok(client.right >= lowest.right && client.bottom >= lowest.bottom, "client area %ldx%ld cuts off the controls",
       client.right, client.bottom);

    // Centred on the screen's work area (DS_CENTER), to a pixel of rounding.
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const long dx = (window.left + window.right) - (work.left + work.right);
    const long dy = (window.top + window.bottom) - (work.top + work.bottom);
    ok(labs(dx) <= 2 && labs(dy) <= 2, "dialog at (%ld,%ld)-(%ld,%ld), work area (%ld,%ld)-(%ld,%ld)", window.left,
       window.top, window.right, window.bottom, work.left, work.top, work.right, work.bottom);
}

static bool isRadio(const ExpectedControl &c)
{
    return strcmp(c.className, "Button") == 0 && (c.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

// The bits the system may change in a control's style: WS_DISABLED follows the
// check box, an edit control in a dialog may trade WS_BORDER for a client edge,
// and a radio button's WS_TABSTOP follows its check mark.
static DWORD systemBits(const ExpectedControl &c)
{
    return WS_DISABLED | (strcmp(c.className, "Edit") == 0 ? WS_BORDER : 0) | (isRadio(c) ? WS_TABSTOP : 0);
}

static void checkControls(HWND dialog)
{
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const ExpectedControl &c : kControls) {
        ok(child != NULL, "control %d missing", c.id);
        if (!child) return;
        const int id = GetDlgCtrlID(child);
        ok((id & 0xFFFF) == c.id, "control %d found where %d was expected", id, c.id);
        ok(className(child) == c.className, "control %d is of class %s", c.id, className(child).c_str());
        const DWORD style = GetWindowLongA(child, GWL_STYLE);
        ok((style & ~systemBits(c)) == (c.style & ~systemBits(c)), "control %d style %08lx, expected %08lx", c.id,
           style, c.style);
        if (isRadio(c))
            ok(!(style & WS_TABSTOP) == !checked(dialog, c.id), "radio button %d: tab stop %s, check %u", c.id,
               style & WS_TABSTOP ? "set" : "clear", IsDlgButtonChecked(dialog, c.id));
        if (strcmp(c.className, "Edit") == 0)
            ok((style & WS_BORDER) || (GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE),
               "the edit has no border: style %08lx", style);
        // No extended style in the template: the dialog manager adds WS_EX_NOPARENTNOTIFY,
        // and the edit may have its border as a client edge.
        const DWORD exStyle = GetWindowLongA(child, GWL_EXSTYLE);
        const DWORD exAllowed = WS_EX_NOPARENTNOTIFY | (strcmp(c.className, "Edit") == 0 ? WS_EX_CLIENTEDGE : 0);
        ok((exStyle & ~exAllowed) == 0, "control %d extended style %08lx", c.id, exStyle);

        // Position and size are converted each on its own, as the dialog manager does.
        RECT units = {c.x, c.y, c.cx, c.cy}, got;
        MapDialogRect(dialog, &units);
        GetWindowRect(child, &got);
        MapWindowPoints(NULL, dialog, (POINT *)&got, 2);
        ok(got.left == units.left && got.top == units.top && got.right - got.left == units.right &&
               got.bottom - got.top == units.bottom,
           "control %d at (%ld,%ld) size %ldx%ld, expected (%ld,%ld) size %ldx%ld", c.id, got.left, got.top,
           got.right - got.left, got.bottom - got.top, units.left, units.top, units.right, units.bottom);
        ok(GetParent(child) == dialog, "control %d is not the dialog's child", c.id);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    ok(child == NULL, "an extra control %d of class %s", GetDlgCtrlID(child), className(child).c_str());

    // The tab order follows the template; the label is skipped, having no tab stop.
    HWND item = GetDlgItem(dialog, kIdShowButton);
    const int order[] = {kIdAbout, kIdCancel, kIdOk, kIdShowButton};
    // With the button off, 202-204 are disabled and so out of the tab order.
    for (int id : order) {
        item = GetNextDlgTabItem(dialog, item, FALSE);
        ok(GetDlgCtrlID(item) == id, "tab goes to %d, expected %d", GetDlgCtrlID(item), id);
    }
    // The procedure answers the initialisation with 0, so the system sets no focus then.
    ok(g_initDialogSeen && g_initDialogResult == 0, "WM_INITDIALOG %s, answered %ld",
       g_initDialogSeen ? "seen" : "not seen", (long)g_initDialogResult);
}

static void testLayout()
{
    startWith("t_dlg_layout", NULL);
    runDialog({
        [](HWND dialog) {
            checkDialogWindow(dialog);
            checkControls(dialog);
            return cancel(dialog);
        },
    });
}

// ---- Initial states by the button flag and the send mode.

static void checkInitialState(u8 flag, u8 mode)
{
    const std::string text = "flag " + std::to_string(flag) + ", mode " + std::to_string(mode);
    const Bytes file = settingsFile(flag, mode, "%track% by mode " + std::to_string(mode));
    startWith("t_dlg_state", &file);
    const bool on = flag != 0;
    runDialog({
        [&](HWND dialog) {
            ok(checked(dialog, kIdShowButton) == on, "%s: check box %s", text.c_str(),
               on ? "unticked" : "ticked");
            for (int id : {kIdTemplate, kIdSendAtOnce, kIdAppend})
                ok(enabled(dialog, id) == on, "%s: control %d %s", text.c_str(), id, on ? "disabled" : "enabled");
            for (int id : {kIdShowButton, kIdAbout, kIdCancel, kIdOk})
                ok(enabled(dialog, id), "%s: control %d disabled", text.c_str(), id);
            ok(checked(dialog, kIdSendAtOnce) == (mode == 0) && checked(dialog, kIdAppend) == (mode != 0),
               "%s: radio buttons %u and %u", text.c_str(), IsDlgButtonChecked(dialog, kIdSendAtOnce),
               IsDlgButtonChecked(dialog, kIdAppend));
            char shown[512] = "";
            GetDlgItemTextA(dialog, kIdTemplate, shown, sizeof(shown));
            ok(std::string(shown) == "%track% by mode " + std::to_string(mode), "%s: the edit shows \"%s\"",
               text.c_str(), shown);
            return cancel(dialog);
        },
    });
}

static void testInitialStates()
{
    checkInitialState(0, 0);
    checkInitialState(0, 1);
    checkInitialState(1, 0);
    checkInitialState(1, 1);
    // Files written elsewhere may hold other non-zero values: on, and appending.
    checkInitialState(2, 0);
    checkInitialState(1, 7);
}

// ---- The check box switches the three controls; only a click counts.

static void testCheckBox()
{
    const Bytes file = settingsFile(0, 0, kDefaultTemplate);
    const std::string path = startWith("t_dlg_check", &file);
    runDialog({
        [](HWND dialog) {
            click(dialog, kIdShowButton);
            ok(checked(dialog, kIdShowButton), "the click did not tick the box");
            for (int id : {kIdTemplate, kIdSendAtOnce, kIdAppend})
                ok(enabled(dialog, id), "ticked: control %d still disabled", id);
            click(dialog, kIdShowButton);
            ok(!checked(dialog, kIdShowButton), "the second click did not untick the box");
            for (int id : {kIdTemplate, kIdSendAtOnce, kIdAppend})
                ok(!enabled(dialog, id), "unticked: control %d still enabled", id);
            ok(commandsSeen(kIdShowButton) == 2, "%zu clicks reached the dialog", commandsSeen(kIdShowButton));

            // A notification other than a click leaves the controls as they are.
            CheckDlgButton(dialog, kIdShowButton, BST_CHECKED);
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kIdShowButton, BN_SETFOCUS),
                         (LPARAM)GetDlgItem(dialog, kIdShowButton));
            for (int id : {kIdTemplate, kIdSendAtOnce, kIdAppend})
                ok(!enabled(dialog, id), "a focus notification enabled control %d", id);
            // Nor does a notification with the cancel or OK button's identifier end the dialog.
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kIdCancel, BN_SETFOCUS), 0);
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kIdOk, BN_SETFOCUS), 0);
            ok(g_requests.empty(), "ticking sent %zu requests", g_requests.size());
            return true;
        },
        [](HWND dialog) {
            stillOpen(dialog, "notifications from the cancel and OK buttons");
            click(dialog, kIdShowButton); // back to unticked, then ticked for cancel
            click(dialog, kIdShowButton);
            ok(checked(dialog, kIdShowButton) && enabled(dialog, kIdTemplate), "the box did not come back on");
            return cancel(dialog);
        },
    });
    ok(g_requests.empty(), "ticking and cancel sent %zu requests", g_requests.size());
    ok(readBytes(path) == file, "cancel changed the settings file");
}

// A real keypress, with Alt held if asked: it reaches the focused control through the
// input queue and the dialog's modal loop (IsDialogMessage), as the user's would.
static void pressKey(HWND dialog, int focusId, UINT key, bool alt = false)
{
    HWND target = GetDlgItem(dialog, focusId);
    SetFocus(target);
    ok(GetForegroundWindow() == dialog && GetFocus() == target, "keys would go to %p, not control %d",
       GetFocus(), focusId);
    INPUT input[4] = {};
    UINT n = 0;
    if (alt) input[n++].ki.wVk = VK_MENU;
    input[n++].ki.wVk = (WORD)key;
    input[n].ki.wVk = (WORD)key;
    input[n++].ki.dwFlags = KEYEVENTF_KEYUP;
    if (alt) {
        input[n].ki.wVk = VK_MENU;
        input[n++].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    for (UINT i = 0; i < n; i++)
        input[i].type = INPUT_KEYBOARD;
    ok(SendInput(n, input, sizeof(INPUT)) == n, "the keypress was not taken: error %lu", GetLastError());
}

// ---- Leaving without OK: cancel and the close box store nothing.

// Changes every setting in the open dialog, for a way out that must store none of it.
static void changeEverything(HWND dialog)
{
    click(dialog, kIdShowButton);
    click(dialog, kIdAppend);
    SetDlgItemTextA(dialog, kIdTemplate, "changed");
}

static void checkNothingStored(const char *how, const std::function<void(HWND)> &leave)
{
    const Bytes file = settingsFile(0, 0, kDefaultTemplate);
    const std::string path = startWith("t_dlg_leave", &file);
    runDialog({
        [&](HWND dialog) {
            changeEverything(dialog);
            ok(checked(dialog, kIdShowButton) && checked(dialog, kIdAppend), "%s: the changes did not take", how);
            leave(dialog);
            return true;
        },
    });
    ok(g_requests.empty(), "%s sent %zu requests", how, g_requests.size());
    ok(readBytes(path) == file, "%s changed the settings file", how);

    // Opened again, the dialog shows the settings as they were.
    runDialog({
        [&](HWND dialog) {
            char shown[64] = "";
            GetDlgItemTextA(dialog, kIdTemplate, shown, sizeof(shown));
            ok(!checked(dialog, kIdShowButton) && checked(dialog, kIdSendAtOnce) && shown == kDefaultTemplate,
               "after %s: box %u, send at once %u, template \"%s\"", how, IsDlgButtonChecked(dialog, kIdShowButton),
               IsDlgButtonChecked(dialog, kIdSendAtOnce), shown);
            return cancel(dialog);
        },
    });
    ok(g_requests.empty(), "%s: %zu requests after reopening", how, g_requests.size());
    callPlugin(eventMessage(3, 2));
    ok(g_requests.empty(), "%s: unload removed a button that was never added", how);
}

static void testLeavingWithoutOk()
{
    checkNothingStored("cancel", [](HWND dialog) { click(dialog, kIdCancel); });
    // The close box, the system menu's Close and Alt+F4 all come as SC_CLOSE.
    checkNothingStored("the close box", [](HWND dialog) { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
    checkNothingStored("a posted close", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
    checkNothingStored("Alt+F4", [](HWND dialog) { pressKey(dialog, kIdShowButton, VK_F4, true); });
}

// ---- The keyboard: Escape does nothing, Enter in the edit breaks the line.
//
// Escape on a button comes as command 2; in the multi-line edit it comes as WM_CLOSE,
// which the edit posts to its dialog. Neither ends the dialog.

static void testEscape()
{
    const Bytes file = settingsFile(1, 0, kDefaultTemplate);
    const std::string path = startWith("t_dlg_escape", &file);
    g_requests.clear();
    runDialog({
        [](HWND dialog) {
            SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            ok(IsWindowVisible(dialog), "command 2 hid the dialog");
            return true;
        },
        [](HWND dialog) {
            stillOpen(dialog, "command 2");
            pressKey(dialog, kIdShowButton, VK_ESCAPE);
            return true;
        },
        [](HWND dialog) {
            stillOpen(dialog, "Escape");
            ok(commandsSeen(IDCANCEL) == 2, "command 2 reached the dialog %zu times", commandsSeen(IDCANCEL));
            ok(checked(dialog, kIdShowButton), "Escape changed the check box");
            SetDlgItemTextA(dialog, kIdTemplate, "typing");
            pressKey(dialog, kIdTemplate, VK_ESCAPE);
            return true;
        },
        [](HWND dialog) {
            stillOpen(dialog, "Escape in the edit");
            ok(g_closes >= 1, "Escape in the edit sent no WM_CLOSE (%d)", g_closes);
            char shown[64] = "";
            GetDlgItemTextA(dialog, kIdTemplate, shown, sizeof(shown));
            ok(strcmp(shown, "typing") == 0, "Escape in the edit left \"%s\"", shown);
            // Nor does a WM_CLOSE from anyone else.
            SendMessageA(dialog, WM_CLOSE, 0, 0);
            return true;
        },
        [](HWND dialog) {
            stillOpen(dialog, "WM_CLOSE");
            return cancel(dialog);
        },
    });
    ok(g_requests.empty(), "Escape sent %zu requests", g_requests.size());
    ok(readBytes(path) == file, "Escape changed the settings file");
}

// Enter inside the edit starts a new line and leaves the dialog open; the break is stored.
static void testEnter()
{
    const Bytes file = settingsFile(1, 0, kDefaultTemplate);
    const std::string path = startWith("t_dlg_enter", &file);
    runDialog({
        [](HWND dialog) {
            HWND edit = GetDlgItem(dialog, kIdTemplate);
            SetWindowTextA(edit, "first");
            SendMessageA(edit, EM_SETSEL, 5, 5);
            pressKey(dialog, kIdTemplate, VK_RETURN);
            return true;
        },
        [](HWND dialog) {
            stillOpen(dialog, "Enter in the edit");
            HWND edit = GetDlgItem(dialog, kIdTemplate);
            SendMessageA(edit, EM_REPLACESEL, FALSE, (LPARAM) "second");
            char shown[64] = "";
            GetWindowTextA(edit, shown, sizeof(shown));
            ok(strcmp(shown, "first\r\nsecond") == 0, "the edit holds \"%s\"", shown);
            return confirm(dialog);
        },
    });
    const Bytes saved = readBytes(path);
    const Bytes expected = {23, 1, 0, 'f', 'i', 'r', 's', 't', '\r', '\n', 's', 'e', 'c', 'o', 'n', 'd', 0};
    ok(saved.size() == 259 && std::equal(expected.begin(), expected.end(), saved.begin()), "saved [%s]",
       hexBytes(Bytes(saved.begin(), saved.begin() + std::min<size_t>(saved.size(), 20))).c_str());

    // Enter elsewhere presses the default button, OK.
    startWith("t_dlg_enter", &file);
    runDialog({
        [](HWND dialog) {
            SetDlgItemTextA(dialog, kIdTemplate, "by Enter");
            pressKey(dialog, kIdShowButton, VK_RETURN);
            return true;
        },
    });
    const Bytes byEnter = readBytes(path);
    ok(byEnter.size() == 259 && memcmp(byEnter.data() + 3, "by Enter", 9) == 0, "Enter on the check box saved [%s]",
       hexBytes(Bytes(byEnter.begin(), byEnter.begin() + std::min<size_t>(byEnter.size(), 12))).c_str());
}

// ---- OK: the button, the mode and the template, applied and saved.

static Bytes savedStart(u8 flag, u8 mode, const std::string &text)
{
    Bytes bytes = {23, flag, mode};
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

// The file holds 259 bytes, beginning with the version, flag, mode and the zero-terminated template.
static void checkSaved(const std::string &path, const Bytes &start, const char *what)
{
    const Bytes saved = readBytes(path);
    ok(saved.size() == 259, "%s: the file has %zu bytes", what, saved.size());
    const bool same = saved.size() >= start.size() && std::equal(start.begin(), start.end(), saved.begin());
    ok(same, "%s: the file begins [%s], expected [%s]", what,
       hexBytes(Bytes(saved.begin(), saved.begin() + std::min(saved.size(), start.size()))).c_str(),
       hexBytes(start).c_str());
}

static void testOkAddsButton()
{
    const Bytes file = settingsFile(0, 0, kDefaultTemplate);
    const std::string path = startWith("t_dlg_add", &file);
    g_host.buttonHandle = 0x00ADD001;
    runDialog({
        [](HWND dialog) {
            click(dialog, kIdShowButton);
            ok(g_requests.empty(), "ticking alone sent %zu requests", g_requests.size());
            return confirm(dialog);
        },
    });
    ok(g_requests.size() == 1 && countRequests(5, 201) == 1, "OK sent %zu requests, %zu of them add button",
       g_requests.size(), countRequests(5, 201));
    if (!g_requests.empty()) {
        const Bytes &add = g_requests[0];
        ok(add.size() >= 14 && le32At(add, 0) == add.size() - 4, "add-button frame [%s]", hexBytes(add).c_str());
    }
    checkSaved(path, savedStart(1, 0, kDefaultTemplate), "ticked and OK");

    // The new handle is kept: unload removes that button.
    g_requests.clear();
    callPlugin(eventMessage(3, 2));
    ok(g_requests.size() == 1 && g_requests[0] == removeFrame(0x00ADD001), "unload sent [%s]",
       g_requests.empty() ? "" : hexBytes(g_requests[0]).c_str());
}

static void testOkRemovesButton()
{
    const Bytes file = settingsFile(1, 0, kDefaultTemplate);
    const std::string path = startWith("t_dlg_remove", &file); // the load adds the button
    ok(countRequests(5, 201) == 1, "the load sent %zu add requests", countRequests(5, 201));
    g_requests.clear();
    runDialog({
        [](HWND dialog) {
            click(dialog, kIdShowButton);
            ok(g_requests.empty(), "unticking alone sent %zu requests", g_requests.size());
            return confirm(dialog);
        },
    });
    ok(g_requests.size() == 1 && g_requests[0] == removeFrame(g_host.buttonHandle), "OK sent [%s], %zu requests",
       g_requests.empty() ? "" : hexBytes(g_requests[0]).c_str(), g_requests.size());
    checkSaved(path, savedStart(0, 0, kDefaultTemplate), "unticked and OK");

    // Opened again: unticked, and OK now changes nothing about the button.
    g_requests.clear();
    runDialog({
        [](HWND dialog) {
            ok(!checked(dialog, kIdShowButton) && !enabled(dialog, kIdTemplate), "the box came back ticked");
            return confirm(dialog);
        },
    });
    ok(g_requests.empty(), "OK with the box still unticked sent %zu requests", g_requests.size());
}

static void testOkKeepsButton()
{
    for (u8 flag : {1, 2}) {
        const Bytes file = settingsFile(flag, 0, kDefaultTemplate);
        const std::string path = startWith("t_dlg_keep", &file);
        ok(countRequests(5, 201) == 1, "flag %u: the load sent %zu add requests", flag, countRequests(5, 201));
        g_requests.clear();
        runDialog({confirm});
        ok(g_requests.empty(), "flag %u: OK with the button shown sent %zu requests", flag, g_requests.size());
        const Bytes saved = readBytes(path);
        ok(saved.size() == 259 && saved[1] != 0, "flag %u: saved flag %u", flag, saved.size() > 1 ? saved[1] : 0);
    }
}

// Turning the button on, off and on again sends add, remove and add, and the newest handle is kept.
static void testOnOffOn()
{
    const Bytes file = settingsFile(0, 0, kDefaultTemplate);
    startWith("t_dlg_onoff", &file);
    const u32 handles[] = {0x1111, 0x2222};
    for (int round = 0; round < 3; round++) {
        if (round != 1) g_host.buttonHandle = handles[round / 2];
        runDialog({[](HWND dialog) {
            click(dialog, kIdShowButton);
            return confirm(dialog);
        }});
    }
    ok(g_requests.size() == 3, "%zu requests for on, off and on", g_requests.size());
    if (g_requests.size() == 3) {
        ok(g_requests[0][5] == 201 && g_requests[2][5] == 201, "not add, remove, add: codes %u %u %u", g_requests[0][5],
           g_requests[1][5], g_requests[2][5]);
        sameFrame(g_requests[1], removeFrame(0x1111), "the remove between");
    }
    g_requests.clear();
    callPlugin(eventMessage(3, 2));
    ok(g_requests.size() == 1 && g_requests[0] == removeFrame(0x2222), "unload removed [%s]",
       g_requests.empty() ? "" : hexBytes(g_requests[0]).c_str());
}

static void testOkMode()
{
    const Bytes file = settingsFile(1, 0, kDefaultTemplate);
    const std::string path = startWith("t_dlg_mode", &file);
    runDialog({[](HWND dialog) {
        click(dialog, kIdAppend);
        ok(checked(dialog, kIdAppend) && !checked(dialog, kIdSendAtOnce), "the radio buttons did not switch");
        return confirm(dialog);
    }});
    checkSaved(path, savedStart(1, 1, kDefaultTemplate), "append and OK");
    runDialog({[](HWND dialog) {
        ok(checked(dialog, kIdAppend), "appending was not kept");
        click(dialog, kIdSendAtOnce);
        return confirm(dialog);
    }});
    checkSaved(path, savedStart(1, 0, kDefaultTemplate), "send at once and OK");

    // A mode other than 0 and 1 from elsewhere counts as appending and is saved as 1.
    const Bytes odd = settingsFile(0, 7, kDefaultTemplate);
    const std::string oddPath = startWith("t_dlg_mode", &odd);
    runDialog({confirm});
    checkSaved(oddPath, savedStart(0, 1, kDefaultTemplate), "mode 7 and OK");
}

static void testOkTemplate()
{
    // "Играет: %track%", a line break, "%bitrate% kbps" in Windows-1251, typed in as ANSI text.
    const std::string typed = "\xC8\xE3\xF0\xE0\xE5\xF2: %track%\r\n%bitrate% kbps";
    const Bytes file = settingsFile(0, 1, kDefaultTemplate);
    const std::string path = startWith("t_dlg_template", &file);
    runDialog({[&](HWND dialog) {
        SetDlgItemTextA(dialog, kIdTemplate, typed.c_str());
        return confirm(dialog);
    }});
    checkSaved(path, savedStart(0, 1, typed), "a typed template");
    // Opened again, the typed template comes back; emptied, it is saved as a lone zero.
    runDialog({[&](HWND dialog) {
        char shown[512] = "";
        GetDlgItemTextA(dialog, kIdTemplate, shown, sizeof(shown));
        ok(shown == typed, "the template came back as \"%s\"", shown);
        SetDlgItemTextA(dialog, kIdTemplate, "");
        return confirm(dialog);
    }});
    checkSaved(path, savedStart(0, 1, ""), "an empty template");

    // 300 characters are cut to their first 254.
    std::string longText;
    for (int i = 0; i < 300; i++)
        longText += (char)('a' + i % 26);
    runDialog({[&](HWND dialog) {
        SetDlgItemTextA(dialog, kIdTemplate, longText.c_str());
        return confirm(dialog);
    }});
    checkSaved(path, savedStart(0, 1, longText.substr(0, 254)), "a 300-character template");
}

// ---- The host goes on working while the dialog is open.

static const char kWinampClass[] = "Winamp v1.x";

static void testNestedEvents()
{
    const Bytes file = settingsFile(1, 0, "%track% (%length%)");
    const std::string path = startWith("t_dlg_nested", &file);
    createPlayer(kWinampClass, "1. Artist - Song - Winamp");
    ok(g_requests.size() == 1 && g_requests[0].size() >= 14, "the load sent %zu requests", g_requests.size());
    if (g_requests.size() != 1 || g_requests[0].size() < 14) return;
    const u32 buttonFunction = le32At(g_requests[0], 6);
    g_requests.clear();

    Bytes expectedSend = {5, 1};
    addLe32(expectedSend, g_host.contact);
    addLe32(expectedSend, 0);
    addCounted(expectedSend, textBytes("Artist - Song (4:05)"));
    Bytes sendFrame;
    addLe32(sendFrame, (u32)expectedSend.size());
    sendFrame.insert(sendFrame.end(), expectedSend.begin(), expectedSend.end());

    runDialog({
        [](HWND dialog) {
            const Bytes answer =
                frameBytes(callPlugin(statusEvent(textBytes("A"), textBytes("%track% %bitrate% %channels% %length%"))));
            Bytes expected = {2};
            addCounted(expected, textBytes("A"));
            addCounted(expected, textBytes("Artist - Song 320 stereo 4:05"));
            Bytes frame;
            addLe32(frame, (u32)expected.size());
            frame.insert(frame.end(), expected.begin(), expected.end());
            sameFrame(answer, frame, "status text inside the dialog");
            ok(IsWindowVisible(dialog), "the status text closed the dialog");
            return true;
        },
        [&](HWND dialog) {
            // Unconfirmed changes do not reach the button: the old template and mode still apply.
            click(dialog, kIdAppend);
            SetDlgItemTextA(dialog, kIdTemplate, "new %track%");
            const u8 *answer = pressButton(buttonFunction);
            ok(lastStackDelta() == 0, "the button function left the stack off by %d bytes", lastStackDelta());
            ok(g_requests.size() == 2, "the press inside the dialog sent %zu requests", g_requests.size());
            if (g_requests.size() == 2) {
                sameFrame(g_requests[0], Bytes{2, 0, 0, 0, 1, 201}, "query contact inside the dialog");
                sameFrame(g_requests[1], sendFrame, "send message inside the dialog");
            }
            ok(answer == hostAnswerFor(5, 1), "the press answered %p, not the send answer %p", answer,
               hostAnswerFor(5, 1));
            ok(IsWindowVisible(dialog), "the press closed the dialog");
            g_requests.clear();
            return true;
        },
        [](HWND dialog) {
            // And with the about box open.
            PostMessageA(GetDlgItem(dialog, kIdAbout), BM_CLICK, 0, 0);
            return true;
        },
        [](HWND dialog) {
            HWND box = threadDialog(dialog);
            if (!box || !IsWindowVisible(box)) return false;
            const Bytes answer = frameBytes(callPlugin(statusEvent(Bytes(), textBytes("%bitrate%"))));
            ok(answer.size() == 4 + 12 && answer[4] == 2 && std::string(answer.begin() + 13, answer.end()) == "320",
               "status text with the about box open: [%s]", hexBytes(answer).c_str());
            SendMessageA(box, WM_COMMAND, IDOK, 0);
            return true;
        },
        confirm,
    });
    // Confirmed now: the press appends the new template.
    g_requests.clear();
    const u8 *answer = pressButton(buttonFunction);
    Bytes append = {5, 112};
    addCounted(append, textBytes("new Artist - Song"));
    Bytes frame;
    addLe32(frame, (u32)append.size());
    frame.insert(frame.end(), append.begin(), append.end());
    ok(g_requests.size() == 1, "the press after OK sent %zu requests", g_requests.size());
    if (!g_requests.empty()) sameFrame(g_requests[0], frame, "append after OK");
    ok(answer == hostAnswerFor(5, 112), "the press answered %p, not the append answer %p", answer,
       hostAnswerFor(5, 112));
    checkSaved(path, savedStart(1, 1, "new %track%"), "after the nested events");
    destroyPlayers();
}

int main(int argc, char **argv)
{
    const bool textsOnly = argc > 1 && strcmp(argv[1], "texts") == 0;
    // The module's texts are Windows-1251 whatever the system's ANSI code page;
    // the texts run proves that under another one.
    printf("ANSI code page %u\n", GetACP());
    if (textsOnly) {
        ok(GetACP() == 1252, "the texts run is meant for code page 1252, got %u", GetACP());
        testTexts();
        return finishChecks("dialog_test texts");
    }
    ok(GetACP() == 1251, "typed templates are Windows-1251: the ANSI code page is %u", GetACP());
    testTexts();
    testLayout();
    testInitialStates();
    testCheckBox();
    testLeavingWithoutOk();
    testEscape();
    testEnter();
    testOkAddsButton();
    testOkRemovesButton();
    testOkKeepsButton();
    testOnOffOn();
    testOkMode();
    testOkTemplate();
    testNestedEvents();
    unloadPlugin();
    return finishChecks("dialog_test");
}
