#include "PTP/teach/inch_teach.h"

#include <cmath>
#include <cstring>

#include "PTP/teach/jog_command.h"
#include "PTP/profiles/traj_plan.h"
#include "PTP/profiles/traj_plan_7s.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/kinematics.h"
#include "common/kinematics/kinematics_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

InchJoint gInchJoint;
InchCoord gInchCoord;

namespace {

constexpr double kMinStep = 1e-5;
constexpr unsigned kAlarmInchJointLimit = 30;
constexpr unsigned kAlarmInchSoftLimit = 18;
constexpr unsigned kAlarmInchSingular = 32;
constexpr unsigned kAlarmInchOutOfReach = 33;
// The alarm of a jog speed that cannot move the arm.
constexpr unsigned kAlarmJogParams = 26;

// The dispatch plans the profile types 0 to 2; any other is taken as the
// default seven-segment profile.
bool dispatchPlans() { return gAccType >= 0 && gAccType <= 2; }

double jointOf(const JointTheta& joints, int axis) { return (&joints.j1)[axis]; }

}  // namespace

InchTeach::InchTeach() { Reset(); }

void InchTeach::Reset() {
  plan.noMotion = 1;
  cycleCount = 0;
}

void InchTeach::Inch() {
  if (!IsIdle()) {
    InchMoving();
    return;
  }
  if (ConvertCommand() == 1) PreDeal();
}

int InchTeach::ConvertCommand() {
  command = gSysParams.jogCmd.cmd;
  int pressed = 0;
  if (previousCommand == 0 && jog::IsAxisCommand(command)) {
    axis = static_cast<std::uint8_t>(jog::AxisOf(command));
    direction = jog::IsPositive(command) ? 1 : -1;
    startValue = jointOf(jog::MeasuredJoints(), axis);
    KernelLog("inch start. state:%d,axisIndex:%d,dir:%d \r\n", command, axis, direction);
    pressed = 1;
  }
  previousCommand = command;
  return pressed;
}

void InchTeach::PlanStep(double dist, float velocity, float acceleration) {
  jog::Speed speed{};
  // A step without speed would never end (or end in a division by zero).
  if (!jog::ScaledSpeed(velocity, acceleration, speed)) {
    Reset();
    return;
  }
  plan = TrajPlanData{};
  plan.dist = dist;
  plan.vMax = speed.velocity;
  plan.aMax = speed.acceleration;
  plan.aMaxDec = speed.acceleration;
  plan.jerk = speed.acceleration;
  plan.vStart = 0.0;
  plan.vEnd = 0.0;
  plan.period = gPeriodTime;
  const int result = dispatchPlans() ? TrajPlan(&plan) : TrajPlan7S(&plan);
  // A step that was not planned would be output whole in one cycle.
  if (result != 0 || !(plan.tTotal > 0.0) || !std::isfinite(plan.tTotal)) {
    KernelLog("inch plan error:%d dist:%1.3f tTotal:%1.3f\r\n", result, dist, plan.tTotal);
    Reset();
    AlarmSysSetBit(kAlarmJogParams, true);
    return;
  }
  plan.noMotion = 0;
  cycleCount = 0;
}

double InchTeach::Advance() {
  ++cycleCount;
  const double t = cycleCount * plan.period;
  if (t >= plan.tTotal) {
    const double s = plan.dist;
    Reset();
    return s;
  }
  return dispatchPlans() ? JointCalc(&plan, t) : JointCalc7S(&plan, t);
}

void InchJoint::PreDeal() {
  const double step = gSysParams.inchParams.distanceANG;
  plan.dist = step;
  if (std::fabs(step) < kMinStep) {
    Reset();
    return;
  }
  const double target = startValue + direction * step;
  if (target > gSoftLimitPara[axis] || target < gSoftLimitPara[4 + axis]) {
    Reset();
    AlarmSysSetBit(kAlarmInchJointLimit, true);
    return;
  }
  const tagJOGJointParams& params = gSysParams.jogJointParams;
  PlanStep(step, params.velocity[axis], params.acceleration[axis]);
}

void InchJoint::InchMoving() {
  const double s = Advance();
  gRobotAxisMove.nextPos[axis] = startValue + direction * s;
}

void InchCoord::PreDeal() {
  // x, y and z move by the distance step, r by the angle step.
  const double step = axis < 3 ? gSysParams.inchParams.distanceMM : gSysParams.inchParams.distanceANG;
  plan.dist = step;
  const WCSPosition pose = jog::MeasuredPose();
  std::memcpy(startPose, &pose, sizeof startPose);
  if (std::fabs(step) < kMinStep) {
    Reset();
    return;
  }
  const tagJOGCoordinateParams& params = gSysParams.jogCoordinateParams;
  PlanStep(step, params.velocity[axis], params.acceleration[axis]);
}

void InchCoord::InchMoving() {
  const double s = Advance();
  WCSPosition target;
  std::memcpy(&target, startPose, sizeof target);
  jog::Coordinate(target, axis) += direction * s;

  JointTheta joints = jog::MeasuredJoints();
  const bool rightHanded = joints.j2 >= 0.0;
  switch (InverseCal(&target, rightHanded, &joints, kCheckSingularity, &gToolParams, &gLocalParams)) {
    case kKinOk:
      std::memcpy(gRobotAxisMove.nextPos, &joints, sizeof gRobotAxisMove.nextPos);
      break;
    case kKinSoftLimit:
      Reset();
      AlarmSysSetBit(kAlarmInchSoftLimit, true);
      KernelLog("inch ERR_PLAN_INV_LIMIT \r\n");
      break;
    case kKinSingular:
      Reset();
      AlarmSysSetBit(kAlarmInchSingular, true);
      KernelLog("inch ERR_MOVE_INV_SINGULARITY \r\n");
      break;
    case kKinOutOfReach:
      Reset();
      AlarmSysSetBit(kAlarmInchOutOfReach, true);
      KernelLog("inch ERR_MOVE_INV_CALC \r\n");
      break;
    default:
      break;
  }
}
