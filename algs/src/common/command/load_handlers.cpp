#include "common/command/load_handlers.h"

#include <cstddef>
#include <cstring>

#include "common/command/command_params.h"
#include "common/kernel/dynamics_state.h"
#include "common/kernel/packed_cmd_queue.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr std::uint32_t kRefused = 1;
// A payload at or below this counts as none.
constexpr double kNoPayload = 1e-5;

}  // namespace

// The layout of the 148 bytes belongs to the dynamics stage: copied whole.
std::uint32_t OnBasicDynamicParams(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  if (rw == 0) {
    ReplyRecord(gBasicDynamicParams, params, len);
    return 0;
  }
  float incoming[kBasicDynamicParamCount];
  const bool taken = TakeRecord(__func__, params, len, incoming);
  len = 0;
  if (!taken) return kRefused;
  std::memcpy(gBasicDynamicParams, incoming, sizeof gBasicDynamicParams);
  return 0;
}

std::uint32_t OnLoadParams(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  if (rw == 0) {
    ReplyRecord(LoadParams, params, len);
    return 0;
  }
  float mass = 0.0f;
  const bool taken = TakeRecord(__func__, params, len, mass) && FloatsFinite(__func__, &mass, 0, 1);
  len = 0;
  if (!taken) return kRefused;
  LoadParams = mass;
  CMD_LOG("Load params:%1.3f\r\n", static_cast<double>(mass));
  return 0;
}

std::uint32_t OnLoadSwitch(tagSysParams*, std::uint8_t, std::uint8_t*, std::uint32_t&, bool) { return 0; }

std::uint32_t OnLoadSet(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                        bool isQueued) {
  CMD_LOG("Command OnLoadSet isQueued:%d\r\n", isQueued ? 1 : 0);
  if (rw == 0) {
    ReplyRecord(sysParams->loadParams, params, len);
    return 0;
  }
  _stLoadParams load;
  const bool taken = TakeRecord(__func__, params, len, load) && DoublesFinite(__func__, &load, 0, 2);
  len = 0;
  if (!taken) return kRefused;
  sysParams->loadParams = load;
  sysParams->loadFlag = load.payload > kNoPayload ? 1 : 0;
  CMD_LOG("Command OnLoadSet:%1.3f %1.3f\r\n", load.payload, load.inertia);
  if (isQueued) EnqueueParamPlaceholder();
  return 0;
}

std::uint32_t OnLoadFullParamsSet(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                                  bool isQueued) {
  CMD_LOG("Command OnLoadFullParamsSet isQueued:%d\r\n", isQueued ? 1 : 0);
  if (rw == 0) {
    ReplyRecord(sysParams->loadFullParams, params, len);
    return 0;
  }
  _stLoadFullParams full;
  const bool taken = TakeRecord(__func__, params, len, full) &&
                     DoublesFinite(__func__, &full, offsetof(_stLoadFullParams, weight), 2);
  len = 0;
  if (!taken) return kRefused;
  sysParams->loadFullParams = full;
  CMD_LOG("Command OnLoadFullParamsSet:%d, %1.3f %1.3f\r\n", full.index, full.weight, full.inertia);
  if (isQueued) EnqueueParamPlaceholder();
  return 0;
}
