// Arm kinematics per call, as planners and the cycle call them. Targets:
// W7ForwardCal at most 30 ns, W7InverseCal at most 60 ns, ForwardCal and
// InverseCal with a tool and a user frame at most 150 ns each, PointCheck
// (reachable target) at most 100 ns.
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/kinematics.h"

namespace {

constexpr int kPoints = 1024;

struct Arm {
  Arm() {
    const double mech[5] = {225, 175, 20, 10, 0};
    const double limits[9] = {132, 145, 10, 360, -132, -145, -250, -360, 3};
    for (int i = 0; i < 5; ++i) gScaraMechPara[i] = mech[i];
    for (int i = 0; i < 9; ++i) gSoftLimitPara[i] = limits[i];
    CycleStartNow();
    tStart.tv_sec += 3600;  // no stage report during the run
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> j1(-120, 120), j2(10, 140), j3(-200, 0), j4(-300, 300);
    for (int i = 0; i < kPoints; ++i) {
      const JointTheta j = {j1(rng), (i & 1) ? j2(rng) : -j2(rng), j3(rng), j4(rng)};
      joints.push_back(j);
      WCSPosition p;
      W7ForwardCal(&j, &p);
      flanges.push_back(p);
      ForwardCal(j, &p, tool, user);
      inUser.push_back(p);
      tagGPose g{};
      g.joint = j;
      ForwardCalBase(&g, &p, &tool);
      inBase.push_back(p);
    }
  }
  tagToolParams tool = {1, 35, 12, -20, 0};
  tagLocalParams user = {2, 120, -40, 5, 30};
  std::vector<JointTheta> joints;
  std::vector<WCSPosition> flanges, inUser, inBase;
};

const Arm& arm() {
  static const Arm a;
  return a;
}

// Runs `call` on point i of the table, cycling through it.
template <typename Call>
void cycle(benchmark::State& state, Call call) {
  std::size_t i = 0;
  for (auto _ : state) {
    call(i);
    i = (i + 1) & (kPoints - 1);
  }
}

void BM_W7ForwardCal(benchmark::State& state) {
  const Arm& a = arm();
  WCSPosition p;
  cycle(state, [&](std::size_t i) {
    W7ForwardCal(&a.joints[i], &p);
    benchmark::DoNotOptimize(p);
  });
}
BENCHMARK(BM_W7ForwardCal);

void BM_W7InverseCal(benchmark::State& state) {
  const Arm& a = arm();
  JointTheta j;
  cycle(state, [&](std::size_t i) {
    benchmark::DoNotOptimize(W7InverseCal(&a.flanges[i], a.joints[i].j2 >= 0, &j, kCheckAllJoints));
    benchmark::DoNotOptimize(j);
  });
}
BENCHMARK(BM_W7InverseCal);

void BM_ForwardCal_ToolAndUserFrame(benchmark::State& state) {
  const Arm& a = arm();
  WCSPosition p;
  cycle(state, [&](std::size_t i) {
    ForwardCal(a.joints[i], &p, a.tool, a.user);
    benchmark::DoNotOptimize(p);
  });
}
BENCHMARK(BM_ForwardCal_ToolAndUserFrame);

void BM_InverseCal_ToolAndUserFrame(benchmark::State& state) {
  const Arm& a = arm();
  JointTheta j;
  cycle(state, [&](std::size_t i) {
    benchmark::DoNotOptimize(InverseCal(&a.inUser[i], a.joints[i].j2 >= 0, &j, kCheckAllJoints, &a.tool, &a.user));
    benchmark::DoNotOptimize(j);
  });
}
BENCHMARK(BM_InverseCal_ToolAndUserFrame);

void BM_PointCheck_Reachable(benchmark::State& state) {
  const Arm& a = arm();
  JointTheta j;
  cycle(state, [&](std::size_t i) {
    benchmark::DoNotOptimize(PointCheck(&a.inBase[i], &j, a.joints[i].j2 >= 0, kCheckAllJoints, &a.tool));
    benchmark::DoNotOptimize(j);
  });
}
BENCHMARK(BM_PointCheck_Reachable);

}  // namespace

BENCHMARK_MAIN();
