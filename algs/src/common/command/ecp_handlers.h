#pragma once

// The external control point: its switch and its frame in the system
// parameters. A write sent queued leaves a placeholder once applied; a write
// that is cut short, or whose frame is not all finite, changes nothing.

#include "common/command/command_handler.h"

CommandHandlerFn OnECPSwitch;  // 24
CommandHandlerFn OnECPSet;     // 25
