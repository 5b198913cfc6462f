// expand_test.cpp -- the six tags and the figures' texts
#include "track/expand.h"

#include <gtest/gtest.h>

#include <string>

TEST(Figures, ChannelsText)
{
    const struct {
        u32 channels;
        const char *text;
    } cases[] = {{1, "mono"}, {2, "stereo"}, {0, "0ch"}, {6, "6ch"}, {4294967295u, "4294967295ch"}};
    for (const auto &c : cases) {
        char out[kNumberCap];
        EXPECT_EQ(channelsText(c.channels, out, sizeof(out)), strlen(c.text));
        EXPECT_STREQ(out, c.text);
    }
}

TEST(Figures, MinutesText)
{
    const struct {
        u32 seconds;
        const char *text;
    } cases[] = {{0, "0:00"}, {9, "0:09"}, {59, "0:59"}, {60, "1:00"}, {600, "10:00"}, {7200, "120:00"},
                 {4294967295u, "71582788:15"}};
    for (const auto &c : cases) {
        char out[kNumberCap];
        EXPECT_EQ(minutesText(c.seconds, out, sizeof(out)), strlen(c.text));
        EXPECT_STREQ(out, c.text);
    }
}

static std::string expanded(const std::string &text, const char *track, const PlayerAnswers &answers,
                            u32 outCap = kWorkCap, TextCut cut = cutBytes)
{
    char work[kWorkCap], scratch[kWorkCap], out[kWorkCap + 1];
    out[outCap] = 0x5A;
    snprintf(work, sizeof(work), "%s", text.c_str());
    const u32 n = expandTags(work, scratch, out, outCap, track, &answers, cut);
    EXPECT_EQ(n, strlen(out));
    EXPECT_EQ(out[outCap], 0x5A) << "written past the output's capacity";
    return out;
}

static const PlayerAnswers kSilent = {0, 0, 0, 0, 0};

TEST(ExpandTags, AllSixFromASilentPlayer)
{
    EXPECT_EQ(expanded("%track%|%bitrate%|%samplerate%|%channels%|%length%|%position%", "", kSilent),
              "|0|0|0ch|0:00|0:00");
}

TEST(ExpandTags, PlayerFigures)
{
    const PlayerAnswers answers = {320, 44100, 1, 245, 65000};
    EXPECT_EQ(expanded("%track% [%bitrate% kbps, %samplerate% Hz, %channels%, %position%/%length%]", "A - B", answers),
              "A - B [320 kbps, 44100 Hz, mono, 1:05/4:05]");
}

TEST(ExpandTags, LengthAndPosition)
{
    const struct {
        u32 length, position;
        const char *text;
    } cases[] = {
        {59, 999, "0:59 0:00"},   {600, 65000, "10:00 1:05"}, {7200, 0, "120:00 0:00"},
        {0xFFFFFFFF, 0xFFFFFFFF, "0:00 0:00"}, // -1: nothing playing
        {0xFFFFFFFE, 0xFFFFFFFE, "71582788:14 71582:47"},
    };
    for (const auto &c : cases) {
        const PlayerAnswers answers = {0, 0, 2, c.length, c.position};
        EXPECT_EQ(expanded("%length% %position%", "", answers), c.text);
    }
}

TEST(ExpandTags, TagsMatchByteForByte)
{
    EXPECT_EQ(expanded("%Track% % track% %track", "X", kSilent), "%Track% % track% %track");
    EXPECT_EQ(expanded("no tags at all", "X", kSilent), "no tags at all");
}

TEST(ExpandTags, LaterPassesExpandTagsAnEarlierOneBroughtIn)
{
    const PlayerAnswers answers = {128, 0, 2, 60, 0};
    EXPECT_EQ(expanded("%track%", "mix %length% %bitrate%", answers), "mix 1:00 128");
    // ...but not the other way round: %track% is expanded first.
    EXPECT_EQ(expanded("%track%", "%track%", answers), "%track%");
}

TEST(ExpandTags, TheOrderOfThePassesDecides)
{
    const PlayerAnswers answers = {128, 44, 2, 60, 0};
    // One mark closes %bitrate% and opens %track%: the track's pass comes first.
    EXPECT_EQ(expanded("%bitrate%track%", "X", answers), "%bitrateX");
    // The name completes %length% for its later pass.
    EXPECT_EQ(expanded("%len%track%th%", "g", answers), "1:00");
    // The track's pass is cut to 511 bytes (17 whole tags and "%sample") before
    // the sample rate's pass shrinks the text.
    std::string text = "%track%";
    for (int i = 0; i < 20; i++)
        text += "%samplerate%";
    const std::string track(300, 'X');
    EXPECT_EQ(expanded(text, track.c_str(), answers), track + std::string(17 * 2, '4') + "%sample");
}

TEST(ExpandTags, IntermediatesAndResultStayWithinCapacity)
{
    // Fifty-two tags of nine bytes (468) would grow to 520 bytes in the bit rate pass.
    std::string text;
    for (int i = 0; i < 52; i++)
        text += "%bitrate%";
    const PlayerAnswers answers = {1234567890, 0, 0, 0, 0};
    const std::string out = expanded(text, "", answers);
    EXPECT_EQ(out.size(), kWorkCap - 1);
    EXPECT_EQ(out.substr(0, 20), "12345678901234567890");
    EXPECT_EQ(expanded(text, "", answers, 7), "123456");
}

TEST(ExpandTags, Utf8ResultIsCutOnACharacterBoundary)
{
    // Two bytes and 255 two-byte letters need 512: the last letter would be split.
    std::string track;
    for (int i = 0; i < 255; i++)
        track += "\xD0\x96";
    const std::string out = expanded("xy%track%", track.c_str(), kSilent, kWorkCap, cutUtf8);
    EXPECT_EQ(out.size(), 510u) << "xy and 254 whole letters";
    EXPECT_EQ((u8)out.back(), 0x96);
}
