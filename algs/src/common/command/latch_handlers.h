#pragma once

// Position latching: the latch type and enable that the cycle hands to the
// drives, the pose of the last complete latch and the pose template.

#include "common/command/command_handler.h"

CommandHandlerFn OnSetLatch;             // 32
CommandHandlerFn OnLatchEnable;          // 33
CommandHandlerFn OnGetLatchPos;          // 34
CommandHandlerFn OnSetLatchPosTemplate;  // 35
