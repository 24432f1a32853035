#pragma once

#include <optional>
#include <string>

#include "rpc_api/rpc_execute_api.h"

namespace zelor::modules::rpcExecuteApis {

// The argument handling of the settings commands that take one integer:
// arguments logged, count exactly 1, an integer, its value logged with
// valueLog (none when null), min..max as parameter 1. Each failure is logged
// and leaves its error reply; the value comes back only when all passed.
std::optional<int> oneIntegerArg(const Args& args, std::string& reply, int min, int max, const char* valueLog);

}  // namespace zelor::modules::rpcExecuteApis
