#pragma once

// Reads and writes of the motion parameters held in the system parameters:
// jog and inch settings, the point-to-point block, the global speed ratio,
// arm orientation, transition and control type. A read replies the stored
// record; a write replies length 0. Writes whose floats are not all finite,
// or whose request is shorter than the record, change nothing.

#include "common/command/command_handler.h"

CommandHandlerFn OnControlType;          // 47
CommandHandlerFn OnArmOrientation;       // 50
CommandHandlerFn OnTransition;           // 51
CommandHandlerFn OnSpeedFactorParams;    // 52
CommandHandlerFn OnManualSpeedParams;    // 53
CommandHandlerFn OnJOGJointParams;       // 70
CommandHandlerFn OnJOGCoordinateParams;  // 71
CommandHandlerFn OnJOGCommonParams;      // 72
CommandHandlerFn OnINCHParams;           // 74
CommandHandlerFn OnPTPJointParams;       // 80
CommandHandlerFn OnPTPCoordinateParams;  // 81
CommandHandlerFn OnPTPJumpParams;        // 82
CommandHandlerFn OnPTPJump2Params;       // 87
CommandHandlerFn OnPTPCommonParams;      // 83
