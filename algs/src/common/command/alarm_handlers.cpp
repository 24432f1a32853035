#include "common/command/alarm_handlers.h"

#include <cstring>

#include "common/command/command_log.h"
#include "common/kernel/alarms.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/motion_state.h"
#include "common/links/exter_axis_rtu.h"

namespace {

// Clears every alarm, 0-7 included, and asks for the resets that go with it:
// the drives' (only while one reports an alarm), the encoders' and the
// slide rail's.
void clearAllAlarms() {
  if (gDriverAlarmFlag != 0) gDriverResetFlag = 1;
  gEncoderResetFlag = 1;
  std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
  std::uint32_t index = 0;
  ExterAxisRTU::clearAlarm(&index);
}

}  // namespace

std::uint32_t OnAlarmsState(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  if (rw == 0) {
    std::memcpy(params, gAlarmSysState, sizeof gAlarmSysState);
    len = sizeof gAlarmSysState;
    CMD_LOG("Command OnAlarmsState(get) \r\n");
    return 0;
  }
  clearAllAlarms();
  len = 0;
  CMD_LOG("Command OnAlarmsState(clear) \r\n");
  return 0;
}

std::uint32_t OnClearServoAlarms(tagSysParams*, std::uint8_t, std::uint8_t*, std::uint32_t& len, bool) {
  gDriverResetFlag = 1;
  len = 0;
  CMD_LOG("Command OnClearServoAlarms \r\n");
  return 0;
}
