// players_test.cpp -- track names cut from each player's title, and AIMP's mapping read
#include "common/le.h"
#include "track/players.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

static const Player *playerWithClass(const std::string &className)
{
    for (const Player &player : kPlayers)
        for (const char *name : player.classes)
            if (name && className == name) return &player;
    return nullptr;
}

static std::string trackOf(const Player *player, const std::string &title)
{
    char track[kTrackCap];
    trackFromTitle(player, title.c_str(), track, sizeof(track), cutBytes);
    return track;
}

TEST(TrackFromTitle, Winamp)
{
    const struct {
        const char *title;
        const char *track;
    } cases[] = {
        {"12. Artist - Song - Winamp", "Artist - Song"},
        {"12. Artist - Song - Winamp [Paused]", "Artist - Song"},
        {"Winamp 5.5", ""},
        {"Mr. Big - Song - Winamp", "Big - Song"}, // the first ". " ends the supposed number
        {"Artist - Song - Winamp", ""},
        {"1. A - B - Winamp", "A - B"},
        {"1.  - Winamp", ""},
        {"", ""},
        {"3. Song - Winamp. x - Winamp", "Song"}, // the first " - Winamp" cuts
    };
    for (const auto &c : cases)
        EXPECT_EQ(trackOf(&kPlayers[kWinampRow], c.title), c.track) << c.title;
}

TEST(TrackFromTitle, LightAlloyAndNone)
{
    EXPECT_EQ(trackOf(&kPlayers[kLightAlloyRow], "movie.avi - Light Alloy"), "movie.avi");
    EXPECT_EQ(trackOf(&kPlayers[kLightAlloyRow], "movie.avi"), "");
    EXPECT_EQ(trackOf(&kPlayers[kLightAlloyRow], "1. a - b - Winamp"), "");
    EXPECT_EQ(trackOf(nullptr, "12. Artist - Song - Winamp"), "");
}

const char kFoobar[] = "{97E27FAA-C0B3-4b8e-A693-ED7881E99FC1}";

TEST(TrackFromTitle, TablePlayers)
{
    const struct {
        const char *className;
        const char *title;
        const char *track;
    } cases[] = {
        {"PotPlayer", "Song.mp3 - PotPlayer", "Song.mp3"},
        {"PotPlayer64", "A - B.flac - PotPlayer", "A - B.flac"},
        {"PotPlayer64", "PotPlayer", ""},
        {kFoobar, "Artist - Title [foobar2000]", "Artist - Title"},
        {kFoobar, "Artist - Title  [foobar2000 v1.1.18]", "Artist - Title "},
        {kFoobar, "foobar2000 v2.1.4", ""},
        {"MPC-BE", "clip.mkv - MPC-BE", "clip.mkv"},
        {"MPC-BE", "MPC-BE x64", ""},
        {"MediaPlayerClassicW", "clip.mkv", "clip.mkv"},
        {"MediaPlayerClassicW", "MPC-HC", ""},
        {"MediaPlayerClassicW", "Media Player Classic Home Cinema", ""},
        {"MediaPlayerClassicW", "MPC-HC clip", "MPC-HC clip"},
        {"AIMP2_RemoteInfo", "A - B", "A - B"}, // the name from the mapping, whole
    };
    for (const auto &c : cases) {
        const Player *player = playerWithClass(c.className);
        ASSERT_NE(player, nullptr) << c.className;
        EXPECT_EQ(trackOf(player, c.title), c.track) << c.className << ": " << c.title;
    }
}

TEST(TrackFromTitle, CutToTheTrackBufferOnACharacterBoundary)
{
    // 300 two-byte letters do not fit 511 bytes: the name stops on a whole letter.
    std::string letters;
    for (int i = 0; i < 300; i++)
        letters += "\xD0\x96";
    char track[kTrackCap];
    const std::string title = "1. " + letters + " - Winamp";
    const u32 n = trackFromTitle(&kPlayers[kWinampRow], title.c_str(), track, kTrackCap, cutUtf8);
    EXPECT_EQ(n, 510u);
    EXPECT_EQ(track[510], 0);
    EXPECT_EQ(std::string(track), letters.substr(0, 510));
}

// An AIMP mapping: the header's figures, then the six strings' lengths and units.
struct AimpMapping {
    u32 active = 1, bitRate = 320, channels = 2, duration = 245000, sampleRate = 44100;
    std::u16string strings[aimpStringCount];
    u32 lengths[aimpStringCount] = {};
    bool ownLengths = false; // lengths as given instead of the strings' own

    std::vector<u8> bytes() const
    {
        std::vector<u8> m(kAimpMappingSize, 0);
        putLe32(&m[0], kAimpHeaderSize);
        putLe32(&m[kAimpActiveAt], active);
        putLe32(&m[kAimpBitRateAt], bitRate);
        putLe32(&m[kAimpChannelsAt], channels);
        putLe32(&m[kAimpDurationAt], duration);
        putLe32(&m[kAimpSampleRateAt], sampleRate);
        size_t at = kAimpHeaderSize;
        for (u32 i = 0; i < aimpStringCount; i++) {
            putLe32(&m[kAimpLengthsAt + 4 * i], ownLengths ? lengths[i] : (u32)strings[i].size());
            for (char16_t unit : strings[i]) {
                if (at + 2 <= m.size()) putLe16(&m[at], unit);
                at += 2;
            }
        }
        return m;
    }
};

struct AimpRead {
    u32 units;
    bool active;
    PlayerAnswers figures;
    std::u16string name;
};

static AimpRead readAimp(const AimpMapping &mapping, u32 nameCap = 254)
{
    const std::vector<u8> bytes = mapping.bytes();
    AimpRead read = {};
    std::vector<u16> name(nameCap + 1, 0xEEEE);
    read.units = readAimpMapping(bytes.data(), (u32)bytes.size(), &read.active, &read.figures, name.data(), nameCap);
    EXPECT_EQ(name[nameCap], 0xEEEE) << "the name ran past its capacity";
    read.name.assign(name.begin(), name.begin() + read.units);
    return read;
}

TEST(AimpMapping, NameAndFiguresInEveryPlayersUnits)
{
    AimpMapping m;
    m.strings[aimpAlbum] = u"Album";
    m.strings[aimpArtist] = u"\u0421\u043F\u043B\u0438\u043D"; // "Сплин"
    m.strings[aimpFileName] = u"C:\\Music\\01.mp3";
    m.strings[aimpTitle] = u"Song";
    AimpRead read = readAimp(m);
    EXPECT_EQ(read.name, u"\u0421\u043F\u043B\u0438\u043D - Song");
    EXPECT_TRUE(read.active);
    EXPECT_EQ(read.figures.bitRate, 320u);
    EXPECT_EQ(read.figures.sampleRate, 44u); // kHz, as Winamp gives it
    EXPECT_EQ(read.figures.channels, 2u);
    EXPECT_EQ(read.figures.length, 245u); // seconds
    EXPECT_EQ(read.figures.position, 0u);

    m.strings[aimpArtist].clear();
    EXPECT_EQ(readAimp(m).name, u"Song");
    m.strings[aimpTitle].clear();
    EXPECT_EQ(readAimp(m).name, u"01.mp3");
    m.strings[aimpFileName] = u"/home/x/02.ogg";
    EXPECT_EQ(readAimp(m).name, u"02.ogg");
    m.strings[aimpArtist] = u"Artist"; // an artist without a title names nothing
    EXPECT_EQ(readAimp(m).name, u"02.ogg");

    m.active = 0;
    EXPECT_FALSE(readAimp(m).active);
}

TEST(AimpMapping, NameCutToItsCapacityOnACharacter)
{
    AimpMapping m;
    m.strings[aimpArtist] = u"Artist";
    m.strings[aimpTitle] = u"Title";
    EXPECT_EQ(readAimp(m, 5).name, u"Artis");
    m.strings[aimpArtist] = u"Abcd\U0001F3B5"; // a surrogate pair at units 4 and 5
    EXPECT_EQ(readAimp(m, 5).name, u"Abcd");
    EXPECT_EQ(readAimp(m, 6).name, u"Abcd\U0001F3B5");
}

TEST(AimpMapping, LengthsPastTheEndReadAsNothing)
{
    const u32 room = (kAimpMappingSize - kAimpHeaderSize) / 2; // units behind the header
    const struct {
        u32 artist, title, fileName;
        bool whole;
    } cases[] = {
        {0, room, 0, true},
        {0, room + 1, 0, false},            // alone
        {room / 2, room / 2 + 1, 0, false}, // together
        {1, 1, 0xFFFFFFFF, false},          // a length that would wrap 32 bits
        {0x80000000, 0x80000000, 0, false},
    };
    for (const auto &c : cases) {
        AimpMapping m;
        m.ownLengths = true;
        m.lengths[aimpArtist] = c.artist;
        m.lengths[aimpTitle] = c.title;
        m.lengths[aimpFileName] = c.fileName;
        const AimpRead read = readAimp(m);
        EXPECT_EQ(read.active, c.whole) << c.artist << " " << c.title << " " << c.fileName;
        EXPECT_EQ(read.figures.bitRate, c.whole ? 320u : 0u);
        if (!c.whole) EXPECT_EQ(read.units, 0u);
    }
    const std::vector<u8> bytes = AimpMapping().bytes();
    bool active = true;
    PlayerAnswers figures;
    u16 name[4];
    EXPECT_EQ(readAimpMapping(bytes.data(), kAimpHeaderSize - 1, &active, &figures, name, 4), 0u);
    EXPECT_FALSE(active);
}
