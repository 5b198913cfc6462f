// dlgtemplate.cpp -- lays out the settings dialog's DLGTEMPLATE and DLGITEMTEMPLATE records byte by byte
#include "dlgtemplate.h"
#include "../common/texts.h"
#include "../common/le.h"

static const u32 kDword = 4;
static const u32 kWord = 2;
static const u32 kItemAlign = 4;
static const u32 kNoExStyle = 0;
static const u16 kNoMenu = 0;
static const u16 kSystemDialogClass = 0;
static const u16 kNoCreationData = 0;
static const u16 kZeroUnit = 0;

// style, exStyle, cdit, x, y, cx, cy, menu, class
static const u32 kHeaderFixed = 2 * kDword + 7 * kWord;
// style, exStyle, x, y, cx, cy, id
static const u32 kItemFixed = 2 * kDword + 5 * kWord;
// 0xFFFF and the atom
static const u32 kItemClass = 2 * kWord;
static const u32 kItemTail = kWord;

const DialogControl kDialogControls[kControlCount] = {
    {kIdShowButton, kClassButton, kStyleCheckBox, 5, 2, 235, 10, textShowButton},
    {kIdLabel, kClassStatic, kStyleLabel, 5, 14, 140, 10, textLabel},
    {kIdMessageEdit, kClassEdit, kStyleMessageEdit, 5, 26, 235, 52, textNone},
    {kIdSendAtOnce, kClassButton, kStyleRadio, 5, 80, 75, 10, textSendAtOnce},
    {kIdAppend, kClassButton, kStyleRadio, 85, 80, 140, 10, textAppend},
    {kIdAbout, kClassButton, kStylePush, 5, 92, 100, 13, textAbout},
    {kIdCancel, kClassButton, kStylePush, 125, 92, 60, 13, textCancel},
    {kIdOk, kClassButton, kStyleDefaultPush, 190, 92, 50, 13, textOk},
};

static const char *const kAnsiTexts[dialogTextCount] = {
    kCaptionText, kFontName, kShowButtonText, kLabelText, kSendAtOnceText,
    kAppendText, kAboutButtonText, kCancelText, kOkText,
};

const char *dialogAnsiText(u32 which)
{
    return which < dialogTextCount ? kAnsiTexts[which] : "";
}

// Every DLGITEMTEMPLATE must start on a DWORD boundary; the texts before it
// only keep WORD alignment.
static u32 alignItem(u32 offset)
{
    return (offset + kItemAlign - 1) & ~(kItemAlign - 1);
}

// The units before the zero, then a zero of our own: the caller's count
// includes the terminator, so it is never written twice.
static u32 putText(u8 *at, const Utf16Text &text)
{
    u32 n = text.count - 1;
    for (u32 i = 0; i < n; i++)
        putLe16(at + i * kWord, text.units[i]);
    putLe16(at + n * kWord, kZeroUnit);
    return text.count * kWord;
}

static const Utf16Text kEmptyText = {&kZeroUnit, 1};

static const Utf16Text &controlText(const DialogControl &control, const Utf16Text *texts)
{
    return control.text == textNone ? kEmptyText : texts[control.text];
}

static uint64_t textBytes(const Utf16Text &text)
{
    return (uint64_t)text.count * kWord;
}

// Summed in 64 bits so that no set of counts can wrap round to a size that fits.
static uint64_t dialogTemplateSize(const Utf16Text *texts)
{
    uint64_t size = kHeaderFixed + textBytes(texts[textCaption]) + kWord + textBytes(texts[textFont]);
    for (u32 i = 0; i < kControlCount; i++) {
        size = (size + kItemAlign - 1) & ~(uint64_t)(kItemAlign - 1);
        size += kItemFixed + kItemClass + textBytes(controlText(kDialogControls[i], texts)) + kItemTail;
    }
    return size;
}

static u32 putPadding(u8 *block, u32 offset)
{
    u32 aligned = alignItem(offset);
    while (offset < aligned)
        block[offset++] = 0;
    return aligned;
}

// Field writers that step past what they wrote.
static u8 *put16(u8 *at, u16 value)
{
    putLe16(at, value);
    return at + kWord;
}

static u8 *put32(u8 *at, u32 value)
{
    putLe32(at, value);
    return at + kDword;
}

static u32 putHeader(u8 *block, const Utf16Text *texts)
{
    u8 *at = put32(block, kDialogStyle);
    at = put32(at, kNoExStyle);
    at = put16(at, (u16)kControlCount);
    at = put16(at, kDialogX);
    at = put16(at, kDialogY);
    at = put16(at, kDialogWidth);
    at = put16(at, kDialogHeight);
    at = put16(at, kNoMenu);
    at = put16(at, kSystemDialogClass);
    at += putText(at, texts[textCaption]);
    // Present only because the style carries DS_SETFONT.
    at = put16(at, kDialogFontPoints);
    at += putText(at, texts[textFont]);
    return (u32)(at - block);
}

static u32 putItem(u8 *block, const DialogControl &control, const Utf16Text *texts)
{
    u8 *at = put32(block, control.style);
    at = put32(at, kNoExStyle);
    at = put16(at, control.x);
    at = put16(at, control.y);
    at = put16(at, control.cx);
    at = put16(at, control.cy);
    at = put16(at, control.id);
    at = put16(at, kClassMarker);
    at = put16(at, control.classAtom);
    at += putText(at, controlText(control, texts));
    at = put16(at, kNoCreationData);
    return (u32)(at - block);
}

u32 buildDialogTemplate(u8 *block, u32 blockCap, const Utf16Text *texts, u32 textCount)
{
    if (!block || !texts || textCount != dialogTextCount) return 0;
    for (u32 i = 0; i < dialogTextCount; i++)
        if (!texts[i].units || texts[i].count == 0) return 0;
    if (dialogTemplateSize(texts) > blockCap) return 0;

    u32 offset = putHeader(block, texts);
    for (u32 i = 0; i < kControlCount; i++) {
        offset = putPadding(block, offset);
        offset += putItem(block + offset, kDialogControls[i], texts);
    }
    return offset;
}
