#pragma once

// Hand teaching on or off (id 41): the drives are taken away from motion
// control, or handed back to it once the arm stands still. The reply is the
// hand-teach flag after the request, read or write. Never queued.

#include "common/command/command_handler.h"

CommandHandlerFn OnHHTTrigOutputEnabled;  // 41
