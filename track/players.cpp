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

// VLC 3's main window is a generic Qt one: "Artist - Song - VLC media player",
// "VLC media player" alone when idle. Qt 5.12 and later put their version into
// the class (Qt5152QWindowIcon, Qt662QWindowIcon); older Qt 5 does not.
const char kVlcProgram[] = "vlc.exe";
const char kVlcClass[] = "Qt*QWindowIcon";
const char kVlcTitleEnd[] = " - VLC media player";
// MusicBee's class is WinForms' and changes between builds, so any is taken:
// "Artist - Song - MusicBee", "MusicBee" alone when idle.
const char kMusicBeeProgram[] = "MusicBee.exe";
const char kMusicBeeTitleEnd[] = " - MusicBee";
// Spotify's main window shows "Artist - Song" while it plays, and "Spotify",
// "Spotify Premium" or "Spotify Free" while paused or idle. Its other windows
// have other classes or empty titles.
const char kSpotifyProgram[] = "Spotify.exe";
const char kSpotifyClass[] = "Chrome_WidgetWin_0";
const char kSpotifyIdleStart[] = "Spotify";

const Player kPlayers[kPlayerCount] = {
    {{kLightAlloyClass}, nullptr, titleToEnding, kLightAlloyTitleEnd, {}, interfaceWinamp},
    {{kWinampClass}, nullptr, titleWinamp, kWinampTitleEnd, {}, interfaceWinamp},
    {{kAimpRemoteName}, nullptr, titleNone, nullptr, {}, interfaceAimp},
    {{kPotPlayerClass, kPotPlayer64Class}, nullptr, titleToEnding, kPotPlayerTitleEnd, {}, interfacePotPlayer},
    {{kFoobarClass}, nullptr, titleToEnding, kFoobarTitleEnd, {}, interfaceNone},
    {{kMpcBeClass}, nullptr, titleToEnding, kMpcBeTitleEnd, {}, interfaceNone},
    {{kMpcHcClass}, nullptr, titleWhole, nullptr, {kMpcHcIdleShort, kMpcHcIdleLong}, interfaceNone},
    {{kVlcClass}, kVlcProgram, titleToEnding, kVlcTitleEnd, {}, interfaceNone},
    {{}, kMusicBeeProgram, titleToEnding, kMusicBeeTitleEnd, {}, interfaceNone},
    {{kSpotifyClass}, kSpotifyProgram, titleWholeUnless, nullptr, {kSpotifyIdleStart}, interfaceNone},
};

// Whether title is one of the idle titles, or with wholeOnly false begins with one.
static bool isIdleTitle(const Player &player, const char *title, u32 titleLength, bool wholeOnly)
{
    for (const char *idle : player.idleTitles) {
        const u32 n = idle ? textLength(idle) : 0;
        if (idle && (wholeOnly ? n == titleLength : n <= titleLength) && sameBytes(idle, title, n)) return true;
    }
    return false;
}

// Whether name (length bytes) is pattern, kAnyClassPart standing for any run.
static bool classFits(const char *pattern, const char *name, u32 length)
{
    const u32 patternLength = textLength(pattern);
    const u32 any = findByte(pattern, patternLength, kAnyClassPart);
    if (any == patternLength) return length == patternLength && sameBytes(pattern, name, length);
    const u32 tail = patternLength - any - 1;
    return any + tail <= length && sameBytes(pattern, name, any) &&
           sameBytes(pattern + any + 1, name + length - tail, tail);
}

bool playerHasClass(const Player &player, const char *className, u32 length)
{
    if (!player.classes[0]) return true;
    for (const char *pattern : player.classes)
        if (pattern && classFits(pattern, className, length)) return true;
    return false;
}

const u16 kAsciiCaseBit = 0x20;
const u16 kFolderSeparators[] = {'\\', '/'};

static bool isFolderSeparator(u16 unit)
{
    for (u16 separator : kFolderSeparators)
        if (unit == separator) return true;
    return false;
}

// Program names are ASCII; Windows compares file names without regard to case.
static u16 asciiLower(u16 unit)
{
    return unit >= 'A' && unit <= 'Z' ? unit | kAsciiCaseBit : unit;
}

u32 playerOfProgram(const u16 *path, u32 units)
{
    u32 start = units;
    while (start && !isFolderSeparator(path[start - 1]))
        start--;
    for (u32 row = kFirstProgramRow; row < kPlayerCount; row++) {
        const char *name = kPlayers[row].program;
        u32 i = 0;
        while (start + i < units && name[i] && asciiLower(path[start + i]) == asciiLower((u8)name[i]))
            i++;
        if (start + i == units && !name[i]) return row;
    }
    return kPlayerCount;
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
        case titleWholeUnless:
            if (!isIdleTitle(*player, title, titleLength, player->rule == titleWhole)) end = titleLength;
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

// A name cut short ends on a whole character; returns its units.
static u32 finishName(const UnitWriter &w)
{
    const bool cutInPair =
        w.cutShort && w.used && w.name[w.used - 1] >= kHighSurrogateFirst && w.name[w.used - 1] <= kHighSurrogateLast;
    return cutInPair ? w.used - 1 : w.used;
}

u32 artistTitleName(const u8 *artist, u32 artistUnits, const u8 *title, u32 titleUnits, u16 *name, u32 nameCap)
{
    UnitWriter w = {name, nameCap, 0, false};
    if (!titleUnits) return 0;
    if (artistUnits) {
        putUnits(&w, artist, artistUnits);
        for (u16 unit : kArtistTitleSeparator)
            putUnit(&w, unit);
    }
    putUnits(&w, title, titleUnits);
    return finishName(w);
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
    if (lengths[aimpTitle])
        return artistTitleName(strings[aimpArtist], lengths[aimpArtist], strings[aimpTitle], lengths[aimpTitle], name,
                               nameCap);
    UnitWriter w = {name, nameCap, 0, false};
    u32 start = lengths[aimpFileName];
    while (start && !isFolderSeparator(getLe16(strings[aimpFileName] + (start - 1) * kUnitBytes)))
        start--;
    putUnits(&w, strings[aimpFileName] + start * kUnitBytes, lengths[aimpFileName] - start);
    return finishName(w);
}
