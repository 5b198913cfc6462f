// plugin.cpp -- the entry point, pluginFun and the button's function: the host's calls routed to each subsystem
#include "../button/button.h"
#include "../host/host.h"
#include "../host/wire.h"
#include "../settings/settings.h"
#include "../track/track.h"
#include "status.h"

// Calls of the host into the module that have not returned yet. The settings
// event runs a modal loop in which the host goes on working, and a press waits
// on the host's answers, so other calls, the unload event among them, may come
// inside them.
static u32 g_callsInModule;

static const u8 *loadEvent(const u8 *message)
{
    initHost((HostFun)loadHostFun(message));
    // The media session's first answer may take a while: it is asked for now.
    startTrack();
    u32 folderLength;
    const u8 *folder = loadFolder(message, &folderLength);
    loadSettings(folder, folderLength);
    if (buttonWanted(&g_settings)) addChatButton();
    return frameAnswer(layoutLoadAnswer(answerPayload()));
}

static void unloadEvent()
{
    removeChatButton();
    closeSettingsDialog();
    endTrack();
    // The host has said goodbye: whatever still runs below sends it nothing.
    initHost(NULL);
    // The host may free the module as soon as this event returns, while a call
    // below it (the dialog's loop, a press) has yet to return into its code.
    if (g_callsInModule > 1) {
        HMODULE self;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           (LPCSTR)(void *)unloadEvent, &self);
    }
}

static const u8 *routeEvent(const u8 *message)
{
    if (messageKind(message) != kKindEvent) return NULL;
    switch (eventCode(message)) {
    case kEventLoad:
        return loadEvent(message);
    case kEventUnload:
        unloadEvent();
        return NULL;
    case kEventSettings:
        runSettingsDialog(changeChatButton);
        return NULL;
    case kEventStatusText:
        return statusText(message);
    }
    return NULL;
}

extern "C" __declspec(dllexport) const u8 *PLUGIN_CALL pluginFun(const u8 *message)
{
    g_callsInModule++;
    const u8 *answer = routeEvent(message);
    g_callsInModule--;
    return answer;
}

static const u8 *PLUGIN_CALL buttonFun(u32)
{
    g_callsInModule++;
    const u8 *answer = pressChatButton();
    g_callsInModule--;
    return answer;
}

extern "C" MODULE_EDGE BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        initButton(instance, buttonFun);
        initSettings();
        initTrack();
    }
    return TRUE;
}
