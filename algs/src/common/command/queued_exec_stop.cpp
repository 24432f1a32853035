// Pausing, stopping and clearing queued execution: ids 241, 242, 245, 248, 249.
#include <cstdint>

#include "PTP/stopping/queue_drops.h"
#include "PTP/stopping/stop_request.h"
#include "common/command/queued_exec_handlers.h"
#include "common/command/queued_pause.h"
#include "common/command/queued_resets.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/ring_buffer.h"

namespace {

// Raised when a pause is asked for while a conveyor is tracked or configured.
constexpr unsigned kConveyorPauseAlarm = 106;

// The common body of the three stop-and-clear commands: the conveyor stop
// when a conveyor is in play, the command's line, then (unless a stop is
// already running) everything queued dropped and an emergency stop begun.
void stopAndClear(const char* line) {
  if (!ConveyorAllowsPause()) ConveyorStopDeal();
  KernelLog("%s", line);
  if (gRobotPrfMode != kPrfStop) {
    ForceStopReset();
    SetStopParams(kStopEmergency);
  }
}

}  // namespace

std::uint32_t OnQueuedCmdStopExec(tagSysParams*, std::uint8_t, std::uint8_t*, std::uint32_t& len, bool) {
  if (!ConveyorAllowsPause()) {
    ConveyorStopDeal();
    AlarmSysSetBit(kConveyorPauseAlarm, true);
    len = 0;
    return 0;
  }
  // Nothing was running: the request comes back as it was.
  if (!QueuedCmdPause()) len = 0;
  return 0;
}

std::uint32_t OnQueuedCmdForceStopExec(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  // A request without its flag byte still stops, as a plain (not emergency) stop.
  gEmergencyStop = (len >= 1 && params[0] != 0) ? 1 : 0;
  len = 0;
  stopAndClear("Command OnQueuedCmdForceStopExec 0\r\n");
  return 0;
}

std::uint32_t OnQueuedCmdStopClearExec(tagSysParams*, std::uint8_t, std::uint8_t*, std::uint32_t& len, bool) {
  len = 0;
  stopAndClear("Command OnQueuedCmdStopClearExec EMERGENCY_STOP 0\r\n");
  KernelLog("Command OnQueuedCmdStopClearExec EMERGENCY_STOP 1\r\n");
  return 0;
}

std::uint32_t OnQueuedCmdHardStopClearExec(tagSysParams*, std::uint8_t, std::uint8_t*, std::uint32_t& len, bool) {
  len = 0;
  stopAndClear("Command OnQueuedCmdHardStopClearExec 0\r\n");
  return 0;
}

// Clears what is waiting; the entry in execution runs on.
std::uint32_t OnQueuedCmdClear(tagSysParams*, std::uint8_t, std::uint8_t*, std::uint32_t& len, bool) {
  len = 0;
  RingBufferClear(&gPackedCmdQueue);
  RingBufferClear(&gPreDealDataQueue);
  gQueuedMotionCmdCurrentIndex = 0;
  return 0;
}
