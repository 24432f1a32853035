#pragma once

#include "common/protocol/axes_group_ref.h"

// One control cycle's motion work on the host's record: queued moves, the
// profile stage, conveyor objects, drive supervision, set values and drive
// commands.
void RunSCARA(AxesGroupRef* axesGroup);

// Commanded joints and set points taken from the actual positions, speeds 0
// (joint 3 coupled to joint 4 while the fourth coupling flag is set).
void UpdateServoPos(const AxesGroupRef& g);

// The camera trigger distance of every conveyor channel counts from here.
void resetLastCaptureEncoderCount();
