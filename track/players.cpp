// players.cpp -- the table of players, track names cut from their titles, and AIMP's mapping read
#include "players.h"
#include "../common/le.h"

const char kPotPlayerClass[] = "PotPlayer";
const char kPotPlayer64Class[] = "PotPlayer64";
const char kPotPlayerTitleEnd[] = " - PotPlayer";
const char kFoobarClass[] = "{97E27FAA-C0B3-4b8e-A693-ED7881E99FC1}";
// "Artist - Title [foobar2000]", or "... [foobar2000 v1.1]" from older versions;
// stopped, the title is "foobar2000 v..." alone.
const char kFoobarTitleEnd[] = " [foobar2000";
const char kMpcBeClass[] = "MPC-BE";
const char kMpcBeTitleEnd[] = " - MPC-BE";
// By default MPC-HC's title is the playing file's name, else one of these.
const char kMpcHcClass[] = "MediaPlayerClassicW";
const char kMpcHcIdleShort[] = "MPC-HC";
const char kMpcHcIdleLong[] = "Media Player Classic Home Cinema";

const Player kPlayers[kPlayerCount] = {
    {{kLightAlloyClass}, titleToEnding, kLightAlloyTitleEnd, {}, interfaceWinamp},
    {{kWinampClass}, titleWinamp, kWinampTitleEnd, {}, interfaceWinamp},
    {{kAimpRemoteName}, titleNone, nullptr, {}, interfaceAimp},
    {{kPotPlayerClass, kPotPlayer64Class}, titleToEnding, kPotPlayerTitleEnd, {}, interfacePotPlayer},
    {{kFoobarClass}, titleToEnding, kFoobarTitleEnd, {}, interfaceNone},
    {{kMpcBeClass}, titleToEnding, kMpcBeTitleEnd, {}, interfaceNone},
    {{kMpcHcClass}, titleWhole, nullptr, {kMpcHcIdleShort, kMpcHcIdleLong}, interfaceNone},
};

static bool isIdleTitle(const Player &player, const char *title, u32 titleLength)
{
    for (const char *idle : player.idleTitles)
        if (idle && textLength(idle) == titleLength && sameBytes(idle, title, titleLength)) return true;
    return false;
}

u32 trackFromTitle(const Player *player, const char *title, char *track, u32 trackCap, TextCut cut)
{
    const u32 titleLength = textLength(title);
    // A title the rule does not fit leaves both at 0: an empty name.
    u32 from = 0, end = 0;
    if (player) {
        const u32 endAt =
            player->ending ? findText(title, titleLength, player->ending, textLength(player->ending)) : titleLength;
        switch (player->rule) {
        case titleWinamp: {
            const u32 number = findText(title, endAt, kPlaylistNumberEnd, sizeof(kPlaylistNumberEnd) - 1);
            if (endAt < titleLength && number < endAt) {
                from = number + sizeof(kPlaylistNumberEnd) - 1;
                end = endAt;
            }
            break;
        }
        case titleToEnding:
            if (endAt < titleLength) end = endAt;
            break;
        case titleWhole:
            if (!isIdleTitle(*player, title, titleLength)) end = titleLength;
            break;
        case titleNone:
            end = titleLength;
            break;
        }
    }
    return copyBytes(track, trackCap, title + from, end - from, cut);
}

const u32 kUnitBytes = 2; // a UTF-16 unit
const u32 kHertzPerKilohertz = 1000;
const u32 kFieldBytes = 4;
const u16 kHighSurrogateFirst = 0xD800;
const u16 kHighSurrogateLast = 0xDBFF;
const u16 kArtistTitleSeparator[] = {' ', '-', ' '};
const u16 kFolderSeparators[] = {'\\', '/'};

// A UTF-16 name built unit by unit: at most cap units, then nothing more.
struct UnitWriter {
    u16 *name;
    u32 cap;
    u32 used;
    bool cutShort;
};

static void putUnit(UnitWriter *w, u16 unit)
{
    w->cutShort = w->cutShort || w->used == w->cap;
    if (!w->cutShort) w->name[w->used++] = unit;
}

static void putUnits(UnitWriter *w, const u8 *bytes, u32 count)
{
    for (u32 i = 0; i < count && !w->cutShort; i++)
        putUnit(w, getLe16(bytes + i * kUnitBytes));
}

static bool isFolderSeparator(u16 unit)
{
    for (u16 separator : kFolderSeparators)
        if (unit == separator) return true;
    return false;
}

u32 readAimpMapping(const u8 *mapping, u32 size, bool *active, PlayerAnswers *figures, u16 *name, u32 nameCap)
{
    *active = false;
    figures->bitRate = figures->sampleRate = figures->channels = figures->length = figures->position = 0;
    if (size > kAimpMappingSize) size = kAimpMappingSize;
    if (size < kAimpHeaderSize) return 0;

    // Each string starts where the one before ends; all must lie inside the mapping.
    const u8 *strings[aimpStringCount];
    u32 lengths[aimpStringCount];
    uint64_t at = kAimpHeaderSize;
    for (u32 i = 0; i < aimpStringCount; i++) {
        lengths[i] = getLe32(mapping + kAimpLengthsAt + i * kFieldBytes);
        strings[i] = mapping + at;
        at += (uint64_t)lengths[i] * kUnitBytes;
        if (at > size) return 0;
    }
    *active = getLe32(mapping + kAimpActiveAt) != 0;
    figures->bitRate = getLe32(mapping + kAimpBitRateAt);
    figures->sampleRate = getLe32(mapping + kAimpSampleRateAt) / kHertzPerKilohertz;
    figures->channels = getLe32(mapping + kAimpChannelsAt);
    figures->length = getLe32(mapping + kAimpDurationAt) / kMillisecondsPerSecond;

    // "Artist - Title", the title alone, or without a title the file's own name.
    UnitWriter w = {name, nameCap, 0, false};
    if (lengths[aimpTitle]) {
        if (lengths[aimpArtist]) {
            putUnits(&w, strings[aimpArtist], lengths[aimpArtist]);
            for (u16 unit : kArtistTitleSeparator)
                putUnit(&w, unit);
        }
        putUnits(&w, strings[aimpTitle], lengths[aimpTitle]);
    } else {
        u32 start = lengths[aimpFileName];
        while (start && !isFolderSeparator(getLe16(strings[aimpFileName] + (start - 1) * kUnitBytes)))
            start--;
        putUnits(&w, strings[aimpFileName] + start * kUnitBytes, lengths[aimpFileName] - start);
    }
    // A name cut short ends on a whole character.
    if (w.cutShort && w.used && name[w.used - 1] >= kHighSurrogateFirst && name[w.used - 1] <= kHighSurrogateLast)
        w.used--;
    return w.used;
}
