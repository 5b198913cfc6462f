// expand.h -- the six tags expanded from a track's name and figures: text in, text out
#pragma once

#include "../common/types.h"
#include "../text/text.h"

const u32 kTrackCap = 512;
const u32 kWorkCap = 512;
const u32 kNumberCap = 16;
const u32 kMillisecondsPerSecond = 1000;
// A length or position of -1: the player has none now. It counts as 0.
const u32 kNoFigure = 0xFFFFFFFF;

constexpr char kTagTrack[] = "%track%";
constexpr char kTagBitRate[] = "%bitrate%";
constexpr char kTagSampleRate[] = "%samplerate%";
constexpr char kTagChannels[] = "%channels%";
constexpr char kTagLength[] = "%length%";
constexpr char kTagPosition[] = "%position%";

// A player's five figures, in the order of Winamp's questions; what a player gives no way to read is 0.
struct PlayerAnswers {
    u32 bitRate;
    u32 sampleRate;
    u32 channels;
    u32 length;   // seconds
    u32 position; // milliseconds
};

u32 channelsText(u32 channels, char *out, u32 outCap);
u32 minutesText(u32 seconds, char *out, u32 outCap);

// Expands the six tags of the zero-terminated text in work, one replace-all
// pass for each in the order of the tags above, each intermediate held to
// kWorkCap - 1 bytes; the result lands in out (outCap bytes). Work and scratch
// are kWorkCap bytes each and may be overwritten.
u32 expandTags(char *work, char *scratch, char *out, u32 outCap, const char *track, const PlayerAnswers *answers,
               TextCut cut);
// Whether the text in work holds any of the six tags.
bool holdsTag(const char *work);
// Whether expanding the text in work would use the track's name at all: the
// first pass is the track's, so only a tag in the text itself brings it in.
bool needsTrackName(const char *work);
