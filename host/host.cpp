// host.cpp -- the outgoing buffer and the five requests to the host
#include "host.h"
#include "wire.h"

#include <stddef.h>

static HostFun g_hostFun;
static u8 g_outgoing[kOutFrameSize + 1];

void initHost(HostFun hostFun)
{
    g_hostFun = hostFun;
}

static const u8 *frame(const u8 *payload, u32 n)
{
    return frameMessage(g_outgoing, kOutFrameSize, payload, n) ? g_outgoing : NULL;
}

u8 *answerPayload()
{
    return g_outgoing + kLengthBytes;
}

const u8 *frameAnswer(u32 n)
{
    if (n > kOutPayloadCap) return NULL;
    putLe32(g_outgoing, n);
    return g_outgoing;
}

static const u8 *request(const u8 *payload, u32 n)
{
    const u8 *message = frame(payload, n);
    if (!message || !g_hostFun) return NULL;
    return g_hostFun(message);
}

u32 addButton(u32 buttonFunction, u32 icon, const char *hint)
{
    u8 block[kAddButtonBlock];
    const u8 *answer = request(block, layoutAddButton(block, buttonFunction, icon, hint));
    return answer ? getLe32(answer + kAddButtonHandleAt) : 0;
}

void removeButton(u32 handle)
{
    u8 block[kRemoveButtonBlock];
    request(block, layoutRemoveButton(block, handle));
}

bool queryContact(u32 *contact)
{
    u8 block[kQueryContactBlock];
    const u8 *answer = request(block, layoutQueryContact(block));
    if (!answer) return false;
    *contact = getLe32(answer + kQueryContactAt);
    return true;
}

const u8 *sendToContact(u32 contact, const char *text)
{
    u8 block[kSendMessageBlock];
    return request(block, layoutSendMessage(block, contact, text));
}

const u8 *appendInput(const char *text)
{
    u8 block[kAppendInputBlock];
    return request(block, layoutAppendInput(block, text));
}
