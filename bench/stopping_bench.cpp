// Stops and playback. Targets: each stop's per-cycle step (the path stop with
// its one inverse solution) 2 µs; the playback's dispatch 50 ns on top of the
// run phase (an entry of type 9, which has none). The log callback receives
// every formatted line and drops it.
#include <cstring>

#include <benchmark/benchmark.h>

#include "PTP/stopping/joint_stops.h"
#include "PTP/stopping/path_stop.h"
#include "PTP/stopping/playback.h"
#include "PTP/stopping/stop_request.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/kinematics.h"

namespace {

core_interface gTable{};
const double kMoving[4] = {10.0, -12.0, 5.0, 30.0};

void setUpKernel() {
  gTable.log = [](const char* text) { benchmark::DoNotOptimize(text); };
  gp_core_interface_inst = &gTable;
  gScaraMechPara[0] = 225.0;
  gScaraMechPara[1] = 175.0;
  const double limits[9] = {170, 150, 200, 360, -170, -150, -200, -360, 3};
  std::memcpy(gSoftLimitPara, limits, sizeof limits);
  gPeriodTime = 0.004;
  InitKernelQueues();
  const JointTheta at{10.0, 60.0, -20.0, 0.0};
  std::memcpy(reinterpret_cast<char*>(&gSysParams) + offsetof(tagSysParams, joint), &at, sizeof at);
  gPreDealData = PreDealData{};
  gPreDealData.motionType = 1;
  for (int j = 0; j < 4; ++j) gPreDealData.targetAngle[j] = 100.0;
  CycleStartNow();
}

void setSpeeds() { std::memcpy(gRobotAxisMove.nextVel, kMoving, sizeof kMoving); }

// The first cycle of a stop (planning and one step): its costliest.
template <void (*Stop)(), int Kind>
void BM_StopFirstCycle(benchmark::State& state) {
  setUpKernel();
  for (auto _ : state) {
    setSpeeds();
    if (Kind < 0) {
      gRobotPrfMode = kPrfConveyorStop;
      gStopCmdPlanFlag = 0;
    } else {
      SetStopParams(Kind);
    }
    Stop();
    benchmark::DoNotOptimize(gRobotAxisMove.nextPos[0]);
  }
}
BENCHMARK(BM_StopFirstCycle<EmergencyStop, kStopEmergency>)->Name("EmergencyStop/first");
BENCHMARK(BM_StopFirstCycle<SmoothStopS, kStopSmooth>)->Name("SmoothStopS/first");
BENCHMARK(BM_StopFirstCycle<ConvSmoothStopS, -1>)->Name("ConvSmoothStopS/first");
BENCHMARK(BM_StopFirstCycle<TeachStop, kStopTeach>)->Name("TeachStop/first");

// A later cycle of a planned stop.
template <void (*Stop)(), int Kind>
void BM_StopLaterCycle(benchmark::State& state) {
  setUpKernel();
  setSpeeds();
  SetStopParams(Kind);
  Stop();
  for (auto _ : state) {
    setSpeeds();
    gPeriodCount = 3;
    Stop();
    benchmark::DoNotOptimize(gRobotAxisMove.nextPos[0]);
  }
}
BENCHMARK(BM_StopLaterCycle<EmergencyStop, kStopEmergency>)->Name("EmergencyStop/later");
BENCHMARK(BM_StopLaterCycle<SmoothStopS, kStopSmooth>)->Name("SmoothStopS/later");
BENCHMARK(BM_StopLaterCycle<TeachStop, kStopTeach>)->Name("TeachStop/later");

// A braking cycle of the path stop on a line or an arc of the working area.
void setUpPath(std::uint32_t motionType) {
  setUpKernel();
  PreDealData& e = gPreDealData;
  e.motionType = motionType;
  e.armOrientation = 1;
  e.lineStart = {300, 0, -50, 0};
  e.lineDir[1] = 1.0;
  e.lineLength = 1.0;
  e.lineDeltaR = 0.1;
  e.arcRadius = 50.0;
  e.arcAngle = 3.0;
  e.arcShare = 1.0;
  e.arcDeltaR = 0.1;
  e.arcCentre = {250, 0, -50};
  e.arcRotation.m[0][0] = 1.0;
  e.arcRotation.m[1][1] = 1.0;
  e.arcRotation.m[2][2] = 1.0;
  e.arcOrigin = {300, 0, -50, 0};
  e.trajPlan.dist = 120.0;
  e.pathJerk = 40000.0;
  e.baseJerk = 40000.0;
}

void BM_PathStopCycle(benchmark::State& state) {
  setUpPath(static_cast<std::uint32_t>(state.range(0)));
  for (auto _ : state) {
    gCmdFinishFlag = 0;
    gPreDealData.pathParam = 40.0;
    gPreDealData.pathSpeed = 300.0;
    SetStopParams(kStopPath);
    PathStop();  // plans
    PathStop();  // brakes: one pose, one inverse solution
    benchmark::DoNotOptimize(gRobotAxisMove.nextPos[0]);
  }
  const bool solved = gCmdFinishFlag == 0 && gRobotPrfMode == kPrfStop && gStopMode == kStopPath;
  state.SetLabel(solved ? "plan + one braking cycle" : "NOT SOLVED");
}
BENCHMARK(BM_PathStopCycle)->Arg(2)->Arg(10);

void BM_PlayBackDispatch(benchmark::State& state) {
  setUpKernel();
  gPreDealData.motionType = 9;
  gPauseCmdFlag = 0;
  for (auto _ : state) {
    gCmdFinishFlag = 0;
    PlayBack(&gPreDealData, nullptr);
    benchmark::DoNotOptimize(gCmdFinishFlag);
  }
}
BENCHMARK(BM_PlayBackDispatch);

}  // namespace

BENCHMARK_MAIN();
