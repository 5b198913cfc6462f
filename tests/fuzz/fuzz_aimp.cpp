// fuzz_aimp.cpp -- readAimpMapping() on arbitrary mappings: never reads past them, and names what a plain reading names
#include "common/le.h"
#include "track/players.h"
#include "fuzz_check.h"

#include <vector>

// Input: the name's capacity in units (1 byte), then the mapping, of any size.
const size_t kMappingRange = kAimpMappingSize + 64;

// The name as a plain reading of the mapping gives it, uncut; false when a
// string runs past the mapping's end.
static bool nameRef(const u8 *m, size_t size, std::vector<u16> *name)
{
    if (size > kAimpMappingSize) size = kAimpMappingSize;
    if (size < kAimpHeaderSize) return false;
    std::vector<u16> strings[aimpStringCount];
    size_t at = kAimpHeaderSize;
    for (u32 i = 0; i < aimpStringCount; i++) {
        const uint64_t length = getLe32(m + kAimpLengthsAt + 4 * i);
        if (length > (size - at) / 2) return false;
        for (uint64_t k = 0; k < length; k++, at += 2)
            strings[i].push_back(getLe16(m + at));
    }
    const std::vector<u16> &artist = strings[aimpArtist], &title = strings[aimpTitle], &file = strings[aimpFileName];
    if (!title.empty()) {
        if (!artist.empty()) {
            *name = artist;
            name->insert(name->end(), {' ', '-', ' '});
        }
        name->insert(name->end(), title.begin(), title.end());
    } else {
        size_t start = file.size();
        while (start && file[start - 1] != '\\' && file[start - 1] != '/')
            start--;
        name->assign(file.begin() + start, file.end());
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader in = {data, size};
    const u32 nameCap = in.byte();
    const std::string bytes = in.bytes(kMappingRange);
    // An exact-size copy, so a read past the mapping's end is an ASan report.
    std::unique_ptr<u8[]> mapping(new u8[bytes.size() + 1]);
    memcpy(mapping.get(), bytes.data(), bytes.size());

    Guarded name((nameCap + 1) * 2);
    bool active = true;
    PlayerAnswers figures;
    const u32 units = readAimpMapping(mapping.get(), (u32)bytes.size(), &active, &figures, (u16 *)name.data(), nameCap);
    check(name.guardsIntact());
    check(units <= nameCap);

    std::vector<u16> expected;
    if (!nameRef(mapping.get(), bytes.size(), &expected)) {
        check(units == 0 && !active && figures.bitRate == 0 && figures.sampleRate == 0 && figures.length == 0);
        return 0;
    }
    check(active == (getLe32(mapping.get() + kAimpActiveAt) != 0));
    // kbps, kHz and seconds, as every player's figures; no position in the mapping.
    check(figures.bitRate == getLe32(mapping.get() + kAimpBitRateAt));
    check(figures.sampleRate == getLe32(mapping.get() + kAimpSampleRateAt) / 1000);
    check(figures.channels == getLe32(mapping.get() + kAimpChannelsAt));
    check(figures.length == getLe32(mapping.get() + kAimpDurationAt) / 1000 && figures.position == 0);
    // Cut to the capacity, and one unit less where that would split a surrogate pair.
    u32 fit = expected.size() < nameCap ? (u32)expected.size() : nameCap;
    if (fit < expected.size() && fit && expected[fit - 1] >= 0xD800 && expected[fit - 1] <= 0xDBFF) fit--;
    check(units == fit);
    check(units == 0 || memcmp(name.data(), expected.data(), units * 2) == 0);
    return 0;
}
