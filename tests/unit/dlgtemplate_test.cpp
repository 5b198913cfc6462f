// dlgtemplate_test.cpp -- the settings dialog's template, walked independently and compared with golden values
#include "settings/dlgtemplate.h"
#include "common/texts.h"

#include <gtest/gtest.h>

#include <string.h>
#include <array>
#include <string>
#include <vector>

namespace {

// Windows-1251 to UTF-16 as far as the built-in texts need: ASCII and А..я.
std::u16string from1251(const char *text)
{
    std::u16string s;
    for (const u8 *p = (const u8 *)text; *p; p++)
        s.push_back(*p < 0x80 ? (char16_t)*p : *p >= 0xC0 ? (char16_t)(0x0410 + *p - 0xC0) : u'\uFFFD');
    return s;
}

// The texts as the shell hands them in: index i holds dialogAnsiText(i), its zero counted.
struct Inputs {
    std::vector<u16> units[dialogTextCount];
    Utf16Text texts[dialogTextCount + 1]; // one spare, for a count one too many

    Inputs()
    {
        for (u32 i = 0; i < dialogTextCount; i++) {
            const std::u16string s = from1251(dialogAnsiText(i));
            units[i].assign(s.begin(), s.end());
            units[i].push_back(0);
            texts[i] = {units[i].data(), (u32)units[i].size()};
        }
        texts[dialogTextCount] = texts[textOk];
    }
};

// ---- An independent walker over DLGTEMPLATE / DLGITEMTEMPLATE bytes.

typedef std::array<u16, 4> Rect; // x, y, cx, cy

struct Item {
    u32 offset, end, style, exStyle;
    Rect rect;
    u16 id, classMarker, atom;
    std::u16string text;
    u16 extra;
};

struct Parsed {
    u32 style, exStyle;
    u16 count;
    Rect rect;
    u16 menu, windowClass, points = 0;
    std::u16string caption, font;
    u32 headerEnd;
    std::vector<Item> items;
    bool overrun = false;
};

Parsed parse(const u8 *bytes, u32 size)
{
    Parsed t;
    u32 at = 0;
    auto word = [&]() -> u16 {
        if (at + 2 > size) return t.overrun = true, 0;
        at += 2;
        return (u16)(bytes[at - 2] | bytes[at - 1] << 8);
    };
    auto dword = [&] { const u32 lo = word(); return lo | (u32)word() << 16; };
    auto string = [&] {
        std::u16string s;
        for (u16 u = word(); u && !t.overrun; u = word())
            s.push_back((char16_t)u);
        return s;
    };
    t.style = dword(), t.exStyle = dword();
    t.count = word();
    for (u16 &v : t.rect)
        v = word();
    t.menu = word(), t.windowClass = word();
    t.caption = string();
    if (t.style & 0x40) // DS_SETFONT: point size and typeface follow
        t.points = word(), t.font = string();
    t.headerEnd = at;
    for (u16 i = 0; i < t.count && !t.overrun; i++) {
        Item it;
        at = (at + 3) & ~3u; // each item starts on a DWORD boundary
        it.offset = at;
        it.style = dword(), it.exStyle = dword();
        for (u16 &v : it.rect)
            v = word();
        it.id = word();
        it.classMarker = word(), it.atom = word();
        it.text = string();
        it.extra = word();
        at += it.extra;
        it.end = at;
        t.items.push_back(it);
    }
    return t;
}

// ---- The golden template. Every exStyle, the menu, the window class and each
// control's creation data are 0; each class is 0xFFFF followed by its atom.

struct GoldenItem {
    u32 offset;           // the record's start: the previous record's end rounded up to 4
    u32 style;            // WS_CHILD | WS_VISIBLE (0x50000000) and the control's own bits
    Rect rect;            // x, y, cx, cy in dialog units
    u16 id;               // the label's -1 is the word 0xFFFF
    u16 atom;             // 0x80 button, 0x81 edit, 0x82 static
    const char16_t *text; // the title, zero-terminated in the template
};

struct Golden {
    u32 style;               // WS_SYSMENU | DS_CENTER | DS_SETFONT
    u16 count;               // cdit
    Rect rect;               // x, y, cx, cy in dialog units
    const char16_t *caption; // title
    u16 points;              // font size, present because of DS_SETFONT
    const char16_t *font;    // typeface
    u32 size;                // the end of the last record: the size returned
    GoldenItem items[8];     // template order
};

const Golden kGolden = {
    0x00080840, 8, {0, 0, 250, 130}, u"Настройки", 8, u"MS Sans Serif", 570,
    {
        // header 72 bytes | WS_TABSTOP | BS_AUTOCHECKBOX
        {72, 0x50010003, {5, 2, 235, 10}, 201, 0x80, u"Добавлять кнопку плагина для отправки трека'"},
        // 186 rounded up | SS_LEFT
        {188, 0x50000000, {5, 14, 140, 10}, 0xFFFF, 0x82, u"Текст для отправки:"},
        // 188 + 64 | WS_VSCROLL | WS_HSCROLL | WS_BORDER | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL
        //          | ES_AUTOHSCROLL | ES_WANTRETURN; empty, the template goes in at initialisation
        {252, 0x50B110C4, {5, 26, 235, 52}, 202, 0x81, u""},
        // 278 rounded up | WS_TABSTOP | BS_AUTORADIOBUTTON
        {280, 0x50010009, {5, 80, 75, 10}, 203, 0x80, u"Отправлять сразу"},
        // 338 rounded up | WS_TABSTOP | BS_AUTORADIOBUTTON
        {340, 0x50010009, {85, 80, 140, 10}, 204, 0x80, u"Дописывать к набираемому тексту"},
        // 340 + 88 | WS_TABSTOP | BS_PUSHBUTTON
        {428, 0x50010000, {5, 92, 100, 13}, 209, 0x80, u"О плагине/список тегов"},
        // 498 rounded up | WS_TABSTOP | BS_PUSHBUTTON
        {500, 0x50010000, {125, 92, 60, 13}, 210, 0x80, u"Отмена"},
        // 538 rounded up | WS_TABSTOP | BS_DEFPUSHBUTTON; ends at 570
        {540, 0x50010001, {190, 92, 50, 13}, 211, 0x80, u"OK"},
    },
};

const u8 kGarbage = 0xA5;

struct Block {
    u8 bytes[kDialogBlockSize];
    Block() { memset(bytes, kGarbage, sizeof(bytes)); }
    bool untouchedFrom(u32 from) const
    {
        for (u32 i = from; i < sizeof(bytes); i++)
            if (bytes[i] != kGarbage) return false;
        return true;
    }
    u32 build(const Inputs &in, u32 cap = kDialogBlockSize)
    {
        return buildDialogTemplate(bytes, cap, in.texts, dialogTextCount);
    }
};

} // namespace

// Every record sits at its golden offset on a four-byte boundary; the bytes
// skipped to reach it are zeros, and nothing lies beyond the size returned.
TEST(DialogTemplate, MatchesGolden)
{
    Inputs in;
    Block b;
    const u32 size = b.build(in);
    ASSERT_EQ(kGolden.size, size);
    EXPECT_TRUE(b.untouchedFrom(size));
    const Parsed t = parse(b.bytes, size);
    ASSERT_FALSE(t.overrun);
    EXPECT_EQ(kGolden.style, t.style);
    EXPECT_EQ(0u, t.exStyle);
    EXPECT_EQ(kGolden.count, t.count);
    EXPECT_EQ(kGolden.rect, t.rect);
    EXPECT_EQ(0, t.menu);
    EXPECT_EQ(0, t.windowClass);
    EXPECT_EQ(kGolden.caption, t.caption);
    EXPECT_EQ(kGolden.points, t.points);
    EXPECT_EQ(kGolden.font, t.font);

    ASSERT_EQ(dimof(kGolden.items), t.items.size());
    u32 end = t.headerEnd;
    for (u32 i = 0; i < dimof(kGolden.items); i++) {
        const GoldenItem &g = kGolden.items[i];
        const Item &it = t.items[i];
        SCOPED_TRACE(testing::Message() << "control " << i << ", id " << g.id);
        EXPECT_EQ(g.offset, it.offset);
        for (u32 at = end; at < it.offset; at++)
            EXPECT_EQ(0, b.bytes[at]) << "padding byte " << at;
        end = it.end;
        EXPECT_EQ(g.style, it.style);
        EXPECT_EQ(0u, it.exStyle);
        EXPECT_EQ(g.rect, it.rect);
        EXPECT_EQ(g.id, it.id);
        EXPECT_EQ(0xFFFF, it.classMarker);
        EXPECT_EQ(g.atom, it.atom);
        EXPECT_EQ(g.text, it.text);
        EXPECT_EQ(0, it.extra);
    }
    EXPECT_EQ(size, end);
    EXPECT_STREQ("", dialogAnsiText(textNone)); // the edit's empty text
}

// The caller's count includes the terminator, but its zero is never copied: the module writes its own.
TEST(DialogTemplate, WritesItsOwnZeroAfterEachText)
{
    Inputs in;
    in.units[textCaption].back() = 'X';
    Block b;
    ASSERT_EQ(kGolden.size, b.build(in));
    const Parsed t = parse(b.bytes, kGolden.size);
    EXPECT_EQ(kGolden.caption, t.caption);
    EXPECT_EQ(kGolden.font, t.font);
}

TEST(DialogTemplate, FitsExactlyOrWritesNothing)
{
    const struct {
        u32 cap, expected;
    } cases[] = {
        {kGolden.size, kGolden.size}, // exactly the size
        {kGolden.size - 1, 0},        // one byte short
        {0, 0},                       // no room at all
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "capacity " << c.cap);
        Inputs in;
        Block b;
        EXPECT_EQ(c.expected, b.build(in, c.cap));
        EXPECT_TRUE(b.untouchedFrom(c.expected));
        if (c.expected) EXPECT_EQ(kGolden.style & 0xFF, b.bytes[0]);
    }
}

TEST(DialogTemplate, RefusedInputWritesNothing)
{
    static const u16 tooLong[kDialogBlockSize] = {};
    struct Call {
        Utf16Text *texts;
        u32 count;
    };
    const struct {
        const char *name;
        void (*spoil)(Call &);
    } cases[] = {
        {"one text short", [](Call &c) { c.count--; }},
        {"one text too many", [](Call &c) { c.count++; }},
        {"no texts", [](Call &c) { c.count = 0; }},
        {"no text array", [](Call &c) { c.texts = nullptr; }},
        {"caption missing", [](Call &c) { c.texts[textCaption].units = nullptr; }},
        {"font missing", [](Call &c) { c.texts[textFont].units = nullptr; }},
        {"OK text missing", [](Call &c) { c.texts[textOk].units = nullptr; }},
        {"caption of zero units", [](Call &c) { c.texts[textCaption].count = 0; }},
        {"label of zero units", [](Call &c) { c.texts[textLabel].count = 0; }},
        {"a text longer than the block", [](Call &c) { c.texts[textAppend] = {tooLong, dimof(tooLong)}; }},
        {"counts whose sizes wrap 32 bits",
         [](Call &c) { c.texts[textAppend].count = c.texts[textAbout].count = 0x80000000u; }},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.name);
        Inputs in;
        Call call = {in.texts, dialogTextCount};
        k.spoil(call);
        Block b;
        EXPECT_EQ(0u, buildDialogTemplate(b.bytes, kDialogBlockSize, call.texts, call.count));
        EXPECT_TRUE(b.untouchedFrom(0));
    }
}

TEST(DialogTexts, AboutTextIsFourteenLinesJoinedByCrLf)
{
    const std::u16string about = from1251(kAboutText);
    std::vector<std::u16string> lines;
    size_t start = 0;
    for (size_t at; (at = about.find(u"\r\n", start)) != std::u16string::npos; start = at + 2)
        lines.push_back(about.substr(start, at - start));
    lines.push_back(about.substr(start));
    ASSERT_EQ(14u, lines.size()) << "13 CR LF pairs";
    for (const std::u16string &line : lines)
        EXPECT_EQ(std::u16string::npos, line.find_first_of(u"\r\n")) << "a lone CR or LF";
    EXPECT_EQ(u"Плагин для вставки названия проигрываемого трека в текст допстатуса Palaver", lines.front());
    // Also proves there is no break after the last line.
    EXPECT_EQ(u"Для корректной работы плагина необходима версия Palaver 1070 и выше", lines.back());
}
