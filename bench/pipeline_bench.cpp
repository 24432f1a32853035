// The queued-move pipeline inside the 4 ms cycle (a cycle warns above
// 1500 µs). Targets: PreDealDataCalculate taking two moves with the real line
// planner at most 200 µs; PreDealDataRunning executing 41 instant entries at
// most 50 µs; TrueMotionCalculate for two lines (the blend construction) at
// most 500 µs.
#include <cstring>

#include <benchmark/benchmark.h>

#include "PTP/path/blending.h"
#include "PTP/path/path.h"
#include "PTP/pipeline/blend_setup.h"
#include "PTP/pipeline/entry_runner.h"
#include "PTP/pipeline/pre_deal.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/kinematics.h"

namespace {

core_interface gQuietCore{};

// A 225 + 175 mm arm at rest at (300, 0, -50, 0), queue running, no log output.
void SetUpKernel() {
  gQuietCore.log = [](const char*) {};
  gp_core_interface_inst = &gQuietCore;
  InitKernelQueues();
  std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
  std::memset(gAlarmSysStateBK, 0, sizeof gAlarmSysStateBK);
  gScaraMechPara[0] = 225.0;
  gScaraMechPara[1] = 175.0;
  const double limits[9] = {170, 150, 200, 360, -170, -150, -200, -360, 3};
  std::memcpy(gSoftLimitPara, limits, sizeof limits);
  gPeriodTime = 0.004;
  gAccType = 1;
  gSysParams.speedFactorRatio = 100;
  gSysParams.runQueuedCmd = 1;
  gCmdFinishFlag = 1;
  ResetQueuedPipeline();
}

tagGPose StartPose() {
  tagGPose start{};
  start.pose = {300, 0, -50, 0};
  const tagToolParams tool{};
  InverseCalBase(&start.pose, true, &start.joint, kCheckSingularity, &tool);
  return start;
}

PackedBaseCmd Line(float x, float y, std::uint8_t transition, std::uint64_t index) {
  PackedBaseCmd cmd{};
  cmd.type = kPackedPTP;
  cmd.queuedCmdIndex = index;
  cmd.body.ptp.armOrientation = 1;
  cmd.body.ptp.transition = transition;
  tagPTPParamsBlock params{};
  for (int i = 0; i < 4; ++i) {
    params.joint.velocity[i] = 200;
    params.joint.acceleration[i] = 400;
    params.joint.jerk[i] = 4000;
  }
  params.coordinate = {200, 200, 1000, 1000, 10000, 10000};
  params.common = {100, 100, 100, 100, 100, 100, 100, 100, 100};
  cmd.body.ptp.ptpParams = params;
  cmd.body.ptp.cmd = {2, x, y, -50, 0};
  return cmd;
}

void BM_PreDealDataCalculateTwoLines(benchmark::State& state) {
  SetUpKernel();
  const tagGPose start = StartPose();
  const PackedBaseCmd first = Line(300, 150, 0, 2);
  const PackedBaseCmd second = Line(150, 150, 0, 3);
  for (auto _ : state) {
    state.PauseTiming();
    RingBufferClear(&gPackedCmdQueue);
    RingBufferClear(&gPreDealDataQueue);
    RingBufferEnqueue(&gPackedCmdQueue, &first);
    RingBufferEnqueue(&gPackedCmdQueue, &second);
    gPreDealPos = start;
    CycleStartNow();
    state.ResumeTiming();
    PreDealDataCalculate(&gPackedCmdQueue, &gPreDealDataQueue);
  }
  if (gPreDealDataQueue.count != 2 || AlarmSysCheck() != 0) state.SkipWithError("the two lines were not planned");
}
BENCHMARK(BM_PreDealDataCalculateTwoLines)->Unit(benchmark::kMicrosecond);

// Groups of outputs with range(0) valid outputs each (one log line per output).
void BM_PreDealDataRunning41Instant(benchmark::State& state) {
  SetUpKernel();
  const int outputs = static_cast<int>(state.range(0));
  static PreDealData entry{};
  entry.type = kPackedMulIODO;
  entry.packedCmd.type = kPackedMulIODO;
  entry.packedCmd.body.mulIODO.count = static_cast<std::uint32_t>(outputs);
  for (int i = 0; i < outputs; ++i) {
    entry.packedCmd.body.mulIODO.DO[i].address = static_cast<std::uint32_t>(i + 1);
    entry.packedCmd.body.mulIODO.DO[i].level = 1;
    entry.packedCmd.body.mulIODO.DO[i].isQueued = 1;
  }
  for (auto _ : state) {
    state.PauseTiming();
    RingBufferClear(&gPreDealDataQueue);
    for (int i = 0; i < 41; ++i) RingBufferEnqueue(&gPreDealDataQueue, &entry);
    gCmdFinishFlag = 1;
    CycleStartNow();
    state.ResumeTiming();
    PreDealDataRunning(&gPreDealDataQueue);
  }
  if (gPreDealDataQueue.count != 0) state.SkipWithError("not all 41 entries ran");
}
BENCHMARK(BM_PreDealDataRunning41Instant)->Arg(1)->Arg(64)->Unit(benchmark::kMicrosecond);

void BM_TrueMotionCalculateTwoLines(benchmark::State& state) {
  SetUpKernel();
  gPreDealPos = StartPose();
  const PackedBaseCmd first = Line(300, 150, 50, 2);
  const PackedBaseCmd second = Line(150, 150, 50, 3);
  RingBufferEnqueue(&gPackedCmdQueue, &first);
  RingBufferEnqueue(&gPackedCmdQueue, &second);
  CycleStartNow();
  PreDealDataCalculate(&gPackedCmdQueue, &gPreDealDataQueue);
  if (gPreDealDataQueue.count != 2) {
    state.SkipWithError("the two lines were not planned");
    return;
  }
  static PreDealData cur;
  RingBufferDequeue(&gPreDealDataQueue, &cur);
  gpNextPreDealData = reinterpret_cast<PreDealData*>(RingBufferAt(&gPreDealDataQueue, 0));
  for (auto _ : state) {
    state.PauseTiming();
    gPreDealData = cur;
    fstPath = PathInfo{};
    secPath = PathInfo{};
    blendSeg.reset();
    CycleStartNow();
    state.ResumeTiming();
    TrueMotionCalculate(&gPreDealDataQueue);
  }
  if (!(gPreDealData.blendTime > 0.0)) state.SkipWithError("no blend was built");
}
BENCHMARK(BM_TrueMotionCalculateTwoLines)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
