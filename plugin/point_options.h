#pragma once

// The option parser of the move functions and the restore after a move.

#include "param_temp_value.h"

struct lua_State;

// Reads the options at the top of the Lua stack (a table, or key=value text,
// which is popped), queues their settings commands in a fixed order, sets the
// change flags of temp (a copy of the current settings) and stores a SYNC
// option through sync. api names the caller's options in api.ini; a key it
// does not list raises optionAlarm. A refused option raises its alarm and a
// Lua error (no lock held then); commands queued before stay queued.
void processPointParams(lua_State* L, ParamTempValue& temp, const char* api, int optionAlarm, int pointIndex,
                        int* sync);

// Queues the commands that put back what processPointParams changed.
void recoveryPointParams(ParamTempValue& temp);
