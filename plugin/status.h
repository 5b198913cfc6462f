// status.h -- the answer to the host's status-text event
#pragma once

#include "../common/types.h"

// Detects the player, expands string B of message and frames the answer;
// null when string A alone leaves no room.
const u8 *statusText(const u8 *message);
