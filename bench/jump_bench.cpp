// Jump planner. Targets: JUMPPreDeal at most 10 µs (three profile plans with
// their log lines, two kinematic solutions, one re-timing); JUMPNewPlan and
// JUMPPreDealTemp at most 10 µs each; JUMP per cycle at most 0.3 µs, 0.5 µs
// with input shaping on. Two jumps planned in one cycle stay within 20 µs,
// 0.5 % of the 4 ms period. Log lines are formatted and handed to a callback
// that drops them.
#include <cstring>

#include <benchmark/benchmark.h>

#include "PTP/path/input_shaping.h"
#include "PTP/planners/jump_planner.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace {

core_interface gSilentCore = [] {
  core_interface table{};
  table.log = [](const char* text) { benchmark::DoNotOptimize(text); };
  return table;
}();

constexpr JointTheta kStart = {10, 60, -20, 0};

void setUpKernel(int accType) {
  gp_core_interface_inst = &gSilentCore;
  gScaraMechPara[0] = 225.0;
  gScaraMechPara[1] = 175.0;
  const double limits[9] = {170, 150, 200, 360, -170, -150, -200, -360, 3};
  std::memcpy(gSoftLimitPara, limits, sizeof limits);
  gAccType = accType;
  gSysParams.speedFactorRatio = 100.0f;
  std::memcpy(reinterpret_cast<char*>(&gSysParams) + offsetof(tagSysParams, joint), &kStart, sizeof kStart);
  InitKernelQueues();
  gPreDealPos = {};
  gPreDealPos.joint = kStart;
  std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
}

// A jump to a pose in the base frame (mode 0) or to joints (mode 3).
PackedBaseCmd jump(std::uint8_t mode, float x, float y, float z, float r) {
  PackedBaseCmd cmd;
  std::memset(&cmd, 0, sizeof cmd);
  cmd.type = kPackedPTP;
  tagPTPParamsBlock params{};
  const float v[4] = {200, 200, 500, 600};
  for (int i = 0; i < 4; ++i) {
    params.joint.velocity[i] = v[i];
    params.joint.acceleration[i] = 2 * v[i];
    params.joint.jerk[i] = 20 * v[i];
  }
  params.common.velocityRatio = 100;
  params.common.accelerationRatio = 100;
  params.common.jerkRatio = 100;
  params.jump2 = {20, 20, 50};
  PackedPTPBody body;
  std::memcpy(&body, &cmd.body.ptp, sizeof body);
  body.ptpParams = params;
  body.cmd = {mode, x, y, z, r};
  std::memcpy(&cmd.body.ptp, &body, sizeof body);
  return cmd;
}

PreDealData gEntry;

bool refused() {
  for (std::uint8_t byte : gAlarmSysState) {
    if (byte != 0) return true;
  }
  return false;
}

void BM_JUMPPreDeal(benchmark::State& state, std::uint8_t mode, float x, float y, float z, float r) {
  setUpKernel(static_cast<int>(state.range(0)));
  PackedBaseCmd cmd = jump(mode, x, y, z, r);
  for (auto _ : state) {
    gPreDealPos.joint = kStart;
    JUMPPreDeal(&cmd, &gEntry);
    benchmark::DoNotOptimize(gEntry.jumpStageTime4);
  }
  if (refused()) state.SkipWithError("the jump was refused");
}
BENCHMARK_CAPTURE(BM_JUMPPreDeal, joints, 3, 60.0f, 20.0f, -40.0f, 90.0f)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK_CAPTURE(BM_JUMPPreDeal, pose, 0, 150.0f, 250.0f, -30.0f, 45.0f)->Arg(0)->Arg(1)->Arg(2);

// Two jumps planned back to back, as the pre-processing may in one cycle.
void BM_TwoJumpsPerCycle(benchmark::State& state) {
  setUpKernel(1);
  PackedBaseCmd there = jump(0, 150.0f, 250.0f, -30.0f, 45.0f);
  PackedBaseCmd back = jump(3, kStart.j1, kStart.j2, kStart.j3, kStart.j4);
  static PreDealData second;
  for (auto _ : state) {
    gPreDealPos.joint = kStart;
    JUMPPreDeal(&there, &gEntry);
    JUMPPreDeal(&back, &second);
    benchmark::DoNotOptimize(second.jumpStageTime4);
  }
  if (refused()) state.SkipWithError("a jump was refused");
}
BENCHMARK(BM_TwoJumpsPerCycle);

// Runs the planned jump to `t` seconds; the clock of the re-plan.
void runTo(double t) {
  gPeriodCount = 0;
  gCmdFinishFlag = 0;
  while (gPeriodCount * gPeriodTime < t && gCmdFinishFlag == 0) JUMP(&gEntry);
}

void BM_JUMPNewPlan(benchmark::State& state) {
  setUpKernel(static_cast<int>(state.range(0)));
  PackedBaseCmd cmd = jump(3, 60.0f, 20.0f, -40.0f, 90.0f);
  JUMPPreDeal(&cmd, &gEntry);
  runTo(gEntry.jumpStageTime2 / 2);  // lifting before the joints start
  const PreDealData running = gEntry;
  const std::uint32_t count = gPeriodCount;
  JointTheta setPoint{gRobotAxisMove.nextPos[0], gRobotAxisMove.nextPos[1], gRobotAxisMove.nextPos[2],
                      gRobotAxisMove.nextPos[3]};
  // Each round restores the running entry (a 3 KB copy, counted in).
  for (auto _ : state) {
    gEntry = running;
    gPeriodCount = count;
    gPreDealPos.joint = setPoint;
    JUMPNewPlan(&cmd, &gEntry);
    benchmark::DoNotOptimize(gEntry.jumpStageTime4);
  }
  if (refused()) state.SkipWithError("the re-plan was refused");
}
BENCHMARK(BM_JUMPNewPlan)->Arg(0)->Arg(1)->Arg(2);

void BM_JUMPPreDealTemp(benchmark::State& state) {
  setUpKernel(static_cast<int>(state.range(0)));
  PackedBaseCmd cmd = jump(3, 60.0f, 20.0f, -40.0f, 90.0f);
  JUMPPreDeal(&cmd, &gEntry);
  for (auto _ : state) {
    JUMPPreDealTemp(&cmd, &gEntry);
    benchmark::DoNotOptimize(gEntry.jumpStageTime4);
  }
  if (refused()) state.SkipWithError("the re-plan was refused");
}
BENCHMARK(BM_JUMPPreDealTemp)->Arg(0)->Arg(1)->Arg(2);

// One cycle, averaged over the whole jump and its settling.
void BM_JUMP(benchmark::State& state) {
  setUpKernel(static_cast<int>(state.range(0)));
  const bool shaping = state.range(1) != 0;
  gInputShaping = shaping ? 1 : 0;
  for (int i = 0; i < 4; ++i) vInitShape(i, {0.05, shaping ? 5.0 : kShapingOffFrequency, 0.004});
  PackedBaseCmd cmd = jump(3, 60.0f, 20.0f, -40.0f, 90.0f);
  JUMPPreDeal(&cmd, &gEntry);
  gPeriodCount = 0;
  gCmdFinishFlag = 0;
  for (auto _ : state) {
    JUMP(&gEntry);
    if (gCmdFinishFlag != 0) {
      gCmdFinishFlag = 0;  // run it again from its start
      gPeriodCount = 0;
    }
    benchmark::DoNotOptimize(gRobotAxisMove.nextPos[2]);
  }
  gInputShaping = 0;
  if (refused()) state.SkipWithError("the jump was refused");
}
BENCHMARK(BM_JUMP)->Args({0, 0})->Args({1, 0})->Args({2, 0})->Args({1, 1});

}  // namespace

BENCHMARK_MAIN();
