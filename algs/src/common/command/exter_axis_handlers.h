#pragma once

// Commands and queries of the external (slide-rail) axis through its link
// (id 225). A write replies the index the link assigned and the call's
// result (8 bytes); a read replies the value asked for with the result.
// Never queued.

#include "common/command/command_handler.h"

CommandHandlerFn OnExterAxisCmd;  // 225
