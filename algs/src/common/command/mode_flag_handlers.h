#pragma once

// One-byte flags: the safeguard stop, safe mode, dynamics feed-forward and
// the excitation mode. A read replies the byte; a write stores the request's
// first byte and replies length 0. Never queued.

#include "common/command/command_handler.h"

CommandHandlerFn OnSafeGuardStatus;  // 29
CommandHandlerFn OnSafeModeEnabled;  // 200
CommandHandlerFn OnFeedforward;      // 205
CommandHandlerFn OnExcitMode;        // 206
