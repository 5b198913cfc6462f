// wire.h -- layout of the messages exchanged with the host: frames, events, requests, answers
#pragma once

#include "../common/le.h"
#include "../common/texts.h"

// Frame: a 32-bit little-endian payload length, then the payload, kind first.
const u32 kLengthBytes = 4;
const u32 kWordBytes = 4;
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
// string A, then counted string B.
const u32 kStatusStringAAt = 11;
const u32 kStatusEventFixed = kStatusStringAAt + 2 * kLengthBytes;
const u8 kStatusUnreadFill = 0xEE;

// Host answers the plug-in reads, offsets from the start of the answer.
const u32 kAddButtonHandleAt = 4;
const u32 kQueryContactAt = 5;

// Request blocks: their sizes fix the longest texts (each plus its zero).
const u32 kHeadBytes = 2; // kind and code
const u32 kAddButtonHead = kHeadBytes + 2 * kWordBytes + kLengthBytes;
const u32 kAddButtonBlock = 64;
const u32 kHintCap = kAddButtonBlock - kAddButtonHead - 1;
const u32 kRemoveButtonBlock = kHeadBytes + kWordBytes;
const u32 kSendMessageHead = kHeadBytes + 2 * kWordBytes + kLengthBytes;
const u32 kSendMessageBlock = 512;
const u32 kSendTextCap = kSendMessageBlock - kSendMessageHead - 1;
const u32 kAppendInputHead = kHeadBytes + kLengthBytes;
const u32 kAppendInputBlock = 512;
const u32 kAppendTextCap = kAppendInputBlock - kAppendInputHead - 1;
const u32 kQueryContactBlock = kHeadBytes;

const u32 kLoadAnswerValue = 4;
const u32 kLoadAnswerBlock = 1 + kLengthBytes + sizeof(kPluginName) - 1 + kWordBytes;

const char kSettingsFileName[] = "nowtune.dat";
const u32 kSettingsPathCap = 256;

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

// The host's side of a status-text event, for the stand-in host, the tests and
// the benchmarks: lays it out in out (outCap bytes) and returns its size, or 0
// when kStatusEventFixed + lengthA + lengthB bytes do not fit.
u32 layoutStatusEvent(u8 *out, u32 outCap, const u8 *stringA, u32 lengthA, const u8 *stringB, u32 lengthB);

// Events as the plug-in reads them; message points at the length field.
u8 messageKind(const u8 *message);
u8 eventCode(const u8 *message);
u32 loadHostFun(const u8 *message);
// The folder's counted string: its bytes and its claimed length.
const u8 *loadFolder(const u8 *message, u32 *folderLength);

// Builds folder + kSettingsFileName into path (kSettingsPathCap bytes). A folder
// too long for the path gives false and an empty path: a cut path could name
// some other file.
bool buildSettingsPath(char *path, const u8 *folder, u32 folderLength);
