#include <cmath>
#include <cstring>

#include "PTP/planners/circle_plan_steps.h"
#include "PTP/planners/circle_planner.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"
#include "common/math/fast_trig.h"

using namespace circle_steps;

void CirclePreDealTemp(PackedBaseCmd* cmd, PreDealData* /*prev*/, PreDealData* entry) {
  const CircleInputs in = ReadCircle(*cmd);
  JointTheta current;
  std::memcpy(&current, &gSysParams.joint, sizeof current);
  if (!CheckStartJoints(current, in.motion.arm)) return;

  WCSPosition start;
  tagGPose at{};
  at.joint = current;
  ForwardCalBase(&at, &start, &in.motion.toolParams);
  if (in.motion.eCPFlag) CalECPToTool(&in.motion.ecpParams, &start);

  // The plan turned to start where the arm stands, over what remains.
  const double phi = entry->arcAngleRun;
  const double remaining = entry->arcRemaining;
  const double remainingR = entry->arcRemainingR;
  if (std::fabs(remaining) < 1e-5 && std::fabs(remainingR) < 1e-5) {
    Refuse(19);
    return;
  }
  CirlPlanPara plan = LoadArcPlan(*entry);
  const double c = cosQ(phi), s = sinQ(phi);
  for (int i = 0; i < 3; ++i) {
    const double u = plan.rotation.m[i][0], v = plan.rotation.m[i][1];
    plan.rotation.m[i][0] = c * u + s * v;
    plan.rotation.m[i][1] = c * v - s * u;
  }
  plan.rTravel = std::fabs(remainingR);
  plan.angle = remaining / plan.radius;
  PathLimits limits;
  if (!TakeLimits(in.motion.ptpParams, &limits)) return;

  StoreArcPlan(plan, entry);
  entry->arcOrigin = start;
  entry->arcStartJoints[0] = current.j1;
  entry->arcStartJoints[1] = current.j2;
  entry->arcStartJoints[2] = current.j3;
  entry->arcStartJoints[3] = current.j4;
  // Nothing of the run before the stop is valid on the turned plan, and the
  // arm is at rest.
  entry->arcTravelled = 0.0;
  entry->trajPlan.vCurrent = 0.0;
  entry->trajPlan.sPrev = 0.0;
  entry->trajPlan.variableSpeed = 0;
  PlanProfile(entry, limits, entry->transition > 1e-5);
}
