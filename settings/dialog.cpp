// dialog.cpp -- the settings dialog, built in memory each time it opens, and the about box
#include "settings.h"
#include "dlgtemplate.h"
#include "../common/texts.h"
#include "../text/text.h"

#include <windows.h>

// The built-in texts are Windows-1251 whatever the system's ANSI code page, so
// they are converted from 1251 itself and the dialog runs on the wide calls.
const UINT kTextCodePage = 1251;
const u32 kDialogTextUnitsCap = 512;
const u32 kAboutUnitsCap = 1024;
const u32 kCaptionUnitsCap = 32;
const int kMessageReadSize = kMessageTemplateChars + 1;
// The system's message box is a window of the dialog class.
const char kDialogClass[] = "#32770";
const int kClassNameCap = 16;

// Converts a 1251 text into units (cap units); returns the units written,
// the zero included, or 0 when it does not fit.
static u32 wideFrom1251(const char *text, WCHAR *units, u32 cap)
{
    const int n = MultiByteToWideChar(kTextCodePage, MB_PRECOMPOSED, text, -1, units, (int)cap);
    return n > 0 ? (u32)n : 0;
}

static void enableMessageControls(HWND dialog, bool enable)
{
    static const int ids[] = {kIdMessageEdit, kIdSendAtOnce, kIdAppend};
    for (int id : ids)
        EnableWindow(GetDlgItem(dialog, id), enable);
}

// Set while the dialog is open: one at most, as a second settings event brings
// the open one to the front. Neither the dialog nor the about box has an owner,
// so the host's windows stay live and its events come inside their loops.
static ButtonChanger g_changeButton;
static bool g_dialogOpen;
static HWND g_dialog;
static bool g_aboutOpen;
// Set when the unload event ended the dialog: it stores and saves nothing.
static bool g_dialogClosed;

static void initDialog(HWND dialog)
{
    g_dialog = dialog;
    if (buttonWanted(&g_settings))
        CheckDlgButton(dialog, kIdShowButton, BST_CHECKED);
    else
        enableMessageControls(dialog, false);
    CheckRadioButton(dialog, kIdSendAtOnce, kIdAppend, sendMode(&g_settings) == kSendAtOnce ? kIdSendAtOnce : kIdAppend);
    char text[kMessageTemplateField];
    messageTemplate(&g_settings, text, sizeof(text));
    SetDlgItemTextA(dialog, kIdMessageEdit, text);
    // The user cannot type more than the record keeps; the limit binds typing and
    // pasting, not the text set above.
    SendDlgItemMessageA(dialog, kIdMessageEdit, EM_LIMITTEXT, kMessageTemplateChars, 0);
}

// A message box hands out no handle: the about box is the dialog-class window
// of this thread that bears the plug-in's name.
static BOOL CALLBACK matchAboutBox(HWND window, LPARAM found)
{
    char name[kClassNameCap];
    char caption[sizeof(kPluginName) + 1];
    if (window == g_dialog || GetClassNameA(window, name, sizeof(name)) != sizeof(kDialogClass) - 1 ||
        !sameBytes(name, kDialogClass, sizeof(kDialogClass) - 1) ||
        GetWindowTextA(window, caption, sizeof(caption)) != sizeof(kPluginName) - 1 ||
        !sameBytes(caption, kPluginName, sizeof(kPluginName) - 1))
        return TRUE;
    *(HWND *)found = window;
    return FALSE;
}

static HWND aboutBox()
{
    HWND found = NULL;
    if (g_aboutOpen) EnumThreadWindows(GetCurrentThreadId(), matchAboutBox, (LPARAM)&found);
    return found;
}

static void showAbout()
{
    if (g_aboutOpen) {
        SetForegroundWindow(aboutBox());
        return;
    }
    WCHAR about[kAboutUnitsCap];
    WCHAR caption[kCaptionUnitsCap];
    if (!wideFrom1251(kAboutText, about, dimof(about)) || !wideFrom1251(kPluginName, caption, dimof(caption))) return;
    g_aboutOpen = true;
    MessageBoxW(NULL, about, caption, MB_OK | MB_ICONINFORMATION);
    g_aboutOpen = false;
}

// Every control is read before anything is done: the host may pump messages or
// call back in while it handles the button request.
static void applySettings(HWND dialog)
{
    const bool ticked = IsDlgButtonChecked(dialog, kIdShowButton) == BST_CHECKED;
    const u8 mode = IsDlgButtonChecked(dialog, kIdSendAtOnce) == BST_CHECKED ? kSendAtOnce : kAppendToInput;
    char text[kMessageReadSize];
    if (!GetDlgItemTextA(dialog, kIdMessageEdit, text, kMessageReadSize)) text[0] = 0;

    g_changeButton(buttonChangeOnOk(&g_settings, ticked));
    // The host may have delivered the unload event while it handled the request.
    if (g_dialogClosed) return;
    setButtonFlag(&g_settings, ticked);
    setSendMode(&g_settings, mode);
    setMessageTemplate(&g_settings, text);
    writeSettings();
}

static INT_PTR CALLBACK settingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        initDialog(dialog);
        break;
    case WM_SYSCOMMAND:
        // The close box, Alt+F4 and the system menu's Close all come as SC_CLOSE. Its
        // WM_CLOSE would turn into IDCANCEL, which the dialog ignores; WM_CLOSE itself
        // must not end it either, since a multi-line edit posts one when Escape is
        // pressed in it.
        if ((wParam & 0xFFF0) == SC_CLOSE) EndDialog(dialog, 0);
        break;
    case WM_COMMAND:
        // The whole parameter is compared, so only a click (notification 0) counts.
        if (wParam == kIdShowButton)
            enableMessageControls(dialog, IsDlgButtonChecked(dialog, kIdShowButton) == BST_CHECKED);
        else if (wParam == kIdAbout)
            showAbout();
        else if (wParam == kIdCancel)
            EndDialog(dialog, 0);
        else if (wParam == kIdOk) {
            applySettings(dialog);
            EndDialog(dialog, 0);
        }
        break;
    }
    // Never claims a message, so the system focuses no control when the dialog opens.
    return 0;
}

void runSettingsDialog(ButtonChanger changeButton)
{
    if (g_dialogOpen) {
        SetForegroundWindow(g_aboutOpen ? aboutBox() : g_dialog);
        return;
    }
    WCHAR units[kDialogTextUnitsCap];
    Utf16Text texts[dialogTextCount];
    u32 used = 0;
    for (u32 i = 0; i < dialogTextCount; i++) {
        const u32 n = wideFrom1251(dialogAnsiText(i), units + used, kDialogTextUnitsCap - used);
        if (!n) return;
        texts[i].units = (const u16 *)(units + used);
        texts[i].count = n;
        used += n;
    }
    // A template must start on a DWORD boundary; the system copies it while it
    // creates the dialog, so the block need live only for this call.
    u32 block[kDialogBlockSize / sizeof(u32)];
    if (!buildDialogTemplate((u8 *)block, kDialogBlockSize, texts, dialogTextCount)) return;
    g_changeButton = changeButton;
    g_dialogOpen = true;
    g_dialogClosed = false;
    DialogBoxIndirectParamW(GetModuleHandleA(NULL), (LPCDLGTEMPLATEW)block, NULL, settingsProc, 0);
    g_dialogOpen = false;
    g_dialog = NULL;
}

void closeSettingsDialog()
{
    if (!g_dialogOpen) return;
    g_dialogClosed = true;
    // The about box's loop runs inside the dialog's, so it ends first.
    if (HWND box = aboutBox()) EndDialog(box, IDOK);
    if (g_dialog) EndDialog(g_dialog, 0);
}
