#pragma once

// Commands that compute on request and keep no state: point conversion
// between joints and poses with the frames the request carries (8, 9) and
// the composition of a frame with an offset (228).

#include "common/command/command_handler.h"

CommandHandlerFn OnPointForwardCal;  // 8
CommandHandlerFn OnPointInverseCal;  // 9
CommandHandlerFn OnCalcUser;         // 228
