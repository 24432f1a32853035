#include "PTP/stopping/stop_finish.h"

#include <cstring>

#include "Dynamics/excitation.h"
#include "PTP/path/blending.h"
#include "PTP/path/input_shaping.h"
#include "PTP/path/path.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace {

// What a finish and a parameter reset both drop: the blended path and the
// load the optimiser planned with.
void clearPlanningRecords() {
  if (gUsingTrueMotion != 0) {
    fstPath = PathInfo{};
    secPath = PathInfo{};
    blendSeg.reset();
  }
  if (gDynamicOptimal != 0) gLoad = _stLoadParams{};
}

void clearStopFlags() { std::memset(gSysParams.stopClearedFlags, 0, sizeof gSysParams.stopClearedFlags); }

}  // namespace

void SpeedClear() {
  for (double& v : gRobotAxisMove.nextVel) v = 0.0;
  gTeachMove.velocity = 0.0;
}

void StopFinishDeal() {
  gCmdFinishFlag = 1;
  resetQ();
  SpeedClear();
  gPeriodCount = 0;
  gPeriodCount1 = 0;
  gRobotPrfMode = kPrfIdle;
  gStopCmdPlanFlag = 1;
  clearPlanningRecords();
  clearStopFlags();
  gPreDealData.pathSpeed = 0.0;
  gPreDealData.pathParam = 0.0;
  gEncoderCheckFlag = 0;
  strLocalVar[0].endFlag = 0;
}

void SystemParamsReset() {
  clearPlanningRecords();
  clearStopFlags();
  gSysParams.resetWord = 1;
  gSysParams.runQueuedCmd = 0;
  resetQ();
}
