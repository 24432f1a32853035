#pragma once

#include "common/protocol/axes_group_ref.h"

// Robot set-up from the parameter block in gScaraParams: the kernel's
// parameter groups, the interpolation state and the drives' scaling in the
// axes group. Runs at every parameter load; the alarm map survives it. A null
// record is left alone.
void InitialSCARA(AxesGroupRef* axesGroup);

// Its steps.
void InitRobot();
void InitInterpolation();
// On: every joint's shaper set up from the block's frequency and damping.
// Off: shaping off and the shaper's delay count 0.
void ControllerShapingSwitch(bool on);
// Off: the drive filter words of joints 1 and 2 and a parameter-write
// request in the given record (none when null). The set-up only switches it off.
void ServoShapingSwitch(AxesGroupRef* axesGroup, bool on);
void ReadInitialPose();
