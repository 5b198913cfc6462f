// wire.h -- layout of the messages exchanged with the host: frames, events, requests, answers
#pragma once

#include "../common/le.h"
#include "../common/texts.h"

// Frame: a 32-bit little-endian payload length, then the payload, kind first.
const u32 kLengthBytes = 4;
// A 32-bit value in a request: a function's address, an icon, a handle, a contact.
const u32 kValueBytes = 4;
const u32 kOutPayloadCap = 1020;
const u32 kOutFrameSize = kLengthBytes + kOutPayloadCap;

// Payload offsets shared by every message.
const u32 kKindAt = 0;
const u32 kCodeAt = 1;

const u8 kKindQuery = 1;
const u8 kKindAnswer = 2;
const u8 kKindEvent = 3;
const u8 kKindCommand = 5;

const u8 kEventLoad = 1;
const u8 kEventUnload = 2;
const u8 kEventSettings = 3;
const u8 kEventStatusText = 223;

const u8 kCodeAddButton = 201;
const u8 kCodeRemoveButton = 203;
const u8 kCodeSendMessage = 1;
const u8 kCodeAppendInput = 112;
const u8 kCodeQueryContact = 201;

// Load event, offsets from the start of the message (length field included).
const u32 kLoadHostFunAt = 6;
const u32 kLoadSkippedStringAt = 14;

// Status-text event: five bytes the plug-in does not read, then counted
// string A, then counted string B. Its answer: the kind, string A as it came,
// then the text that takes B's place, counted.
const u32 kStatusStringAAt = 11;

// Host answers the plug-in reads, offsets from the start of the answer.
const u32 kAddButtonHandleAt = 4;
const u32 kQueryContactAt = 5;

// Request blocks: their sizes fix the longest texts (each plus its zero).
const u32 kHeadBytes = 2; // kind and code
const u32 kAddButtonHead = kHeadBytes + 2 * kValueBytes + kLengthBytes;
const u32 kAddButtonBlock = 64;
const u32 kHintCap = kAddButtonBlock - kAddButtonHead - 1;
const u32 kRemoveButtonBlock = kHeadBytes + kValueBytes;
const u32 kSendMessageHead = kHeadBytes + 2 * kValueBytes + kLengthBytes;
const u32 kSendMessageBlock = 512;
const u32 kSendTextCap = kSendMessageBlock - kSendMessageHead - 1;
const u32 kAppendInputHead = kHeadBytes + kLengthBytes;
const u32 kAppendInputBlock = 512;
const u32 kAppendTextCap = kAppendInputBlock - kAppendInputHead - 1;
const u32 kQueryContactBlock = kHeadBytes;

const u32 kLoadAnswerValue = 4;
const u32 kLoadAnswerBlock = 1 + kLengthBytes + sizeof(kPluginName) - 1 + kValueBytes;

// Writes a counted string of at most textCap bytes of text (cut, never
// overrun) at the start of dest; returns the bytes written.
u32 putCounted(u8 *dest, u32 textCap, const char *text);

// Frames n payload bytes into out (outCap bytes, length field included);
// returns the frame's size, or 0 when the payload does not fit.
u32 frameMessage(u8 *out, u32 outCap, const u8 *payload, u32 n);

// Request layouts: each fills its block (at least the block size named above)
// and returns the payload length.
u32 layoutAddButton(u8 *block, u32 buttonFunction, u32 icon, const char *hint);
u32 layoutRemoveButton(u8 *block, u32 handle);
u32 layoutSendMessage(u8 *block, u32 contact, const char *text);
u32 layoutAppendInput(u8 *block, const char *text);
u32 layoutQueryContact(u8 *block);
u32 layoutLoadAnswer(u8 *block);

// Events as the plug-in reads them; message points at the length field.
u8 messageKind(const u8 *message);
u8 eventCode(const u8 *message);
u32 loadHostFun(const u8 *message);
// The folder's counted string: its bytes and its claimed length.
const u8 *loadFolder(const u8 *message, u32 *folderLength);

// The bytes of a counted string in a message.
struct CountedBytes {
    const u8 *bytes;
    u32 length;
};

// Starts the answer to the status-text event message in answer (kind first, no
// length field; at most payloadCap bytes): the kind and string A as it came.
// Hands out string B and returns the offset the text that takes its place goes
// to, or 0 when string A alone leaves no room.
u32 startStatusAnswer(const u8 *message, u8 *answer, u32 payloadCap, CountedBytes *stringB);
// The bytes the text at textAt may take, its zero in the byte behind the
// payload included: the answer holds payloadCap + 1 bytes.
u32 statusTextRoom(u32 payloadCap, u32 textAt);
// Counts the textLength bytes put at textAt; returns the payload length.
u32 finishStatusAnswer(u8 *answer, u32 textAt, u32 textLength);
