#pragma once

// Kernel state that starting, pausing and stopping queued execution read or
// write, at load values.

#include <cstring>

#include "PTP/path/blending.h"
#include "PTP/path/path.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

namespace zelor::test {

inline void ResetQueuedExecState() {
  gPauseCmdFlag = 0;
  gEmergencyStop = 0;
  gCollisionPause = 0;
  gExcitMode = 0;
  gStopMode = 0;
  gStopCmdPlanFlag = 0;
  gPeriodCount = 0;
  gPeriodCount1 = 0;
  gQueuedCmdCurrentIndex = 0;
  gQueuedMotionCmdCurrentIndex = 0;
  gPreDealData = {};
  gPreDealPos = {};
  gConveyor0 = {};
  for (tagEncoderChannel& channel : encoder) channel.inUse = 0;
  gLoad = {};
  gUsingTrueMotion = 0;
  gDynamicOptimal = 0;
  gAccType = 0;
  gTorqueFeedforward = 0;
  gInputECP = 0;
  gInputShaping = 0;
  fstPath = PathInfo{};
  secPath = PathInfo{};
  blendSeg.reset();
  std::memset(gScaraParams, 0, sizeof gScaraParams);
}

}  // namespace zelor::test
