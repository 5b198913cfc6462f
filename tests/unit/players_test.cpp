// players_test.cpp -- track names cut from each player's title
#include "track/players.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

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

static const Player *playerOfProgramName(const std::u16string &path)
{
    const u32 row = playerOfProgram((const u16 *)path.data(), (u32)path.size());
    return row < kPlayerCount ? &kPlayers[row] : nullptr;
}

TEST(TrackFromTitle, ProgramPlayers)
{
    const struct {
        const char16_t *path;
        const char *title;
        const char *track;
    } cases[] = {
        {u"C:\\Program Files\\VideoLAN\\VLC\\vlc.exe", "Artist - Song - VLC media player", "Artist - Song"},
        {u"C:\\Program Files\\VideoLAN\\VLC\\vlc.exe", "VLC media player", ""},
        {u"D:/Apps/MusicBee/MUSICBEE.EXE", "Artist - Song - MusicBee", "Artist - Song"},
        {u"D:/Apps/MusicBee/MusicBee.exe", "MusicBee", ""},
        {u"C:\\Users\\u\\AppData\\Roaming\\Spotify\\Spotify.exe", "Artist - Song", "Artist - Song"},
        {u"Spotify.exe", "Spotify Premium", ""},
        {u"Spotify.exe", "Spotify", ""},
        {u"Spotify.exe", "", ""},
    };
    for (const auto &c : cases) {
        const Player *player = playerOfProgramName(c.path);
        ASSERT_NE(player, nullptr);
        EXPECT_EQ(trackOf(player, c.title), c.track) << c.title;
    }
    // Only the file's own name counts, whole.
    for (const char16_t *other : {u"C:\\vlc.exe\\chrome.exe", u"C:\\Spotify.exe.bak", u"C:\\xvlc.exe", u"vlc.ex",
                                  u"C:\\vlc.exe\\", u""})
        EXPECT_EQ(playerOfProgramName(other), nullptr);
}

// A program's player's window is looked at only when its class fits; toolkits
// put their version into their classes.
TEST(PlayerHasClass, ProgramPlayers)
{
    const struct {
        const char16_t *program;
        const char *className;
        bool fits;
    } cases[] = {
        {u"vlc.exe", "Qt5QWindowIcon", true},
        {u"vlc.exe", "Qt5152QWindowIcon", true},
        {u"vlc.exe", "QtWindowIcon", false}, // the two ends may not share a byte
        {u"vlc.exe", "Qt5QWindowIconX", false},
        {u"Spotify.exe", "Chrome_WidgetWin_1", false},
        {u"MusicBee.exe", "WindowsForms10.Window.8.app.0.141b42a_r9_ad1", true},
    };
    for (const auto &c : cases) {
        const Player *player = playerOfProgramName(c.program);
        ASSERT_NE(player, nullptr);
        EXPECT_EQ(playerHasClass(*player, c.className, (u32)strlen(c.className)), c.fits) << c.className;
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
