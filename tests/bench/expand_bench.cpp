// expand_bench.cpp -- the cost of expanding the six tags, and of a text without any, beside a plain copy of the same size for scale
#include "track/expand.h"

#include <benchmark/benchmark.h>

#include <string.h>
#include <string>

const char kTrack[] = "Artist - Song";
const PlayerAnswers kAnswers = {320, 44100, 2, 245, 65000};

// The longest text expandTags takes: all six tags, filled up to kWorkCap - 1 bytes.
static std::string fullTemplate()
{
    std::string text = "%track% [%bitrate% kbps, %samplerate% Hz, %channels%, %position%/%length%] ";
    while (text.size() < kWorkCap - 1)
        text += "text between the tags ";
    return text.substr(0, kWorkCap - 1);
}

// As long, with figures where the tags were and no '%' anywhere: nothing to expand.
static std::string plainTemplate()
{
    std::string text = "Artist - Song [320 kbps, 44100 Hz, stereo, 1:05/4:05] ";
    while (text.size() < kWorkCap - 1)
        text += "text between the tags ";
    return text.substr(0, kWorkCap - 1);
}

// expandTags consumes its work text, so each round puts it back first; that
// is one 512-byte copy by the C library's memcpy, so that it costs the same
// whatever copyMemory does, and small beside the copy benchmark below.
static void expandText(benchmark::State &state, const std::string &text)
{
    char work[kWorkCap], scratch[kWorkCap], out[kWorkCap];
    for (auto _ : state) {
        memcpy(work, text.c_str(), kWorkCap);
        benchmark::DoNotOptimize(expandTags(work, scratch, out, kWorkCap, kTrack, &kAnswers, cutUtf8));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (kWorkCap - 1));
}

static void expandAllTags(benchmark::State &state)
{
    expandText(state, fullTemplate());
}
BENCHMARK(expandAllTags);

// The text holds no '%': the expansion is no more than a copy of it.
static void expandNoTags(benchmark::State &state)
{
    expandText(state, plainTemplate());
}
BENCHMARK(expandNoTags);

static void copySameText(benchmark::State &state)
{
    const std::string text = fullTemplate();
    char out[kWorkCap];
    for (auto _ : state) {
        benchmark::DoNotOptimize(copyText(out, kWorkCap, text.c_str(), cutUtf8));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (kWorkCap - 1));
}
BENCHMARK(copySameText);

BENCHMARK_MAIN();
