// track.h -- the player found by the last detection and the questions put to it
#pragma once

#include <windows.h>
#include "expand.h"

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

// Finds the player window and, when the name is wanted, cuts the track's name
// out of its title into g_trackName; otherwise the name is left empty.
void detectTrack(TrackForm form, bool wantName);
// Asks the player window of the last detection its five figures, in order.
void askPlayer(PlayerAnswers *answers);
