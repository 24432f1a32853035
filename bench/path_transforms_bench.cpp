// Per-cycle set points and blend shares. Targets: MOVLCMain <= 150 ns with
// shaping off, <= 1 µs with shaping on (its S2 line included); MOVJTrans <= 50
// ns; MOVLTrans, MOVCTrans and CircleTrans <= 150 ns without the blending object.
#include <benchmark/benchmark.h>

#include <cmath>

#include "PTP/path/circle_geometry.h"
#include "PTP/path/input_shaping.h"
#include "PTP/planners/path_transforms.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

namespace {

// Receives every formatted line and drops it.
void dropLine(const char* text) { benchmark::DoNotOptimize(text); }
core_interface gCore = [] {
  core_interface c{};
  c.log = dropLine;
  return c;
}();

void plan(TrajPlanData& p, double dist) {
  p.dist = dist;
  p.vMax = 200.0;
  p.aMax = 2000.0;
  p.aMaxDec = 2000.0;
  p.jerk = 20000.0;
  p.period = 0.004;
  TrajPlan(&p);
}

PreDealData entryOf(int type) {
  PreDealData e{};
  e.motionType = static_cast<std::uint32_t>(type);
  const WCSPosition a{250, -40, -20, 10}, b{200, 10, -40, 20}, c{260, 45, -45, 40};
  if (type == 2) {
    e.lineStart = a;
    const double L = std::sqrt(50.0 * 50.0 + 50.0 * 50.0 + 20.0 * 20.0);
    const double s = std::sqrt(L * L + 100.0);
    e.lineDir[0] = -50.0 / L;
    e.lineDir[1] = 50.0 / L;
    e.lineDir[2] = -20.0 / L;
    e.lineLength = L / s;
    e.lineDeltaR = 10.0 / s;
    plan(e.trajPlan, s);
    return e;
  }
  CirlPlanPara p{};
  TP_CirclePlanForScara(a, b, c, &p, type == 11 ? 1 : 0, type != 11);
  StoreArcPlan(p, &e);
  const double A = p.radius * p.angle;
  const double s = std::sqrt(A * A + p.rTravel * p.rTravel);
  e.arcOrigin = a;
  e.arcShare = A / s;
  e.arcDeltaR = p.rDir[2] * p.rTravel / s;
  plan(e.trajPlan, s);
  return e;
}

void setUp(bool shaping) {
  gp_core_interface_inst = &gCore;
  gAccType = 1;
  gPeriodTime = 0.004;
  gUsingTrueMotion = 0;
  gInputShaping = shaping ? 1 : 0;
  vInitShape(0, {0.1, 8.0, 0.004});
  vInitShape(1, {0.1, 8.0, 0.004});
}

// Cycles through the move's profile, as the run phase does.
void BM_MOVLCMain(benchmark::State& state) {
  const int type = static_cast<int>(state.range(0));
  setUp(state.range(1) != 0);
  PreDealData e = entryOf(type);
  const int cycles = static_cast<int>(e.trajPlan.tTotal / 0.004) - 1;
  int n = 0;
  WCSPosition pose{};
  for (auto _ : state) {
    n = n % cycles + 1;
    gPeriodCount = static_cast<std::uint32_t>(n);
    MOVLCMain(n * 0.004, &e, nullptr, &pose);
    benchmark::DoNotOptimize(pose);
  }
}
BENCHMARK(BM_MOVLCMain)->ArgNames({"type", "shaping"})->ArgsProduct({{2, 10, 11}, {0, 1}});

void BM_Trans(benchmark::State& state) {
  const int type = static_cast<int>(state.range(0));
  setUp(false);
  PreDealData cur{};
  cur.motionType = 2;
  PreDealData next = type == 1 ? PreDealData{} : entryOf(type);
  next.jointMove.u[0] = 0.6;
  next.jointMove.u[1] = 0.8;
  if (type == 1) plan(next.trajPlan, 90.0);
  int n = 0;
  WCSPosition pose{};
  double joints[4];
  for (auto _ : state) {
    n = n % 100 + 1;
    const double tn = n * 0.004;
    switch (type) {
      case 1:
        MOVJTrans(tn, &next, joints);
        benchmark::DoNotOptimize(joints);
        break;
      case 2:
        MOVLTrans(tn, &cur, &next, &pose);
        break;
      case 10:
        MOVCTrans(tn, &cur, &next, &pose);
        break;
      default:
        CircleTrans(tn, &cur, &next, &pose);
        break;
    }
    benchmark::DoNotOptimize(pose);
  }
}
BENCHMARK(BM_Trans)->ArgName("next")->Arg(1)->Arg(2)->Arg(10)->Arg(11);

}  // namespace

BENCHMARK_MAIN();
