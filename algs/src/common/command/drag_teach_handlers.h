#pragma once

// Drag teaching and collision drag switch the drives between position and
// torque mode through the cycle's servo-mode switch; the drag-teach mode
// command picks the kind of motion mode the arm is in. None is queued.
//
// 43 and 45 write v: 0 asks for torque mode (drag on), any other value for
// position mode. A request during a stop or the enable check, or one that
// finds a joint already in the mode asked for, changes nothing and echoes.

#include "common/command/command_handler.h"

CommandHandlerFn OnDragTeachEnabled;  // 43
CommandHandlerFn OnDragTeachMode;     // 44
CommandHandlerFn OnCollideDrag;       // 45
