// text.h -- byte-string routines: length, decimal text, search, replace-all, bounded copies
#pragma once

#include "../common/types.h"

const u32 kUnsignedTextCap = 11; // "4294967295" and its zero

// How a text that does not fit its destination is cut.
enum TextCut {
    cutBytes, // any byte boundary: single-byte code pages
    cutUtf8,  // never inside a UTF-8 character
};

u32 textLength(const char *text);

// Writes value as "%lu" would, zero-terminated, into out (kUnsignedTextCap at
// least); returns the number of characters written before the zero.
u32 unsignedText(u32 value, char *out);

// A bounded text built piece by piece in dest: at most room bytes, then a zero.
// putPiece appends count bytes of piece, or as many as are left; once one did
// not fit whole, nothing more is put. endPieces cuts the end back as cut says
// when one did not, adds the zero and returns the length.
struct PieceWriter {
    char *dest;
    u32 room;
    u32 used;
    bool cutShort;
};
void putPiece(PieceWriter *w, const char *piece, u32 count);
u32 endPieces(PieceWriter *w, TextCut cut);

// The longest prefix of text[0..len) that ends on a character boundary: an
// incomplete UTF-8 sequence at the end is dropped.
u32 utf8Boundary(const char *text, u32 len);

// Encodes count UTF-16 units as UTF-8 into dest (destCap bytes, its zero
// included), as WideCharToMultiByte(CP_UTF8) does: a surrogate without its
// partner becomes U+FFFD. Only whole characters are written; returns the bytes
// before the zero.
u32 utf8FromUtf16(char *dest, u32 destCap, const u16 *units, u32 count);

// Bounded copies: at most destCap - 1 bytes and a zero; return the bytes copied.
u32 copyBytes(char *dest, u32 destCap, const char *source, u32 sourceLength, TextCut cut);
u32 copyText(char *dest, u32 destCap, const char *source, TextCut cut);
// Appends source behind the zero-terminated text already in dest.
u32 appendText(char *dest, u32 destCap, const char *source, TextCut cut);
// Copies the zero-terminated source into dest with every occurrence of pattern
// replaced by replacement, left to right and without overlaps; the replacement
// is not searched again. The result is cut to destCap - 1 bytes (by cut) and
// zero-terminated; returns its length.
u32 replaceAll(const char *source, char *dest, u32 destCap, const char *pattern, const char *replacement,
               TextCut cut);

// The offset of the first byte of text[0..length) equal to value, or length.
u32 findByte(const char *text, u32 length, u8 value);
// The offset of the first match of pattern (patternLength bytes) in
// text[0..length), or length; an empty pattern matches nowhere.
u32 findText(const char *text, u32 length, const char *pattern, u32 patternLength);

void copyMemory(void *dest, const void *source, u32 count);
void fillMemory(void *dest, u8 value, u32 count);
bool sameBytes(const void *a, const void *b, u32 count);
