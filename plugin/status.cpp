// status.cpp -- the status-text event: string A as it came, string B with its tags expanded
#include "status.h"
#include "../host/host.h"
#include "../host/wire.h"
#include "../track/track.h"

const u8 *statusText(const u8 *message)
{
    u8 *answer = answerPayload();
    CountedBytes stringB;
    const u32 textAt = startStatusAnswer(message, answer, kOutPayloadCap, &stringB);
    // String B as the expansion takes it: a text of at most kWorkCap - 1 bytes, cut between characters.
    if (textAt) copyBytes(g_work, kWorkCap, (const char *)stringB.bytes, stringB.length, cutUtf8);
    // The player is asked as always; its title is read only when the text names the track.
    detectTrack(trackUtf8, textAt ? g_work : "");
    PlayerAnswers answers;
    askPlayer(&answers);
    if (!textAt) return NULL;
    // The expanded text is held to kWorkCap - 1 bytes, as every text on the way is.
    u32 room = statusTextRoom(kOutPayloadCap, textAt);
    if (room > kWorkCap) room = kWorkCap;
    const u32 n = expandTags(g_work, g_scratch, (char *)answer + textAt, room, g_trackName, &answers, cutUtf8);
    return frameAnswer(finishStatusAnswer(answer, textAt, n));
}
