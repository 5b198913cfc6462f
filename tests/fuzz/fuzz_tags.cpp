// fuzz_tags.cpp -- expandTags() byte for byte against a plain std::string rendering of its pass-by-pass rules
#include "expand_ref.h"

// Input, read front to back (missing bytes read as zero):
//   flags (1), five player answers (5 x 4), output capacity (2), track length
//   (2), the track's bytes, and the rest for the text.
const u8 kFlagUtf8Cut = 1;   // expandTags cuts by UTF-8
const u8 kFlagDress = 2;     // bytes from kFirstTagByte up stand for tags and their pieces
const u8 kFlagUtf8Map = 4;   // other high bytes become whole UTF-8 characters
const u8 kShiftAt = 3;       // bits 3-4: work, scratch and out start this many bytes off their alignment
const u8 kShiftMask = 3;

const u32 kOutCapRange = kWorkCap + 40;
const u32 kTrackRange = 2 * kTrackCap;

// Bytes never seen in UTF-8: whole tags, and pieces that only become tags
// once a replacement sits beside them.
const u8 kFirstTagByte = 0xF5;
const char *const kTagPieces[] = {kTagTrack, kTagBitRate, kTagSampleRate, kTagChannels, kTagLength, kTagPosition,
                                  "%",       "%track",    "%bit",         "rate%",      "%%"};
const char *const kUtf8Characters[] = {"\xD0\x96", "\xE2\x82\xAC", "\xF0\x9F\x8E\xB5", "\xC3\xA9"};

static std::string dress(const std::string &raw, u8 flags)
{
    std::string out;
    for (const char c : raw) {
        const u8 b = (u8)c;
        if ((flags & kFlagDress) && b >= kFirstTagByte) out += kTagPieces[b - kFirstTagByte];
        else if ((flags & kFlagUtf8Map) && b >= 0x80) out += kUtf8Characters[b % dimof(kUtf8Characters)];
        else out += c;
    }
    return cString(out);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader in = {data, size};
    const u8 flags = in.byte();
    const PlayerAnswers answers = readAnswers(in);
    const u32 outCap = in.le16() % kOutCapRange;
    const u32 trackLength = in.le16() % kTrackRange;
    // The track and the text as their buffers hold them: kTrackCap and kWorkCap bytes with the zero.
    const std::string track = dress(in.bytes(trackLength), flags).substr(0, kTrackCap - 1);
    const std::string text = dress(in.bytes(in.left), flags).substr(0, kWorkCap - 1);
    const TextCut cut = (flags & kFlagUtf8Cut) ? cutUtf8 : cutBytes;
    const u32 shift = (flags >> kShiftAt) & kShiftMask;

    // Exact sizes, so that a read past the track's zero or a buffer's end is an ASan report.
    std::unique_ptr<char[]> trackBuffer(new char[track.size() + 1]);
    memcpy(trackBuffer.get(), track.c_str(), track.size() + 1);
    Guarded work(shift + kWorkCap), scratch(shift + kWorkCap), out(shift + outCap);
    char *workText = work.text() + shift;
    memcpy(workText, text.c_str(), text.size() + 1);

    const u32 n = expandTags(workText, scratch.text() + shift, out.text() + shift, outCap, trackBuffer.get(), &answers,
                             cut);
    check(work.guardsIntact() && scratch.guardsIntact() && out.guardsIntact());
    if (outCap == 0) {
        check(n == 0);
        return 0;
    }
    const std::string expected = expandRef(text, track, answers, outCap, cut);
    check(n == expected.size());
    check(memcmp(out.text() + shift, expected.data(), n) == 0);
    check(out.text()[shift + n] == 0);
    return 0;
}
