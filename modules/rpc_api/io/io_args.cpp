#include "rpc_api/io/io_args.h"

#include <cstdint>

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"

namespace zelor::modules::rpcExecuteApis {

namespace {

constexpr int kFirstLowOutput = 1;
constexpr int kLastLowOutput = 16;
constexpr int kFirstHighOutput = 100;
constexpr int kLastHighOutput = 1000;

}  // namespace

bool integerArgs(const Args& args, std::size_t count, std::string& reply) {
  logArgs(args);
  const auto wanted = static_cast<std::uint8_t>(count);
  if (!isParamsCountOk(wanted, wanted, args.size(), reply)) {
    RPC_LOG_ERROR("the number of params is wrong: {}", reply);
    return false;
  }
  if (!isInteger(args, reply)) {
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return false;
  }
  return true;
}

void logRangeError(const std::string& reply) { RPC_LOG_ERROR("the range of the params value is wrong: {}", reply); }

bool isOutputAddressOk(int address, std::size_t position, std::string& reply) {
  if ((address >= kFirstLowOutput && address <= kLastLowOutput) ||
      (address >= kFirstHighOutput && address <= kLastHighOutput)) {
    return true;
  }
  reply = errorReply(kRangeErrorBase - static_cast<long>(position));
  logRangeError(reply);
  return false;
}

}  // namespace zelor::modules::rpcExecuteApis
