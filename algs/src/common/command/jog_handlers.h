#pragma once

// Commands that start an activity of the profile stage at once, whatever the
// queued bit: jog (73) and homing (31).

#include "common/command/command_handler.h"

CommandHandlerFn OnJOGCmd;   // 73
CommandHandlerFn OnHOMECmd;  // 31
