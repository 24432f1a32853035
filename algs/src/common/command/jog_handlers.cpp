#include "common/command/jog_handlers.h"

#include "PTP/teach/inch_teach.h"
#include "PTP/teach/jog_teach.h"
#include "common/command/command_params.h"
#include "common/links/exter_axis_rtu.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/robot_moving.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr std::uint32_t kRefused = 1;
constexpr std::uint8_t kMaxJogCommand = 8;
// Homing byte bit: zero the external axis too.
constexpr std::uint8_t kHomeExternalAxis = 16;

}  // namespace

std::uint32_t OnJOGCmd(tagSysParams* sysParams, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  CMD_LOG("Command %s executed... \r\n", __func__);
  if (gHandTeachFlag != 0) {
    CMD_LOG("Command %s executed...error: gHandTeachFlag:%d  \r\n", __func__, gHandTeachFlag);
    gTeachMove.cmd = 0;
    return kRefused;
  }
  tagJOGCmd jog{};
  const bool taken = len >= sizeof jog;
  if (taken) std::memcpy(&jog, params, sizeof jog);
  if (!taken || jog.isJoint > 1 || jog.cmd > kMaxJogCommand) {
    CMD_LOG("Command %s executed...error: cmd.cmd invalid  \r\n", __func__);
    len = 0;
    return kRefused;
  }
  if (jog.cmd != 0 && IsRobotMoving()) {
    CMD_LOG("Command %s executed...error:  cmd:%d, IsRobotMoving:%d  \r\n", __func__, jog.cmd, 1);
    return kRefused;
  }

  sysParams->jogCmd = jog;
  gTeachMode = jog.cmd;
  if (jog.cmd != 0) {
    gRobotPrfMode = jog.isJoint == 1 ? kPrfJogJoint : kPrfJogCartesian;
    if (sysParams->inchParams.isInch != 0) {
      gInchJoint.Reset();
      gInchCoord.Reset();
      CMD_LOG("Command %s executed... inch Reset  \r\n", __func__);
    }
    CMD_LOG("Command %s executed... gRobotPrfMode:%d  \r\n", __func__, gRobotPrfMode);
  }
  gCmdFinishFlag = 0;
  len = 0;
  return 0;
}

std::uint32_t OnHOMECmd(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t&, bool) {
  gRobotPrfMode = kPrfHoming;
  const std::uint8_t mode = params[0];
  if ((mode & kHomeExternalAxis) != 0) {
    g_single_joint_mode = static_cast<std::uint8_t>(mode & ~kHomeExternalAxis);
    std::uint32_t index = 0;
    ExterAxisRTU::setZeroPos(&index);
  } else {
    g_single_joint_mode = mode;
  }
  CMD_LOG("home OnHOMECmd: %d\n", mode);
  return 0;
}
