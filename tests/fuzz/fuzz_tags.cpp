// fuzz_tags.cpp -- expandTags() byte for byte against a plain std::string rendering of its pass-by-pass rules
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

static std::string dress(const std::string &raw, u8 flags)
{
    std::string out;
    for (const char c : raw) {
        const u8 b = (u8)c;
        if ((flags & kFlagDress) && b >= kFirstTagByte) out += kTagPieces[b - kFirstTagByte];
        else if ((flags & kFlagUtf8Map) && b >= 0x80) out += kUtf8Characters[b % dimof(kUtf8Characters)];
        else out += c;
    }
    // What a C string holds: up to the first zero.
    return out.substr(0, strlen(out.c_str()));
}

// ---- The rules, written plainly with std::string.

static bool isContinuation(char c)
{
    return ((u8)c & 0xC0) == 0x80;
}

// How many bytes follow a lead byte in the cut rule: a byte from 0xF0 up counts as a four-byte lead.
static size_t announcedBytes(char c)
{
    const u8 b = (u8)c;
    return b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
}

// The first room bytes of text, less a last character that they hold only in
// part. The last lead byte is looked for at most three bytes back, so a longer
// run of stray continuation bytes is kept whole.
static size_t utf8Cut(const std::string &text, size_t room)
{
    size_t back = 0;
    while (back < 3 && back < room && isContinuation(text[room - 1 - back]))
        back++;
    if (back == room) return room;
    const size_t lead = room - 1 - back;
    return back < announcedBytes(text[lead]) ? lead : room;
}

static std::string fit(const std::string &text, u32 cap, TextCut cut)
{
    const size_t room = cap - 1;
    if (text.size() <= room) return text;
    return text.substr(0, cut == cutUtf8 ? utf8Cut(text, room) : room);
}

static std::string minutes(u32 seconds)
{
    char text[32];
    snprintf(text, sizeof(text), "%u:%02u", seconds / 60, seconds % 60);
    return text;
}

static std::string expandPlainly(const std::string &text, const std::string &track, const PlayerAnswers &a,
                                 u32 outCap, TextCut cut)
{
    const u32 noAnswer = 0xFFFFFFFF;
    const struct {
        const char *tag;
        std::string replacement;
    } passes[] = {
        {"%track%", track},
        {"%bitrate%", std::to_string(a.bitRate)},
        {"%samplerate%", std::to_string(a.sampleRate)},
        {"%channels%", a.channels == 1 ? "mono" : a.channels == 2 ? "stereo" : std::to_string(a.channels) + "ch"},
        {"%length%", minutes(a.length == noAnswer ? 0 : a.length)},
        {"%position%", minutes(a.position == noAnswer ? 0 : a.position / 1000)},
    };
    std::string result = text;
    for (size_t i = 0; i < dimof(passes); i++) {
        const bool last = i + 1 == dimof(passes);
        result = fit(referenceReplace(result, passes[i].tag, passes[i].replacement), last ? outCap : kWorkCap, cut);
    }
    return result;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader in = {data, size};
    const u8 flags = in.byte();
    PlayerAnswers answers;
    answers.bitRate = in.le32();
    answers.sampleRate = in.le32();
    answers.channels = in.le32();
    answers.length = in.le32();
    answers.position = in.le32();
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
    const std::string expected = expandPlainly(text, track, answers, outCap, cut);
    check(n == expected.size());
    check(memcmp(out.text() + shift, expected.data(), n) == 0);
    check(out.text()[shift + n] == 0);
    return 0;
}
