// record.h -- the 259-byte settings record, the same in memory and on disk
#pragma once

#include "../common/types.h"

const u32 kVersionAt = 0;
const u32 kButtonFlagAt = 1;
const u32 kSendModeAt = 2;
const u32 kMessageTemplateAt = 3;
const u32 kMessageTemplateField = 256;
const u32 kSettingsSize = kMessageTemplateAt + kMessageTemplateField;

const u8 kSettingsVersion = 23;
const u8 kSendAtOnce = 0;
const u8 kAppendToInput = 1;
// The dialog stores at most this many characters, so a saved message template always
// holds a zero within its field.
const u32 kMessageTemplateChars = 254;

struct Settings {
    u8 bytes[kSettingsSize];
};

void defaultSettings(Settings *settings);

// Applies a file's bytes as the plug-in reads them: a first byte other than the
// version keeps the defaults; otherwise the bytes fill the record's leading
// bytes, however many there are. The version is kSettingsVersion afterwards.
void parseSettings(Settings *settings, const u8 *file, u32 fileLength);

// Any non-zero flag counts as "on": files written elsewhere may hold 2 to 255.
bool buttonWanted(const Settings *settings);
u8 sendMode(const Settings *settings);
// The message template as a zero-terminated text of at most kMessageTemplateField - 1 bytes.
u32 messageTemplate(const Settings *settings, char *dest, u32 destCap);
void setMessageTemplate(Settings *settings, const char *text);

// What OK in the dialog does to the button, by the box's state and the flag
// (which OK then sets to 1 or 0): add it, remove it, or leave it.
enum ButtonChange { buttonKeep, buttonAdd, buttonRemove };
ButtonChange buttonChangeOnOk(const Settings *settings, bool ticked);
void setButtonFlag(Settings *settings, bool on);
void setSendMode(Settings *settings, u8 mode);
