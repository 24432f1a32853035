#pragma once

// Collision detection: the thresholds of the four joints (id 201) and the
// sensitivity level (id 193), which switches detection and takes the level's
// thresholds from the project's collision settings. Never queued.

#include "common/command/command_handler.h"

CommandHandlerFn OnCollisionThreshold;  // 201
CommandHandlerFn OnSetTorDiffLevel;     // 193
