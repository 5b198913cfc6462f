// fuzz_tags.cpp -- expandTags() with hostile texts and tracks: its bounds, and what holds whatever the implementation
#include "track/expand.h"
#include "fuzz_check.h"

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

// Whether text holds the tag of a figure: any but the track's.
static bool holdsFigureTag(const std::string &text)
{
    for (const char *tag : {kTagBitRate, kTagSampleRate, kTagChannels, kTagLength, kTagPosition})
        if (text.find(tag) != std::string::npos) return true;
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader in = {data, size};
    const u8 flags = in.byte();
    const PlayerAnswers answers = {in.le32(), in.le32(), in.le32(), in.le32(), in.le32()};
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
    // Within the caller's room and zero-terminated; cut by UTF-8, valid text stays valid.
    const char *result = out.text() + shift;
    check(n < outCap && result[n] == 0 && strlen(result) == n);
    const std::string got(result, n);
    if (cut == cutUtf8 && validUtf8(text) && validUtf8(track)) check(validUtf8(got));
    // A text without a tag's mark comes back as it was.
    if (text.find('%') == std::string::npos) check(got == fitRef(text, outCap, cut));
    // Once the track's tags are replaced, a text that holds no figure's tag is done.
    char once[kWorkCap];
    const u32 m = replaceAll(text.c_str(), once, kWorkCap, kTagTrack, track.c_str(), cut);
    if (!holdsFigureTag(std::string(once, m))) check(got == fitRef(std::string(once, m), outCap, cut));
    return 0;
}
