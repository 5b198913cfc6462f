// dlgtemplate_test.cpp -- the settings dialog's template, parsed back field by field against golden values
#include "settings/dlgtemplate.h"
#include "settings/texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// ---- Windows-1251 to UTF-16, only as far as the built-in texts need ----

struct CodeRange {
    u8 first, last;
    u16 base; // the unit for `first`; the rest follow in order
};

const CodeRange kCp1251Ranges[] = {
    {0x00, 0x7F, 0x0000}, // ASCII
    {0xA8, 0xA8, 0x0401}, // Ё
    {0xB8, 0xB8, 0x0451}, // ё
    {0xC0, 0xFF, 0x0410}, // А..я
};
const u16 kReplacement = 0xFFFD;

u16 cp1251Unit(u8 byte)
{
    for (const CodeRange &r : kCp1251Ranges)
        if (byte >= r.first && byte <= r.last) return (u16)(r.base + (byte - r.first));
    return kReplacement;
}

// The units of text and its zero, as MultiByteToWideChar with length -1 gives them.
std::vector<u16> toUtf16(const char *text)
{
    std::vector<u16> units;
    for (const char *p = text; *p; p++)
        units.push_back(cp1251Unit((u8)*p));
    units.push_back(0);
    return units;
}

std::u16string asU16String(const std::vector<u16> &units)
{
    std::u16string s;
    for (u16 u : units)
        if (u) s.push_back((char16_t)u); else break;
    return s;
}

// ---- The inputs the shell would hand in ----

struct AnsiInput {
    TemplateText which;
    const char *text;
};

const AnsiInput kInputs[] = {
    {textCaption, kCaptionText},
    {textFont, kFontName},
    {textShowButton, kShowButtonText},
    {textLabel, kLabelText},
    {textSendAtOnce, kSendAtOnceText},
    {textAppend, kAppendText},
    {textAbout, kAboutButtonText},
    {textCancel, kCancelText},
    {textOk, kOkText},
};

struct Inputs {
    std::vector<u16> units[templateTextCount];
    Utf16Text texts[templateTextCount];

    Inputs()
    {
        for (const AnsiInput &in : kInputs) {
            units[in.which] = toUtf16(in.text);
            texts[in.which] = {units[in.which].data(), (u32)units[in.which].size()};
        }
    }
};

// ---- An independent reader of DLGTEMPLATE bytes ----

struct Reader {
    const u8 *bytes;
    u32 size;
    u32 at = 0;
    bool overrun = false;

    u16 word()
    {
        if (at + 2 > size) { overrun = true; at = size; return 0; }
        u16 v = (u16)(bytes[at] | bytes[at + 1] << 8);
        at += 2;
        return v;
    }
    u32 dword()
    {
        u32 lo = word();
        return lo | (u32)word() << 16;
    }
    std::u16string string()
    {
        std::u16string s;
        for (u16 u = word(); u && !overrun; u = word())
            s.push_back((char16_t)u);
        return s;
    }
    // Menu, class and title fields: 0 (none), 0xFFFF then an ordinal, or a string.
    std::u16string nameOrOrdinal(u16 *ordinal)
    {
        *ordinal = 0;
        u16 first = word();
        if (first == 0) return u"";
        if (first == 0xFFFF) { *ordinal = word(); return u""; }
        std::u16string s(1, (char16_t)first);
        return s + string();
    }
    void alignDword() { at = (at + 3) / 4 * 4; }
};

struct ParsedItem {
    u32 offset, end;
    u32 style, exStyle;
    u16 x, y, cx, cy, id;
    u16 classOrdinal;
    std::u16string className;
    u16 titleOrdinal;
    std::u16string title;
    u16 extraBytes;
};

struct ParsedTemplate {
    u32 style, exStyle;
    u16 count, x, y, cx, cy;
    u16 menuOrdinal, classOrdinal;
    std::u16string menu, className, caption;
    u16 points;
    std::u16string font;
    u32 headerEnd;
    std::vector<ParsedItem> items;
    bool overrun;
};

ParsedTemplate parseTemplate(const u8 *bytes, u32 size)
{
    Reader r{bytes, size};
    ParsedTemplate t;
    t.style = r.dword();
    t.exStyle = r.dword();
    t.count = r.word();
    t.x = r.word();
    t.y = r.word();
    t.cx = r.word();
    t.cy = r.word();
    t.menu = r.nameOrOrdinal(&t.menuOrdinal);
    t.className = r.nameOrOrdinal(&t.classOrdinal);
    t.caption = r.string();
    t.points = 0;
    if (t.style & 0x40) { // DS_SETFONT
        t.points = r.word();
        t.font = r.string();
    }
    t.headerEnd = r.at;
    for (u16 i = 0; i < t.count && !r.overrun; i++) {
        ParsedItem it;
        r.alignDword();
        it.offset = r.at;
        it.style = r.dword();
        it.exStyle = r.dword();
        it.x = r.word();
        it.y = r.word();
        it.cx = r.word();
        it.cy = r.word();
        it.id = r.word();
        it.className = r.nameOrOrdinal(&it.classOrdinal);
        it.title = r.nameOrOrdinal(&it.titleOrdinal);
        it.extraBytes = r.word();
        r.at += it.extraBytes;
        it.end = r.at;
        t.items.push_back(it);
    }
    t.overrun = r.overrun;
    return t;
}

// ---- Golden values ----

struct GoldenHeader {
    u32 style, exStyle;
    u16 count, x, y, cx, cy, menu, windowClass;
    const char16_t *caption;
    u16 points;
    const char16_t *font;
};

const GoldenHeader kGoldenHeader = {
    0x00080840,        // style: WS_SYSMENU | DS_CENTER | DS_SETFONT
    0,                 // exStyle
    8,                 // cdit
    0,                 // x
    0,                 // y
    250,               // cx
    130,               // cy
    0,                 // menu: none
    0,                 // class: the system's dialog class
    u"Настройки",      // caption
    8,                 // point size
    u"MS Sans Serif",  // typeface
};

// The header as bytes, up to where the first item begins.
const u8 kGoldenHeaderBytes[] = {
    0x40, 0x08, 0x08, 0x00,             // style 0x00080840
    0x00, 0x00, 0x00, 0x00,             // exStyle
    0x08, 0x00,                         // cdit 8
    0x00, 0x00,                         // x 0
    0x00, 0x00,                         // y 0
    0xFA, 0x00,                         // cx 250
    0x82, 0x00,                         // cy 130
    0x00, 0x00,                         // menu: none
    0x00, 0x00,                         // class: none
    0x1D, 0x04, 0x30, 0x04, 0x41, 0x04, // caption "Нас
    0x42, 0x04, 0x40, 0x04, 0x3E, 0x04, //          тро
    0x39, 0x04, 0x3A, 0x04, 0x38, 0x04, //          йки"
    0x00, 0x00,                         //          and its zero
    0x08, 0x00,                         // point size 8
    'M', 0, 'S', 0, ' ', 0, 'S', 0,     // typeface "MS S
    'a', 0, 'n', 0, 's', 0, ' ', 0,     //           ans 
    'S', 0, 'e', 0, 'r', 0, 'i', 0,     //           Seri
    'f', 0, 0x00, 0x00,                 //           f" and its zero
};

struct GoldenItem {
    u32 offset;
    u32 style, exStyle;
    u16 x, y, cx, cy, id, classAtom;
    const char16_t *title;
    u16 extraBytes;
};

const GoldenItem kGoldenItems[] = {
    {
        72,          // offset: right behind the header
        0x50010003,  // style: WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX
        0,           // exStyle
        5,           // x
        2,           // y
        150,         // cx
        10,          // cy
        201,         // id
        0x0080,      // class: button
        u"Добавлять кнопку плагина для отправки трека'", // title
        0,           // creation data
    },
    {
        188,         // offset: 72 + 114, rounded up from 186
        0x50000000,  // style: WS_CHILD | WS_VISIBLE | SS_LEFT
        0,           // exStyle
        5,           // x
        14,          // y
        140,         // cx
        10,          // cy
        0xFFFF,      // id -1
        0x0082,      // class: static
        u"Текст для отправки:", // title
        0,           // creation data
    },
    {
        252,         // offset: 188 + 64
        0x50B110C4,  // style: WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_BORDER | WS_TABSTOP
                     //        | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN
        0,           // exStyle
        5,           // x
        26,          // y
        235,         // cx
        52,          // cy
        202,         // id
        0x0081,      // class: edit
        u"",         // title: empty, the template goes in at initialisation
        0,           // creation data
    },
    {
        280,         // offset: 252 + 26, rounded up from 278
        0x50010009,  // style: WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON
        0,           // exStyle
        5,           // x
        80,          // y
        75,          // cx
        10,          // cy
        203,         // id
        0x0080,      // class: button
        u"Отправлять сразу", // title
        0,           // creation data
    },
    {
        340,         // offset: 280 + 58, rounded up from 338
        0x50010009,  // style: WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON
        0,           // exStyle
        85,          // x
        80,          // y
        140,         // cx
        10,          // cy
        204,         // id
        0x0080,      // class: button
        u"Дописывать к набираемому тексту", // title
        0,           // creation data
    },
    {
        428,         // offset: 340 + 88
        0x50010000,  // style: WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON
        0,           // exStyle
        5,           // x
        92,          // y
        100,         // cx
        13,          // cy
        209,         // id
        0x0080,      // class: button
        u"О плагине/список тегов", // title
        0,           // creation data
    },
    {
        500,         // offset: 428 + 70, rounded up from 498
        0x50010000,  // style: WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON
        0,           // exStyle
        125,         // x
        92,          // y
        60,          // cx
        13,          // cy
        210,         // id
        0x0080,      // class: button
        u"Отмена",   // title
        0,           // creation data
    },
    {
        540,         // offset: 500 + 38, rounded up from 538
        0x50010001,  // style: WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON
        0,           // exStyle
        190,         // x
        92,          // y
        50,          // cx
        13,          // cy
        211,         // id
        0x0080,      // class: button
        u"OK",       // title
        0,           // creation data
    },
};
const u32 kGoldenSize = 570; // 540 + 30, the end of the OK button's record

// The last record as bytes: nothing in it depends on the code page.
const u8 kGoldenOkBytes[] = {
    0x01, 0x00, 0x01, 0x50, // style 0x50010001
    0x00, 0x00, 0x00, 0x00, // exStyle
    0xBE, 0x00,             // x 190
    0x5C, 0x00,             // y 92
    0x32, 0x00,             // cx 50
    0x0D, 0x00,             // cy 13
    0xD3, 0x00,             // id 211
    0xFF, 0xFF, 0x80, 0x00, // class: 0xFFFF, button
    'O', 0, 'K', 0, 0, 0,   // title "OK" and its zero
    0x00, 0x00,             // creation data: none
};

const u8 kGarbage = 0xA5;

struct Built {
    u8 block[kDialogBlockSize];
    u32 size;
};

void buildInto(Built *b, const Inputs &in)
{
    for (u8 &byte : b->block)
        byte = kGarbage;
    b->size = buildDialogTemplate(b->block, dimof(b->block), in.texts, templateTextCount);
}

bool untouched(const u8 *block, u32 size)
{
    for (u32 i = 0; i < size; i++)
        if (block[i] != kGarbage) return false;
    return true;
}

} // namespace

// ---- Layout ----

TEST(DialogTemplate, SizeIsTheEndOfTheLastRecordAndFitsTheBlock)
{
    Inputs in;
    Built b;
    buildInto(&b, in);
    EXPECT_EQ(kGoldenSize, b.size);
    EXPECT_LE(b.size, kDialogBlockSize);
    ParsedTemplate t = parseTemplate(b.block, b.size);
    ASSERT_FALSE(t.overrun);
    ASSERT_FALSE(t.items.empty());
    EXPECT_EQ(b.size, t.items.back().end);
}

TEST(DialogTemplate, HeaderMatchesGolden)
{
    Inputs in;
    Built b;
    buildInto(&b, in);
    ParsedTemplate t = parseTemplate(b.block, b.size);
    ASSERT_FALSE(t.overrun);
    EXPECT_EQ(kGoldenHeader.style, t.style);
    EXPECT_EQ(kGoldenHeader.exStyle, t.exStyle);
    EXPECT_EQ(kGoldenHeader.count, t.count);
    EXPECT_EQ(kGoldenHeader.x, t.x);
    EXPECT_EQ(kGoldenHeader.y, t.y);
    EXPECT_EQ(kGoldenHeader.cx, t.cx);
    EXPECT_EQ(kGoldenHeader.cy, t.cy);
    EXPECT_EQ(kGoldenHeader.menu, t.menuOrdinal);
    EXPECT_TRUE(t.menu.empty());
    EXPECT_EQ(kGoldenHeader.windowClass, t.classOrdinal);
    EXPECT_TRUE(t.className.empty());
    EXPECT_EQ(std::u16string(kGoldenHeader.caption), t.caption);
    EXPECT_EQ(kGoldenHeader.points, t.points);
    EXPECT_EQ(std::u16string(kGoldenHeader.font), t.font);
    EXPECT_EQ(sizeof(kGoldenHeaderBytes), t.headerEnd);
}

TEST(DialogTemplate, HeaderBytesMatchGolden)
{
    Inputs in;
    Built b;
    buildInto(&b, in);
    ASSERT_GE(b.size, sizeof(kGoldenHeaderBytes));
    for (u32 i = 0; i < sizeof(kGoldenHeaderBytes); i++)
        EXPECT_EQ(kGoldenHeaderBytes[i], b.block[i]) << "header byte " << i;
}

TEST(DialogTemplate, ControlsMatchGolden)
{
    Inputs in;
    Built b;
    buildInto(&b, in);
    ParsedTemplate t = parseTemplate(b.block, b.size);
    ASSERT_FALSE(t.overrun);
    ASSERT_EQ(dimof(kGoldenItems), t.items.size());
    for (u32 i = 0; i < dimof(kGoldenItems); i++) {
        const GoldenItem &g = kGoldenItems[i];
        const ParsedItem &it = t.items[i];
        SCOPED_TRACE(testing::Message() << "control " << i << ", id " << g.id);
        EXPECT_EQ(g.offset, it.offset);
        EXPECT_EQ(g.style, it.style);
        EXPECT_EQ(g.exStyle, it.exStyle);
        EXPECT_EQ(g.x, it.x);
        EXPECT_EQ(g.y, it.y);
        EXPECT_EQ(g.cx, it.cx);
        EXPECT_EQ(g.cy, it.cy);
        EXPECT_EQ(g.id, it.id);
        EXPECT_TRUE(it.className.empty());
        EXPECT_EQ(g.classAtom, it.classOrdinal);
        EXPECT_EQ(0, it.titleOrdinal);
        EXPECT_EQ(std::u16string(g.title), it.title);
        EXPECT_EQ(g.extraBytes, it.extraBytes);
    }
}

TEST(DialogTemplate, LastRecordBytesMatchGolden)
{
    Inputs in;
    Built b;
    buildInto(&b, in);
    ParsedTemplate t = parseTemplate(b.block, b.size);
    ASSERT_FALSE(t.items.empty());
    u32 at = t.items.back().offset;
    ASSERT_EQ(b.size, at + sizeof(kGoldenOkBytes));
    for (u32 i = 0; i < sizeof(kGoldenOkBytes); i++)
        EXPECT_EQ(kGoldenOkBytes[i], b.block[at + i]) << "OK record byte " << i;
}

TEST(DialogTemplate, EveryRecordStartsOnFourBytes)
{
    Inputs in;
    Built b;
    buildInto(&b, in);
    ParsedTemplate t = parseTemplate(b.block, b.size);
    ASSERT_EQ(kControlCount, t.items.size());
    for (const ParsedItem &it : t.items)
        EXPECT_EQ(0u, it.offset % 4) << "record at " << it.offset;
}

TEST(DialogTemplate, PaddingIsZeroAndNothingBeyondTheSizeIsWritten)
{
    Inputs in;
    Built b;
    buildInto(&b, in);
    ParsedTemplate t = parseTemplate(b.block, b.size);
    ASSERT_EQ(kControlCount, t.items.size());
    u32 previousEnd = t.headerEnd;
    for (const ParsedItem &it : t.items) {
        for (u32 i = previousEnd; i < it.offset; i++)
            EXPECT_EQ(0, b.block[i]) << "padding byte " << i;
        previousEnd = it.end;
    }
    EXPECT_TRUE(untouched(b.block + b.size, kDialogBlockSize - b.size));
}

TEST(DialogTemplate, ControlTableFollowsTemplateOrder)
{
    ASSERT_EQ(dimof(kGoldenItems), kControlCount);
    for (u32 i = 0; i < kControlCount; i++) {
        EXPECT_EQ(kGoldenItems[i].id, kDialogControls[i].id) << "control " << i;
        EXPECT_EQ(kGoldenItems[i].classAtom, kDialogControls[i].classAtom) << "control " << i;
    }
}

TEST(DialogTemplate, ZeroIsWrittenEvenWhenTheCallersTerminatorIsNot)
{
    Inputs in;
    std::vector<u16> caption = in.units[textCaption];
    caption.back() = 'X';
    in.texts[textCaption] = {caption.data(), (u32)caption.size()};
    Built b;
    buildInto(&b, in);
    EXPECT_EQ(kGoldenSize, b.size);
    ParsedTemplate t = parseTemplate(b.block, b.size);
    EXPECT_EQ(std::u16string(kGoldenHeader.caption), t.caption);
    EXPECT_EQ(std::u16string(kGoldenHeader.font), t.font);
}

// ---- Capacity and refused input ----

TEST(DialogTemplateCapacity, ExactlyTheSizeFits)
{
    Inputs in;
    u8 block[kGoldenSize];
    for (u8 &byte : block)
        byte = kGarbage;
    EXPECT_EQ(kGoldenSize, buildDialogTemplate(block, dimof(block), in.texts, templateTextCount));
    EXPECT_EQ(kGoldenHeaderBytes[0], block[0]);
}

TEST(DialogTemplateCapacity, OneShortWritesNothing)
{
    Inputs in;
    Built full;
    buildInto(&full, in);
    ASSERT_GT(full.size, 0u);
    u8 block[kDialogBlockSize];
    for (u8 &byte : block)
        byte = kGarbage;
    EXPECT_EQ(0u, buildDialogTemplate(block, full.size - 1, in.texts, templateTextCount));
    EXPECT_TRUE(untouched(block, dimof(block)));
}

TEST(DialogTemplateCapacity, NoRoomAtAll)
{
    Inputs in;
    u8 block[kDialogBlockSize];
    for (u8 &byte : block)
        byte = kGarbage;
    EXPECT_EQ(0u, buildDialogTemplate(block, 0, in.texts, templateTextCount));
    EXPECT_TRUE(untouched(block, dimof(block)));
}

TEST(DialogTemplateCapacity, TextsThatCannotFitTheBlock)
{
    Inputs in;
    std::vector<u16> longText(kDialogBlockSize, 'a');
    longText.back() = 0;
    in.texts[textAppend] = {longText.data(), (u32)longText.size()};
    u8 block[kDialogBlockSize];
    for (u8 &byte : block)
        byte = kGarbage;
    EXPECT_EQ(0u, buildDialogTemplate(block, dimof(block), in.texts, templateTextCount));
    EXPECT_TRUE(untouched(block, dimof(block)));

    // Counts whose byte sizes would wrap a 32-bit sum.
    in.texts[textAppend].count = 0x80000000u;
    in.texts[textAbout].count = 0x80000000u;
    EXPECT_EQ(0u, buildDialogTemplate(block, dimof(block), in.texts, templateTextCount));
    EXPECT_TRUE(untouched(block, dimof(block)));
}

struct RefusedCase {
    const char *name;
    u32 textCount;
    int nullText;  // index of a text without units, or -1
    int emptyText; // index of a text with a count of 0, or -1
};

const RefusedCase kRefused[] = {
    {"one text short", templateTextCount - 1, -1, -1},
    {"one text too many", templateTextCount + 1, -1, -1},
    {"no texts", 0, -1, -1},
    {"caption missing", templateTextCount, textCaption, -1},
    {"font missing", templateTextCount, textFont, -1},
    {"OK text missing", templateTextCount, textOk, -1},
    {"caption without even a zero", templateTextCount, -1, textCaption},
    {"label without even a zero", templateTextCount, -1, textLabel},
};

TEST(DialogTemplateRefused, BadTextsWriteNothing)
{
    for (const RefusedCase &c : kRefused) {
        SCOPED_TRACE(c.name);
        Inputs in;
        // One spare slot so that "too many" reads valid memory.
        Utf16Text texts[templateTextCount + 1];
        for (u32 i = 0; i < templateTextCount; i++)
            texts[i] = in.texts[i];
        texts[templateTextCount] = in.texts[textOk];
        if (c.nullText >= 0) texts[c.nullText].units = nullptr;
        if (c.emptyText >= 0) texts[c.emptyText].count = 0;
        u8 block[kDialogBlockSize];
        for (u8 &byte : block)
            byte = kGarbage;
        EXPECT_EQ(0u, buildDialogTemplate(block, dimof(block), texts, c.textCount));
        EXPECT_TRUE(untouched(block, dimof(block)));
    }
}

TEST(DialogTemplateRefused, NullTextArray)
{
    u8 block[kDialogBlockSize];
    for (u8 &byte : block)
        byte = kGarbage;
    EXPECT_EQ(0u, buildDialogTemplate(block, dimof(block), nullptr, templateTextCount));
    EXPECT_TRUE(untouched(block, dimof(block)));
}

// ---- The built-in texts ----

TEST(DialogTexts, AnsiTextForEachIndex)
{
    for (const AnsiInput &in : kInputs)
        EXPECT_STREQ(in.text, templateAnsiText(in.which)) << "text " << in.which;
    EXPECT_STREQ("", templateAnsiText(textNone));
}

TEST(DialogTexts, EachTakesAsManyUnitsAsBytes)
{
    for (const AnsiInput &a : kInputs) {
        std::vector<u16> units = toUtf16(a.text);
        EXPECT_EQ(std::string(a.text).size() + 1, units.size()) << "text " << a.which;
        for (u16 u : units)
            EXPECT_NE(kReplacement, u) << "text " << a.which << " holds a byte outside the table";
    }
}

const char16_t *const kAboutLines[] = {
    u"Плагин для вставки названия проигрываемого трека в текст допстатуса Palaver",
    u"",
    u"Поддерживаемые проигрыватели: Winamp, Light Alloy, а также другие с поддержкой api Winamp",
    u"Поддерживаемые теги:",
    u"",
    u"%track% - название проигываемого трека",
    u"%bitrate% - битрейт, в кгц, только Winamp",
    u"%samplerate% - частота дискретизации, только Winamp",
    u"%channels% - количество каналов (моно/стерео), только Winamp",
    u"%length% - длина трека, только Winamp",
    u"%position% - текущая позиция, только Winamp",
    u"",
    u"Для корректной работы плагина необходима версия Palaver 1070 и выше",
};

std::vector<std::u16string> splitLines(const std::u16string &text)
{
    std::vector<std::u16string> lines(1);
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            lines.emplace_back();
            i++;
        } else {
            lines.back().push_back(text[i]);
        }
    }
    return lines;
}

TEST(DialogTexts, AboutTextIsThirteenLinesWithoutATrailingBreak)
{
    std::u16string about = asU16String(toUtf16(kAboutText));
    size_t pairs = 0;
    for (size_t at = about.find(u"\r\n"); at != std::u16string::npos; at = about.find(u"\r\n", at + 2))
        pairs++;
    EXPECT_EQ(12u, pairs);
    ASSERT_GE(about.size(), 2u);
    EXPECT_NE(u'\n', about.back());
    EXPECT_NE(u'\r', about.back());

    std::vector<std::u16string> lines = splitLines(about);
    ASSERT_EQ(dimof(kAboutLines), lines.size());
    for (u32 i = 0; i < dimof(kAboutLines); i++) {
        EXPECT_EQ(std::u16string(kAboutLines[i]), lines[i]) << "line " << i + 1;
        EXPECT_EQ(std::u16string::npos, lines[i].find_first_of(u"\r\n")) << "stray break in line " << i + 1;
    }
    EXPECT_EQ(0u, lines.front().rfind(u"Плагин ", 0));
    EXPECT_EQ(lines.back().size() - 4, lines.back().rfind(u"выше"));
}
