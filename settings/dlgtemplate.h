// dlgtemplate.h -- the settings dialog's in-memory template: its controls and their byte layout
#pragma once

#include "../common/types.h"

// The dialog template is built in a block of this many bytes.
const u32 kDialogBlockSize = 1024;

// System menu, centred on the screen, own font (DS_SETFONT, 0x40): no other
// bits, so the dialog is an overlapped window with a title bar.
const u32 kDialogStyle = 0x00080840;
const u16 kDialogX = 0;
const u16 kDialogY = 0;
const u16 kDialogWidth = 250;
const u16 kDialogHeight = 130;
const u16 kDialogFontPoints = 8;

// Control identifiers; the label's -1 is stored as the word 0xFFFF.
const u16 kIdShowButton = 201;
const u16 kIdLabel = 0xFFFF;
const u16 kIdMessageEdit = 202;
const u16 kIdSendAtOnce = 203;
const u16 kIdAppend = 204;
const u16 kIdAbout = 209;
const u16 kIdCancel = 210;
const u16 kIdOk = 211;

// Predefined window classes, written as 0xFFFF followed by the atom.
const u16 kClassMarker = 0xFFFF;
const u16 kClassButton = 0x0080;
const u16 kClassEdit = 0x0081;
const u16 kClassStatic = 0x0082;

// Every control is a visible child (0x50000000); the low bits pick the kind.
const u32 kStyleCheckBox = 0x50010003;   // automatic check box, tab stop
const u32 kStyleLabel = 0x50000000;      // left-aligned static text
const u32 kStyleMessageEdit = 0x50B110C4; // multi-line, auto-scroll, Enter breaks lines, border, both scroll bars, tab stop
const u32 kStyleRadio = 0x50010009;      // automatic radio button, tab stop
const u32 kStylePush = 0x50010000;       // push button, tab stop
const u32 kStyleDefaultPush = 0x50010001; // default push button, tab stop

const u32 kControlCount = 8;

// The texts the shell converts from code page 1251 to UTF-16 and hands in,
// indexed by these values.
enum DialogText {
    textCaption,
    textFont,
    textShowButton,
    textLabel,
    textSendAtOnce,
    textAppend,
    textAbout,
    textCancel,
    textOk,
    dialogTextCount,
    textNone = dialogTextCount, // the edit control starts empty
};

struct DialogControl {
    u16 id;
    u16 classAtom;
    u32 style;
    u16 x, y, cx, cy;
    u32 text; // a DialogText
};

// The controls in dialog template order, which is also the tab order.
extern const DialogControl kDialogControls[kControlCount];

// The built-in Windows-1251 text behind each DialogText.
const char *dialogAnsiText(u32 which);

// A UTF-16 text whose count includes its terminating zero unit.
struct Utf16Text {
    const u16 *units;
    u32 count;
};

// Writes the dialog template (header, font, then each control on a four-byte
// boundary) into block and returns the bytes used. Returns 0 and writes
// nothing when texts does not hold dialogTextCount texts, a text is missing
// or counts no units at all, or the dialog template does not fit in blockCap.
u32 buildDialogTemplate(u8 *block, u32 blockCap, const Utf16Text *texts, u32 textCount);
