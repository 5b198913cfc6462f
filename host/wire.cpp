// wire.cpp -- frames and request layouts, written byte by byte in little-endian order
#include "wire.h"
#include "../text/text.h"

static u32 putCountedBytes(u8 *dest, const void *bytes, u32 n)
{
    putLe32(dest, n);
    copyMemory(dest + kLengthBytes, bytes, n);
    return kLengthBytes + n;
}

u32 putCounted(u8 *dest, u32 textCap, const char *text)
{
    const u32 n = textLength(text);
    return putCountedBytes(dest, text, n < textCap ? n : textCap);
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
    at += kWordBytes;
    putLe32(block + at, icon);
    at += kWordBytes;
    return at + putCounted(block + at, kHintCap, hint);
}

u32 layoutRemoveButton(u8 *block, u32 handle)
{
    u32 at = putHead(block, kKindCommand, kCodeRemoveButton);
    putLe32(block + at, handle);
    return at + kWordBytes;
}

u32 layoutSendMessage(u8 *block, u32 contact, const char *text)
{
    u32 at = putHead(block, kKindCommand, kCodeSendMessage);
    putLe32(block + at, contact);
    at += kWordBytes;
    putLe32(block + at, 0);
    at += kWordBytes;
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
    return at + kWordBytes;
}

u32 layoutStatusEvent(u8 *out, u32 outCap, const u8 *stringA, u32 lengthA, const u8 *stringB, u32 lengthB)
{
    if (outCap < kStatusEventFixed || lengthA > outCap - kStatusEventFixed ||
        lengthB > outCap - kStatusEventFixed - lengthA)
        return 0;
    const u32 size = kStatusEventFixed + lengthA + lengthB;
    putLe32(out, size - kLengthBytes);
    u32 at = kLengthBytes + putHead(out + kLengthBytes, kKindEvent, kEventStatusText);
    fillMemory(out + at, kStatusUnreadFill, kStatusStringAAt - at);
    at = kStatusStringAAt;
    at += putCountedBytes(out + at, stringA, lengthA);
    putCountedBytes(out + at, stringB, lengthB);
    return size;
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

bool buildSettingsPath(char *path, const u8 *folder, u32 folderLength)
{
    const u32 nameLength = sizeof(kSettingsFileName) - 1;
    path[0] = 0;
    if (folderLength > kSettingsPathCap - 1 - nameLength) return false;
    copyMemory(path, folder, folderLength);
    path[folderLength] = 0;
    // Appended at the first zero, as lstrcatA would: the host's folder ends there.
    appendText(path, kSettingsPathCap, kSettingsFileName, cutBytes);
    return true;
}
