#pragma once

// Kernel state of the input/output, pose and frame, conveyor and latch
// commands, back at load values; and a driver that lets queued execution
// run until the queued entries are done.

#include <cstring>
#include <iterator>

#include "PTP/pipeline/entry_runner.h"
#include "PTP/pipeline/pre_deal.h"
#include "common/kernel/conveyor_state.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/conveyor_track.h"

namespace zelor::test {

inline void ResetIOConveyorState() {
  std::memset(gConveyor, 0, sizeof gConveyor);
  gConveyor0 = {};
  for (tagEncoderChannel& channel : encoder) channel.inUse = 0;
  std::memset(gCurrentEncoder, 0, sizeof gCurrentEncoder);
  gLatchEnable = 0;
  gLatchType = 0;
  gstLatchPose = {};
  homeOffset = 0.0;
  std::memset(gPoseTemplate, 0, sizeof gPoseTemplate);
  gConvPointOffset = {};
  gCnvTimeCompensation = 0;
  gPreDealData = PreDealData{};
  gNextPreDealData = PreDealData{};
  track1.desync();
}

// Queued execution started and run until both rings are empty and the last
// entry has finished (entries without motion only); false if it never gets
// there.
inline bool ExecuteQueued(int maxCycles = 20) {
  gSysParams.runQueuedCmd = 1;
  gCmdFinishFlag = 1;
  for (int i = 0; i < maxCycles; ++i) {
    PreDealDataCalculate(&gPackedCmdQueue, &gPreDealDataQueue);
    PreDealDataRunning(&gPreDealDataQueue);
    if (gPackedCmdQueue.count == 0 && gPreDealDataQueue.count == 0 && gCmdFinishFlag != 0) return true;
  }
  return false;
}

}  // namespace zelor::test
