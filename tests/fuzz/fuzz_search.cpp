// fuzz_search.cpp -- findText() against a naive search, on exact-size copies so that a read past either is caught
#include "text/text.h"
#include "fuzz_check.h"

#include <vector>

// Input: two header bytes, then the pattern and the text.
//   0      flags: bits 1-2 alphabet
//   1      pattern length, modulo kPatternRange (at least one byte)
const size_t kHeaderBytes = 2;
const u32 kPatternRange = 16;
const u8 kAlphabetShift = 1;
const u8 kAlphabetMask = 3;

// Alphabets: raw bytes; two letters and a percent sign, so matches abound;
// whole UTF-8 characters of one to four bytes, so every text is valid; raw
// bytes below 0x80 with whole characters for the others.
enum Alphabet { alphabetRaw, alphabetSmall, alphabetUtf8, alphabetMixed };
const char kSmallLetters[] = "ab%";
const char *const kUtf8Characters[] = {"a", "%", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x8E\xB5"};

// The first offset the pattern matches at, or the text's length.
static size_t naiveFind(const std::vector<u8> &text, const std::vector<u8> &pattern)
{
    for (size_t i = 0; i + pattern.size() <= text.size(); i++)
        if (memcmp(text.data() + i, pattern.data(), pattern.size()) == 0) return i;
    return text.size();
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

static void checkFind(const std::vector<u8> &textBytes, const std::vector<u8> &patternBytes)
{
    // Exact-size heap copies: any read outside them is an ASan report.
    std::vector<u8> text(textBytes), pattern(patternBytes);
    const u32 got = findText((const char *)text.data(), (u32)text.size(), (const char *)pattern.data(),
                             (u32)pattern.size());
    check(got == (pattern.empty() ? text.size() : naiveFind(text, pattern))); // an empty pattern matches nowhere
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < kHeaderBytes) return 0;
    const Alphabet alphabet = (Alphabet)((data[0] >> kAlphabetShift) & kAlphabetMask);
    const size_t patternLength = 1 + data[1] % kPatternRange;

    const u8 *rest = data + kHeaderBytes;
    size_t left = size - kHeaderBytes;
    const std::vector<u8> pattern = take(rest, left, patternLength, alphabet);
    const std::vector<u8> text = take(rest, left, left, alphabet);
    if (!pattern.empty()) checkFind(text, pattern);
    checkFind(text, std::vector<u8>());
    return 0;
}
