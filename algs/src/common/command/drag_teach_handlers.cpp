#include "common/command/drag_teach_handlers.h"

#include <cstring>

#include "common/command/command_params.h"
#include "common/kernel/axes_group.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/dynamics_state.h"
#include "common/kernel/motion_state.h"

namespace {

constexpr std::uint32_t kRefused = 1;
constexpr std::uint8_t kPositionMode = 0;  // "CP_MODE"
constexpr std::uint8_t kTorqueMode = 1;    // "CT_MODE"

std::uint8_t actualServoMode(int joint) {
  std::uint8_t modes[sizeof gActualServoMode];
  std::memcpy(modes, &gActualServoMode, sizeof modes);
  return modes[joint];
}

// The host's status word of a joint; 0 while there is no host record.
std::uint32_t axisStatus(int joint) {
  return robotAxesGroup != nullptr ? robotAxesGroup->m_Joints[joint].m_AxisStatus : 0;
}

// Shared by drag teaching (43) and collision drag (45); only drag teaching
// lets a joint's non-zero status word stand in for torque mode.
std::uint32_t servoModeRequest(const char* handler, bool collisionDrag, std::uint8_t rw, std::uint8_t* params,
                               std::uint32_t& len) {
  if (rw == 0) {
    params[0] = static_cast<std::uint8_t>(1 - gIsHandGuiding);
    len = 1;
    CMD_LOG("Command %s executed(read)...protocolParams[0]:%d \r\n", handler, params[0]);
    return 0;
  }
  std::uint8_t v = 0;
  if (!TakeRecord(handler, params, len, v)) return kRefused;
  if (gRobotPrfMode == kPrfEnableCheck || gRobotPrfMode == kPrfStop) {
    CMD_LOG("Command %s executed(error)...gRobotPrfMode:%d \r\n", handler, gRobotPrfMode);
    return kRefused;
  }
  for (int j = 0; j < 4; ++j) {
    const std::uint8_t mode = actualServoMode(j);
    if (v != 0 && mode == kPositionMode && (collisionDrag || axisStatus(j) == 0)) {
      CMD_LOG("Command %s executed ERROR...gActualServoMode[%d]=CP_MODE \r\n", handler, j);
      return kRefused;
    }
    if (v == 0 && mode == kTorqueMode) {
      CMD_LOG("Command %s executed ERROR...gActualServoMode[%d]=CT_MODE \r\n", handler, j);
      return kRefused;
    }
  }
  const std::uint8_t wanted = v == 0 ? 1 : 0;
  gServoMode = wanted;
  if (collisionDrag) gIsEmergentGuiding = wanted;
  gServoModeSwitch = 1;
  CMD_LOG("Command %s executed(write)...protocolParams[0]:%d \r\n", handler, v);
  len = 0;
  return 0;
}

}  // namespace

std::uint32_t OnDragTeachEnabled(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  return servoModeRequest(__func__, false, rw, params, len);
}

std::uint32_t OnCollideDrag(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  return servoModeRequest(__func__, true, rw, params, len);
}

std::uint32_t OnDragTeachMode(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  std::uint8_t value = 0;
  const bool taken = TakeRecord(__func__, params, len, value);
  len = 0;
  if (!taken) return kRefused;
  switch (value) {
    case 0: gRobotPrfMode = kPrfStop; break;
    case 1: gRobotPrfMode = 16; break;
    case 2: gRobotPrfMode = 17; break;
    case 3: gRobotPrfMode = 18; break;
    default: break;
  }
  CMD_LOG("Command %s executed(write)...protocolParams[0]:%d \r\n", __func__, value);
  return 0;
}
