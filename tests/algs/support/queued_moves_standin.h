#pragma once

// Stand-in for the queued-move pipeline in planner tests, until the real
// pre-processing and entry runner are in. It plays their two roles around a
// planner, on the kernel's own rings:
// - PreDealMotion: what the pre-processing does around a motion planner's
//   pre-deal (parallel-output block and transition before; motion type, arm
//   orientation, frames and the ten planner words after; a raised alarm
//   drops the entry and stops queued execution), then appends the entry to
//   gPreDealDataQueue;
// - EntryRunner: the execution's hand-over. When the running entry has set
//   gCmdFinishFlag, the next one is taken from the ring and starts with
//   gPeriodCount = gPeriodCount1 (the cycles it already ran during the
//   blend), then gPeriodCount1 = 0; the run phase gets a copy of the
//   following motion it may blend into, found by the execution's look-ahead.

#include <cstdint>
#include <cstring>

#include "PTP/path/input_shaping.h"
#include "PTP/planners/packed_motion.h"
#include "common/kernel/alarms.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"
#include "common/kernel/ring_buffer.h"
#include "common/kernel/sys_params.h"

namespace zelor::test {

using PreDealFn = void (*)(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry);
using RunPhaseFn = void (*)(PreDealData* cur, PreDealData* next);

// Pipeline state that the motion-kernel reset leaves alone, at load values.
inline void ResetQueuedMoveState() {
  gPreDealPos = {};
  gPreDealData = {};
  gNextPreDealData = {};
  gpNextPreDealData = nullptr;
  gpThirdPreDealData = nullptr;
  gPeriodCount = 0;
  gPeriodCount1 = 0;
  gPauseCmdFlag = 0;
  gCmdFinishFlag = 0;
  for (ShapChannel& channel : strLocalVar) {
    channel.endFlag = 0;
    channel.delay2 = 0;
  }
}

// The planned entry `offset` places from the head of gPreDealDataQueue.
inline PreDealData* PlannedEntry(std::uint32_t offset) {
  return reinterpret_cast<PreDealData*>(RingBufferAt(&gPreDealDataQueue, offset));
}

// The motion entry a new one follows: walking back from the last planned
// entry, a point-to-point entry of motion type 1 or 2, or an entry of type 3,
// 4 or 5; any other point-to-point entry or a wait ends the walk with none.
inline PreDealData* LastPlannedMotion() {
  for (std::uint32_t k = gPreDealDataQueue.count; k-- > 0;) {
    PreDealData* e = PlannedEntry(k);
    if (e->type == kPackedPTP) return (e->motionType == 1 || e->motionType == 2) ? e : nullptr;
    if (e->type == 3 || e->type == kPackedARC || e->type == kPackedCircle) return e;
    if (e->type == kPackedWait) return nullptr;
  }
  return nullptr;
}

// Pre-processes one packed motion (type 2, 4 or 5) with `planner` and appends
// it to gPreDealDataQueue. False when an alarm of index 8 or more is set
// afterwards: the entry is dropped and queued execution stops.
inline bool PreDealMotion(const PackedBaseCmd& packed, PreDealFn planner) {
  PackedBaseCmd cmd = packed;  // the dequeued copy the planners get
  static PreDealData entry;    // the working record, copied into the ring once
  entry = PreDealData{};
  entry.type = cmd.type;
  entry.queuedCmdIndex = cmd.queuedCmdIndex;
  entry.packedCmd = cmd;

  PreDealData* last = gPreDealDataQueue.count > 0 ? LastPlannedMotion() : nullptr;
  const PackedMotion motion = ReadPackedMotion(&cmd);
  std::size_t wordsAt = kArcPlannerWordsAt;
  if (cmd.type == kPackedPTP) {
    entry.parallel = cmd.body.ptp.parallel;
    const std::uint8_t mode = motion.ptpCmd.ptpMode;
    if (mode != 0 && mode != 3) entry.transition = motion.transition;
    planner(&cmd, last, &entry);
    entry.motionType = mode;
    if (mode == 0 || mode == 3 || mode == 1 || mode == 4 || mode == 6 || mode == 8) entry.armOrientation = motion.arm;
    wordsAt = kPTPPlannerWordsAt;
  } else {
    entry.transition = motion.transition;
    planner(&cmd, last, &entry);
    entry.motionType = cmd.type == kPackedARC ? 10 : 11;
    entry.armOrientation = motion.arm;
  }
  entry.toolParams = motion.toolParams;
  entry.localParams = motion.localParams;
  entry.stationToolParams = motion.ecpParams;
  std::memcpy(entry.plannerWords, reinterpret_cast<const std::uint8_t*>(&cmd) + wordsAt, sizeof entry.plannerWords);
  gPreDealPos.localParams = motion.localParams;
  gPreDealPos.toolParams = motion.toolParams;

  if (AlarmSysCheck() != 0) {
    gSysParams.runQueuedCmd = 0;
    return false;
  }
  RingBufferEnqueue(&gPreDealDataQueue, &entry);
  return true;
}

// The execution's look-ahead for the motion the entry in execution may blend
// into: only with a transition and no pause, from a joint, linear, arc or
// circle entry, to the first waiting motion (a wait, an input trigger, an
// output or another point-to-point mode ends the walk), in the same tool and
// user frame within 1e-5 and not re-planned in flight.
inline PreDealData* SearchNextMotion(const PreDealData& cur) {
  auto isPathOrJoint = [](std::uint32_t motionType) {
    return IsMotiontypeBelongto(static_cast<int>(motionType), 0) || IsMotiontypeBelongto(static_cast<int>(motionType), 1);
  };
  if (cur.transition == 0 || gPauseCmdFlag != 0) return nullptr;
  if (!((cur.type == kPackedPTP && isPathOrJoint(cur.motionType)) || cur.type == kPackedARC ||
        cur.type == kPackedCircle)) {
    return nullptr;
  }
  for (std::uint32_t k = 0; k < gPreDealDataQueue.count; ++k) {
    PreDealData* e = PlannedEntry(k);
    const bool candidate = (e->type == kPackedPTP && isPathOrJoint(e->motionType)) || e->type == 3 ||
                           e->type == kPackedARC || e->type == kPackedCircle;
    if (!candidate) {
      if (e->type == kPackedPTP || e->type == kPackedWait || e->type == kPackedTrig || e->type == kPackedIODO) {
        return nullptr;
      }
      continue;
    }
    auto near = [](float a, float b) { return a - b <= 1e-5f && b - a <= 1e-5f; };
    const bool sameFrames = near(e->toolParams.x, cur.toolParams.x) && near(e->toolParams.y, cur.toolParams.y) &&
                            near(e->toolParams.z, cur.toolParams.z) && near(e->toolParams.r, cur.toolParams.r) &&
                            near(e->localParams.x, cur.localParams.x) && near(e->localParams.y, cur.localParams.y) &&
                            near(e->localParams.z, cur.localParams.z) && near(e->localParams.r, cur.localParams.r);
    return sameFrames && e->trajPlan.variableSpeed == 0 ? e : nullptr;
  }
  return nullptr;
}

// Runs the planned entries cycle by cycle with one run phase (a test's
// stand-in for the playback dispatch by motion type).
class EntryRunner {
 public:
  explicit EntryRunner(RunPhaseFn runPhase) : runPhase_(runPhase) {}

  // One control cycle: takes the next entry when none runs yet or the
  // running one has finished, then runs the entry's cycle. False when no
  // entry ran (none waiting).
  bool Cycle() {
    CycleStartNow();
    if (!running_ || gCmdFinishFlag != 0) {
      if (gPreDealDataQueue.count == 0) return false;
      gCmdFinishFlag = 0;
      RingBufferDequeue(&gPreDealDataQueue, &gPreDealData);
      gPeriodCount = gPeriodCount1;
      if (gPeriodCount != 0 && gInputShaping != 0) vInputShapingCopy(0, 1);
      gPeriodCount1 = 0;
      gpNextPreDealData = SearchNextMotion(gPreDealData);
      if (gpNextPreDealData != nullptr) gNextPreDealData = *gpNextPreDealData;
      running_ = true;
      ++started_;
    }
    runPhase_(&gPreDealData, gpNextPreDealData != nullptr ? &gNextPreDealData : nullptr);
    return true;
  }

  // Cycles until nothing is left to run or `maxCycles` have run; `afterCycle`
  // sees every cycle that ran. Returns the cycles run.
  template <typename AfterCycle>
  int Run(int maxCycles, AfterCycle&& afterCycle) {
    int cycles = 0;
    while (cycles < maxCycles && Cycle()) {
      ++cycles;
      afterCycle();
    }
    return cycles;
  }
  int Run(int maxCycles) {
    return Run(maxCycles, [] {});
  }

  // Entries started so far.
  int started() const { return started_; }

 private:
  RunPhaseFn runPhase_;
  bool running_ = false;
  int started_ = 0;
};

}  // namespace zelor::test
