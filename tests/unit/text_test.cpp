// text_test.cpp -- length, decimal text, search, replace-all and the bounded copies
#include "text/text.h"

#include <gtest/gtest.h>

#include <string>

// The offset findText gives, or -1 for no match.
static int find(const std::string &text, const std::string &pattern)
{
    const u32 at = findText(text.data(), (u32)text.size(), pattern.data(), (u32)pattern.size());
    return at == text.size() ? -1 : (int)at;
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

TEST(FindText, Table)
{
    const struct {
        const char *text;
        const char *pattern;
        int expected;
    } cases[] = {
        {"3. A - B - Winamp", " - Winamp", 8},
        {".x. y", ". ", 2}, // begins with the pattern's first byte
        {"ab", "abc", -1},  // text shorter than the pattern
        {"", "ab", -1},
        {"abc", "abc", 0},
        {"xxabcabc", "abc", 2}, // first of two
        {"aaaab", "aab", 2},
        {"Winamp - Winamp", " - Winamp", 6},
        {"abcd", "d", 3}, // one byte
        {"abcd", "x", -1},
        {"%Track%", "%track%", -1}, // case matters
        {"abc", "", -1},            // nothing to find, nothing read past the text
    };
    for (const auto &c : cases)
        EXPECT_EQ(find(c.text, c.pattern), c.expected) << "\"" << c.pattern << "\" in \"" << c.text << "\"";
}

TEST(FindText, BytesAboveAsciiAreOrdinaryBytes)
{
    EXPECT_EQ(find("\xD1\xEB\xF3\xF8\xE0\xFE: x", "\xF8\xE0"), 3);
    EXPECT_EQ(find(std::string("a\0b\0c", 5), std::string("\0c", 2)), 3);
}

// Left to right, no overlaps, the replacement not searched again; cut to the
// capacity, UTF-8 between characters.
TEST(ReplaceAll, Table)
{
    const struct {
        const char *source, *pattern, *replacement;
        u32 cap;
        TextCut cut;
        const char *expected;
    } cases[] = {
        {"%track%%track%", "%track%", "X", 64, cutBytes, "XX"},
        {"%trac%track%", "%track%", "X", 64, cutBytes, "%tracX"},
        {"aaa", "aa", "b", 64, cutBytes, "ba"},
        {"%a%", "%a%", "%a%%a%", 64, cutBytes, "%a%%a%"},
        {"a%t%b", "%t%", "\xD0\x96\xD0\x96", 5, cutUtf8, "a\xD0\x96"},
        {"a%t%b", "%t%", "\xD0\x96\xD0\x96", 5, cutBytes, "a\xD0\x96\xD0"},
        {"abc", "b", "x", 1, cutBytes, ""},
        {"abc", "", "x", 64, cutBytes, "abc"},
    };
    for (const auto &c : cases) {
        char out[65];
        memset(out, 0x5A, sizeof(out));
        EXPECT_EQ(replaceAll(c.source, out, c.cap, c.pattern, c.replacement, c.cut), strlen(c.expected)) << c.source;
        EXPECT_STREQ(out, c.expected) << c.source;
        EXPECT_EQ(out[c.cap], 0x5A) << c.source;
    }
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
