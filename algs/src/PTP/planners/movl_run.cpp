#include "PTP/path/input_shaping.h"
#include "PTP/planners/path_transforms.h"
#include "PTP/planners/cart_run.h"
#include "PTP/planners/movl.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace {

void targetAsSetPoint(const PreDealData* cur) {
  for (int i = 0; i < 4; ++i) gRobotAxisMove.nextPos[i] = cur->targetAngle[i];
}

}  // namespace

void MOVL(PreDealData* cur, PreDealData* next) {
  CartLoadWords(cur);
  const bool conveyor = cur->conveyorFlag != 0;
  if (cur->trajPlan.noMotion != 0) {
    gCmdFinishFlag = 1;
    if (gPauseCmdFlag != 0) {
      gPauseCmdFlag = 0;
      gSysParams.runQueuedCmd = 0;
    }
    if (conveyor) {
      CartConveyorFinish("MOVL finish\r\n");
    } else {
      targetAsSetPoint(cur);
    }
    return;
  }

  gPeriodCount += 1;
  const double t = gPeriodCount * gPeriodTime;
  WCSPosition pose = cur->targetPose;
  MOVLCMain(t, cur, next, &pose);
  double offset[4] = {};
  CartBlend(cur, next, t, &pose, offset);
  CartPoseToBase(cur, &pose, "MOVL track:%1.3f %1.3f %1.3f\r\n");
  if (!CartSetPoint(cur, pose, offset, "MOVL calerror\r\n")) return;

  if (cur->trajPlan.noMotion != 0) {
    gPeriodCount = 0;
    gCmdFinishFlag = 1;
    if (conveyor) {
      CartConveyorFinish("MOVL finish\r\n");
    } else if (next == nullptr) {
      if (cur->externalToolFlag != 0) targetAsSetPoint(cur);
      strLocalVar[0].endFlag = 0;
    }
  }
}
