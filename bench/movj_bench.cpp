// Joint move planner. Targets: MOVJPreDeal at most 5 µs for joint targets
// and 6 µs for a pose in a user frame, with its log lines; MOVJNewPlan at
// most 5 µs; MOVJPreDealTemp with its log lines and a full 64-entry
// look-ahead at most 10 µs; MOVJ per cycle at most 0.3 µs alone, 0.5 µs
// blending into a joint move and 1 µs blending into a line (one inverse
// solution). Log lines are formatted and handed to a callback that drops them.
#include <cstring>

#include <benchmark/benchmark.h>

#include "PTP/planners/movj_planner.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
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

constexpr JointTheta kStart = {10, 60, -20, 0};

void setUpKernel() {
  gp_core_interface_inst = &gSilentCore;
  gScaraMechPara[0] = 225.0;
  gScaraMechPara[1] = 175.0;
  const double limits[9] = {170, 150, 200, 360, -170, -150, -200, -360, 3};
  std::memcpy(gSoftLimitPara, limits, sizeof limits);
  gAccType = 1;
  gSysParams.speedFactorRatio = 100.0f;
  InitKernelQueues();
  gPreDealPos = {};
  gPreDealPos.joint = kStart;
  gSysParams.joint = kStart;
}

PackedBaseCmd move(std::uint8_t mode, float x, float y, float z, float r, std::uint8_t transition) {
  PackedBaseCmd cmd;
  std::memset(&cmd, 0, sizeof cmd);
  cmd.type = kPackedPTP;
  PackedPTPBody& body = cmd.body.ptp;
  tagPTPParamsBlock params{};
  for (int i = 0; i < 4; ++i) {
    params.joint.velocity[i] = 200;
    params.joint.acceleration[i] = 400;
    params.joint.jerk[i] = 4000;
  }
  params.common.velocityRatio = 100;
  params.common.accelerationRatio = 100;
  params.common.jerkRatio = 100;
  body.ptpParams = params;
  body.localParams = {1, 20, -10, 5, 30};
  body.transition = transition;
  body.armOrientation = 1;
  body.cmd = {mode, x, y, z, r};
  return cmd;
}

PreDealData gEntry;
PreDealData gNext;

void BM_MOVJPreDeal(benchmark::State& state, std::uint8_t mode, float x, float y, float z, float r) {
  setUpKernel();
  PackedBaseCmd cmd = move(mode, x, y, z, r, 50);
  for (auto _ : state) {
    gPreDealPos.joint = kStart;
    gEntry.transition = 50;
    MOVJPreDeal(&cmd, nullptr, &gEntry);
    benchmark::DoNotOptimize(gEntry.trajPlan.tTotal);
  }
  if (gAlarmSysState[2] != 0 || gEntry.trajPlan.tTotal <= 0.0) state.SkipWithError("the move was refused");
}
BENCHMARK_CAPTURE(BM_MOVJPreDeal, joints, 4, 70.0f, 20.0f, 40.0f, -90.0f);
BENCHMARK_CAPTURE(BM_MOVJPreDeal, pose_in_user_frame, 1, 250.0f, 80.0f, -30.0f, 40.0f);

void BM_MOVJNewPlan(benchmark::State& state) {
  setUpKernel();
  PackedBaseCmd cmd = move(4, 70, 20, 40, -90, 50);
  gEntry.transition = 50;
  MOVJPreDeal(&cmd, nullptr, &gEntry);
  for (auto _ : state) {
    gPreDealPos.joint = {30, 40, 0, -30};
    gEntry.trajPlan.vCurrent = 80.0;
    gEntry.trajPlan.variableSpeed = 1;
    MOVJNewPlan(&cmd, nullptr, &gEntry);
    benchmark::DoNotOptimize(gEntry.trajPlan.tTotal);
  }
}
BENCHMARK(BM_MOVJNewPlan);

void BM_MOVJPreDealTemp(benchmark::State& state) {
  setUpKernel();
  PackedBaseCmd cmd = move(4, 70, 20, 40, -90, 50);
  gEntry.transition = 50;
  MOVJPreDeal(&cmd, nullptr, &gEntry);
  // A full ring: frame changes to pass over, then the motion it blends into.
  PreDealData waiting{};
  waiting.type = kPackedLocalParams;
  for (std::uint32_t i = 0; i + 1 < kPreDealDataQueueSize; ++i) RingBufferEnqueue(&gPreDealDataQueue, &waiting);
  waiting.type = kPackedPTP;
  waiting.motionType = 1;
  waiting.localParams = {1, 20, -10, 5, 30};
  waiting.trajPlan.tAcc = 0.05;
  RingBufferEnqueue(&gPreDealDataQueue, &waiting);
  gSysParams.joint = {30, 40, 0, -30};
  MOVJPreDealTemp(&cmd, nullptr, &gEntry);
  if (gEntry.blendTime != 0.05) state.SkipWithError("the look-ahead did not reach the waiting motion");
  for (auto _ : state) {
    MOVJPreDealTemp(&cmd, nullptr, &gEntry);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MOVJPreDealTemp);

// A long joint move whose cycles repeat; `next` blends in from its first cycle.
void runCycles(benchmark::State& state, PreDealData* next) {
  for (auto _ : state) {
    MOVJ(&gEntry, next);
    benchmark::DoNotOptimize(gRobotAxisMove.nextPos[0]);
    if (gPeriodCount * gPeriodTime > gEntry.trajPlan.tTotal - 0.1 || gCmdFinishFlag != 0) {
      gPeriodCount = 0;
      gPeriodCount1 = 0;
      gCmdFinishFlag = 0;
      gEntry.trajPlan.noMotion = 0;
    }
  }
  if (next != nullptr && gAlarmSysState[4] != 0) state.SkipWithError("the blend pose was refused");
}

void planRunning() {
  setUpKernel();
  PackedBaseCmd cmd = move(4, 150, -60, 150, -300, 100);
  gEntry = {};
  gEntry.transition = 100;
  MOVJPreDeal(&cmd, nullptr, &gEntry);
  gEntry.motionType = 4;
  gEntry.blendTime = gEntry.trajPlan.tTotal;
  gPeriodCount = 0;
  gPeriodCount1 = 0;
}

void BM_MOVJ_alone(benchmark::State& state) {
  planRunning();
  runCycles(state, nullptr);
}
BENCHMARK(BM_MOVJ_alone);

void BM_MOVJ_blending_into_joint_move(benchmark::State& state) {
  planRunning();
  gNext = gEntry;
  gNext.motionType = 4;
  runCycles(state, &gNext);
}
BENCHMARK(BM_MOVJ_blending_into_joint_move);

void BM_MOVJ_blending_into_line(benchmark::State& state) {
  planRunning();
  gNext = {};
  gNext.motionType = 2;
  const JointTheta start = {40, 80, 0, 30};
  WCSPosition origin;
  W7ForwardCal(&start, &origin);
  gNext.lineStart = origin;
  gNext.lineStartJoints[0] = start.j1;
  gNext.lineStartJoints[1] = start.j2;
  gNext.lineStartJoints[2] = start.j3;
  gNext.lineStartJoints[3] = start.j4;
  gNext.armOrientation = 1;
  gNext.lineDir[0] = 0.6;
  gNext.lineDir[1] = -0.8;
  gNext.lineLength = 1.0;
  gNext.trajPlan.dist = 20;
  gNext.trajPlan.vMax = 100;
  gNext.trajPlan.aMax = gNext.trajPlan.aMaxDec = 1000;
  gNext.trajPlan.jerk = 10000;
  gNext.trajPlan.period = gPeriodTime;
  TrajPlan(&gNext.trajPlan);
  runCycles(state, &gNext);
}
BENCHMARK(BM_MOVJ_blending_into_line);

}  // namespace

BENCHMARK_MAIN();
