#pragma once

// Planned entries built by hand, as the line, arc and circle planners fill
// them, and the kernel state the run-phase helpers read, at known values.

#include <cmath>
#include <cstring>

#include "PTP/path/circle_geometry.h"
#include "PTP/path/input_shaping.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/pre_deal_data.h"
#include "support/kernel_log_capture.h"

namespace planned {

inline void planProfile(TrajPlanData& p, double dist, double vMax, double aMax, double jerk) {
  p.dist = dist;
  p.vMax = vMax;
  p.aMax = aMax;
  p.aMaxDec = aMax;
  p.jerk = jerk;
  p.vStart = 0.0;
  p.vEnd = 0.0;
  p.period = 0.004;
  TrajPlan(&p);
}

// A line from `from` to `to` (motion type 2, 5 or 7) on a seven-segment profile.
inline PreDealData line(WCSPosition from, WCSPosition to, std::uint32_t type = 2) {
  PreDealData e{};
  e.motionType = type;
  const double d[3] = {to.x - from.x, to.y - from.y, to.z - from.z};
  const double L = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  const double dr = to.r - from.r;
  const double s = std::sqrt(L * L + dr * dr);
  e.lineStart = from;
  for (int i = 0; i < 3; ++i) e.lineDir[i] = L > 1e-5 ? d[i] / L : 0.0;
  e.lineLength = L / s;
  e.lineDeltaR = dr / s;
  e.targetPose = to;
  planProfile(e.trajPlan, s, 200.0, 2000.0, 20000.0);
  return e;
}

// An arc (type 10) from p0 through p1 to p2, or a full circle (type 11)
// through the three points back to p0 with r going to p2.r.
inline PreDealData curve(WCSPosition p0, WCSPosition p1, WCSPosition p2, std::uint32_t type) {
  PreDealData e{};
  e.motionType = type;
  CirlPlanPara plan{};
  const bool full = type == 11;
  if (TP_CirclePlanForScara(p0, p1, p2, &plan, full ? 1 : 0, !full) != 0) return e;
  StoreArcPlan(plan, &e);
  const double A = plan.radius * plan.angle;
  const double s = std::sqrt(A * A + plan.rTravel * plan.rTravel);
  e.arcOrigin = p0;
  e.arcShare = A / s;
  e.arcDeltaR = plan.rDir[2] * plan.rTravel / s;
  e.targetPose = full ? WCSPosition{p0.x, p0.y, p0.z, p2.r} : p2;
  planProfile(e.trajPlan, s, 150.0, 1500.0, 15000.0);
  return e;
}

// A joint move with unit direction u over distance s.
inline PreDealData joint(const double (&u)[4], double s) {
  PreDealData e{};
  e.motionType = 4;
  for (int i = 0; i < 4; ++i) e.jointMove.u[i] = u[i];
  planProfile(e.trajPlan, s, 100.0, 1000.0, 10000.0);
  return e;
}

}  // namespace planned

// Seven-segment profiles, the 4 ms period, shaping and true motion off,
// channels passing through, counters at 0; log lines caught.
class PlannerKernel : public KernelLogCapture {
 protected:
  void SetUp() override {
    KernelLogCapture::SetUp();
    savedAccType_ = gAccType;
    savedPeriod_ = gPeriodTime;
    gAccType = 1;
    gPeriodTime = 0.004;
    resetRunState();
  }
  void TearDown() override {
    resetRunState();
    gAccType = savedAccType_;
    gPeriodTime = savedPeriod_;
    KernelLogCapture::TearDown();
  }

  static void resetRunState() {
    gInputShaping = 0;
    gUsingTrueMotion = 0;
    gPeriodCount = 0;
    gPeriodCount1 = 0;
    gPauseCmdFlag = 0;
    for (ShapChannel& ch : strLocalVar) {
      std::memset(&ch, 0, sizeof ch);
      ch.frequency = kShapingOffFrequency;
      ch.A1 = 1.0;
    }
  }

 private:
  std::int32_t savedAccType_ = 0;
  double savedPeriod_ = 0.0;
};
