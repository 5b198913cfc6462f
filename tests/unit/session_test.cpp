// session_test.cpp -- a media session's name and figures
#include "track/players.h"
#include "track/session.h"

#include <gtest/gtest.h>

#include <string>

const int64_t kSecond = 10000000, kMillisecond = 10000;
const int64_t kNow = 133800000000000000; // a FILETIME in 2025

static PlayerAnswers figuresOf(int64_t start, int64_t end, int64_t position, int64_t lastUpdated)
{
    SessionRead read = {};
    read.start = start, read.end = end, read.position = position, read.lastUpdated = lastUpdated;
    PlayerAnswers answers;
    sessionFigures(&read, kNow, &answers);
    EXPECT_EQ(answers.bitRate + answers.sampleRate + answers.channels, 0u);
    return answers;
}

TEST(SessionFigures, LengthAndPositionGrowingSinceTheLastUpdate)
{
    const struct {
        int64_t start, end, position, lastUpdated;
        u32 length, positionMs;
    } cases[] = {
        {0, 245 * kSecond + 999 * kMillisecond, 65 * kSecond, kNow, 245, 65000},
        {0, 245 * kSecond, 65 * kSecond, kNow - 2500 * kMillisecond, 245, 67500},
        {0, 245 * kSecond, 240 * kSecond, kNow - 60 * kSecond, 245, 245000}, // no more than the length
        {10 * kSecond, 70 * kSecond, 5 * kSecond, 0, 60, 5000},              // never updated: as it stands
        {0, 0, 30 * kSecond, kNow - kSecond, 0, 31000},                      // no length: not held back
        {0, 245 * kSecond, 65 * kSecond, kNow + kSecond, 245, 65000},        // noted "later" than now
        {50 * kSecond, 10 * kSecond, -kSecond, -1, 0, 0},                    // nonsense gives zeros
        // Beyond what a figure holds, and near the ends of the 64-bit range: no wrap.
        {0, 0x7FFFFFFFFFFFFFFF, 0x7FFFFFFFFFFFFFF0, 1, 0xFFFFFFFE, 0xFFFFFFFE},
        {-0x7FFFFFFFFFFFFFFF, 0x7FFFFFFFFFFFFFFF, 0, 0, 0, 0},
    };
    for (const auto &c : cases) {
        const PlayerAnswers a = figuresOf(c.start, c.end, c.position, c.lastUpdated);
        EXPECT_EQ(a.length, c.length) << c.end;
        EXPECT_EQ(a.position, c.positionMs) << c.position;
    }
}

static std::u16string nameOf(const std::u16string &artist, const std::u16string &title, u32 cap)
{
    u16 name[64];
    const u32 n = artistTitleName((const u8 *)artist.data(), (u32)artist.size(), (const u8 *)title.data(),
                                  (u32)title.size(), name, cap);
    return std::u16string((const char16_t *)name, n);
}

TEST(SessionName, ArtistDashTitleOrTheTitleAlone)
{
    EXPECT_EQ(nameOf(u"Сплин", u"Выхода нет", 64), u"Сплин - Выхода нет");
    EXPECT_EQ(nameOf(u"", u"Song", 64), u"Song");
    EXPECT_EQ(nameOf(u"Artist", u"", 64), u"");
    // Cut at the cap, never between the halves of a pair.
    EXPECT_EQ(nameOf(u"A", u"B\U0001F3B5C", 6), u"A - B");
    EXPECT_EQ(nameOf(u"A", u"B\U0001F3B5C", 7), u"A - B\U0001F3B5");
}
