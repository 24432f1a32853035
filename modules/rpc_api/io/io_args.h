#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "rpc_api/rpc_execute_api.h"

namespace zelor::modules::rpcExecuteApis {

// The argument handling shared by the I/O commands: arguments logged, the
// count exactly `count`, all integers. Each failure is logged and leaves its
// error reply; false then.
bool integerArgs(const Args& args, std::size_t count, std::string& reply);

// Logs the range failure the reply already holds.
void logRangeError(const std::string& reply);

// A controller output address: 1..16 or 100..1000. Otherwise the reply is
// the range error of the 1-based position and false comes back.
bool isOutputAddressOk(int address, std::size_t position, std::string& reply);

}  // namespace zelor::modules::rpcExecuteApis
