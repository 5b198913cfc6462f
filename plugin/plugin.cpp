// plugin.cpp -- the module's entry point and pluginFun, which routes the host's events to each subsystem
#include "../button/button.h"
#include "../host/host.h"
#include "../host/wire.h"
#include "../settings/settings.h"
#include "status.h"

static const u8 *loadEvent(const u8 *message)
{
    initHost((HostFun)loadHostFun(message));
    u32 folderLength;
    const u8 *folder = loadFolder(message, &folderLength);
    loadSettings(folder, folderLength);
    if (buttonWanted(&g_settings)) addChatButton();
    return frameAnswer(layoutLoadAnswer(answerPayload()));
}

extern "C" __declspec(dllexport) const u8 *PLUGIN_CALL pluginFun(const u8 *message)
{
    if (messageKind(message) != kKindEvent) return NULL;
    switch (eventCode(message)) {
    case kEventLoad:
        return loadEvent(message);
    case kEventUnload:
        removeChatButton();
        return NULL;
    case kEventSettings:
        runSettingsDialog(changeChatButton);
        return NULL;
    case kEventStatusText:
        return statusText(message);
    }
    return NULL;
}

extern "C" MODULE_EDGE BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        initButton(instance);
        initSettings();
    }
    return TRUE;
}
