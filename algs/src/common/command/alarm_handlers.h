#pragma once

// Reading and clearing the alarm map, and the drive alarm reset. Never
// queued; a queued request is answered with the previous index.

#include "common/command/command_handler.h"

CommandHandlerFn OnAlarmsState;       // 20
CommandHandlerFn OnClearServoAlarms;  // 21
