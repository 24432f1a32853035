#include <climits>

#include "PTP/path/circle_geometry.h"
#include "PTP/planners/circle_plan_steps.h"
#include "PTP/planners/circle_planner.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

using namespace circle_steps;

void CirclePreDeal(PackedBaseCmd* cmd, PreDealData* prev, PreDealData* entry) {
  const CircleInputs in = ReadCircle(*cmd);
  entry->externalToolFlag = in.motion.eCPFlag;
  entry->loadFlag = in.motion.loadFlag;

  const JointTheta startJoints = gPreDealPos.joint;
  if (!CheckStartJoints(startJoints, in.motion.arm)) return;

  WCSPosition middle, end, start;
  CalCordToBase(&in.middle, &middle, &in.motion.localParams);
  CalCordToBase(&in.end, &end, &in.motion.localParams);
  tagGPose at{};
  at.joint = startJoints;
  ForwardCalBase(&at, &start, &in.motion.toolParams);
  // The end pose fixes the plane and must be reachable, but the path does not
  // end there: its joints are not the end joints.
  JointTheta joints;
  if (PointCheck(&end, &joints, in.motion.arm, kCheckSingularity, &in.motion.toolParams) != 0 ||
      PointCheck(&middle, &joints, in.motion.arm, kCheckSingularity, &in.motion.toolParams) != 0) {
    gCmdFinishFlag = 1;
    return;
  }
  if (in.motion.eCPFlag) ToExternalTool(in.motion.ecpParams, &start, &middle, &end);
  if (!Distinct(start, middle, end)) return;

  // A turn count the planner's int cannot hold is no circle.
  CirlPlanPara plan;
  if (in.turns > static_cast<std::uint32_t>(INT_MAX) ||
      TP_CirclePlanForScara(start, middle, end, &plan, static_cast<int>(in.turns), false) != 0) {
    Refuse(28);
    return;
  }
  if (!HasLength(plan)) return;
  WCSPosition pathEnd;
  JointTheta endJoints;
  if (!ReachAlongPath(in, start, end.r, plan, &pathEnd, &endJoints)) return;
  PathLimits limits;
  if (!TakeLimits(in.motion.ptpParams, &limits)) return;

  StoreArcPlan(plan, entry);
  entry->arcOrigin = start;
  entry->arcStartJoints[0] = startJoints.j1;
  entry->arcStartJoints[1] = startJoints.j2;
  entry->arcStartJoints[2] = startJoints.j3;
  entry->arcStartJoints[3] = startJoints.j4;
  const bool halve = entry->transition > 1e-5 || (prev != nullptr && prev->blendTime > 1e-5);
  PlanProfile(entry, limits, halve);
  if (!gUsingTrueMotion && prev != nullptr && prev->blendTime > entry->trajPlan.tAcc) {
    prev->blendTime = entry->trajPlan.tAcc;
  }

  // Whole turns bring the tool back over the start point, with the end pose's r.
  entry->targetPose = pathEnd;
  entry->targetAngle[0] = endJoints.j1;
  entry->targetAngle[1] = endJoints.j2;
  entry->targetAngle[2] = endJoints.j3;
  entry->targetAngle[3] = endJoints.j4;
  gPreDealPos.joint = endJoints;
  gPreDealPos.pose = pathEnd;
}
