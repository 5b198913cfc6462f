// expand.cpp -- cutting track names out of titles and expanding the six tags
#include "expand.h"
#include "../common/le.h"
#include "../host/wire.h"

const char kMono[] = "mono";
const char kStereo[] = "stereo";
const char kChannelsSuffix[] = "ch";
const u32 kSecondsPerMinute = 60;
const u32 kMillisecondsPerSecond = 1000;
const u32 kNoAnswer = 0xFFFFFFFF; // Winamp's -1

static i32 find(const char *text, u32 textLength, const char *pattern, u32 patternLength)
{
    return search(0, (const u8 *)text, textLength, (const u8 *)pattern, patternLength);
}

u32 trackFromTitle(u32 kind, const char *title, char *track, u32 trackCap, TextCut cut)
{
    const u32 titleLength = textLength(title);
    // An unexpected title leaves both at -1: an empty name.
    i32 from = -1, end = -1;
    if (kind == kPlayerWinamp) {
        end = find(title, titleLength, kWinampTitleEnd, sizeof(kWinampTitleEnd) - 1);
        const i32 number = end < 0 ? -1 : find(title, (u32)end, kPlaylistNumberEnd, sizeof(kPlaylistNumberEnd) - 1);
        if (number >= 0) from = number + (i32)sizeof(kPlaylistNumberEnd) - 1;
    } else if (kind == kPlayerLightAlloy) {
        end = find(title, titleLength, kLightAlloyTitleEnd, sizeof(kLightAlloyTitleEnd) - 1);
        from = 0;
    }
    if (from < 0 || end < 0) from = end = 0;
    return copyBytes(track, trackCap, title + from, (u32)(end - from), cut);
}

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
    if (channels == 1) return copyText(out, outCap, kMono, cutBytes);
    if (channels == 2) return copyText(out, outCap, kStereo, cutBytes);
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
    return answer == kNoAnswer ? 0 : answer / divisor;
}

static_assert(kTagTrack[0] == kTagMark && kTagBitRate[0] == kTagMark && kTagSampleRate[0] == kTagMark &&
                  kTagChannels[0] == kTagMark && kTagLength[0] == kTagMark && kTagPosition[0] == kTagMark,
              "a text without kTagMark is copied as it is");

u32 expandTags(char *work, char *scratch, char *out, u32 outCap, const char *track, const PlayerAnswers *answers,
               TextCut cut)
{
    // The work text and every pass's result fit kWorkCap - 1 bytes, so a pass
    // that finds no tag would give back its input whole: it is skipped. Without
    // kTagMark no pass finds anything, and only the caller's capacity can cut.
    char *text = work;
    char *spare = scratch;
    u32 size = textLength(work);
    if (findByte(text, size, kTagMark) == size) return copyBytes(out, outCap, text, size, cut);

    // The figures in the order of their tags, which follow the track's.
    enum { figureBitRate, figureSampleRate, figureChannels, figureLength, figurePosition, figureCount };
    static const char *const kTags[] = {kTagTrack,    kTagBitRate, kTagSampleRate,
                                        kTagChannels, kTagLength,  kTagPosition};
    static_assert(dimof(kTags) == 1 + figureCount, "the track's tag, then one for each figure");
    char figures[figureCount][kNumberCap];
    unsignedText(answers->bitRate, figures[figureBitRate]);
    unsignedText(answers->sampleRate, figures[figureSampleRate]);
    channelsText(answers->channels, figures[figureChannels], kNumberCap);
    minutesText(seconds(answers->length, 1), figures[figureLength], kNumberCap);
    minutesText(seconds(answers->position, kMillisecondsPerSecond), figures[figurePosition], kNumberCap);

    // Each pass works on the result of the one before, so tag text that an
    // earlier replacement brought in is expanded by a later pass.
    for (u32 i = 0; i < dimof(kTags); i++) {
        const bool last = i + 1 == dimof(kTags);
        const i32 first = find(text, size, kTags[i], textLength(kTags[i]));
        if (!last && first < 0) continue;
        char *const result = last ? out : spare;
        size = replaceBytesFrom(result, last ? outCap : kWorkCap, text, size, first, kTags[i],
                                i == 0 ? track : figures[i - 1], cut);
        spare = text;
        text = result;
    }
    return size;
}

bool needsTrackName(const char *work)
{
    return find(work, textLength(work), kTagTrack, sizeof(kTagTrack) - 1) >= 0;
}

u32 startStatusAnswer(const u8 *message, u8 *answer, u32 payloadCap, char *work)
{
    const u32 head = 1 + kLengthBytes; // kind and A's length
    const u8 *stringA = message + kStatusStringAAt;
    const u32 lengthA = getLe32(stringA);
    if (payloadCap < head + kLengthBytes || lengthA > payloadCap - head - kLengthBytes) return 0;

    answer[kKindAt] = kKindAnswer;
    copyMemory(answer + 1, stringA, kLengthBytes + lengthA);

    const u8 *stringB = stringA + kLengthBytes + lengthA;
    copyBytes(work, kWorkCap, (const char *)stringB + kLengthBytes, getLe32(stringB), cutUtf8);
    return head + lengthA + kLengthBytes;
}

u32 finishStatusAnswer(u8 *answer, u32 payloadCap, u32 resultAt, char *work, char *scratch, const char *track,
                       const PlayerAnswers *answers)
{
    u32 room = payloadCap - resultAt + 1; // the zero lands in the byte after the payload
    if (room > kWorkCap) room = kWorkCap;
    const u32 resultLength = expandTags(work, scratch, (char *)answer + resultAt, room, track, answers, cutUtf8);
    putLe32(answer + resultAt - kLengthBytes, resultLength);
    return resultAt + resultLength;
}

u32 layoutStatusAnswer(const u8 *message, u8 *answer, u32 payloadCap, char *work, char *scratch, const char *track,
                       const PlayerAnswers *answers)
{
    const u32 resultAt = startStatusAnswer(message, answer, payloadCap, work);
    return resultAt ? finishStatusAnswer(answer, payloadCap, resultAt, work, scratch, track, answers) : 0;
}
