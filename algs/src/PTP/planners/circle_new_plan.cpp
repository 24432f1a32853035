#include <cmath>

#include "PTP/path/circle_geometry.h"
#include "PTP/planners/circle_plan_steps.h"
#include "PTP/planners/circle_planner.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics_constants.h"
#include "common/kinematics/kinematics.h"

using namespace circle_steps;

void CircleNewPlan(PackedBaseCmd* cmd, PreDealData* /*prev*/, PreDealData* entry) {
  const CircleInputs in = ReadCircle(*cmd);

  // Whole turns still ahead, and the middle of the part turn before them.
  const CirlPlanPara old = LoadArcPlan(*entry);
  const double R = old.radius;
  const double k1 = entry->arcShare;
  const double k2 = entry->arcDeltaR;
  const double sDone = entry->arcTravelled;
  // A rotation in place has no turns to count and no middle point to place.
  if (!(k1 > 0.0)) {
    Refuse(19);
    return;
  }
  const int turns = static_cast<int>(std::floor((old.angle - sDone * k1 / R) * 0.5 / kKinPi));
  const double wholeTurns = static_cast<double>(static_cast<float>(2 * turns) * 3.1415927f);
  const double sMid = (sDone + R * (old.angle - wholeTurns) / k1) / 2.0;
  entry->arcRemaining = R * old.angle - k1 * sMid;
  entry->arcRemainingR = old.rDir[2] * old.rTravel - k2 * sMid;
  WCSPosition middle;
  TP_CalcCirclePtForScara(entry->arcOrigin, old.rotation, old.centre, R, k1 * sMid / R, k2 * sMid, &middle);

  const JointTheta startJoints = gPreDealPos.joint;
  if (!CheckStartJoints(startJoints, in.motion.arm)) return;
  WCSPosition start;
  tagGPose at{};
  at.joint = startJoints;
  ForwardCalBase(&at, &start, &in.motion.toolParams);
  // The path's own end and middle are checked in base coordinates.
  WCSPosition end = entry->targetPose;
  if (in.motion.eCPFlag) {
    CalECPToBase(&in.motion.ecpParams, &end);
    CalECPToBase(&in.motion.ecpParams, &middle);
  }
  JointTheta endJoints, joints;
  if (PointCheck(&end, &endJoints, in.motion.arm, kCheckSingularity, &in.motion.toolParams) != 0 ||
      PointCheck(&middle, &joints, in.motion.arm, kCheckSingularity, &in.motion.toolParams) != 0) {
    gCmdFinishFlag = 1;
    return;
  }

  if (in.motion.eCPFlag) ToExternalTool(in.motion.ecpParams, &start, &middle, &end);
  if (!Distinct(start, middle, end)) return;
  CirlPlanPara plan;
  if (TP_CirclePlanForScara(start, middle, end, &plan, turns, true) != 0) {
    Refuse(28);
    return;
  }
  if (!HasLength(plan)) return;
  WCSPosition pathEnd;
  if (!ReachAlongPath(in, start, end.r, plan, &pathEnd, &joints)) return;
  PathLimits limits;
  if (!TakeLimits(in.motion.ptpParams, &limits)) return;

  StoreArcPlan(plan, entry);
  entry->arcOrigin = start;
  entry->arcStartJoints[0] = startJoints.j1;
  entry->arcStartJoints[1] = startJoints.j2;
  entry->arcStartJoints[2] = startJoints.j3;
  entry->arcStartJoints[3] = startJoints.j4;
  PlanProfile(entry, limits, false);

  // The re-planned path ends where the fresh one did: targetPose stays.
  entry->targetAngle[0] = endJoints.j1;
  entry->targetAngle[1] = endJoints.j2;
  entry->targetAngle[2] = endJoints.j3;
  entry->targetAngle[3] = endJoints.j4;
  gPreDealPos.joint = endJoints;
  gPreDealPos.pose = entry->targetPose;
}
