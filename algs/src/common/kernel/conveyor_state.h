#pragma once

#include <cstdint>

#include "common/kernel/kernel_state.h"
#include "common/protocol/command_records.h"

// Conveyor configurations (id 14) and the cycle's per-channel trigger state.
// Conveyor n uses encoder channel n + 1, its filter and gCurrentEncoder[n].

extern Conveyor gConveyor[kEncoderChannels];

// Camera burst or sensor check of one channel.
struct tagSensorState {
  double lastCaptureValue;  // filtered count of the last camera capture
  std::uint32_t captureCount;  // cycles of the running camera burst, 0 = none
  std::uint8_t checkStarted;   // a sensor check runs
  std::uint32_t filterCount;   // cycles of the running sensor check
  std::uint8_t lastInput;      // sensor input level of the last cycle
  float object[4];             // x, y, r (0) and the count at the trigger
  std::uint8_t warnedInput;    // "no input" line logged since the channel became active
  std::uint8_t warnedResolution;
};
extern tagSensorState gSensorState[kEncoderChannels];

// Time of the last camera trigger, for the vision intake.
extern std::int64_t gCameraTriggerSendUs;

class CEncoderFilter;
// One filter per conveyor encoder channel, set up by the robot set-up.
extern CEncoderFilter gEncoderFilter[kEncoderChannels];
