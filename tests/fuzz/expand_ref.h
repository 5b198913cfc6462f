// expand_ref.h -- the expansion's rules written plainly with std::string, for the fuzz targets to compare against
#pragma once

#include "track/expand.h"
#include "fuzz_check.h"

// What a C string holds: up to the first zero.
static std::string cString(const std::string &bytes)
{
    return bytes.substr(0, strlen(bytes.c_str()));
}

// The five answers, as the fuzz input gives them.
static PlayerAnswers readAnswers(Reader &in)
{
    PlayerAnswers answers;
    answers.bitRate = in.le32();
    answers.sampleRate = in.le32();
    answers.channels = in.le32();
    answers.length = in.le32();
    answers.position = in.le32();
    return answers;
}

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

// Cut to fit cap bytes with the zero (cap >= 1).
static std::string fitRef(const std::string &text, u32 cap, TextCut cut)
{
    const size_t room = cap - 1;
    if (text.size() <= room) return text;
    return text.substr(0, cut == cutUtf8 ? utf8Cut(text, room) : room);
}

static std::string minutesRef(u32 seconds)
{
    char text[32];
    snprintf(text, sizeof(text), "%u:%02u", seconds / 60, seconds % 60);
    return text;
}

static std::string expandRef(const std::string &work, const std::string &track, const PlayerAnswers &a, u32 outCap,
                             TextCut cut)
{
    const u32 noAnswer = 0xFFFFFFFF;
    const std::string channels =
        a.channels == 1 ? "mono" : a.channels == 2 ? "stereo" : std::to_string(a.channels) + "ch";
    const std::string replacements[] = {
        track,
        std::to_string(a.bitRate),
        std::to_string(a.sampleRate),
        channels,
        minutesRef(a.length == noAnswer ? 0 : a.length),
        minutesRef(a.position == noAnswer ? 0 : a.position / 1000),
    };
    const char *const tags[] = {kTagTrack, kTagBitRate, kTagSampleRate, kTagChannels, kTagLength, kTagPosition};
    std::string text = cString(work);
    for (u32 i = 0; i < dimof(tags); i++) {
        const u32 cap = i + 1 < dimof(tags) ? kWorkCap : outCap;
        text = fitRef(referenceReplace(text, tags[i], replacements[i]), cap, cut);
    }
    return text;
}
