#include <cstdint>
#include <cstring>
#include <string>

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/io/io_args.h"

// DI and ToolDI: one input's level, "0,{level},"; "-1,{}," without a reply.

namespace zelor::modules::rpcExecuteApis {

namespace {

constexpr unsigned kFirstInput = 1;
constexpr unsigned kLastInput = 16;
constexpr std::uint8_t kFirstToolInput = 1;
constexpr std::uint8_t kLastToolInput = 4;
// Tool input n is input address n + 16.
constexpr std::uint8_t kToolAddressOffset = 16;

std::string levelReply(int level) { return "0,{" + std::to_string(level) + "},"; }

}  // namespace

void rpcExecuteApi::DI(const Args& args, std::string& reply) {
  if (!integerArgs(args, 1, reply)) return;
  const auto address = static_cast<unsigned>(getInt(args[0]));
  if (!isParamsRangeOk<unsigned>(address, kFirstInput, kLastInput, 1, reply)) {
    logRangeError(reply);
    return;
  }
  tagIO_DI param{};
  param.address = address;
  rpcExecuteApi& api = Instance();
  Packet* packet = api.alloc_GetIODI(&param);
  if (packet == nullptr) {
    RPC_LOG_ERROR("alloc_GetIODI(&param) error ,pack is nullptr");
    reply = kFailedReply;
    return;
  }
  std::memcpy(&param, packet->params, sizeof param);
  api.freePluginPacket(packet);
  const int level = static_cast<std::int8_t>(param.level);
  RPC_LOG_INFO("index {} ,level:{}", address, level);
  reply = levelReply(level);
}

void rpcExecuteApi::ToolDI(const Args& args, std::string& reply) {
  if (!integerArgs(args, 1, reply)) return;
  const auto tool = static_cast<std::uint8_t>(getInt(args[0]));
  if (!isParamsRangeOk<unsigned char>(tool, kFirstToolInput, kLastToolInput, 1, reply)) {
    logRangeError(reply);
    return;
  }
  // Count 1: the kernel answers the one input the index names (count 0
  // would pack the controller inputs instead).
  tagIODIEx param{};
  param.index = static_cast<std::uint8_t>(tool + kToolAddressOffset);
  param.count = 1;
  rpcExecuteApi& api = Instance();
  Packet* packet = api.alloc_GetIODIEx(&param);
  if (packet == nullptr) {
    RPC_LOG_ERROR("alloc_GetIODIEx(&param) error ,pack is nullptr");
    reply = kFailedReply;
    return;
  }
  std::memcpy(&param, packet->params, sizeof param);
  api.freePluginPacket(packet);
  const int level = param.levels[0] & 0x01;
  RPC_LOG_INFO("index {} ,level:{}", static_cast<int>(tool), level);
  reply = levelReply(level);
}

}  // namespace zelor::modules::rpcExecuteApis
