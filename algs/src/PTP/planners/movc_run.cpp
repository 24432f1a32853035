#include "PTP/path/input_shaping.h"
#include "PTP/planners/path_transforms.h"
#include "PTP/planners/cart_run.h"
#include "PTP/planners/movc.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

// As the linear run phase, without its early exit: MOVLCMain gives the target
// pose of a finished entry.
void MOVC(PreDealData* cur, PreDealData* next) {
  CartLoadWords(cur);
  gPeriodCount += 1;
  const double t = gPeriodCount * gPeriodTime;
  WCSPosition pose = cur->targetPose;
  MOVLCMain(t, cur, next, &pose);
  double offset[4] = {};
  CartBlend(cur, next, t, &pose, offset);
  CartPoseToBase(cur, &pose, "MOVC track:%1.3f %1.3f %1.3f\r\n");
  if (!CartSetPoint(cur, pose, offset, nullptr)) return;

  if (cur->trajPlan.noMotion != 0) {
    gPeriodCount = 0;
    gCmdFinishFlag = 1;
    if (cur->conveyorFlag != 0) {
      CartConveyorFinish("MOVC finish\r\n");
      strLocalVar[0].endFlag = 0;
    } else if (next == nullptr) {
      for (int i = 0; i < 4; ++i) gRobotAxisMove.nextPos[i] = cur->targetAngle[i];
    }
  }
}
