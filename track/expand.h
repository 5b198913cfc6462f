// expand.h -- track names cut from player titles, tag expansion and the status-text answer
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

// Lays out the answer to a status-text event (kind first, no length field) in
// answer, at most payloadCap bytes: string A as it came, then B expanded.
// The answer buffer holds payloadCap + 1 bytes, for the zero behind the text.
// Returns the payload length, or 0 when string A alone leaves no room.
u32 layoutStatusAnswer(const u8 *message, u8 *answer, u32 payloadCap, char *work, char *scratch, const char *track,
                       const PlayerAnswers *answers);
// The same in two halves, so that the caller can see the text before it finds
// the track. The first lays out string A and takes string B into work (as a
// text of at most kWorkCap - 1 bytes, cut between characters); it returns the
// offset the expanded text goes to, or 0 when string A alone leaves no room.
// The second expands work there and returns the payload length.
u32 startStatusAnswer(const u8 *message, u8 *answer, u32 payloadCap, char *work);
u32 finishStatusAnswer(u8 *answer, u32 payloadCap, u32 resultAt, char *work, char *scratch, const char *track,
                       const PlayerAnswers *answers);
