// button.cpp -- adding and removing the chat button, and what a press of it sends
#include "button.h"
#include "../common/texts.h"
#include "../host/host.h"
#include "../settings/settings.h"
#include "../track/track.h"

const WORD kButtonIconId = 101;

static HICON g_buttonIcon;
static ButtonFunction g_buttonFunction;
static u32 g_buttonHandle;

void initButton(HINSTANCE instance, ButtonFunction press)
{
    g_buttonIcon = LoadIconA(instance, MAKEINTRESOURCEA(kButtonIconId));
    g_buttonFunction = press;
}

void addChatButton()
{
    const u32 handle = addButton((u32)(UINT_PTR)g_buttonFunction, (u32)(UINT_PTR)g_buttonIcon, kButtonHint);
    // A host that gave no answer added nothing; the handle it had stays.
    if (handle) g_buttonHandle = handle;
}

void removeChatButton()
{
    if (g_buttonHandle) removeButton(g_buttonHandle);
}

void changeChatButton(ButtonChange change)
{
    if (change == buttonAdd) addChatButton();
    if (change == buttonRemove) removeChatButton();
}

const u8 *pressChatButton()
{
    messageTemplate(&g_settings, g_work, kWorkCap);
    detectTrack(trackAnsi, g_work);
    PlayerAnswers answers;
    askPlayer(&answers);
    char result[kWorkCap];
    expandTags(g_work, g_scratch, result, sizeof(result), g_trackName, &answers, cutBytes);
    if (sendMode(&g_settings) == kSendAtOnce) {
        u32 contact;
        return queryContact(&contact) ? sendToContact(contact, result) : NULL;
    }
    return appendInput(result);
}
