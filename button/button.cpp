// button.cpp -- adding and removing the chat button, and what a press of it sends
#include "button.h"
#include "../host/host.h"
#include "../settings/settings.h"
#include "../track/track.h"

// "Отправить трек" in Windows-1251.
const char kButtonHint[] = "\xCE\xF2\xEF\xF0\xE0\xE2\xE8\xF2\xFC \xF2\xF0\xE5\xEA";

u32 g_buttonHandle;

void addChatButton()
{
    const u32 handle = addButton((u32)(UINT_PTR)chatButtonPressed, (u32)(UINT_PTR)g_buttonIcon, kButtonHint);
    // A host that gave no answer added nothing; the handle it had stays.
    if (handle) g_buttonHandle = handle;
}

void removeChatButton()
{
    if (g_buttonHandle) removeButton(g_buttonHandle);
}

const u8 *NT_STDCALL chatButtonPressed(u32)
{
    detectTrack(trackAnsi);
    PlayerAnswers answers;
    askPlayer(&answers);
    templateText(&g_settings, g_work, kWorkCap);
    char result[kWorkCap];
    expandTags(g_work, g_scratch, result, sizeof(result), g_trackName, &answers, cutBytes);
    if (sendMode(&g_settings) == kSendAtOnce) {
        u32 contact;
        return queryContact(&contact) ? sendMessage(contact, result) : NULL;
    }
    return appendInput(result);
}
