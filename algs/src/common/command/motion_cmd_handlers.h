#pragma once

// Moves and waits of a queued program. Each is only ever queued: without the
// queued bit it does nothing and replies length 0; with it, it packs the
// command (moves with a snapshot of the motion parameters in force) into
// gPackedCmdQueue, and the intake replies the entry's index. Targets are not
// checked against reach here; the planners do that.

#include "common/command/command_handler.h"

CommandHandlerFn OnPTPCmd;      // 84
CommandHandlerFn OnPTPPOCmd;    // 88
CommandHandlerFn OnARCCmd;      // 101
CommandHandlerFn OnCircleCmd;   // 102
CommandHandlerFn OnExicitCmd;   // 103
CommandHandlerFn OnExicitZCmd;  // 104
CommandHandlerFn OnWAITCmd;     // 110
CommandHandlerFn OnTRIGCmd;     // 120
