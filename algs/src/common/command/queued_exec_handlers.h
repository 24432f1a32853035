#pragma once

// Start, pause, stop and clear of queued execution, and where it stands. None
// of these is ever queued; read and write are treated alike.

#include "common/command/command_handler.h"

CommandHandlerFn OnGetAllcmdDone;               // 27
CommandHandlerFn OnGetStopStatus;               // 28
CommandHandlerFn OnQueuedCmdStartExec;          // 240
CommandHandlerFn OnQueuedCmdStopExec;           // 241
CommandHandlerFn OnQueuedCmdForceStopExec;      // 242
CommandHandlerFn OnQueuedCmdClear;              // 245
CommandHandlerFn OnQueuedCmdCurrentIndex;       // 246
CommandHandlerFn OnQueuedCmdLeftSpace;          // 247
CommandHandlerFn OnQueuedCmdStopClearExec;      // 248
CommandHandlerFn OnQueuedCmdHardStopClearExec;  // 249
