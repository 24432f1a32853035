// One control cycle of a planned jump.
#include <cstring>
#include <initializer_list>

#include "PTP/path/input_shaping.h"
#include "PTP/planners/jump_internal.h"
#include "PTP/planners/jump_planner.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

using namespace jump_plan;

namespace {

void takeLoad(const PreDealData* e) {
  // The planner words hold the load record, then the full-load record.
  if (e->loadFlag) {
    std::memcpy(&gLoad, e->plannerWords, sizeof gLoad);
  } else {
    gLoad = _stLoadParams{};
  }
  std::memcpy(&gLoadFullParams, reinterpret_cast<const char*>(e->plannerWords) + sizeof(_stLoadParams),
              sizeof gLoadFullParams);
}

// Position of a profile at t, with the previous cycle's position and the
// speed between them kept for a re-plan in flight.
double runProfile(TrajPlanData* p, double t, double period) {
  const double s = JointCalc(p, t);
  p->sPrev = JointCalc(p, t - period);
  p->vCurrent = (s - p->sPrev) / period;
  return s;
}

}  // namespace

void JUMP(PreDealData* entry) {
  takeLoad(entry);
  double* setPoint = gRobotAxisMove.nextPos;
  if (entry->trajPlan.noMotion) {
    gCmdFinishFlag = 1;
    for (int i = 0; i < 4; ++i) setPoint[i] = entry->targetAngle[i];
    return;
  }
  ShapChannel& shaping = strLocalVar[0];
  if (gInputShaping && !shaping.endFlag) {
    shaping.endFlag = 1;
    for (int i = 0; i < 4; ++i) vInitHistoryData(i, setPoint[i]);
  }

  gPeriodCount += 1;
  const double period = gPeriodTime;
  const double t = gPeriodCount * period;
  JumpMove& jump = entry->jumpMove;
  TrajPlanData& lift = jump.lift;
  TrajPlanData& descent = jump.descent;
  TrajPlanData& joints = entry->trajPlan;
  const double liftTime = entry->jumpStageTime1;
  const double jointStart = entry->jumpStageTime2;
  const double descentStart = entry->jumpStageTime3;
  const double jointEnd = jointStart + entry->jumpStageTime4;
  const double descentEnd = descentStart + descent.tTotal;
  const double z0 = jump.initialPos[2];
  const double top = LiftTop(entry);

  // Every value is computed from the plan each cycle (none is read back from
  // the set point, which holds the shaped value when shaping is on).
  double value[4] = {jump.initialPos[0], jump.initialPos[1], z0, jump.initialPos[3]};
  auto jointsAt = [&](double s) {
    for (int i : {0, 1, 3}) value[i] = jump.initialPos[i] + jump.u[i] * s;
  };
  const std::int32_t down = DescentDirection(descent);
  auto liftAt = [&](double s) { value[2] = lift.noMotion ? z0 : z0 + kUp * s; };
  auto descentAt = [&](double s) { value[2] = descent.noMotion ? top : top + down * s; };

  bool finished = false;
  if (t >= descentEnd) {
    for (int i = 0; i < 4; ++i) value[i] = entry->targetAngle[i];
    if (t >= descentEnd + shaping.delay2 * period) {
      gPeriodCount = 0;
      shaping.endFlag = 0;
      gCmdFinishFlag = 1;
      finished = true;
    }
  } else if (t >= jointEnd) {
    for (int i : {0, 1, 3}) value[i] = entry->targetAngle[i];
    descentAt(descent.noMotion ? 0.0 : runProfile(&descent, t - descentStart, period));
  } else if (t < descentStart && t < liftTime && t < jointStart) {
    liftAt(lift.noMotion ? 0.0 : runProfile(&lift, t, period));
    joints.vCurrent = 0.0;
    descent.vCurrent = 0.0;
  } else if (t < descentStart && t < liftTime) {
    liftAt(lift.noMotion ? 0.0 : JointCalc(&lift, t));
    jointsAt(JointCalc(&joints, t - jointStart));
  } else if (t < descentStart) {
    value[2] = top;
    jointsAt(runProfile(&joints, t - jointStart, period));
  } else {
    descentAt(descent.noMotion ? 0.0 : JointCalc(&descent, t - descentStart));
    jointsAt(JointCalc(&joints, t - jointStart));
  }

  // The last cycle lands on the target itself, as the joint move does: the
  // shaper still holds a trace of the descent's last sample here.
  if (gInputShaping && !finished) {
    for (int i = 0; i < 4; ++i) vCalcInputShaping(i, value[i], &value[i]);
  }
  for (int i = 0; i < 4; ++i) setPoint[i] = value[i];
}
