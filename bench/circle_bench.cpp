// Full-circle planner. Targets: CirclePreDeal at most 15 µs (two pose checks,
// ten reach checks and one profile); CircleNewPlan at most 15 µs;
// CirclePreDealTemp at most 10 µs; Circle per cycle at most 1 µs alone and
// 2 µs blending into a line or an arc; two circles planned in one cycle at
// most 30 µs (0.75 % of the 4 ms period). Log lines are formatted and handed
// to a callback that drops them.
#include <cmath>
#include <cstring>

#include <benchmark/benchmark.h>

#include "PTP/path/circle_geometry.h"
#include "PTP/planners/circle_planner.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/kinematics.h"

namespace {

core_interface gSilentCore = [] {
  core_interface table{};
  table.log = [](const char* text) { benchmark::DoNotOptimize(text); };
  return table;
}();

// The arm's joints at (300, 0, -50, 0), elbow j2 >= 0.
JointTheta startJoints() {
  const WCSPosition start{300, 0, -50, 0};
  const tagToolParams tool{};
  JointTheta joints{};
  InverseCalBase(&start, true, &joints, kCheckSingularity, &tool);
  return joints;
}

void setUpKernel() {
  gp_core_interface_inst = &gSilentCore;
  gScaraMechPara[0] = 225.0;
  gScaraMechPara[1] = 175.0;
  const double limits[9] = {170, 150, 200, 360, -170, -150, -200, -360, 3};
  std::memcpy(gSoftLimitPara, limits, sizeof limits);
  gAccType = 1;
  gPeriodTime = 0.004;
  gSysParams.speedFactorRatio = 100.0f;
  InitKernelQueues();
  gPreDealPos = {};
  gPreDealPos.joint = startJoints();
  std::memcpy(&gSysParams.joint, &gPreDealPos.joint, sizeof gPreDealPos.joint);
}

// Two turns from (300, 0, -50, 0) through (250, 50, -50, 0) to (200, 0, -50, 90).
PackedBaseCmd circle(std::uint8_t transition) {
  PackedBaseCmd cmd;
  std::memset(&cmd, 0, sizeof cmd);
  cmd.type = kPackedCircle;
  PackedCircleBody& body = cmd.body.circle;
  tagPTPParamsBlock params{};
  params.coordinate = {200, 200, 1000, 1000, 10000, 10000};
  params.common = {100, 100, 100, 100, 100, 100, 100, 100, 100};
  body.ptpParams = params;
  body.armOrientation = 1;
  body.transition = transition;
  body.cmd = {{250, 50, -50, 0}, {200, 0, -50, 90}, 2};
  return cmd;
}

PreDealData gPlanned;
PreDealData gEntry;
PreDealData gNext;

void planOnce(std::uint8_t transition) {
  setUpKernel();
  PackedBaseCmd cmd = circle(transition);
  gPlanned = PreDealData{};
  gPlanned.transition = transition;
  gPlanned.motionType = 11;
  gPlanned.armOrientation = 1;
  CirclePreDeal(&cmd, nullptr, &gPlanned);
  gPlanned.packedCmd = cmd;
}

bool refused() { return AlarmSysCheck() != 0; }

void BM_CirclePreDeal(benchmark::State& state) {
  setUpKernel();
  PackedBaseCmd cmd = circle(0);
  const JointTheta start = gPreDealPos.joint;
  for (auto _ : state) {
    CycleStartNow();
    gPreDealPos.joint = start;
    CirclePreDeal(&cmd, nullptr, &gEntry);
    benchmark::DoNotOptimize(gEntry.trajPlan.tTotal);
  }
  if (refused()) state.SkipWithError("the circle was refused");
}
BENCHMARK(BM_CirclePreDeal);

void BM_TwoCirclesPlannedInOneCycle(benchmark::State& state) {
  setUpKernel();
  PackedBaseCmd cmd = circle(50);
  const JointTheta start = gPreDealPos.joint;
  for (auto _ : state) {
    CycleStartNow();
    gPreDealPos.joint = start;
    gEntry.transition = 50;
    CirclePreDeal(&cmd, nullptr, &gEntry);
    gNext.transition = 50;
    CirclePreDeal(&cmd, &gEntry, &gNext);
    benchmark::DoNotOptimize(gNext.trajPlan.tTotal);
  }
  if (refused()) state.SkipWithError("a circle was refused");
}
BENCHMARK(BM_TwoCirclesPlannedInOneCycle);

// Where a planned circle stands at a fraction of its profile.
JointTheta jointsAt(const PreDealData& e, double fraction) {
  const double s = fraction * e.trajPlan.dist;
  WCSPosition p;
  TP_CalcCirclePtForScara(e.arcOrigin, e.arcRotation, e.arcCentre, e.arcRadius, s * e.arcShare / e.arcRadius,
                          s * e.arcDeltaR, &p);
  const tagToolParams tool{};
  JointTheta joints{};
  InverseCalBase(&p, true, &joints, kCheckSingularity, &tool);
  return joints;
}

void BM_CircleNewPlan(benchmark::State& state) {
  planOnce(0);
  const JointTheta at = jointsAt(gPlanned, 0.3);
  gPlanned.arcTravelled = 0.3 * gPlanned.trajPlan.dist;
  for (auto _ : state) {
    CycleStartNow();
    std::memcpy(&gEntry, &gPlanned, sizeof gEntry);
    gPreDealPos.joint = at;
    gEntry.trajPlan.variableSpeed = 1;
    CircleNewPlan(&gEntry.packedCmd, nullptr, &gEntry);
    benchmark::DoNotOptimize(gEntry.trajPlan.tTotal);
  }
  if (refused()) state.SkipWithError("the re-plan was refused");
}
BENCHMARK(BM_CircleNewPlan);

void BM_CirclePreDealTemp(benchmark::State& state) {
  planOnce(0);
  const double p = 0.3 * gPlanned.trajPlan.dist;
  gPlanned.arcAngleRun = p * gPlanned.arcShare / gPlanned.arcRadius;
  gPlanned.arcRemaining = gPlanned.arcRadius * gPlanned.arcAngle - p * gPlanned.arcShare;
  gPlanned.arcRemainingR = gPlanned.arcRDir * gPlanned.arcRTravel - p * gPlanned.arcDeltaR;
  const JointTheta at = jointsAt(gPlanned, 0.3);
  std::memcpy(&gSysParams.joint, &at, sizeof at);
  for (auto _ : state) {
    CycleStartNow();
    std::memcpy(&gEntry, &gPlanned, sizeof gEntry);
    CirclePreDealTemp(&gEntry.packedCmd, nullptr, &gEntry);
    benchmark::DoNotOptimize(gEntry.trajPlan.tTotal);
  }
  if (refused()) state.SkipWithError("the re-plan was refused");
}
BENCHMARK(BM_CirclePreDealTemp);

// Cycles of the running circle, from `firstCycle` to its end, over and over.
void runCycles(benchmark::State& state, PreDealData* next, std::uint32_t firstCycle) {
  std::memcpy(&gEntry, &gPlanned, sizeof gEntry);
  gPeriodCount = firstCycle;
  gPeriodCount1 = 0;
  gCmdFinishFlag = 0;
  std::uint32_t blendCycles = 0;
  for (auto _ : state) {
    CycleStartNow();
    benchmark::DoNotOptimize(Circle(&gEntry, next));
    blendCycles += gPeriodCount1 != 0;
    if (gCmdFinishFlag != 0) {
      gEntry.trajPlan.noMotion = 0;
      gPeriodCount = firstCycle;
      gPeriodCount1 = 0;
      gCmdFinishFlag = 0;
    }
  }
  if (refused()) state.SkipWithError("a cycle failed");
  if ((next != nullptr) != (blendCycles > 0)) state.SkipWithError("blending not as intended");
}

void BM_Circle(benchmark::State& state) {
  planOnce(0);
  runCycles(state, nullptr, 0);
}
BENCHMARK(BM_Circle);

// A line of 50 mm along x after the circle, planned by hand.
void lineAfter(const PreDealData& circle) {
  gNext = PreDealData{};
  gNext.type = kPackedPTP;
  gNext.motionType = 2;
  gNext.lineStart = circle.targetPose;
  gNext.lineDir[0] = 1.0;
  gNext.lineLength = 1.0;
  TrajPlanData& plan = gNext.trajPlan;
  plan.dist = 50.0;
  plan.vMax = 200.0;
  plan.aMax = 500.0;
  plan.aMaxDec = 500.0;
  plan.jerk = 5000.0;
  plan.period = gPeriodTime;
  TrajPlan(&plan);
}

void BM_Circle_BlendingIntoALine(benchmark::State& state) {
  planOnce(100);
  lineAfter(gPlanned);
  const double start = gPlanned.trajPlan.tTotal - gPlanned.blendTime + gPeriodTime;
  runCycles(state, &gNext, static_cast<std::uint32_t>(std::ceil(start / gPeriodTime)));
}
BENCHMARK(BM_Circle_BlendingIntoALine);

}  // namespace

BENCHMARK_MAIN();
