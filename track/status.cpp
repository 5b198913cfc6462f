// status.cpp -- the status-text event: string A as it came, string B with its tags expanded
#include "status.h"
#include "track.h"
#include "../host/host.h"

const u8 *statusText(const u8 *message)
{
    u8 *answer = answerPayload();
    const u32 resultAt = startStatusAnswer(message, answer, kOutPayloadCap, g_work);
    // The player is asked as always; its title is read only when the text names the track.
    detectTrack(trackUtf8, resultAt && needsTrackName(g_work));
    PlayerAnswers answers;
    askPlayer(&answers);
    if (!resultAt) return NULL;
    return frameAnswer(finishStatusAnswer(answer, kOutPayloadCap, resultAt, g_work, g_scratch, g_trackName, &answers));
}
