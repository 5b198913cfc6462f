// fuzz_search.cpp -- search() and replaceAll() against naive references, with cuts, capacities and guard bytes
#include "text/text.h"
#include "fuzz_check.h"

#include <vector>

// Input: six header bytes, then the pattern, the replacement and the text.
//   0      flags: bit 0 cut by UTF-8, bits 1-2 alphabet, bit 3 start counted from the top of u32
//   1, 2   destination capacity, little-endian, modulo kCapRange
//   3      search start
//   4      pattern length, modulo kPatternRange
//   5      replacement length, modulo kReplacementRange
const size_t kHeaderBytes = 6;
const u32 kCapRange = 600;
const u32 kPatternRange = 16;
const u32 kReplacementRange = 64;
const u8 kFlagUtf8Cut = 1;
const u8 kAlphabetShift = 1;
const u8 kAlphabetMask = 3;
const u8 kFlagHighStart = 8;
const u32 kHighStart = 0xFFFFFF00;

// Alphabets: raw bytes; two letters and a percent sign, so matches abound;
// whole UTF-8 characters of one to four bytes, so every text is valid; raw
// bytes below 0x80 with whole characters for the others.
enum Alphabet { alphabetRaw, alphabetSmall, alphabetUtf8, alphabetMixed };
const char kSmallLetters[] = "ab%";
const char *const kUtf8Characters[] = {"a", "%", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x8E\xB5"};

static bool isContinuation(u8 byte)
{
    return (byte & 0xC0) == 0x80;
}

// The largest k <= room at which a character of the valid text starts (or the text ends).
static size_t characterBoundary(const std::string &text, size_t room)
{
    size_t k = room < text.size() ? room : text.size();
    while (k > 0 && k < text.size() && isContinuation((u8)text[k]))
        k--;
    return k;
}

static i32 naiveSearch(u32 start, const std::vector<u8> &text, const std::vector<u8> &pattern)
{
    if (pattern.size() < kSearchMinPattern) return kSearchRefused;
    for (size_t i = start; i + pattern.size() <= text.size(); i++)
        if (memcmp(text.data() + i, pattern.data(), pattern.size()) == 0) return (i32)i;
    return kSearchNoMatch;
}

static std::vector<u8> take(const u8 *&data, size_t &left, size_t count, Alphabet alphabet)
{
    if (count > left) count = left;
    std::vector<u8> bytes;
    for (size_t i = 0; i < count; i++) {
        const u8 b = data[i];
        if (alphabet == alphabetSmall) {
            bytes.push_back((u8)kSmallLetters[b % (sizeof(kSmallLetters) - 1)]);
        } else if (alphabet == alphabetUtf8 || (alphabet == alphabetMixed && b >= 0x80)) {
            const char *c = kUtf8Characters[b % dimof(kUtf8Characters)];
            bytes.insert(bytes.end(), c, c + strlen(c));
        } else {
            bytes.push_back(b);
        }
    }
    data += count;
    left -= count;
    return bytes;
}

// The C string the bytes hold: up to the first zero.
static std::string cString(const std::vector<u8> &bytes)
{
    std::string text(bytes.begin(), bytes.end());
    return text.substr(0, strlen(text.c_str()));
}

static void checkSearch(u32 start, const std::vector<u8> &textBytes, const std::vector<u8> &patternBytes)
{
    // Exact-size heap copies: any read outside them is an ASan report.
    std::vector<u8> text(textBytes), pattern(patternBytes);
    const i32 got = search(start, text.data(), (u32)text.size(), pattern.data(), (u32)pattern.size());
    check(got == naiveSearch(start, text, pattern));
}

static void checkReplace(const std::string &source, const std::string &pattern, const std::string &replacement,
                         u32 destCap, TextCut cut)
{
    Guarded buffer(destCap);
    char *dest = buffer.text();
    const u32 n = replaceAll(source.c_str(), dest, destCap, pattern.c_str(), replacement.c_str(), cut);
    check(buffer.guardsIntact());
    if (destCap == 0) {
        check(n == 0);
        return;
    }
    const u32 room = destCap - 1;
    check(n <= room);
    check(dest[n] == 0);

    const std::string full = referenceReplace(source, pattern, replacement);
    size_t keep = full.size();
    if (full.size() > room) {
        keep = room;
        if (cut == cutUtf8) {
            keep = utf8Boundary(full.data(), room);
            check(keep <= room);
            // On valid text the cut is the last character start not above the capacity.
            if (validUtf8(full)) check(keep == characterBoundary(full, room));
        }
    }
    check(n == keep);
    check(memcmp(dest, full.data(), n) == 0);
    // A valid pattern matches only whole characters of a valid source.
    if (cut == cutUtf8 && validUtf8(source) && validUtf8(pattern) && validUtf8(replacement))
        check(validUtf8(std::string(dest, n)));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < kHeaderBytes) return 0;
    const u8 flags = data[0];
    const u32 destCap = (u32)(data[1] | data[2] << 8) % kCapRange;
    const u32 start = data[3] | ((flags & kFlagHighStart) ? kHighStart : 0);
    const size_t patternLength = data[4] % kPatternRange;
    const size_t replacementLength = data[5] % kReplacementRange;
    const TextCut cut = (flags & kFlagUtf8Cut) ? cutUtf8 : cutBytes;
    const Alphabet alphabet = (Alphabet)((flags >> kAlphabetShift) & kAlphabetMask);

    const u8 *rest = data + kHeaderBytes;
    size_t left = size - kHeaderBytes;
    const std::vector<u8> pattern = take(rest, left, patternLength, alphabet);
    const std::vector<u8> replacement = take(rest, left, replacementLength, alphabet);
    const std::vector<u8> text = take(rest, left, left, alphabet);

    checkSearch(start, text, pattern);
    checkReplace(cString(text), cString(pattern), cString(replacement), destCap, cut);
    return 0;
}
