#pragma once

#include <cstdint>

// The kernel's view of the drives beyond the motion state: servo mode,
// latching, homing and the counters of the cycle's drive steps; zero at load.

// Operation mode mirrored from the drives, byte j for joint j + 1: 0
// position, 1 torque, 3 homing.
extern std::uint32_t gActualServoMode;
// Servo-mode switch request: the mode wanted (1 torque, 0 position) and the
// request flag, cleared when the switch is done or refused.
extern std::uint8_t gServoMode;
extern std::uint8_t gServoModeSwitch;
extern std::uint8_t gIsEmergentGuiding;
// Raises both encoder-reset words in the next cycle.
extern std::uint8_t gEncoderResetFlag;
// Actual torque of each joint as the cycle last wrote it out.
extern double gTorque[4];

// Position latching (ids of the latch commands) and the pose of the last
// complete latch.
extern std::uint8_t gLatchEnable;
extern std::uint8_t gLatchType;
struct tagLatchPose {
  std::uint32_t valid;
  float x;
  float y;
  float z;
  float r;
};
extern tagLatchPose gstLatchPose;

// Home position value written for joint 2 at a pose reset.
extern double homeOffset;

// Counters of the cycle's drive steps.
extern std::uint32_t gHomeCmdCount;        // cycles of the homing or pose reset
extern std::uint32_t gEnableCheckCount;    // cycles of the enable check, 0 = none runs
extern std::uint32_t gDisableCount;        // idle cycles under hand teaching
extern std::uint8_t gServoModeStep;        // 1 after the first cycle of a mode switch
// Enable compensation per joint: armed while the drive is off, counted
// from its first enabled cycle.
struct tagEnableCompensation {
  std::uint8_t firstCycle;
  std::uint32_t count;
};
extern tagEnableCompensation gEnableComp[4];
