// text_test.cpp -- length, decimal text, search, replace-all and the bounded copies
#include "text/text.h"

#include <gtest/gtest.h>

#include <string>

static i32 find(const std::string &text, const std::string &pattern, u32 start = 0)
{
    return search(start, (const u8 *)text.data(), (u32)text.size(), (const u8 *)pattern.data(), (u32)pattern.size());
}

TEST(TextLength, CountsBytesBeforeTheFirstZero)
{
    for (u32 n = 0; n < 12; n++)
        EXPECT_EQ(textLength(std::string(n, 'a').c_str()), n);
    EXPECT_EQ(textLength("ab\0cd"), 2u);
}

TEST(Utf8FromUtf16, EncodesAsWideCharToMultiByte)
{
    const struct {
        std::u16string units;
        std::string utf8;
    } cases[] = {
        {u"A\u00F3\u0416\u5742", "A\xC3\xB3\xD0\x96\xE5\x9D\x82"},
        {u"\U0001F3B5", "\xF0\x9F\x8E\xB5"}, // a surrogate pair
        {std::u16string(1, 0xD800) + u"A", "\xEF\xBF\xBD" "A"},
        {std::u16string(1, 0xDC00) + std::u16string(1, 0xD800), "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {std::u16string(1, 0xD83C), "\xEF\xBF\xBD"}, // the last unit, its partner missing
    };
    for (const auto &c : cases) {
        char out[32];
        EXPECT_EQ(utf8FromUtf16(out, sizeof(out), (const u16 *)c.units.data(), (u32)c.units.size()), c.utf8.size());
        EXPECT_EQ(std::string(out), c.utf8);
    }
    // Only whole characters: three bytes of room hold one two-byte letter.
    char small[4];
    const std::u16string two = u"\u0416\u0416";
    EXPECT_EQ(utf8FromUtf16(small, sizeof(small), (const u16 *)two.data(), 2), 2u);
    EXPECT_EQ(std::string(small), "\xD0\x96");
}

TEST(UnsignedText, MatchesPercentLu)
{
    const struct {
        u32 value;
        const char *text;
    } cases[] = {{0, "0"}, {7, "7"}, {10, "10"}, {44100, "44100"}, {4294967295u, "4294967295"}};
    for (const auto &c : cases) {
        char out[kUnsignedTextCap];
        EXPECT_EQ(unsignedText(c.value, out), strlen(c.text));
        EXPECT_STREQ(out, c.text);
    }
}

TEST(Search, Table)
{
    const struct {
        const char *text;
        const char *pattern;
        i32 expected;
    } cases[] = {
        {"3. A - B - Winamp", " - Winamp", 8},
        {".x. y", ". ", 2},          // begins with the pattern's first byte
        {"ab", "abc", kSearchNoMatch}, // text shorter than the pattern
        {"", "ab", kSearchNoMatch},
        {"abc", "abc", 0},
        {"xxabcabc", "abc", 2}, // first of two
        {"aaaab", "aab", 2},    // repeated bytes in the pattern keep their last shift
        {"Winamp - Winamp", " - Winamp", 6},
        {"abcd", "x", kSearchRefused},
        {"", "", kSearchRefused},
        {"%Track%", "%track%", kSearchNoMatch}, // case matters
    };
    for (const auto &c : cases)
        EXPECT_EQ(find(c.text, c.pattern), c.expected) << "\"" << c.pattern << "\" in \"" << c.text << "\"";
}

TEST(Search, StartsAtTheGivenOffset)
{
    EXPECT_EQ(find("ab ab ab", "ab", 1), 3);
    EXPECT_EQ(find("ab ab ab", "ab", 6), 6);
    EXPECT_EQ(find("ab ab ab", "ab", 7), kSearchNoMatch);
}

TEST(Search, BytesAboveAsciiAreOrdinaryBytes)
{
    EXPECT_EQ(find("\xD1\xEB\xF3\xF8\xE0\xFE: x", "\xF8\xE0"), 3);
    EXPECT_EQ(find(std::string("a\0b\0c", 5), std::string("\0c", 2)), 3);
}

struct ReplaceCase {
    const char *source;
    const char *pattern;
    const char *replacement;
    const char *expected;
};

TEST(ReplaceAll, Table)
{
    const ReplaceCase cases[] = {
        {"%track%%track%", "%track%", "X", "XX"},
        {"%trac%track%", "%track%", "X", "%tracX"},
        {"no tags", "%track%", "X", "no tags"},
        {"", "%track%", "X", ""},
        {"%tr", "%track%", "X", "%tr"}, // pattern longer than the source
        {"aaa", "aa", "b", "ba"},       // no overlaps, left to right
        {"%a%", "%a%", "%a%%a%", "%a%%a%"}, // the replacement is not searched again
        {"x%bitrate%y", "%bitrate%", "", "xy"},
        {"abc", "", "Z", "abc"}, // an empty pattern copies
    };
    for (const ReplaceCase &c : cases) {
        char out[64];
        EXPECT_EQ(replaceAll(c.source, out, sizeof(out), c.pattern, c.replacement, cutBytes), strlen(c.expected));
        EXPECT_STREQ(out, c.expected) << c.source;
    }
}

TEST(ReplaceAll, CutsAtCapacityAndOneShortOfIt)
{
    char out[8];
    // Six bytes and a zero fit into seven; the eighth byte of out is a guard.
    out[7] = 0x5A;
    EXPECT_EQ(replaceAll("abXY", out, 7, "XY", "cdef", cutBytes), 6u);
    EXPECT_STREQ(out, "abcdef");
    EXPECT_EQ(replaceAll("abXYg", out, 7, "XY", "cdef", cutBytes), 6u);
    EXPECT_STREQ(out, "abcdef");
    EXPECT_EQ(replaceAll("abXY", out, 6, "XY", "cdef", cutBytes), 5u);
    EXPECT_STREQ(out, "abcde");
    EXPECT_EQ(out[7], 0x5A);
    EXPECT_EQ(replaceAll("abc", out, 1, "XY", "cdef", cutBytes), 0u);
    EXPECT_STREQ(out, "");
}

TEST(ReplaceAll, Utf8CutNeverSplitsACharacter)
{
    // "Ж" is two bytes, "€" three.
    char out[8];
    EXPECT_EQ(replaceAll("a%t%", out, 5, "%t%", "\xD0\x96\xD0\x96", cutUtf8), 3u);
    EXPECT_STREQ(out, "a\xD0\x96");
    EXPECT_EQ(replaceAll("ab%t%", out, 5, "%t%", "\xE2\x82\xAC", cutUtf8), 2u);
    EXPECT_STREQ(out, "ab");
    EXPECT_EQ(replaceAll("ab%t%", out, 6, "%t%", "\xE2\x82\xAC", cutUtf8), 5u);
    // The same text cut by bytes keeps the broken piece.
    EXPECT_EQ(replaceAll("ab%t%", out, 5, "%t%", "\xE2\x82\xAC", cutBytes), 4u);
}

TEST(Utf8Boundary, DropsOnlyAnIncompleteLastCharacter)
{
    const struct {
        const char *text;
        u32 length;
        u32 expected;
    } cases[] = {
        {"abc", 3, 3},
        {"a\xD0\x96", 3, 3},
        {"a\xD0\x96", 2, 1},
        {"\xE2\x82\xAC", 1, 0},
        {"\xE2\x82\xAC", 2, 0},
        {"\xE2\x82\xAC", 3, 3},
        {"x\xF0\x9F\x8E\xB5", 4, 1},
        {"x\xF0\x9F\x8E\xB5", 5, 5},
        {"", 0, 0},
        // Already broken text is never cut further, however long its stray run.
        {"a\x80\x80\x80\x80", 5, 5},
        {"a\x80\x80\x80\x80\x80", 6, 6},
    };
    for (const auto &c : cases)
        EXPECT_EQ(utf8Boundary(c.text, c.length), c.expected) << c.text << " / " << c.length;
}

TEST(BoundedCopies, NeverWritePastTheirCapacity)
{
    char out[6];
    memset(out, 0x5A, sizeof(out));
    EXPECT_EQ(copyText(out, 5, "abcdefgh", cutBytes), 4u);
    EXPECT_STREQ(out, "abcd");
    EXPECT_EQ(out[5], 0x5A);
    EXPECT_EQ(copyText(out, 5, "ab", cutBytes), 2u);
    EXPECT_EQ(appendText(out, 5, "cdef", cutBytes), 2u);
    EXPECT_STREQ(out, "abcd");
    EXPECT_EQ(appendText(out, 5, "x", cutBytes), 0u);
    EXPECT_EQ(copyText(out, 0, "x", cutBytes), 0u);
    EXPECT_EQ(out[5], 0x5A);
}
