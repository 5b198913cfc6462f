// record.cpp -- parsing and filling the settings record
#include "record.h"
#include "../common/texts.h"
#include "../text/text.h"

void defaultSettings(Settings *settings)
{
    fillMemory(settings->bytes, 0, kSettingsSize);
    settings->bytes[kVersionAt] = kSettingsVersion;
    copyMemory(settings->bytes + kMessageTemplateAt, kDefaultMessageTemplate, sizeof(kDefaultMessageTemplate));
}

void parseSettings(Settings *settings, const u8 *file, u32 fileLength)
{
    if (fileLength > 0 && file[kVersionAt] == kSettingsVersion)
        copyMemory(settings->bytes, file, fileLength < kSettingsSize ? fileLength : kSettingsSize);
    settings->bytes[kVersionAt] = kSettingsVersion;
}

bool buttonWanted(const Settings *settings)
{
    return settings->bytes[kButtonFlagAt] != 0;
}

u8 sendMode(const Settings *settings)
{
    return settings->bytes[kSendModeAt];
}

u32 messageTemplate(const Settings *settings, char *dest, u32 destCap)
{
    const char *field = (const char *)settings->bytes + kMessageTemplateAt;
    u32 n = 0;
    while (n < kMessageTemplateField - 1 && field[n])
        n++;
    return copyBytes(dest, destCap, field, n, cutBytes);
}

void setMessageTemplate(Settings *settings, const char *text)
{
    copyText((char *)settings->bytes + kMessageTemplateAt, kMessageTemplateChars + 1, text, cutBytes);
}

ButtonChange buttonChangeOnOk(const Settings *settings, bool ticked)
{
    if (ticked == buttonWanted(settings)) return buttonKeep;
    return ticked ? buttonAdd : buttonRemove;
}

void setButtonFlag(Settings *settings, bool on)
{
    settings->bytes[kButtonFlagAt] = on ? 1 : 0;
}

void setSendMode(Settings *settings, u8 mode)
{
    settings->bytes[kSendModeAt] = mode;
}
