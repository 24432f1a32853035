// Torque-limited caps, once per planned move. Target: each *DynOpt <= 50 µs
// when no evaluation needs the pseudo-inverse (two profile plans and up to four
// model evaluations), with a log callback that receives each line and drops it.
#include <benchmark/benchmark.h>

#include "Dynamics/dynamic_optimal.h"
#include "PTP/path/circle_geometry.h"
#include "PTP/planners/dynamic_caps.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"

namespace {

void dropLine(const char* text) { benchmark::DoNotOptimize(text); }
core_interface gCore = [] {
  core_interface c{};
  c.log = dropLine;
  return c;
}();

void setUp() {
  gp_core_interface_inst = &gCore;
  gAccType = 1;
  gPeriodTime = 0.004;
  gScaraMechPara[0] = 225.0;
  gScaraMechPara[1] = 175.0;
  gScaraMechPara[2] = 20.0;
  const double mass[4] = {4.0, 2.5, 0.8, 0.4};
  for (int j = 1; j <= 4; ++j) {
    dynParam.para[dyn_slot::link(j, dyn_slot::kM)] = mass[j - 1];
    dynParam.para[dyn_slot::link(j, dyn_slot::kMX)] = 0.05 * mass[j - 1];
    dynParam.para[dyn_slot::link(j, dyn_slot::kZZ)] = 0.02 * mass[j - 1];
  }
  const double bound[4] = {3.0, 1.5, 120.0, 0.3};
  for (int j = 0; j < 4; ++j) {
    torMax[j] = bound[j];
    torMin[j] = -bound[j];
  }
}

TrajPlanData limits(double v, double a, double j) {
  TrajPlanData p{};
  p.vMax = v;
  p.aMax = a;
  p.jerk = j;
  return p;
}

_stLoadFullParams payload() {
  _stLoadFullParams l{};
  l.weight = 2.0;
  l.inertia = 0.01;
  return l;
}

void BM_MOVJDynOpt(benchmark::State& state) {
  setUp();
  const double from[4] = {10, 40, -50, 0}, to[4] = {70, -30, -90, 120};
  TrajPlanData data[4];
  JointMove m{};
  double s2 = 0.0;
  for (int i = 0; i < 4; ++i) {
    data[i] = limits(300, 3000, 30000);
    data[i].dist = to[i] > from[i] ? to[i] - from[i] : from[i] - to[i];
    data[i].accDir = to[i] > from[i] ? 1 : -1;
    m.initialPos[i] = from[i];
    s2 += data[i].dist * data[i].dist;
  }
  for (auto _ : state) {
    TrajPlanData p{};
    p.dist = __builtin_sqrt(s2);
    p.period = 0.004;
    MOVJDynOpt(m, data, &p, 0, payload());
    benchmark::DoNotOptimize(p);
  }
}
BENCHMARK(BM_MOVJDynOpt)->Unit(benchmark::kMicrosecond);

void BM_MOVLDynOpt(benchmark::State& state) {
  setUp();
  const WCSPosition a{250, -100, -20, 0}, b{300, 120, -60, 45};
  for (auto _ : state) {
    TrajPlanData p{};
    p.dist = 238.0;
    p.period = 0.004;
    MOVLDynOpt(a, b, limits(800, 6000, 60000), limits(400, 4000, 40000), &p, 0, payload());
    benchmark::DoNotOptimize(p);
  }
}
BENCHMARK(BM_MOVLDynOpt)->Unit(benchmark::kMicrosecond);

void BM_MOVCDynOpt(benchmark::State& state) {
  setUp();
  const WCSPosition a{300, 0, -50, 0}, m{200, 150, -50, 20}, b{120, 250, -50, 60};
  CirlPlanPara arc{};
  TP_CirclePlanForScara(a, m, b, &arc, 0, true);
  for (auto _ : state) {
    TrajPlanData p{};
    p.dist = 350.0;
    p.period = 0.004;
    MOVCDynOpt(arc, a, b, limits(800, 6000, 60000), limits(400, 4000, 40000), &p, 0, payload());
    benchmark::DoNotOptimize(p);
  }
}
BENCHMARK(BM_MOVCDynOpt)->Unit(benchmark::kMicrosecond);

void BM_JUMPDynOpt(benchmark::State& state) {
  setUp();
  const double from[4] = {10, 40, -50, 0}, to[4] = {70, -30, -90, 120};
  TrajPlanData data[4];
  JumpMove m{};
  for (int i = 0; i < 4; ++i) {
    data[i] = limits(300, 3000, 30000);
    data[i].dist = to[i] > from[i] ? to[i] - from[i] : from[i] - to[i];
    data[i].accDir = to[i] > from[i] ? 1 : -1;
    m.initialPos[i] = from[i];
  }
  m.origin.z = from[2];
  m.lift.dist = 40.0;
  m.lift.accDir = 1;
  for (auto _ : state) {
    TrajPlanData p{};
    p.dist = 150.0;
    p.period = 0.004;
    JUMPDynOpt(m, data, &p, 0, payload(), kJumpTravel);
    benchmark::DoNotOptimize(p);
  }
}
BENCHMARK(BM_JUMPDynOpt)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
