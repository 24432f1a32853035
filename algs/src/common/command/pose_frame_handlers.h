#pragma once

// The arm's pose and joint angles, the pose reset, the planning values of the
// entries in execution, and the user and tool frames. A frame write changes
// the requested frame at once and the frame in force at once or, queued,
// when the execution reaches it.

#include "common/command/command_handler.h"

CommandHandlerFn OnGetPose;      // 10
CommandHandlerFn OnResetPose;    // 11
CommandHandlerFn OnGetAngle;     // 26
CommandHandlerFn OnUserParam;    // 220
CommandHandlerFn OnLocalParams;  // 250
CommandHandlerFn OnToolParams;   // 251
