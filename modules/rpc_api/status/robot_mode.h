#pragma once

#include <cstdint>
#include <optional>

namespace zelor::modules::rpcExecuteApis {

// The robot mode of the status record (low 32 bits of its field); nothing
// when no record is attached.
std::optional<std::int32_t> recordRobotMode();

// The mode's name, "" for a mode outside 1 .. 11.
const char* robotModeName(std::int32_t mode);

}  // namespace zelor::modules::rpcExecuteApis
