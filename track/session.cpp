// session.cpp -- the figures of a playing media session, from the times Windows gives
#include "session.h"

// The largest figure: kNoFigure (all ones) means "none" to the expansion.
const u32 kLargestFigure = kNoFigure - 1;
const int64_t kLargestTicks = 0x7FFFFFFFFFFFFFFF;
const int kTickBits = 64;

// ticks / perUnit, at most kLargestFigure, by shifting and subtracting: a
// 64-bit division would need the compiler's runtime, which the module does without.
static u32 figure(int64_t ticks, u32 perUnit)
{
    uint64_t quotient = 0, remainder = 0;
    for (int bit = kTickBits - 1; bit >= 0; bit--) {
        remainder = remainder << 1 | ((uint64_t)ticks >> bit & 1);
        if (remainder >= perUnit) {
            remainder -= perUnit;
            quotient |= (uint64_t)1 << bit;
        }
    }
    return quotient > kLargestFigure ? kLargestFigure : (u32)quotient;
}

void sessionFigures(const SessionRead *read, int64_t now, PlayerAnswers *answers)
{
    *answers = PlayerAnswers();
    // An application may give any times: none of them may wrap.
    const int64_t length = read->end > read->start && read->start >= 0 ? read->end - read->start : 0;
    int64_t position = read->position > 0 ? read->position : 0;
    // Windows notes the position only now and then.
    if (read->lastUpdated > 0 && now > read->lastUpdated) {
        const int64_t since = now - read->lastUpdated;
        position = since > kLargestTicks - position ? kLargestTicks : position + since;
    }
    // A length of 0 is unknown (a stream, say) and holds no position back.
    if (length && position > length) position = length;
    answers->length = figure(length, kSessionTicksPerSecond);
    answers->position = figure(position, kSessionTicksPerMillisecond);
}
