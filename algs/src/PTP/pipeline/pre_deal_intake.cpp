// The intake pass: packed commands into pre-processed entries.
#include <cstring>

#include "PTP/pipeline/pre_deal.h"
#include "PTP/pipeline/speed_replan.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/speed_ratio_change.h"
#include "common/kernel/sys_params.h"

std::int16_t CPTimeOutCount = 0;

namespace {

constexpr double kContinuousPathWaitMs = 300.0;
constexpr int kCountedPerCall = 2;

// A first queued move that blends waits up to 300 ms for a successor while
// nothing is pre-processed to blend with. True when the intake must wait.
bool ContinuousPathWait(const tagRingBuffer* packed, const tagRingBuffer* preDeal) {
  if (CalcPackedMotionCmdNum(packed) <= 0 || CalcPreDealMotionCmdNum(preDeal) != 0) return false;
  if (GetFirstMotionCmdCP(packed) == 0) return false;
  if (CPTimeOutCount * gPeriodTime * 1000.0 < kContinuousPathWaitMs) {
    ++CPTimeOutCount;
    if (CalcPackedMotionCmdNum(packed) < 2) return true;
  }
  CPTimeOutCount = 0;
  return false;
}

// The dequeued command and the entry under construction; copied into the
// ring once.
PackedBaseCmd gIntakeCmd;
PreDealData gIntakeEntry;

}  // namespace

void PreDealDataCalculate(tagRingBuffer* packed, tagRingBuffer* preDeal) {
  if (gSysParams.runQueuedCmd == 0) return;
  if (gbModifySpeedRatio != 0 && !SpeedReplanPass(preDeal)) return;

  int count = 0;
  // Bounded by the packed ring: every turn takes one command out of it.
  while (packed->isEmpty == 0 && preDeal->isFull == 0 && gbModifySpeedRatio == 0) {
    if (ContinuousPathWait(packed, preDeal)) return;
    if (count == kCountedPerCall) return;

    std::memset(&gIntakeCmd, 0, sizeof gIntakeCmd);
    RingBufferDequeue(packed, &gIntakeCmd);
    std::memset(static_cast<void*>(&gIntakeEntry), 0, sizeof gIntakeEntry);
    PreDealData& entry = gIntakeEntry;
    entry.type = gIntakeCmd.type;
    entry.queuedCmdIndex = gIntakeCmd.queuedCmdIndex;
    entry.packedCmd = gIntakeCmd;
    KernelLog("packedcmd type %d; queuedCmdIndex:%llu \r\n", static_cast<int>(entry.type),
              static_cast<unsigned long long>(entry.queuedCmdIndex - 1));
    entry.isReplan = 0;
    entry.plannerFlags[0] = 0;
    entry.plannerFlags[1] = 0;

    count += PreDealByType(&gIntakeCmd, preDeal, &entry);

    // A failed check drops the entry and stops the queue; the loop goes on
    // and drops what follows in this call the same way.
    if (AlarmSysCheck() != 0) {
      gSysParams.runQueuedCmd = 0;
    } else {
      RingBufferEnqueue(preDeal, &entry);
    }
  }
}
