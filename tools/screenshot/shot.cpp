// shot.cpp -- opens the settings dialog and the about box through nowtune.dll and holds each still for a screenshot
//
// Run in its own folder under Wine with a real display. For each window it writes
// shot\<name>.ready holding the window's screen rectangle ("left top right bottom"),
// then waits, with the window shown and painted, until shot\<name>.taken appears.
#include "tools/standin/standin.h"

#include <stdio.h>
#include <string.h>

static const char kShotFolder[] = "shot";
static const char kSettingsFolder[] = "shot-settings";
// Ten ticks a second; a screenshot script that has not answered in two minutes has died.
const UINT kTickMs = 100;
const int kGiveUpTicks = 1200;
// Ticks a freshly shown window is left alone, so that it has painted and its
// picture has reached the X server before anyone looks.
const int kSettleTicks = 5;

enum Stage { findDialog, settleDialog, waitDialogShot, findAbout, settleAbout, waitAboutShot, closing };

static Stage g_stage = findDialog;
static HWND g_dialog, g_about;
static int g_ticks, g_settled;
static bool g_gaveUp;

static std::string markerPath(const char *name, const char *kind)
{
    return std::string(kShotFolder) + "\\" + name + "." + kind;
}

static void announce(HWND window, const char *name)
{
    RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT r;
    GetWindowRect(window, &r);
    // Written under another name first, so the script never reads half a line.
    const std::string ready = markerPath(name, "ready"), partial = ready + ".part";
    FILE *file = fopen(partial.c_str(), "wb");
    if (!file) return;
    fprintf(file, "%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    fclose(file);
    MoveFileA(partial.c_str(), ready.c_str());
    printf("%s shown at (%ld,%ld)-(%ld,%ld)\n", name, r.left, r.top, r.right, r.bottom);
    fflush(stdout);
}

struct Search {
    HWND except, found;
};

static BOOL CALLBACK visibleDialog(HWND window, LPARAM lParam)
{
    Search *search = (Search *)lParam;
    char name[16] = "";
    GetClassNameA(window, name, sizeof(name));
    if (window == search->except || strcmp(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

static HWND threadDialog(HWND except)
{
    Search search = {except, NULL};
    EnumThreadWindows(GetCurrentThreadId(), visibleDialog, (LPARAM)&search);
    return search.found;
}

// Called from the dialog's modal loop, and the about box's, ten times a second; it
// never blocks, so the loop goes on painting between ticks.
static VOID CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (++g_ticks > kGiveUpTicks && g_stage != closing) {
        g_gaveUp = true;
        if (g_about) EndDialog(g_about, IDOK);
        if (g_dialog) EndDialog(g_dialog, 0);
        g_stage = closing;
        return;
    }
    switch (g_stage) {
    case findDialog:
        if ((g_dialog = threadDialog(NULL)) != NULL) g_stage = settleDialog;
        break;
    case settleDialog:
        if (++g_settled < kSettleTicks) break;
        announce(g_dialog, "settings");
        g_stage = waitDialogShot;
        break;
    case waitDialogShot:
        if (!fileExists(markerPath("settings", "taken"))) break;
        PostMessageA(GetDlgItem(g_dialog, 209), BM_CLICK, 0, 0);
        g_settled = 0;
        g_stage = findAbout;
        break;
    case findAbout:
        if ((g_about = threadDialog(g_dialog)) != NULL) g_stage = settleAbout;
        break;
    case settleAbout:
        if (++g_settled < kSettleTicks) break;
        announce(g_about, "about");
        g_stage = waitAboutShot;
        break;
    case waitAboutShot:
        if (!fileExists(markerPath("about", "taken"))) break;
        g_stage = closing;
        SendMessageA(g_about, WM_COMMAND, IDOK, 0);
        SendDlgItemMessageA(g_dialog, 210, BM_CLICK, 0, 0);
        break;
    case closing:
        break;
    }
}

int main()
{
    CreateDirectoryA(kShotFolder, NULL);
    for (const char *name : {"settings", "about"})
        for (const char *kind : {"ready", "taken"})
            DeleteFileA(markerPath(name, kind).c_str());

    if (!loadPlugin()) {
        printf("nowtune.dll does not load\n");
        return 1;
    }
    // The button on, so that the whole dialog shows enabled, with the default template.
    const std::string folder = freshFolder(kSettingsFolder);
    Bytes settings = {23, 1, 0};
    const char defaultTemplate[] = "\xD1\xEB\xF3\xF8\xE0\xFE: %track%"; // "Слушаю: %track%" in Windows-1251
    settings.insert(settings.end(), defaultTemplate, defaultTemplate + sizeof(defaultTemplate) - 1);
    settings.resize(259, 0);
    writeBytes(folder + "nowtune.dat", settings);
    callPlugin(loadEvent(folder));

    const UINT_PTR timer = SetTimer(NULL, 0, kTickMs, tick);
    callPlugin(eventMessage(3, 3));
    KillTimer(NULL, timer);
    unloadPlugin();
    if (g_gaveUp || !g_dialog || !g_about) {
        printf("gave up: dialog %p, about box %p\n", g_dialog, g_about);
        return 1;
    }
    return 0;
}
