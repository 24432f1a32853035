#include "common/command/ecp_handlers.h"

#include "common/command/command_params.h"
#include "common/kernel/packed_cmd_queue.h"
#include "common/kernel/sys_params.h"

namespace {
constexpr std::uint32_t kRefused = 1;
}  // namespace

std::uint32_t OnECPSwitch(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                          bool isQueued) {
  CMD_LOG("Command OnECPSwitch isQueued:%d\r\n", isQueued ? 1 : 0);
  if (rw == 0) {
    params[0] = sysParams->eCPFlag;
    len = 1;
    return 0;
  }
  std::uint8_t value = 0;
  const bool taken = TakeRecord(__func__, params, len, value);
  len = 0;
  if (!taken) return kRefused;
  sysParams->eCPFlag = value;
  CMD_LOG("ECP %d\r\n", value);
  if (isQueued) EnqueueParamPlaceholder();
  return 0;
}

std::uint32_t OnECPSet(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                       bool isQueued) {
  if (rw == 0) {
    ReplyRecord(sysParams->ecpParams, params, len);
    return 0;
  }
  tagCoordParams frame;
  const bool taken = TakeRecord(__func__, params, len, frame) && AllFloatsFinite(__func__, frame);
  len = 0;
  if (!taken) return kRefused;
  sysParams->ecpParams.x = frame.x;
  sysParams->ecpParams.y = frame.y;
  sysParams->ecpParams.z = frame.z;
  sysParams->ecpParams.r = frame.r;
  CMD_LOG("Command OnECPSet:%1.3f %1.3f %1.3f %1.3f\r\n", static_cast<double>(frame.x), static_cast<double>(frame.y),
          static_cast<double>(frame.z), static_cast<double>(frame.r));
  if (isQueued) EnqueueParamPlaceholder();
  return 0;
}
