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

// In the order of the passes: the track's, then the figures' in the order of PlayerAnswers.
enum { tagTrack, tagBitRate, tagSampleRate, tagChannels, tagLength, tagPosition, tagCount };
const char *const kTags[tagCount] = {kTagTrack, kTagBitRate, kTagSampleRate, kTagChannels, kTagLength, kTagPosition};
// unsignedText writes a figure's whole text, kUnsignedTextCap bytes at most.
static_assert(kNumberCap >= kUnsignedTextCap, "a number fits a figure's buffer");

u32 expandTags(char *work, char *scratch, char *out, u32 outCap, const char *track, const PlayerAnswers *answers,
               TextCut cut)
{
    char figures[tagCount][kNumberCap];
    unsignedText(answers->bitRate, figures[tagBitRate]);
    unsignedText(answers->sampleRate, figures[tagSampleRate]);
    channelsText(answers->channels, figures[tagChannels], kNumberCap);
    minutesText(seconds(answers->length, 1), figures[tagLength], kNumberCap);
    minutesText(seconds(answers->position, kMillisecondsPerSecond), figures[tagPosition], kNumberCap);
    const char *const values[tagCount] = {track,          figures[tagBitRate], figures[tagSampleRate],
                                          figures[tagChannels], figures[tagLength], figures[tagPosition]};

    // One pass for each tag, each over the result of the one before, so tag
    // text that an earlier replacement brought in is expanded by a later pass.
    // Every result but the last is held to kWorkCap - 1 bytes.
    char *text = work, *spare = scratch;
    u32 n = 0;
    for (u32 tag = 0; tag < tagCount; tag++) {
        const bool last = tag + 1 == tagCount;
        char *const result = last ? out : spare;
        n = replaceAll(text, result, last ? outCap : kWorkCap, kTags[tag], values[tag], cut);
        spare = text;
        text = result;
    }
    return n;
}

static bool holdsText(const char *work, const char *tag)
{
    const u32 length = textLength(work);
    return findText(work, length, tag, textLength(tag)) < length;
}

bool holdsTag(const char *work)
{
    for (const char *tag : kTags)
        if (holdsText(work, tag)) return true;
    return false;
}

bool needsTrackName(const char *work)
{
    return holdsText(work, kTagTrack);
}
