#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"

// SetArmOrientation: the arm (0 or 1) and up to three direction values, each
// 1 or -1; only the arm reaches the kernel.

namespace zelor::modules::rpcExecuteApis {

void rpcExecuteApi::SetArmOrientation(const Args& args, std::string& reply) {
  logArgs(args);
  if (!isParamsCountOk(1, 4, args.size(), reply)) {
    RPC_LOG_ERROR("the number of params is wrong: {}", reply);
    return;
  }
  if (!isInteger(args, reply)) {
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return;
  }
  // A missing argument counts as 1.
  int values[4] = {1, 1, 1, 1};
  for (std::size_t i = 0; i < args.size(); ++i) values[i] = getInt(args[i]);
  const int arm = values[0];
  if (arm != 0 && arm != 1) {
    reply = errorReply(kRangeErrorBase - 1);
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return;
  }
  for (int i = 1; i <= 2; ++i) {
    if (values[i] != 1 && values[i] != -1) {
      reply = errorReply(kRangeErrorBase - 1 - i);
      RPC_LOG_ERROR("the range of the params value is wrong: {}", reply);
      return;
    }
  }
  const char armOrientation = arm == 1 ? 1 : 0;
  rpcExecuteApi& api = Instance();
  Packet* packet = api.alloc_SetArmOrientation(armOrientation, 1);
  if (packet == nullptr) {
    RPC_LOG_INFO("alloc_SetArmOrientation(armOrientation, 1) error ,pack is nullptr");
    reply = kFailedReply;
    return;
  }
  api.freePluginPacket(packet);
}

}  // namespace zelor::modules::rpcExecuteApis
