#include <cstdint>

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/io/io_args.h"

// DO, DOExecute, ToolDO, ToolDOExecute, DOGroup. An output packet that gets
// no reply answers "-1,{},": the output was never set.

namespace zelor::modules::rpcExecuteApis {

namespace {

constexpr int kFirstTool = 1;
constexpr int kLastTool = 4;
// Tool output n is output address n + 16.
constexpr int kToolAddressOffset = 16;
constexpr std::size_t kMinGroupArgs = 2;
constexpr std::size_t kMaxGroupArgs = 64;

bool isLevelOk(int level, std::size_t position, std::string& reply) {
  if (isParamsRangeOk<int>(level, 0, 1, position, reply)) return true;
  logRangeError(reply);
  return false;
}

void sendOutput(std::uint32_t address, int level, bool queued, std::string& reply) {
  tagIO_DO param{};
  param.address = address;
  param.level = static_cast<std::uint8_t>(level);
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  Packet* packet = api.alloc_SetIODO(&param, queued ? 1 : 0);
  if (packet == nullptr) {
    RPC_LOG_ERROR("{}", queued ? "alloc_SetIODO(&param, true) error ,pack is nullptr"
                               : "alloc_SetIODO(&param, false) error ,pack is nullptr");
    reply = kFailedReply;
    return;
  }
  api.freePluginPacket(packet);
}

void setOutput(const Args& args, std::string& reply, bool queued) {
  if (!integerArgs(args, 2, reply)) return;
  const int address = getInt(args[0]);
  const int level = getInt(args[1]);
  if (!isOutputAddressOk(address, 1, reply)) return;
  if (!isLevelOk(level, 2, reply)) return;
  sendOutput(static_cast<std::uint32_t>(address), level, queued, reply);
}

void setToolOutput(const Args& args, std::string& reply, bool queued) {
  if (!integerArgs(args, 2, reply)) return;
  const int tool = getInt(args[0]);
  const int level = getInt(args[1]);
  if (!isParamsRangeOk<int>(tool, kFirstTool, kLastTool, 1, reply)) {
    logRangeError(reply);
    return;
  }
  if (!isLevelOk(level, 2, reply)) return;
  sendOutput(static_cast<std::uint32_t>(tool + kToolAddressOffset), level, queued, reply);
}

}  // namespace

void rpcExecuteApi::DO(const Args& args, std::string& reply) { setOutput(args, reply, true); }

void rpcExecuteApi::DOExecute(const Args& args, std::string& reply) { setOutput(args, reply, false); }

void rpcExecuteApi::ToolDO(const Args& args, std::string& reply) { setToolOutput(args, reply, true); }

void rpcExecuteApi::ToolDOExecute(const Args& args, std::string& reply) { setToolOutput(args, reply, false); }

void rpcExecuteApi::DOGroup(const Args& args, std::string& reply) {
  logArgs(args);
  if (args.size() % 2 != 0 || args.size() < kMinGroupArgs || args.size() > kMaxGroupArgs) {
    reply = errorReply(kCountErrorId);
    RPC_LOG_ERROR("the number of params is wrong: {}", reply);
    return;
  }
  if (!isInteger(args, reply)) {
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return;
  }
  Group_IO_DO group{};
  group.count = static_cast<std::uint32_t>(args.size() / 2);
  for (std::size_t k = 0; k < group.count; ++k) {
    const int address = getInt(args[2 * k]);
    const int level = getInt(args[2 * k + 1]);
    if (!isOutputAddressOk(address, 2 * k + 1, reply)) return;
    if (!isLevelOk(level, 2 * k + 2, reply)) return;
    group.DO[k].address = static_cast<std::uint32_t>(address);
    group.DO[k].level = static_cast<std::uint8_t>(level);
  }
  rpcExecuteApi& api = Instance();
  Packet* packet = api.alloc_SetMulIODO(&group, 0);
  if (packet == nullptr) {
    RPC_LOG_ERROR("{}", "alloc_SetMulIODO(&GDO, false) error ,pack is nullptr");
    reply = kFailedReply;
    return;
  }
  api.freePluginPacket(packet);
}

}  // namespace zelor::modules::rpcExecuteApis
