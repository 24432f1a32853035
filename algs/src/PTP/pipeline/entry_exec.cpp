// Waits, input triggers, outputs and frame changes, executed in queue order.
#include "PTP/pipeline/entry_exec.h"

#include <algorithm>

#include "PTP/pipeline/ring_entries.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/kinematics_state.h"

namespace {

constexpr std::int32_t kStageBudgetUs = 1500;

// The wait and trigger in progress.
std::uint32_t gWaitStart = 0;
std::uint32_t gWaitTimeoutMs = 0;
std::uint8_t gTrigIndex = 0;
std::uint16_t gTrigValue = 0;
std::uint16_t gTrigRead = 0;

EntryStep Motion() {
  StampStage(8);
  if (elapsed[8] > kStageBudgetUs) KernelLog("elapsed[8] timeout %ld\r\n", static_cast<long>(elapsed[8]));
  return EntryStep::kLeave;
}

EntryStep Wait(const PreDealData& entry, bool isNew) {
  gRobotPrfMode = kPrfWait;
  if (isNew) {
    gWaitTimeoutMs = entry.packedCmd.body.wait.timeout;
    gWaitStart = gSystick;
    KernelLog("WAITCmd newCmd %d\r\n", static_cast<int>(gSystick));
    return EntryStep::kLeave;
  }
  if (static_cast<std::uint32_t>(gSystick - gWaitStart) * gPeriodTime * 1000.0 >= gWaitTimeoutMs) {
    gCmdFinishFlag = 1;
    KernelLog("WAITCmd done %d\r\n", static_cast<int>(gSystick));
  }
  KernelLog("WAITCmd wait %d\r\n", static_cast<int>(gSystick));
  return EntryStep::kLeave;
}

// Zero-based input address; the mode and condition bytes are not used.
EntryStep Trig(const PreDealData& entry, bool isNew) {
  gRobotPrfMode = kPrfTrig;
  if (isNew) {
    gTrigIndex = entry.packedCmd.body.trig.address;
    gTrigValue = entry.packedCmd.body.trig.threshold;
  }
  gTrigRead = gPhyDIs[gTrigIndex];
  if (gTrigValue == gTrigRead) gCmdFinishFlag = 1;
  return EntryStep::kLeave;
}

// Zero-based output index, checked against the image.
EntryStep Output(const PreDealData& entry) {
  const std::uint32_t index = entry.packedCmd.body.ioDO.index;
  const std::uint8_t level = entry.packedCmd.body.ioDO.level;
  if (index < static_cast<std::uint32_t>(kDigitalImageSize)) {
    gPhyDOs[index] = level;
  } else {
    KernelLog("PreDealDataRunning PackedIODOCmdType: index %u outside 0..%d, not written \r\n",
              static_cast<unsigned>(index), kDigitalImageSize - 1);
  }
  gCmdFinishFlag = 1;
  return EntryStep::kLeave;
}

// Output numbers are one-based; the entries marked valid are applied.
void GroupOutputs(const PreDealData& entry) {
  const Group_IO_DO group = entry.packedCmd.body.mulIODO;
  const std::uint32_t requested = group.count;
  const std::uint32_t count = std::min<std::uint32_t>(requested, kGroupDOEntries);
  if (requested > count) {
    KernelLog("PreDealDataRunning PackedGroupIODOCmdType: count %u above %d, %d read \r\n",
              static_cast<unsigned>(requested), kGroupDOEntries, kGroupDOEntries);
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    const tagGroupDO item = group.DO[i];
    if (item.isQueued == 0) continue;
    if (item.address == 0 || item.address > static_cast<std::uint32_t>(kDigitalImageSize)) {
      KernelLog("PreDealDataRunning PackedGroupIODOCmdType: output %u outside 1..%d, skipped \r\n",
                static_cast<unsigned>(item.address), kDigitalImageSize);
      continue;
    }
    gPhyDOs[item.address - 1] = item.level;
    KernelLog("PreDealDataRunning PackedGroupIODOCmdType: gPhyDOs[%d]:%d  level:%d \r\n",
              static_cast<int>(item.address - 1), gPhyDOs[item.address - 1], item.level);
  }
}

void LocalFrame(const PreDealData& entry) {
  gLocalParams = entry.packedCmd.body.localParams;
  KernelLog("PreDealDataRunning: PackedLocalParamsCmdType- gPlaybackLocalParams x:%1.3f, y:%1.3f, z:%1.3f, r:%1.3f \r\n",
            static_cast<double>(gLocalParams.x), static_cast<double>(gLocalParams.y),
            static_cast<double>(gLocalParams.z), static_cast<double>(gLocalParams.r));
  KernelLog("PreDealDataRunning: PackedLocalParamsCmdType- gLocalIndex:%d \r\n", static_cast<int>(gLocalParams.index));
}

void ToolFrame(const PreDealData& entry) {
  gToolParams = entry.packedCmd.body.toolParams;
  KernelLog("PreDealDataRunning: PackedToolParamsCmdType- gPlaybackToolParams x:%1.3f, y:%1.3f, z:%1.3f, r:%1.3f \r\n",
            static_cast<double>(gToolParams.x), static_cast<double>(gToolParams.y),
            static_cast<double>(gToolParams.z), static_cast<double>(gToolParams.r));
  KernelLog("PreDealDataRunning: PackedToolParamsCmdType- gToolIndex:%d \r\n", static_cast<int>(gToolParams.index));
}

}  // namespace

EntryStep ExecuteEntry(PreDealData& entry, bool isNew) {
  switch (entry.type) {
    case 1:
    case kPackedPTP:
    case kPackedNoPlan:
    case kPackedARC:
    case kPackedCircle:
    case kPackedStopSynCnv:
    case kPackedExcit:
    case kPackedExcitZ:
      return Motion();
    case kPackedWait:
      return Wait(entry, isNew);
    case kPackedTrig:
      return Trig(entry, isNew);
    case kPackedIODO:
      return Output(entry);
    case kPackedMulIODO:
      GroupOutputs(entry);
      return EntryStep::kInstant;
    case kPackedLocalParams:
      LocalFrame(entry);
      return EntryStep::kInstant;
    case kPackedToolParams:
      ToolFrame(entry);
      return EntryStep::kInstant;
    default:
      // Parameter placeholders, analog and extended outputs change nothing here.
      return EntryStep::kInstant;
  }
}

void ResetEntryExec() {
  gWaitStart = 0;
  gWaitTimeoutMs = 0;
  gTrigIndex = 0;
  gTrigValue = 0;
  gTrigRead = 0;
}
