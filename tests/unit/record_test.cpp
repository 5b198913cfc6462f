// record_test.cpp -- the settings record: defaults, reading files of any shape, the OK rules
#include "common/texts.h"
#include "settings/record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

typedef std::vector<u8> Bytes;

static Settings parsed(const Bytes &file)
{
    Settings s;
    defaultSettings(&s);
    parseSettings(&s, file.data(), (u32)file.size());
    return s;
}

static std::string messageTemplateOf(const Settings &s)
{
    char text[kMessageTemplateField];
    messageTemplate(&s, text, sizeof(text));
    return text;
}

TEST(SettingsRecord, Defaults)
{
    const Settings s = parsed(Bytes());
    EXPECT_EQ(s.bytes[kVersionAt], 23);
    EXPECT_FALSE(buttonWanted(&s));
    EXPECT_EQ(sendMode(&s), kSendAtOnce);
    EXPECT_EQ(messageTemplateOf(s), "\xD1\xEB\xF3\xF8\xE0\xFE: %track%"); // "Слушаю: %track%"
    for (u32 i = kMessageTemplateAt + sizeof(kDefaultMessageTemplate); i < kSettingsSize; i++)
        ASSERT_EQ(s.bytes[i], 0) << "zeros behind the default template, byte " << i;
}

TEST(SettingsRecord, OtherVersionKeepsTheDefaults)
{
    Bytes file(kSettingsSize, 1);
    file[0] = 22;
    const Settings s = parsed(file);
    EXPECT_EQ(s.bytes[kVersionAt], 23);
    EXPECT_FALSE(buttonWanted(&s));
    EXPECT_EQ(messageTemplateOf(s), kDefaultMessageTemplate);
}

TEST(SettingsRecord, ShortFilesFillOnlyTheirLeadingBytes)
{
    Settings s = parsed({23, 1, 1});
    EXPECT_TRUE(buttonWanted(&s));
    EXPECT_EQ(sendMode(&s), 1);
    EXPECT_EQ(messageTemplateOf(s), kDefaultMessageTemplate);

    s = parsed({23, 1, 1, 'a', 'b', 'c'});
    EXPECT_EQ(messageTemplateOf(s), "abc\xF8\xE0\xFE: %track%"); // "abcшаю: %track%"

    s = parsed({23});
    EXPECT_FALSE(buttonWanted(&s));
    EXPECT_EQ(messageTemplateOf(s), kDefaultMessageTemplate);
}

TEST(SettingsRecord, FullFileAndLongerFile)
{
    Bytes file = {23, 0, 1};
    const std::string text = "line one\r\nline two %track%";
    file.insert(file.end(), text.begin(), text.end());
    file.resize(kSettingsSize + 40, 'z'); // bytes past the record are ignored
    file[3 + text.size()] = 0;
    const Settings s = parsed(file);
    EXPECT_EQ(messageTemplateOf(s), text);
    EXPECT_EQ(s.bytes[kSettingsSize - 1], 'z');
}

TEST(SettingsRecord, TemplateWithoutZeroEndsAtTheFieldsEnd)
{
    Bytes file = {23, 1, 0};
    file.resize(kSettingsSize, 'q');
    const Settings s = parsed(file);
    EXPECT_EQ(messageTemplateOf(s), std::string(kMessageTemplateField - 1, 'q'));
    char small[10];
    EXPECT_EQ(messageTemplate(&s, small, sizeof(small)), 9u) << "the destination's capacity holds too";
}

TEST(SettingsRecord, AnyNonZeroFlagIsOn)
{
    for (u8 flag : {1, 2, 23, 255}) {
        const Settings s = parsed({23, flag});
        EXPECT_TRUE(buttonWanted(&s)) << int(flag);
    }
}

TEST(SettingsRecord, SetTemplateKeepsAtMost254Characters)
{
    Settings s = parsed(Bytes());
    setMessageTemplate(&s, std::string(300, 'w').c_str());
    EXPECT_EQ(messageTemplateOf(s), std::string(kMessageTemplateChars, 'w'));
    EXPECT_EQ(s.bytes[kMessageTemplateAt + kMessageTemplateChars], 0);
    setMessageTemplate(&s, "");
    EXPECT_EQ(s.bytes[kMessageTemplateAt], 0);
}

TEST(SettingsRecord, WrittenAfterButtonAppendAndEmptyTemplate)
{
    Settings s = parsed(Bytes());
    setButtonFlag(&s, true);
    setSendMode(&s, kAppendToInput);
    setMessageTemplate(&s, "");
    EXPECT_EQ(Bytes(s.bytes, s.bytes + 4), (Bytes{23, 1, 1, 0}));
    EXPECT_EQ(sizeof(s.bytes), 259u);
}

TEST(SettingsRecord, OkRulesTreatEveryNonZeroFlagAsOn)
{
    const struct {
        u8 flag;
        bool ticked;
        ButtonChange expected;
    } cases[] = {
        {0, true, buttonAdd},     {0, false, buttonKeep}, {1, true, buttonKeep},
        {1, false, buttonRemove}, {2, true, buttonKeep},  {255, false, buttonRemove},
    };
    for (const auto &c : cases) {
        const Settings s = parsed({23, c.flag});
        EXPECT_EQ(buttonChangeOnOk(&s, c.ticked), c.expected) << int(c.flag) << " " << c.ticked;
    }
}
