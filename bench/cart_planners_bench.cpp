// Line and arc planners. Targets: MOVLPreDeal with its path check 10 µs,
// MOVLNewPlan 10 µs, MOVLPreDealTemp 12 µs; MOVCPreDeal, MOVCNewPlan and
// MOVCPreDealTemp 15 µs each; MOVL and MOVC per cycle 0.5 µs alone, 1.5 µs
// blending into another line or arc; MOVL on a conveyor with its log lines
// 5 µs; two arcs planned in one cycle 30 µs. The log callback receives every
// formatted line and drops it. Results are kept with ClobberMemory: the
// register form of DoNotOptimize on an entry's field miscompiles here.
#include <cstring>

#include <benchmark/benchmark.h>

#include "PTP/planners/movc.h"
#include "PTP/planners/movl.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/conveyor_track.h"
#include "common/kinematics/kinematics.h"

namespace {

core_interface gTable{};

const JointTheta kStart{-30.0, 100.0, -20.0, 0.0};

void setUpKernel() {
  gTable.log = [](const char* text) { benchmark::DoNotOptimize(text); };
  gp_core_interface_inst = &gTable;
  gScaraMechPara[0] = 225.0;
  gScaraMechPara[1] = 175.0;
  const double limits[9] = {170, 150, 200, 360, -170, -150, -200, -360, 3};
  std::memcpy(gSoftLimitPara, limits, sizeof limits);
  gSysParams.speedFactorRatio = 100.0f;
  gAccType = 1;
  gPeriodTime = 0.004;
  InitKernelQueues();
}

WCSPosition startPose() {
  tagGPose at{};
  at.joint = kStart;
  WCSPosition pose;
  const tagToolParams tool{};
  ForwardCalBase(&at, &pose, &tool);
  return pose;
}

void snapshotInto(tagPTPParamsBlock& params) {
  params.coordinate = {400, 180, 2000, 900, 40000, 18000};
  params.common = {100, 100, 100, 100, 100, 100, 100, 100, 100};
}

PackedBaseCmd lineCmd(const WCSPosition& to, std::uint8_t transition, std::uint8_t refSys = 0) {
  PackedBaseCmd cmd{};
  cmd.type = kPackedPTP;
  cmd.body.ptp.armOrientation = 1;
  cmd.body.ptp.transition = transition;
  tagPTPParamsBlock params{};
  snapshotInto(params);
  cmd.body.ptp.ptpParams = params;
  cmd.body.ptp.refSysFlag = refSys;
  cmd.body.ptp.cmd = tagPTPCmd{2, static_cast<float>(to.x), static_cast<float>(to.y), static_cast<float>(to.z),
                               static_cast<float>(to.r)};
  return cmd;
}

PackedBaseCmd arcCmd(const WCSPosition& mid, const WCSPosition& to, std::uint8_t transition) {
  PackedBaseCmd cmd{};
  cmd.type = kPackedARC;
  cmd.body.arc.armOrientation = 1;
  cmd.body.arc.transition = transition;
  tagPTPParamsBlock params{};
  snapshotInto(params);
  cmd.body.arc.ptpParams = params;
  cmd.body.arc.cmd = tagARCCmd{{static_cast<float>(mid.x), static_cast<float>(mid.y), static_cast<float>(mid.z),
                                static_cast<float>(mid.r)},
                               {static_cast<float>(to.x), static_cast<float>(to.y), static_cast<float>(to.z),
                                static_cast<float>(to.r)}};
  return cmd;
}

const WCSPosition kLineEnd() {
  const WCSPosition a = startPose();
  return {a.x + 80, a.y - 40, a.z + 10, a.r + 20};
}
const WCSPosition kArcMid() {
  const WCSPosition a = startPose();
  return {a.x + 30, a.y - 30, a.z, a.r};
}
const WCSPosition kArcEnd() {
  const WCSPosition a = startPose();
  return {a.x + 60, a.y, a.z, a.r + 30};
}

// A planned entry as the pre-processing leaves it.
PreDealData planned(PackedBaseCmd cmd, void (*planner)(PackedBaseCmd*, PreDealData*, PreDealData*),
                    std::uint32_t motionType) {
  PreDealData e{};
  e.type = cmd.type;
  e.transition = cmd.type == kPackedARC ? cmd.body.arc.transition : cmd.body.ptp.transition;
  e.packedCmd = cmd;
  planner(&cmd, nullptr, &e);
  e.motionType = motionType;
  e.armOrientation = 1;
  return e;
}

// A refused plan would time its early return: report it instead.
void checkPlanned(benchmark::State& state, const PreDealData& e) {
  if (AlarmSysCheck() != 0 || !(e.trajPlan.tTotal > 0.0)) state.SkipWithError("the move was refused");
}

void atStart() {
  gPreDealPos.joint = kStart;
  gPreDealPos.pose = startPose();
  std::memcpy(reinterpret_cast<char*>(&gSysParams) + offsetof(tagSysParams, joint), &kStart, sizeof kStart);
}

void BM_MOVLPreDeal(benchmark::State& state) {
  setUpKernel();
  PackedBaseCmd cmd = lineCmd(kLineEnd(), 50);
  PreDealData entry{};
  for (auto _ : state) {
    CycleStartNow();
    atStart();
    MOVLPreDeal(&cmd, nullptr, &entry);
    benchmark::ClobberMemory();
  }
  checkPlanned(state, entry);
}
BENCHMARK(BM_MOVLPreDeal);

void BM_MOVLNewPlan(benchmark::State& state) {
  setUpKernel();
  atStart();
  PreDealData base = planned(lineCmd(kLineEnd(), 50), &MOVLPreDeal, 2);
  base.trajPlan.vCurrent = 150.0;
  base.trajPlan.variableSpeed = 1;
  PreDealData entry;
  for (auto _ : state) {
    CycleStartNow();
    entry = base;
    gPreDealPos.joint = kStart;
    MOVLNewPlan(&entry.packedCmd, nullptr, &entry);
    benchmark::ClobberMemory();
  }
  checkPlanned(state, entry);
}
BENCHMARK(BM_MOVLNewPlan);

void BM_MOVLPreDealTemp(benchmark::State& state) {
  setUpKernel();
  atStart();
  PreDealData base = planned(lineCmd(kLineEnd(), 50), &MOVLPreDeal, 2);
  PreDealData entry;
  for (auto _ : state) {
    CycleStartNow();
    entry = base;
    MOVLPreDealTemp(&entry.packedCmd, nullptr, &entry);
    benchmark::ClobberMemory();
  }
  checkPlanned(state, entry);
}
BENCHMARK(BM_MOVLPreDealTemp);

void BM_MOVCPreDeal(benchmark::State& state) {
  setUpKernel();
  PackedBaseCmd cmd = arcCmd(kArcMid(), kArcEnd(), 50);
  PreDealData entry{};
  for (auto _ : state) {
    CycleStartNow();
    atStart();
    MOVCPreDeal(&cmd, nullptr, &entry);
    benchmark::ClobberMemory();
  }
  checkPlanned(state, entry);
}
BENCHMARK(BM_MOVCPreDeal);

void BM_TwoArcsInOneCycle(benchmark::State& state) {
  setUpKernel();
  PackedBaseCmd first = arcCmd(kArcMid(), kArcEnd(), 50);
  PreDealData a{};
  PreDealData b{};
  for (auto _ : state) {
    CycleStartNow();
    atStart();
    MOVCPreDeal(&first, nullptr, &a);
    PackedBaseCmd back = arcCmd(kArcMid(), startPose(), 50);
    MOVCPreDeal(&back, &a, &b);
    benchmark::ClobberMemory();
  }
  checkPlanned(state, b);
}
BENCHMARK(BM_TwoArcsInOneCycle);

void BM_MOVCNewPlan(benchmark::State& state) {
  setUpKernel();
  atStart();
  PreDealData base = planned(arcCmd(kArcMid(), kArcEnd(), 50), &MOVCPreDeal, 10);
  base.trajPlan.vCurrent = 150.0;
  base.trajPlan.variableSpeed = 1;
  base.arcTravelled = 10.0;
  PreDealData entry;
  for (auto _ : state) {
    CycleStartNow();
    entry = base;
    gPreDealPos.joint = kStart;
    MOVCNewPlan(&entry.packedCmd, nullptr, &entry);
    benchmark::ClobberMemory();
  }
  checkPlanned(state, entry);
}
BENCHMARK(BM_MOVCNewPlan);

void BM_MOVCPreDealTemp(benchmark::State& state) {
  setUpKernel();
  atStart();
  PreDealData base = planned(arcCmd(kArcMid(), kArcEnd(), 50), &MOVCPreDeal, 10);
  PreDealData entry;
  for (auto _ : state) {
    CycleStartNow();
    entry = base;
    MOVCPreDealTemp(&entry.packedCmd, nullptr, &entry);
    benchmark::ClobberMemory();
  }
  checkPlanned(state, entry);
}
BENCHMARK(BM_MOVCPreDealTemp);

// One run-phase cycle in the middle of the move, or inside its blend.
template <bool kArc, bool kBlend, bool kNextArc>
void BM_RunPhase(benchmark::State& state) {
  setUpKernel();
  atStart();
  PreDealData cur = kArc ? planned(arcCmd(kArcMid(), kArcEnd(), 100), &MOVCPreDeal, 10)
                         : planned(lineCmd(kLineEnd(), 100), &MOVLPreDeal, 2);
  atStart();
  PreDealData next = kNextArc ? planned(arcCmd(kArcMid(), kArcEnd(), 100), &MOVCPreDeal, 10)
                              : planned(lineCmd(kLineEnd(), 100), &MOVLPreDeal, 2);
  const auto total = static_cast<std::uint32_t>(cur.trajPlan.tTotal / gPeriodTime);
  const std::uint32_t at = kBlend ? total - 3 : total / 2;
  for (auto _ : state) {
    CycleStartNow();
    gPeriodCount = at;
    gPeriodCount1 = kBlend ? 5 : 0;
    gCmdFinishFlag = 0;
    if (kArc) {
      MOVC(&cur, kBlend ? &next : nullptr);
    } else {
      MOVL(&cur, kBlend ? &next : nullptr);
    }
    benchmark::ClobberMemory();
  }
  checkPlanned(state, cur);
  if (gCmdFinishFlag != 0) state.SkipWithError("the run phase ended the move");
}
BENCHMARK(BM_RunPhase<false, false, false>)->Name("MOVL per cycle");
BENCHMARK(BM_RunPhase<false, true, false>)->Name("MOVL blending into a line");
BENCHMARK(BM_RunPhase<false, true, true>)->Name("MOVL blending into an arc");
BENCHMARK(BM_RunPhase<true, false, false>)->Name("MOVC per cycle");
BENCHMARK(BM_RunPhase<true, true, false>)->Name("MOVC blending into a line");
BENCHMARK(BM_RunPhase<true, true, true>)->Name("MOVC blending into an arc");

void BM_MOVLConveyor(benchmark::State& state) {
  setUpKernel();
  atStart();
  track1 = track{};
  gConveyor0.encoderResolution = 10.0f;
  const float capture[6] = {250.0f, -100.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  std::memcpy(gConveyor0.visionFrame, capture, sizeof capture);
  gCurrentEncoder[0] = {1000.0, 200.0, 900.0};
  gOutObj = {};
  gOutObj.newObject = 1;
  gOutObj.captureCount = 900.0;
  gOutObj.armOrientation = 1;
  PreDealData cur = planned(lineCmd({0, 0, -30, 0}, 0, 1), &MOVLPreDeal, 2);
  std::uint32_t n = 0;
  for (auto _ : state) {
    CycleStartNow();
    gPeriodCount = 50;
    // The belt runs on for a while, then the object is placed again.
    gCurrentEncoder[0].position = 1000.0 + 0.8 * (n++ % 64);
    MOVL(&cur, nullptr);
    benchmark::ClobberMemory();
  }
  checkPlanned(state, cur);
  if (gCmdFinishFlag != 0) state.SkipWithError("the run phase ended the move");
}
BENCHMARK(BM_MOVLConveyor);

}  // namespace

BENCHMARK_MAIN();
