#include "rpc_api/settings/one_integer.h"

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"

namespace zelor::modules::rpcExecuteApis {

std::optional<int> oneIntegerArg(const Args& args, std::string& reply, int min, int max, const char* valueLog) {
  logArgs(args);
  if (!isParamsCountOk(1, 1, args.size(), reply)) {
    RPC_LOG_ERROR("the number of params is wrong: {}", reply);
    return std::nullopt;
  }
  if (!isInteger(args, reply)) {
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return std::nullopt;
  }
  const int value = getInt(args[0]);
  if (valueLog != nullptr) RPC_LOG_INFO(valueLog, value);
  if (!isParamsRangeOk<int>(value, min, max, 1, reply)) {
    RPC_LOG_ERROR("the range of the params value is wrong: {}", reply);
    return std::nullopt;
  }
  return value;
}

}  // namespace zelor::modules::rpcExecuteApis
