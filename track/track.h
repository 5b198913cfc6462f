// track.h -- the player found by the last detection and the questions put to it
#pragma once

#include <windows.h>
#include "expand.h"
#include "players.h"

// The title is read into this many characters, its zero included.
const int kTitleReadSize = 255;
// A player that does not answer within this bound counts as silent; the
// messenger's thread must never wait on a hung player for long.
const UINT kPlayerTimeoutMs = 500;
// SMTO_BLOCK: no other sent message may re-enter the plug-in while it waits.
const UINT kPlayerSendFlags = SMTO_BLOCK | SMTO_ABORTIFHUNG;

enum TrackForm {
    trackAnsi, // the chat button: the system's ANSI code page
    trackUtf8, // the status text
};

extern char g_trackName[kTrackCap];
// Shared by every expansion: the status text and the chat button.
extern char g_work[kWorkCap];
extern char g_scratch[kWorkCap];

// Looks up what finding players by program needs from the system.
void initTrack();
// At the load event: starts what finding players keeps running, the media
// session's worker, so that it is ready by the first event.
void startTrack();
// Finds the player for the zero-terminated text to expand and, when the text
// names the track and the player is not stopped, puts the track's name into
// g_trackName; otherwise the name is left empty. A player whose interface tells
// whether it plays is asked here. Light Alloy or a Winamp-class window is the
// player whatever its state; otherwise the first player found by its class that
// has a track is, then, for a text with a tag, the first found by its program,
// then the system's media session when it plays, or none.
void detectTrack(TrackForm form, const char *text);
// At the unload event: ends what startTrack started.
void endTrack();
// The figures of the player of the last detection, from its own interface;
// each request is bounded, and once one goes unanswered no more are sent.
void askPlayer(PlayerAnswers *answers);
