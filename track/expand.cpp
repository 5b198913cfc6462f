// expand.cpp -- the six tags expanded from a track's name and figures
#include "expand.h"

// The channel words name counts from kFirstNamedChannels up; other counts are
// written as a number and kChannelsSuffix.
const u32 kFirstNamedChannels = 1;
constexpr const char *kChannelWords[] = {"mono", "stereo"};
constexpr char kChannelsSuffix[] = "ch";
const u32 kSecondsPerMinute = 60;

// value in decimal, then tail.
static u32 numberWithTail(u32 value, const char *tail, char *out, u32 outCap)
{
    char number[kUnsignedTextCap];
    unsignedText(value, number);
    const u32 n = copyText(out, outCap, number, cutBytes);
    return n + copyText(out + n, outCap - n, tail, cutBytes);
}

u32 channelsText(u32 channels, char *out, u32 outCap)
{
    const u32 word = channels - kFirstNamedChannels;
    if (word < dimof(kChannelWords)) return copyText(out, outCap, kChannelWords[word], cutBytes);
    return numberWithTail(channels, kChannelsSuffix, out, outCap);
}

u32 minutesText(u32 seconds, char *out, u32 outCap)
{
    const u32 rest = seconds % kSecondsPerMinute;
    const char tail[] = {':', (char)('0' + rest / 10), (char)('0' + rest % 10), 0};
    return numberWithTail(seconds / kSecondsPerMinute, tail, out, outCap);
}

static u32 seconds(u32 answer, u32 divisor)
{
    return answer == kNoFigure ? 0 : answer / divisor;
}

// A text and its length.
struct Piece {
    const char *text;
    u32 length;
};

// A tag is a name between two marks, with no mark inside, so a tag that
// starts at a mark ends at the next one.
constexpr bool markedName(const char *tag)
{
    u32 i = 1;
    while (tag[i] && tag[i] != kTagMark)
        i++;
    return i > 1 && tag[0] == kTagMark && tag[i] == kTagMark && !tag[i + 1];
}

// In the order of the passes: the track's, then the figures' in the order of PlayerAnswers.
enum { tagTrack, tagBitRate, tagSampleRate, tagChannels, tagLength, tagPosition, tagCount };
constexpr const char *kTags[tagCount] = {kTagTrack,    kTagBitRate, kTagSampleRate,
                                         kTagChannels, kTagLength,  kTagPosition};
const u8 kTagLengths[tagCount] = {sizeof(kTagTrack) - 1,    sizeof(kTagBitRate) - 1, sizeof(kTagSampleRate) - 1,
                                  sizeof(kTagChannels) - 1, sizeof(kTagLength) - 1,  sizeof(kTagPosition) - 1};
static_assert(markedName(kTags[tagTrack]) && markedName(kTags[tagBitRate]) && markedName(kTags[tagSampleRate]) &&
                  markedName(kTags[tagChannels]) && markedName(kTags[tagLength]) && markedName(kTags[tagPosition]),
              "tags are read from mark to mark");

constexpr bool holdsByte(const char *text, char first, char last)
{
    for (u32 i = 0; text[i]; i++)
        if (text[i] >= first && text[i] <= last) return true;
    return false;
}

constexpr bool holds(const char *text, const char *piece)
{
    for (u32 i = 0; text[i]; i++) {
        u32 k = 0;
        while (piece[k] && text[i + k] == piece[k])
            k++;
        if (!piece[k]) return true;
    }
    return false;
}

// The one scan rests on this: a figure's text never completes a tag for a later
// pass. A text without a mark, put in among others, completes a tag only by lying
// inside the tag's name. Numbers, minutes and a count with kChannelsSuffix each
// hold a digit, which no tag's name holds; no channel word lies inside one either.
constexpr bool figuresCompleteNoTag()
{
    if (holdsByte(kChannelsSuffix, kTagMark, kTagMark)) return false;
    for (const char *word : kChannelWords)
        if (holdsByte(word, kTagMark, kTagMark)) return false;
    for (const char *tag : kTags) {
        if (holdsByte(tag, '0', '9') || holdsByte(tag, ':', ':')) return false;
        for (const char *word : kChannelWords)
            if (holds(tag, word)) return false;
    }
    return true;
}
static_assert(figuresCompleteNoTag(), "a figure's text never completes a tag");

const u32 kEveryTag = (1u << tagCount) - 1;
const u32 kNotAsPasses = 0xFFFFFFFF;

// The tag among those wanted names (bit i for kTags[i]) that text[0..length)
// is, from its first mark to its last, or tagCount. Both start with the mark.
static u32 tagAt(const char *text, u32 length, u32 wanted)
{
    u32 tag = 0;
    while (tag < tagCount && !((wanted >> tag & 1) && kTagLengths[tag] == length &&
                               sameBytes(text + 1, kTags[tag] + 1, length - 1)))
        tag++;
    return tag;
}

// Whether a track's name could complete a tag for a later pass: only a name of
// nothing but 'a'..'z', a piece of a tag's name, or one with a mark can.
static bool couldCompleteTag(Piece name)
{
    bool lettersOnly = true;
    for (u32 i = 0; i < name.length; i++) {
        if (name.text[i] == kTagMark) return true;
        if (name.text[i] < 'a' || name.text[i] > 'z') lettersOnly = false;
    }
    return lettersOnly;
}

// Copies text[0..size) into dest (destCap bytes, at least one; cut by cut and
// zero-terminated) with every tag that wanted names (bit i for kTags[i])
// replaced by values[i], left to right. As in a pass, a mark that closes a tag
// opens none.
// Wanting one tag makes that tag's pass. Wanting more gives what their passes,
// one after the other, would give, or kNotAsPasses: when a mark closes one tag
// and opens another (which of them is replaced depends on the passes' order);
// when the track's name could complete a tag for a later pass (the figures
// never can, figuresCompleteNoTag); or when a pass's result could have been
// cut, none being longer than the text with every value put in.
static u32 replaceTags(char *dest, u32 destCap, const char *text, u32 size, u32 wanted, const Piece *values,
                       TextCut cut)
{
    const bool several = (wanted & (wanted - 1)) != 0;
    PieceWriter w = {dest, destCap - 1, 0, false};
    u32 from = 0;         // text bytes before it are done
    u32 longest = size;   // the text and every value put in
    bool closing = false; // the mark closes a replaced tag
    for (u32 mark = findByte(text, size, kTagMark); mark < size;) {
        const u32 next = mark + 1 + findByte(text + mark + 1, size - mark - 1, kTagMark);
        if (next == size) break;
        const u32 tag = tagAt(text + mark, next + 1 - mark, wanted);
        const bool replace = tag < tagCount;
        if (several && replace &&
            (closing || (tag == tagTrack && couldCompleteTag(values[tag])) ||
             (longest += values[tag].length) > kWorkCap - 1))
            return kNotAsPasses;
        if (replace && !closing) {
            putPiece(&w, text + from, mark - from);
            putPiece(&w, values[tag].text, values[tag].length);
            from = next + 1;
        }
        closing = replace && !closing;
        mark = next;
    }
    putPiece(&w, text + from, size - from);
    return endPieces(&w, cut);
}

u32 expandTags(char *work, char *scratch, char *out, u32 outCap, const char *track, const PlayerAnswers *answers,
               TextCut cut)
{
    // Without kTagMark there is no tag, and only the caller's capacity can cut.
    u32 size = textLength(work);
    if (outCap == 0 || findByte(work, size, kTagMark) == size) return copyBytes(out, outCap, work, size, cut);

    char figures[tagCount][kNumberCap];
    Piece values[tagCount] = {{track, textLength(track)}};
    values[tagBitRate].length = unsignedText(answers->bitRate, figures[tagBitRate]);
    values[tagSampleRate].length = unsignedText(answers->sampleRate, figures[tagSampleRate]);
    values[tagChannels].length = channelsText(answers->channels, figures[tagChannels], kNumberCap);
    values[tagLength].length = minutesText(seconds(answers->length, 1), figures[tagLength], kNumberCap);
    values[tagPosition].length =
        minutesText(seconds(answers->position, kMillisecondsPerSecond), figures[tagPosition], kNumberCap);
    for (u32 tag = tagBitRate; tag < tagCount; tag++)
        values[tag].text = figures[tag];

    // Each tag has its pass, and each pass works on the result of the one
    // before, so tag text that an earlier replacement brought in is expanded by
    // a later pass, and each result is held to kWorkCap - 1 bytes. Mostly one
    // scan for every tag gives the same.
    const u32 once = replaceTags(out, outCap, work, size, kEveryTag, values, cut);
    if (once != kNotAsPasses) return once;
    char *text = work;
    char *spare = scratch;
    for (u32 tag = 0; tag < tagCount; tag++) {
        const bool last = tag + 1 == tagCount;
        char *const result = last ? out : spare;
        size = replaceTags(result, last ? outCap : kWorkCap, text, size, 1u << tag, values, cut);
        spare = text;
        text = result;
    }
    return size;
}

bool holdsTag(const char *work)
{
    const u32 length = textLength(work);
    for (u32 tag = 0; tag < tagCount; tag++)
        if (findText(work, length, kTags[tag], kTagLengths[tag]) < length) return true;
    return false;
}

bool needsTrackName(const char *work)
{
    const u32 length = textLength(work);
    return findText(work, length, kTagTrack, sizeof(kTagTrack) - 1) < length;
}
