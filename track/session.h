// session.h -- what the system's media session gives: a playing session's name and its figures
#pragma once

#include "expand.h"

// The session's playback status, as Windows numbers it; only Playing counts.
const i32 kSessionPlaying = 4;
// The name "Artist - Title" is held to what a title read gives, in UTF-16 units.
const u32 kSessionNameCap = 254;
// The session's times are counts of 100 ns; LastUpdatedTime counts them from
// 1601, as a FILETIME does.
const u32 kSessionTicksPerSecond = 10000000;
const u32 kSessionTicksPerMillisecond = 10000;

// One read of the system's media session.
struct SessionRead {
    bool playing; // a Playing session with a title was read
    u16 name[kSessionNameCap];
    u32 nameUnits;
    int64_t start, end, position, lastUpdated;
};

// The read's figures at now (a FILETIME count): the length is end - start in
// seconds; the position, in ms, is the one Windows last noted plus the time
// since, as it plays, and no more than the length. Nothing else is given.
void sessionFigures(const SessionRead *read, int64_t now, PlayerAnswers *answers);
