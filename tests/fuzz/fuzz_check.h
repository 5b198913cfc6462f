// fuzz_check.h -- what the fuzz targets share: checks, guarded buffers, strict UTF-8, a plain cut, an input reader
#pragma once

#include "common/types.h"
#include "text/text.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <memory>
#include <string>

const u32 kGuardBytes = 16;
const u8 kGuard = 0xA5;

// libFuzzer and the replay both take an abort as a finding.
static inline void fail(const char *file, int line, const char *what)
{
    fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    abort();
}
#define check(cond) ((cond) ? (void)0 : fail(__FILE__, __LINE__, #cond))

// Takes the fuzz input apart field by field; past its end every field is zero.
struct Reader {
    const u8 *data;
    size_t left;

    u8 byte()
    {
        if (!left) return 0;
        left--;
        return *data++;
    }
    u32 le16() { return byte() | (u32)byte() << 8; }
    u32 le32() { return le16() | le16() << 16; }
    std::string bytes(size_t count)
    {
        if (count > left) count = left;
        std::string piece((const char *)data, count);
        data += count;
        left -= count;
        return piece;
    }
};

// A guarded heap buffer: ASan sees far overruns, the guards near ones.
class Guarded {
public:
    explicit Guarded(size_t size) : size_(size), bytes_(new u8[size + 2 * kGuardBytes])
    {
        memset(bytes_.get(), kGuard, size + 2 * kGuardBytes);
    }
    u8 *data() { return bytes_.get() + kGuardBytes; }
    char *text() { return (char *)data(); }
    bool guardsIntact() const
    {
        for (u32 i = 0; i < kGuardBytes; i++)
            if (bytes_[i] != kGuard || bytes_[kGuardBytes + size_ + i] != kGuard) return false;
        return true;
    }

private:
    size_t size_;
    std::unique_ptr<u8[]> bytes_;
};

// Strict UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
static inline bool validUtf8(const std::string &text)
{
    const u8 *s = (const u8 *)text.data();
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const u8 b = s[i];
        size_t need;
        u32 code;
        if (b < 0x80) {
            i++;
            continue;
        }
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            code = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            code = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            code = b & 0x07;
        } else {
            return false;
        }
        if (i + need >= n) return false;
        for (size_t k = 1; k <= need; k++) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            code = code << 6 | (s[i + k] & 0x3F);
        }
        if ((need == 2 && code < 0x800) || (need == 3 && code < 0x10000) || code > 0x10FFFF ||
            (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += need + 1;
    }
    return true;
}

static inline bool isContinuation(char c)
{
    return ((u8)c & 0xC0) == 0x80;
}

// How many bytes follow a lead byte in the cut rule: a byte from 0xF0 up counts as a four-byte lead.
static inline size_t announcedBytes(char c)
{
    const u8 b = (u8)c;
    return b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
}

// The first room bytes of text, less a last character that they hold only in
// part. The last lead byte is looked for at most three bytes back, so a longer
// run of stray continuation bytes is kept whole.
static inline size_t utf8Cut(const std::string &text, size_t room)
{
    size_t back = 0;
    while (back < 3 && back < room && isContinuation(text[room - 1 - back]))
        back++;
    if (back == room) return room;
    const size_t lead = room - 1 - back;
    return back < announcedBytes(text[lead]) ? lead : room;
}

// Cut to fit cap bytes with the zero (cap >= 1).
static inline std::string fitRef(const std::string &text, u32 cap, TextCut cut)
{
    const size_t room = cap - 1;
    if (text.size() <= room) return text;
    return text.substr(0, cut == cutUtf8 ? utf8Cut(text, room) : room);
}

// What a C string holds: up to the first zero.
static inline std::string cString(const std::string &bytes)
{
    return bytes.substr(0, strlen(bytes.c_str()));
}
