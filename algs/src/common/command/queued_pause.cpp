#include "common/command/queued_pause.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "common/command/command_log.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/sys_params.h"

namespace {

// Packed types of the entries the pause treats as motions: 2 point-to-point,
// 3 planner-less, 4 arc, 5 circle (1 is taken along as the pause always has).
constexpr std::uint32_t kFirstMotionType = 1;
constexpr std::uint32_t kLastMotionType = 5;

// Outputs not yet switched keep their place on the rest of the path: their
// trigger counts restart from the pause. A count already due stays due (0)
// rather than wrapping round.
void rebaseParallelOutputs(PreDealData& entry) {
  PackedParallelOutputs& block = entry.parallel;
  const int count = std::min<int>(block.count, kMaxPackedParallelOutputs);
  for (int i = 0; i < count; ++i) {
    if (block.done[i] != 0) continue;
    std::uint32_t& trigger = entry.poTriggerCycles[i];
    trigger = trigger > gPeriodCount ? trigger - gPeriodCount : 0;
  }
}

}  // namespace

bool ConveyorAllowsPause() {
  if (gConveyor0.dataSource == 0) return false;
  return std::none_of(std::begin(encoder), std::end(encoder),
                      [](const tagEncoderChannel& channel) { return channel.inUse != 0; });
}

bool QueuedCmdPause() {
  CMD_LOG("Command OnQueuedCmdStopExec\n");
  if (gSysParams.runQueuedCmd == 0) return true;

  // The entry's packed-command type, not its motion type: a jump has motion
  // type 0 and must still be paused, not finished.
  const std::uint32_t type = gPreDealData.type;
  if (type < kFirstMotionType || type > kLastMotionType) {
    gSysParams.runQueuedCmd = 0;
    gCmdFinishFlag = 1;
    return false;
  }
  if (gCmdFinishFlag != 0 && gPeriodCount1 == 0) {
    // The entry has not begun: nothing to stop.
    gSysParams.runQueuedCmd = 0;
    return false;
  }
  if (type == kPackedPTP) {
    CMD_LOG("Command OnQueuedCmdStopExec pause poFlag:%d \r\n", gPreDealData.parallel.poFlag);
    if (gPreDealData.parallel.poFlag != 0) rebaseParallelOutputs(gPreDealData);
  }
  gPauseCmdFlag = 1;
  CMD_LOG("Command OnQueuedCmdStopExec pause stop\n");
  gSysParams.runQueuedCmd = 0;
  return false;
}
