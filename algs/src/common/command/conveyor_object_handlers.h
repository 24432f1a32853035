#pragma once

// The conveyor object query (15): hands the next object of a conveyor that
// lies inside its pick window to the conveyor moves.

#include <cstdint>

#include "common/command/command_handler.h"

CommandHandlerFn OnGetCnvObject;  // 15

// Objects handed over since start.
extern std::int32_t triggerCount;
