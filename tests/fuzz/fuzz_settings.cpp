// fuzz_settings.cpp -- parseSettings(), messageTemplate() and setMessageTemplate() on arbitrary file bytes
#include "common/texts.h"
#include "settings/record.h"
#include "fuzz_check.h"

// The whole input is the file; its last byte also picks a second capacity for
// messageTemplate (0 to 318, so beyond the field too), and the bytes behind the
// first one are the text handed to setMessageTemplate.
const size_t kFileRange = 600;
const u32 kSecondCapScale = 5;
const u32 kSecondCapDivisor = 4;

static const char *messageTemplateField(const Settings &settings)
{
    return (const char *)settings.bytes + kMessageTemplateAt;
}

// The field's text as the plug-in must read it: up to its first zero, and
// never more than kMessageTemplateField - 1 bytes.
static std::string fieldText(const Settings &settings)
{
    return std::string(messageTemplateField(settings), strnlen(messageTemplateField(settings), kMessageTemplateField - 1));
}

static void checkMessageTemplate(const Settings &settings, u32 destCap)
{
    Guarded buffer(destCap);
    char *dest = buffer.text();
    const u32 n = messageTemplate(&settings, dest, destCap);
    check(buffer.guardsIntact());
    if (destCap == 0) {
        check(n == 0);
        return;
    }
    const std::string expected = fieldText(settings).substr(0, destCap - 1);
    check(n <= kMessageTemplateField - 1);
    check(n == expected.size());
    check(memcmp(dest, expected.data(), n) == 0);
    check(dest[n] == 0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > kFileRange) size = kFileRange;
    // An exact-size copy, so a read past the file's end is an ASan report.
    std::unique_ptr<u8[]> file(new u8[size ? size : 1]);
    if (size) memcpy(file.get(), data, size);

    Settings defaults;
    defaultSettings(&defaults);
    check(defaults.bytes[kVersionAt] == kSettingsVersion);

    std::unique_ptr<Settings> settings(new Settings);
    defaultSettings(settings.get());
    parseSettings(settings.get(), file.get(), (u32)size);
    check(settings->bytes[kVersionAt] == kSettingsVersion);
    if (size > 0 && data[0] == kSettingsVersion) {
        const size_t filled = size < kSettingsSize ? size : kSettingsSize;
        check(memcmp(settings->bytes, data, filled) == 0);
        check(memcmp(settings->bytes + filled, defaults.bytes + filled, kSettingsSize - filled) == 0);
    } else {
        check(memcmp(settings->bytes, defaults.bytes, kSettingsSize) == 0);
    }

    checkMessageTemplate(*settings, kMessageTemplateField);
    checkMessageTemplate(*settings, size ? data[size - 1] * kSecondCapScale / kSecondCapDivisor : 0);

    const std::string text = size > 1 ? std::string((const char *)data + 1, size - 1) : std::string();
    const Settings before = *settings;
    setMessageTemplate(settings.get(), text.c_str());
    const std::string kept = std::string(text.c_str()).substr(0, kMessageTemplateChars);
    check(settings->bytes[kVersionAt] == kSettingsVersion);
    check(settings->bytes[kButtonFlagAt] == before.bytes[kButtonFlagAt]);
    check(settings->bytes[kSendModeAt] == before.bytes[kSendModeAt]);
    check(memcmp(messageTemplateField(*settings), kept.data(), kept.size()) == 0);
    check(messageTemplateField(*settings)[kept.size()] == 0);
    // Behind the new zero the field keeps whatever stood there.
    const size_t behind = kMessageTemplateAt + kept.size() + 1;
    check(memcmp(settings->bytes + behind, before.bytes + behind, kSettingsSize - behind) == 0);
    check(fieldText(*settings) == kept);
    checkMessageTemplate(*settings, kMessageTemplateField);
    return 0;
}
