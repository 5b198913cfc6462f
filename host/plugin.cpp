// plugin.cpp -- the module's entry point and pluginFun, which routes the host's events
#include "host.h"
#include "../button/button.h"
#include "../settings/settings.h"
#include "../track/status.h"

const WORD kButtonIconId = 101;

static HINSTANCE g_instance;
HMODULE g_hostModule;
HICON g_buttonIcon;

static u8 g_answer[kOutPayloadCap + kLengthBytes];

static const u8 *loadEvent(const u8 *message)
{
    g_hostFun = (HostFun)loadHostFun(message);
    u32 folderLength;
    const u8 *folder = loadFolder(message, &folderLength);
    g_settingsPathOk = buildSettingsPath(g_settingsPath, folder, folderLength);
    readSettings();
    if (buttonWanted(&g_settings)) addChatButton();
    return frame(g_answer, layoutLoadAnswer(g_answer));
}

extern "C" __declspec(dllexport) const u8 *NT_STDCALL pluginFun(const u8 *message)
{
    if (messageKind(message) != kKindEvent) return NULL;
    switch (eventCode(message)) {
    case kEventLoad:
        return loadEvent(message);
    case kEventUnload:
        removeChatButton();
        return NULL;
    case kEventSettings:
        runSettingsDialog();
        return NULL;
    case kEventStatusText:
        return statusText(message, g_answer, sizeof(g_answer));
    }
    return NULL;
}

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        g_hostModule = GetModuleHandleA(NULL);
        g_buttonIcon = LoadIconA(instance, MAKEINTRESOURCEA(kButtonIconId));
        defaultSettings(&g_settings);
    }
    return TRUE;
}
