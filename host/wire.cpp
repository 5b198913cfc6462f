// wire.cpp -- frames and request layouts, written byte by byte in little-endian order
#include "wire.h"
#include "../text/text.h"

u32 putCounted(u8 *dest, u32 textCap, const char *text)
{
    const u32 length = textLength(text);
    const u32 n = length < textCap ? length : textCap;
    putLe32(dest, n);
    copyMemory(dest + kLengthBytes, text, n);
    return kLengthBytes + n;
}

u32 frameMessage(u8 *out, u32 outCap, const u8 *payload, u32 n)
{
    if (outCap < kLengthBytes || n > outCap - kLengthBytes) return 0;
    putLe32(out, n);
    copyMemory(out + kLengthBytes, payload, n);
    return kLengthBytes + n;
}

static u32 putHead(u8 *block, u8 kind, u8 code)
{
    block[kKindAt] = kind;
    block[kCodeAt] = code;
    return kHeadBytes;
}

u32 layoutAddButton(u8 *block, u32 buttonFunction, u32 icon, const char *hint)
{
    u32 at = putHead(block, kKindCommand, kCodeAddButton);
    putLe32(block + at, buttonFunction);
    at += kValueBytes;
    putLe32(block + at, icon);
    at += kValueBytes;
    return at + putCounted(block + at, kHintCap, hint);
}

u32 layoutRemoveButton(u8 *block, u32 handle)
{
    u32 at = putHead(block, kKindCommand, kCodeRemoveButton);
    putLe32(block + at, handle);
    return at + kValueBytes;
}

u32 layoutSendMessage(u8 *block, u32 contact, const char *text)
{
    u32 at = putHead(block, kKindCommand, kCodeSendMessage);
    putLe32(block + at, contact);
    at += kValueBytes;
    putLe32(block + at, 0);
    at += kValueBytes;
    return at + putCounted(block + at, kSendTextCap, text);
}

u32 layoutAppendInput(u8 *block, const char *text)
{
    const u32 at = putHead(block, kKindCommand, kCodeAppendInput);
    return at + putCounted(block + at, kAppendTextCap, text);
}

u32 layoutQueryContact(u8 *block)
{
    return putHead(block, kKindQuery, kCodeQueryContact);
}

u32 layoutLoadAnswer(u8 *block)
{
    u32 at = 0;
    block[at++] = kKindAnswer;
    at += putCounted(block + at, sizeof(kPluginName) - 1, kPluginName);
    putLe32(block + at, kLoadAnswerValue);
    return at + kValueBytes;
}

u8 messageKind(const u8 *message)
{
    return message[kLengthBytes + kKindAt];
}

u8 eventCode(const u8 *message)
{
    return message[kLengthBytes + kCodeAt];
}

u32 loadHostFun(const u8 *message)
{
    return getLe32(message + kLoadHostFunAt);
}

const u8 *loadFolder(const u8 *message, u32 *folderLength)
{
    const u8 *skipped = message + kLoadSkippedStringAt;
    const u8 *folder = skipped + kLengthBytes + getLe32(skipped);
    *folderLength = getLe32(folder);
    return folder + kLengthBytes;
}

u32 startStatusAnswer(const u8 *message, u8 *answer, u32 payloadCap, CountedBytes *stringB)
{
    const u32 head = 1 + kLengthBytes; // kind and A's length
    const u8 *stringA = message + kStatusStringAAt;
    const u32 lengthA = getLe32(stringA);
    if (payloadCap < head + kLengthBytes || lengthA > payloadCap - head - kLengthBytes) return 0;

    answer[kKindAt] = kKindAnswer;
    copyMemory(answer + 1, stringA, kLengthBytes + lengthA);

    const u8 *countedB = stringA + kLengthBytes + lengthA;
    stringB->bytes = countedB + kLengthBytes;
    stringB->length = getLe32(countedB);
    return head + lengthA + kLengthBytes;
}

u32 statusTextRoom(u32 payloadCap, u32 textAt)
{
    return payloadCap - textAt + 1;
}

u32 finishStatusAnswer(u8 *answer, u32 textAt, u32 textLength)
{
    putLe32(answer + textAt - kLengthBytes, textLength);
    return textAt + textLength;
}
