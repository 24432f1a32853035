#include "common/command/queued_resets.h"

#include "PTP/path/blending.h"
#include "PTP/path/path.h"
#include "PTP/teach/inch_teach.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/ring_buffer.h"
#include "common/kernel/sys_params.h"

void ForceStopReset() {
  gSysParams.runQueuedCmd = 0;
  gPauseCmdFlag = 0;
  gCmdFinishFlag = 1;
  gTeachMove.velocity = 0.0;
  gTeachMove.targetSpeed = 0.0;
  RingBufferClear(&gPackedCmdQueue);
  RingBufferClear(&gPreDealDataQueue);
  gQueuedMotionCmdCurrentIndex = 0;
}

void DisableDeal() {
  gHandTeachFlag = 1;
  ForceStopReset();
  gInchJoint.Reset();
  gInchCoord.Reset();
  if (gUsingTrueMotion != 0) {
    fstPath = PathInfo{};
    secPath = PathInfo{};
    blendSeg.reset();
  }
  if (gDynamicOptimal != 0) gLoad = _stLoadParams{};
  gSysParams.refSysFlag = 0;
  gSysParams.eCPFlag = 0;
  gSysParams.loadFlag = 0;
}
