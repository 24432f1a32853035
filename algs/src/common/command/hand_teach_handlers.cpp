#include "common/command/hand_teach_handlers.h"

#include "PTP/stopping/stop_request.h"
#include "common/command/command_params.h"
#include "common/command/queued_resets.h"
#include "common/kernel/motion_state.h"
#include "common/links/exter_axis_rtu.h"

namespace {

constexpr std::uint32_t kRefused = 1;

// Takes the drives away from motion control; a running jog or queued motion
// is stopped first, a stop already running is left to finish.
void handTeachOn(std::uint8_t request) {
  CMD_LOG("[OnHHTTrigOutputEnabled],get tempHandTeachFlag %d\r\n", request);
  CMD_LOG("[OnHHTTrigOutputEnabled], gRobotPrfMode %d\r\n", gRobotPrfMode);
  std::uint32_t index = 0;
  ExterAxisRTU::setEnable(false, &index);
  switch (gRobotPrfMode) {
    case kPrfJogJoint:
    case kPrfJogCartesian:
    case kPrfExecute:
      SetStopParams(kStopEmergency);
      DisableDeal();
      break;
    case kPrfStop:
      DisableDeal();
      break;
    case kPrfHoming:
    case kPrfPoseReset:
    case kPrfEnableCheck:
      break;
    default:
      gRobotPrfMode = kPrfIdle;
      DisableDeal();
      break;
  }
}

// Hands the drives back to motion control, unless the arm is still moving
// or its drives are all enabled already.
void handTeachOff() {
  gHandTeachFlag = 0;
  std::uint32_t index = 0;
  ExterAxisRTU::setEnable(true, &index);
  if (gRobotPrfMode != kPrfIdle) {
    gHandTeachFlag = 1;
    CMD_LOG("[OnHHTTrigOutputEnabled],motor gHandTeachFlag %d, not standstill\r\n", gHandTeachFlag);
  } else if (gDriverEnbleFlag[0] != 0 && gDriverEnbleFlag[1] != 0 && gDriverEnbleFlag[2] != 0 &&
             gDriverEnbleFlag[3] != 0) {
    gHandTeachFlag = 1;
    CMD_LOG("[OnHHTTrigOutputEnabled],motor gHandTeachFlag %d, standstill but enable\r\n", gHandTeachFlag);
  }
}

}  // namespace

std::uint32_t OnHHTTrigOutputEnabled(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  std::uint32_t result = 0;
  if (rw != 0) {
    std::uint8_t request = 0;
    if (!TakeRecord(__func__, params, len, request)) {
      result = kRefused;
    } else {
      if (request == 1) {
        handTeachOn(request);
      } else {
        handTeachOff();
      }
      CMD_LOG("[OnHHTTrigOutputEnabled],motor gHandTeachFlag %d\r\n", gHandTeachFlag);
    }
  }
  params[0] = gHandTeachFlag;
  len = 1;
  return result;
}
