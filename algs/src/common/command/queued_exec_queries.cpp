// Where queued execution stands: ids 27, 28, 246, 247.
#include <cstdint>

#include "common/command/command_log.h"
#include "common/command/command_params.h"
#include "common/command/queued_exec_handlers.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/motion_state.h"

namespace {

// Free slots above this many are reported less this many: a script client
// keeps at most this many commands of its own in flight.
constexpr std::uint32_t kLeftSpaceWindow = 64;

// Nothing waits in either ring and no motion is in execution.
bool allDone() { return gPackedCmdQueue.count == 0 && gPreDealDataQueue.count == 0 && gCmdFinishFlag != 0; }

void replyDone(bool done, std::uint8_t* params, std::uint32_t& len) {
  const std::uint8_t value = done ? 1 : 0;
  if (gExcitMode != 1) CMD_LOG("Command OnGetAllcmdDone %d\r\n", value);
  ReplyRecord(value, params, len);
}

}  // namespace

std::uint32_t OnGetAllcmdDone(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  replyDone(allDone(), params, len);
  return 0;
}

std::uint32_t OnGetStopStatus(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  replyDone(allDone() && gRobotPrfMode == kPrfIdle, params, len);
  return 0;
}

std::uint32_t OnQueuedCmdCurrentIndex(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  ReplyRecord(gQueuedCmdCurrentIndex, params, len);
  return 0;
}

std::uint32_t OnQueuedCmdLeftSpace(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  const std::uint32_t freeSlots = gPackedCmdQueue.capacity - gPackedCmdQueue.count;
  const std::uint32_t reply = freeSlots >= kLeftSpaceWindow ? freeSlots - kLeftSpaceWindow : freeSlots;
  ReplyRecord(reply, params, len);
  return 0;
}
