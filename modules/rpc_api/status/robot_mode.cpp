#include "rpc_api/status/robot_mode.h"

#include <cstddef>
#include <iterator>

#include "common/ipc/robot_map.h"

namespace zelor::modules::rpcExecuteApis {

std::optional<std::int32_t> recordRobotMode() {
  const robotMap& map = robotMap::instance();
  if (map.record() == nullptr) return std::nullopt;
  return map.loadWord(robot_map::kRecord + offsetof(RealTimeData_t, RobotMode));
}

const char* robotModeName(std::int32_t mode) {
  static constexpr const char* kNames[] = {"init",    "brake open", "reserve",   "disabled", "enable", "backdrive",
                                           "running", "recording",  "error",     "pause",    "jog"};
  if (mode < 1 || mode > static_cast<std::int32_t>(std::size(kNames))) return "";
  return kNames[mode - 1];
}

}  // namespace zelor::modules::rpcExecuteApis
