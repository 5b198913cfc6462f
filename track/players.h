// players.h -- the players the plug-in knows: their windows, how a title gives the track, their read-only interfaces
#pragma once

#include "../common/types.h"
#include "../text/text.h"
#include "expand.h"

// How a player is asked for its figures. Each kind of window is sent only the
// read-only requests its own interface documents: a WM_USER number means
// something else to every program, and may start an action there.
enum PlayerInterface {
    interfaceNone,      // no figures: every one is 0
    interfaceWinamp,    // Winamp's five questions
    interfacePotPlayer, // PotPlayer's time and state commands
    interfaceAimp,      // AIMP's remote file mapping and its property messages
    interfaceSession,   // the system's media session: length and position
};

// How the track's name comes out of the window's title.
enum TitleRule {
    titleWinamp,      // between the playlist number's ". " and the ending
    titleToEnding,    // up to the ending; a title without it names no track
    titleWhole,       // the whole title, unless it is one of the idle titles
    titleWholeUnless, // the whole title, unless it begins with one of the idle titles
    titleNone,        // the name comes from the player's interface, whole
};

const u32 kClassesPerPlayer = 2;
const u32 kIdleTitlesPerPlayer = 2;

// In a program's player's class, this stands for any run of characters: a
// toolkit puts its version there (Qt5QWindowIcon, Qt5152QWindowIcon).
const char kAnyClassPart = '*';

struct Player {
    // Its main window's classes; unused ones null. A program's player may have
    // none: then its windows of any class are looked at.
    const char *classes[kClassesPerPlayer];
    // Null for a player found by its window class alone. Otherwise its
    // program's file name, matched without regard to case: its windows' classes
    // are not its own, so another program's windows could wear them.
    const char *program;
    TitleRule rule;
    const char *ending;                           // titleWinamp, titleToEnding
    const char *idleTitles[kIdleTitlesPerPlayer]; // titleWhole, titleWholeUnless: nothing is playing
    PlayerInterface figures;
};

const char kWinampClass[] = "Winamp v1.x";
const char kLightAlloyClass[] = "LightAlloyFront";
const char kWinampTitleEnd[] = " - Winamp";
const char kPlaylistNumberEnd[] = ". ";
const char kLightAlloyTitleEnd[] = " - Light Alloy";

// In the order they are looked for. Light Alloy, then a Winamp-class window:
// whichever is found is the player, whatever its state. After them the first
// that has a track is: the players found by class, then those found by program.
const u32 kPlayerCount = 10;
extern const Player kPlayers[kPlayerCount];
const u32 kLightAlloyRow = 0;
const u32 kWinampRow = 1;
const u32 kFirstProgramRow = 7;

// Winamp's window-message interface: WM_USER with the request in lParam.
const u32 kIpcGetInfo = 126;
const u32 kIpcGetOutputTime = 105;
const u32 kInfoSampleRate = 0; // kHz
const u32 kInfoBitRate = 1;
const u32 kInfoChannels = 2;
const u32 kOutputPosition = 0; // milliseconds
const u32 kOutputLength = 1;   // seconds

struct PlayerQuestion {
    u32 wParam;
    u32 lParam;
};
const u32 kQuestionCount = 5;
// Winamp's questions, in the order they are asked: the order of PlayerAnswers.
const PlayerQuestion kQuestions[kQuestionCount] = {
    {kInfoBitRate, kIpcGetInfo},
    {kInfoSampleRate, kIpcGetInfo},
    {kInfoChannels, kIpcGetInfo},
    {kOutputLength, kIpcGetOutputTime},
    {kOutputPosition, kIpcGetOutputTime},
};

// PotPlayer: WM_USER with the command in wParam and lParam 0. The odd numbers
// beside these set what these get: they are never sent.
const u32 kPotGetLength = 0x5002;   // milliseconds
const u32 kPotGetPosition = 0x5004; // milliseconds
const u32 kPotGetState = 0x5006;
const u32 kPotStopped = 0xFFFFFFFF; // -1; 1 is paused, 2 playing

// AIMP's remote interface: a window and a file mapping of this name.
const char kAimpRemoteName[] = "AIMP2_RemoteInfo";
const u32 kAimpMessageOffset = 0x77; // the property message is WM_USER + this
// Properties go in wParam with the low bit clear, which gets; set, it would set.
const u32 kAimpPropertyPosition = 0x20; // milliseconds
const u32 kAimpPropertyState = 0x40;
const u32 kAimpStopped = 0; // 1 is paused, 2 playing

// The mapping: an 88-byte header of little-endian 32-bit fields, then the
// strings, UTF-16 without terminators, in the order of their lengths.
const u32 kAimpMappingSize = 2048;
const u32 kAimpActiveAt = 4;
const u32 kAimpBitRateAt = 8; // kbps
const u32 kAimpChannelsAt = 12;
const u32 kAimpDurationAt = 16; // milliseconds
const u32 kAimpSampleRateAt = 32; // Hz
const u32 kAimpLengthsAt = 40;    // album, artist, date, file name, genre, title: UTF-16 units each
enum AimpString { aimpAlbum, aimpArtist, aimpDate, aimpFileName, aimpGenre, aimpTitle, aimpStringCount };
const u32 kAimpHeaderSize = 88;

// "Artist - Title" from UTF-16 texts (little-endian units), or the title alone
// without an artist, into name (at most nameCap units, never ending inside a
// surrogate pair); no title gives no name. Returns the name's units.
u32 artistTitleName(const u8 *artist, u32 artistUnits, const u8 *title, u32 titleUnits, u16 *name, u32 nameCap);

// Reads AIMP's mapping (size bytes of it, no more than kAimpMappingSize are
// looked at): whether it is active, its figures in the units every player's
// take (kbps, kHz, seconds; the position is not in it and is left 0), and its
// track's name into name (at most nameCap UTF-16 units, never ending inside a
// surrogate pair): "Artist - Title", the title alone without an artist, and
// without a title the file name without its folder. Returns the name's units.
// A mapping whose string lengths run past its end, alone or together, is read
// as nothing: inactive, all 0, no name.
u32 readAimpMapping(const u8 *mapping, u32 size, bool *active, PlayerAnswers *figures, u16 *name, u32 nameCap);

// Whether a window of class className (length bytes) may be player's: its
// class is one of the player's, with kAnyClassPart standing for any run of
// characters, or the player names none.
bool playerHasClass(const Player &player, const char *className, u32 length);

// The row of the player whose program the file at path (units UTF-16 units,
// its folder included) is, or kPlayerCount for any other program.
u32 playerOfProgram(const u16 *path, u32 units);

// Cuts the track's name out of the title of player (null: none) into track
// (trackCap bytes); a title the player's rule does not fit gives an empty name.
u32 trackFromTitle(const Player *player, const char *title, char *track, u32 trackCap, TextCut cut);
