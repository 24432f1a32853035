#include "rpc_api/api_log.h"

namespace zelor::modules::rpcExecuteApis {

void logArgs(const Args& args) {
  if (args.empty()) return;
  std::string text;
  for (std::size_t i = 0; i < args.size(); ++i) text += " arg[" + std::to_string(i) + "]=" + args[i];
  RPC_LOG_INFO("{}", text);
}

}  // namespace zelor::modules::rpcExecuteApis
