// status.cpp -- the status-text event: string A as it came, string B with its tags expanded
#include "status.h"
#include "track.h"
#include "../host/host.h"

const u8 *statusText(const u8 *message, u8 *answer, u32 answerCap)
{
    detectTrack(trackUtf8);
    PlayerAnswers answers;
    askPlayer(&answers);
    // One byte stays free behind the payload for the expanded text's zero.
    u32 payloadCap = answerCap - 1;
    if (payloadCap > kOutPayloadCap) payloadCap = kOutPayloadCap;
    const u32 n = layoutStatusAnswer(message, answer, payloadCap, g_work, g_scratch, g_trackName, &answers);
    return n ? frame(answer, n) : NULL;
}
