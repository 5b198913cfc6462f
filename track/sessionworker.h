// sessionworker.h -- the system's media session, read by a worker thread of the module's own
#pragma once

#include "session.h"

// Starts the worker, which asks for the system's session manager at once and
// ends at once where there is none.
void startMediaSession();
// Wakes the worker for a fresh read and waits for it a while; takes that read,
// or the last one that was complete, or none. True when it holds a playing
// session with a name.
bool readMediaSession(SessionRead *read);
// Ends the worker, if one runs, and waits for it a while.
void endMediaSession();
