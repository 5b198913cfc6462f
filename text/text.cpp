// text.cpp -- byte-string routines shared by the status text and the chat button
#include "text.h"

// A register's width: 4 bytes in the 32-bit module, 8 natively. LooseWord
// reads and writes one at any address and over bytes of any type.
typedef unsigned long Word;
typedef Word LooseWord __attribute__((may_alias, aligned(1)));
const u32 kWordBytes = sizeof(Word);
const u32 kBitsPerByte = 8;
const Word kLowBits = ~(Word)0 / 0xFF;                 // 0x01 in every byte
const Word kHighBits = kLowBits << (kBitsPerByte - 1); // 0x80 in every byte

// Nonzero exactly when some byte of word is zero.
static Word zeroByteIn(Word word)
{
    return (word - kLowBits) & ~word & kHighBits;
}

u32 textLength(const char *text)
{
    const char *p = text;
    for (;;) {
        if (!p[0]) return (u32)(p - text);
        if (!p[1]) return (u32)(p - text) + 1;
        if (!p[2]) return (u32)(p - text) + 2;
        if (!p[3]) return (u32)(p - text) + 3;
        p += 4;
    }
}

u32 unsignedText(u32 value, char *out)
{
    char digits[kUnsignedTextCap];
    u32 count = 0;
    do {
        digits[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value);
    for (u32 i = 0; i < count; i++)
        out[i] = digits[count - 1 - i];
    out[count] = 0;
    return count;
}

// Tag patterns are short and texts at most a few hundred bytes: a word-wide
// scan for the first byte beats building a shift table per call.
u32 findText(const char *text, u32 length, const char *pattern, u32 patternLength)
{
    if (patternLength == 0 || patternLength > length) return length;
    const u32 end = length - patternLength + 1; // one past the last offset a match can start at
    for (u32 p = 0; p < end; p++) {
        p += findByte(text + p, end - p, (u8)pattern[0]);
        if (p == end) break;
        if (sameBytes(text + p + 1, pattern + 1, patternLength - 1)) return p;
    }
    return length;
}

u32 utf8Boundary(const char *text, u32 len)
{
    // Step back over at most three continuation bytes to the last lead byte, and
    // drop that character only when fewer bytes follow it than it announces.
    u32 back = 0;
    while (back < 3 && back < len && ((u8)text[len - 1 - back] & 0xC0) == 0x80)
        back++;
    if (back == len) return len;
    const u8 lead = (u8)text[len - 1 - back];
    u32 announced = 0;
    if (lead >= 0xF0) announced = 3;
    else if (lead >= 0xE0) announced = 2;
    else if (lead >= 0xC0) announced = 1;
    return back < announced ? len - 1 - back : len;
}

const u32 kSurrogateFirst = 0xD800;
const u32 kLowSurrogateFirst = 0xDC00;
const u32 kSurrogateLast = 0xDFFF;
const u32 kSurrogateBits = 10;
const u32 kSupplementaryFirst = 0x10000;
const u32 kReplacementCharacter = 0xFFFD;
const u32 kUtf8MaxBytes = 4;

// The code point at units[*i], stepping *i past a surrogate pair.
static u32 codePointAt(const u16 *units, u32 count, u32 *i)
{
    const u32 unit = units[*i];
    if (unit < kSurrogateFirst || unit > kSurrogateLast) return unit;
    if (unit >= kLowSurrogateFirst || *i + 1 == count) return kReplacementCharacter;
    const u32 next = units[*i + 1];
    if (next < kLowSurrogateFirst || next > kSurrogateLast) return kReplacementCharacter;
    ++*i;
    return kSupplementaryFirst + ((unit - kSurrogateFirst) << kSurrogateBits) + (next - kLowSurrogateFirst);
}

u32 utf8FromUtf16(char *dest, u32 destCap, const u16 *units, u32 count)
{
    // The lead byte of an n-byte character carries n high bits, then the value's top.
    static const u8 leadMarks[kUtf8MaxBytes + 1] = {0, 0x00, 0xC0, 0xE0, 0xF0};
    if (destCap == 0) return 0;
    u32 used = 0;
    for (u32 i = 0; i < count; i++) {
        u32 c = codePointAt(units, count, &i);
        const u32 n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < kSupplementaryFirst ? 3 : kUtf8MaxBytes;
        if (n > destCap - 1 - used) break;
        u8 *out = (u8 *)dest + used;
        for (u32 k = n - 1; k > 0; k--, c >>= 6)
            out[k] = (u8)(0x80 | (c & 0x3F));
        out[0] = (u8)(leadMarks[n] | c);
        used += n;
    }
    dest[used] = 0;
    return used;
}

void putPiece(PieceWriter *w, const char *piece, u32 count)
{
    if (w->cutShort) return;
    const u32 fit = count <= w->room - w->used ? count : w->room - w->used;
    copyMemory(w->dest + w->used, piece, fit);
    w->used += fit;
    w->cutShort = fit != count;
}

u32 endPieces(PieceWriter *w, TextCut cut)
{
    // Everything behind the cut is dropped, so only the end can split a character.
    if (w->cutShort && cut == cutUtf8) w->used = utf8Boundary(w->dest, w->used);
    w->dest[w->used] = 0;
    return w->used;
}

u32 copyBytes(char *dest, u32 destCap, const char *source, u32 sourceLength, TextCut cut)
{
    if (destCap == 0) return 0;
    PieceWriter w = {dest, destCap - 1, 0, false};
    putPiece(&w, source, sourceLength);
    return endPieces(&w, cut);
}

u32 copyText(char *dest, u32 destCap, const char *source, TextCut cut)
{
    return copyBytes(dest, destCap, source, textLength(source), cut);
}

u32 appendText(char *dest, u32 destCap, const char *source, TextCut cut)
{
    const u32 used = textLength(dest);
    if (used >= destCap) return 0;
    return copyText(dest + used, destCap - used, source, cut);
}

u32 replaceAll(const char *source, char *dest, u32 destCap, const char *pattern, const char *replacement,
               TextCut cut)
{
    if (destCap == 0) return 0;
    const u32 sourceLength = textLength(source), patternLength = textLength(pattern);
    const u32 replacementLength = textLength(replacement);
    PieceWriter w = {dest, destCap - 1, 0, false};
    u32 from = 0; // source bytes before it are done
    while (!w.cutShort) {
        const u32 at = from + findText(source + from, sourceLength - from, pattern, patternLength);
        if (at == sourceLength) break;
        putPiece(&w, source + from, at - from);
        putPiece(&w, replacement, replacementLength);
        from = at + patternLength;
    }
    putPiece(&w, source + from, sourceLength - from);
    return endPieces(&w, cut);
}

u32 findByte(const char *text, u32 length, u8 value)
{
    const Word spread = kLowBits * value;
    u32 i = 0;
    // x86 reads a word at any address; only whole words inside the text are read.
    for (; length - i >= kWordBytes; i += kWordBytes) {
        // Little-endian: the lowest flagged byte comes first in memory, and
        // zeroByteIn never flags one below the first zero.
        const Word hits = zeroByteIn(*(const LooseWord *)(text + i) ^ spread);
        if (hits) return i + (u32)__builtin_ctzl(hits) / kBitsPerByte;
    }
    while (i < length && (u8)text[i] != value)
        i++;
    return i;
}

// The module's memcpy too (plugin/crt.cpp): were a loop here turned into a
// memcpy call, it would call itself, which the module's build flags prevent.
void copyMemory(void *dest, const void *source, u32 count)
{
    u8 *d = (u8 *)dest;
    const u8 *s = (const u8 *)source;
    u32 i = 0;
    for (; count - i >= kWordBytes; i += kWordBytes)
        *(LooseWord *)(d + i) = *(const LooseWord *)(s + i);
    for (; i < count; i++)
        d[i] = s[i];
}

void fillMemory(void *dest, u8 value, u32 count)
{
    u8 *d = (u8 *)dest;
    for (u32 i = 0; i < count; i++)
        d[i] = value;
}

bool sameBytes(const void *a, const void *b, u32 count)
{
    const u8 *x = (const u8 *)a;
    const u8 *y = (const u8 *)b;
    for (u32 i = 0; i < count; i++)
        if (x[i] != y[i]) return false;
    return true;
}
