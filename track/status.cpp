// status.cpp -- the status-text event: string A as it came, string B with its tags expanded
#include "status.h"
#include "track.h"
#include "../host/host.h"

const u8 *statusText(const u8 *message)
{
    detectTrack(trackUtf8);
    PlayerAnswers answers;
    askPlayer(&answers);
    const u32 n = layoutStatusAnswer(message, answerPayload(), kOutPayloadCap, g_work, g_scratch, g_trackName, &answers);
    return n ? frameAnswer(n) : NULL;
}
