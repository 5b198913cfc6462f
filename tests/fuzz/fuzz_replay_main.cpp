// fuzz_replay_main.cpp -- feeds saved inputs and built-in seeds to a fuzz target, for test runs without libFuzzer
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <string>
#include <vector>
#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

// Built-in seeds: every one-byte input, then pseudo-random inputs of every
// length class, the same on every run.
const unsigned kRandomSeeds = 3000;
const size_t kRandomLengthRange = 1600;
const uint32_t kRandomStart = 20240601;
// A few byte values that texts, tags and track titles are made of.
const uint8_t kFewBytes[] = {'%', 'a', ' ', 0xF9};

static uint32_t nextRandom(uint32_t &state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

static void run(const std::vector<uint8_t> &input)
{
    // A copy of the exact size, so that a read past the input is caught.
    std::vector<uint8_t> copy(input);
    copy.shrink_to_fit();
    LLVMFuzzerTestOneInput(copy.empty() ? nullptr : copy.data(), copy.size());
}

static unsigned runSeeds()
{
    unsigned count = 0;
    run({});
    count++;
    for (unsigned b = 0; b < 256; b++, count++)
        run({(uint8_t)b});
    uint32_t state = kRandomStart;
    for (unsigned i = 0; i < kRandomSeeds; i++, count++) {
        // Short inputs most of the time, as the targets read a header first.
        const size_t length = (i % 4 == 0) ? nextRandom(state) % kRandomLengthRange : nextRandom(state) % 96;
        // Some inputs draw from few byte values, so texts repeat and match.
        const bool few = i % 3 == 0;
        std::vector<uint8_t> input(length);
        for (uint8_t &b : input)
            b = few ? kFewBytes[nextRandom(state) % sizeof(kFewBytes)] : (uint8_t)nextRandom(state);
        run(input);
    }
    return count;
}

static bool readFile(const std::string &path, std::vector<uint8_t> &bytes)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes.clear();
    int c;
    while ((c = fgetc(file)) != EOF)
        bytes.push_back((uint8_t)c);
    fclose(file);
    return true;
}

// Runs every regular file of the folder; -1 when the folder cannot be read.
static int runFolder(const std::string &folder)
{
    DIR *dir = opendir(folder.c_str());
    if (!dir) return -1;
    std::vector<std::string> names;
    while (dirent *entry = readdir(dir))
        if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    int count = 0;
    std::vector<uint8_t> input;
    for (const std::string &name : names) {
        const std::string path = folder + "/" + name;
        if (!readFile(path, input)) {
            fprintf(stderr, "cannot read %s\n", path.c_str());
            return -1;
        }
        run(input);
        count++;
    }
    return count;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s CORPUS-FOLDER...\n", argv[0]);
        return 2;
    }
    int saved = 0;
    for (int i = 1; i < argc; i++) {
        const int n = runFolder(argv[i]);
        // An empty or missing folder would let the test pass on nothing.
        if (n <= 0) {
            fprintf(stderr, "%s: no saved inputs found\n", argv[i]);
            return 1;
        }
        saved += n;
    }
    const unsigned seeds = runSeeds();
    printf("%s: %d saved inputs and %u built-in seeds passed\n", argv[0], saved, seeds);
    return 0;
}
