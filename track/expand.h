// expand.h -- track names cut from player titles and the six tags expanded: text in, text out
#pragma once

#include "../common/types.h"
#include "../text/text.h"

const u32 kPlayerNone = 0;
const u32 kPlayerWinamp = 1;
const u32 kPlayerLightAlloy = 2;

const char kWinampClass[] = "Winamp v1.x";
const char kLightAlloyClass[] = "LightAlloyFront";
const char kWinampTitleEnd[] = " - Winamp";
const char kPlaylistNumberEnd[] = ". ";
const char kLightAlloyTitleEnd[] = " - Light Alloy";

const u32 kTrackCap = 512;
const u32 kWorkCap = 512;
const u32 kNumberCap = 16;

// Winamp's window-message interface: WM_USER with the request in lParam.
const u32 kIpcGetInfo = 126;
const u32 kIpcGetOutputTime = 105;
const u32 kInfoSampleRate = 0;
const u32 kInfoBitRate = 1;
const u32 kInfoChannels = 2;
const u32 kOutputPosition = 0;
const u32 kOutputLength = 1;

// Every tag opens with kTagMark.
constexpr char kTagMark = '%';
constexpr char kTagTrack[] = "%track%";
constexpr char kTagBitRate[] = "%bitrate%";
constexpr char kTagSampleRate[] = "%samplerate%";
constexpr char kTagChannels[] = "%channels%";
constexpr char kTagLength[] = "%length%";
constexpr char kTagPosition[] = "%position%";

// The five figures a player answered, in the order they are asked.
struct PlayerAnswers {
    u32 bitRate;
    u32 sampleRate;
    u32 channels;
    u32 length;   // seconds
    u32 position; // milliseconds
};

struct PlayerQuestion {
    u32 wParam;
    u32 lParam;
};
const u32 kQuestionCount = 5;
// The questions of one event, in the order they are asked: the order of PlayerAnswers.
const PlayerQuestion kQuestions[kQuestionCount] = {
    {kInfoBitRate, kIpcGetInfo},
    {kInfoSampleRate, kIpcGetInfo},
    {kInfoChannels, kIpcGetInfo},
    {kOutputLength, kIpcGetOutputTime},
    {kOutputPosition, kIpcGetOutputTime},
};

// Cuts the track name of a player of the given kind out of its window title
// into track (trackCap bytes); an unexpected title gives an empty name.
u32 trackFromTitle(u32 kind, const char *title, char *track, u32 trackCap, TextCut cut);

u32 channelsText(u32 channels, char *out, u32 outCap);
u32 minutesText(u32 seconds, char *out, u32 outCap);

// Expands the six tags of the zero-terminated text in work as one pass per tag
// would, each intermediate held to kWorkCap - 1 bytes; the result lands in out
// (outCap bytes). Work and scratch are kWorkCap bytes each and may be overwritten.
u32 expandTags(char *work, char *scratch, char *out, u32 outCap, const char *track, const PlayerAnswers *answers,
               TextCut cut);
// Whether expanding the text in work would use the track's name at all: the
// first pass is the track's, so only a tag in the text itself brings it in.
bool needsTrackName(const char *work);
