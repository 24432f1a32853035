#include <cstring>

#include "common/ipc/robot_map.h"
#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/control/queue_control.h"

// Continue: resumes the command queue.

namespace zelor::modules::rpcExecuteApis {

namespace {
constexpr std::uint32_t kExterAxisContinue = 20;
constexpr std::uint16_t kAxisReplyBytes = 8;
}  // namespace

bool sendOnly(Packet* packet, const char* failure) {
  if (packet == nullptr) {
    RPC_LOG_INFO("{}", failure);
    return false;
  }
  rpcExecuteApi::Instance().freePluginPacket(packet);
  return true;
}

bool sendControlType(char type) {
  return sendOnly(rpcExecuteApi::Instance().alloc_SetControlType(type),
                  type == controlType_auto ? "alloc_SetControlType(controlType_auto) error ,pack is nullptr"
                                           : "alloc_SetControlType(controlType_manual) error ,pack is nullptr");
}

void refuse(std::string& reply, const std::string& text) {
  RPC_LOG_ERROR("{}", text);
  reply = kFailedReply;
}

bool countOk(const Args& args, std::uint8_t min, std::uint8_t max, std::string& reply) {
  if (isParamsCountOk(min, max, args.size(), reply)) return true;
  RPC_LOG_ERROR("the number of params is wrong: {}", reply);
  return false;
}

std::optional<std::int32_t> sendExterAxis(std::uint32_t code) {
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  const stTramletCmd axis{code, {0}, 0};
  Packet* packet = api.alloc_SetExterAxisCmd(axis, 0);
  if (packet == nullptr) {
    RPC_LOG_INFO("alloc_SetExterAxisCmd(exterAxisCmd, 0) error ,pack is nullptr");
    return std::nullopt;
  }
  std::optional<std::int32_t> status;
  if (packet->length >= kAxisReplyBytes + 2) {
    std::int32_t value = 0;
    std::memcpy(&value, packet->params + 4, sizeof value);
    status = value;
  }
  api.freePluginPacket(packet);
  return status;
}

bool continueQueue(std::string& reply) {
  robotMap& map = robotMap::instance();
  if (map.loadWord(robot_map::kIsErr) != 0) {
    RPC_LOG_ERROR("under error status ...  can not continue !");
    reply = kFailedReply;
    return false;
  }
  map.storeWord(robot_map::kControlType, 1);
  map.storeWord(robot_map::kPauseCopy, 0);
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  sendControlType(controlType_auto);
  const bool started =
      sendOnly(api.alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error ,pack is nullptr");
  // Without a slide rail the axis answers a negative status: not a failure of
  // the queue.
  sendExterAxis(kExterAxisContinue);
  // A queue start that got no reply leaves the queue standing.
  reply = started ? kDoneReply : kFailedReply;
  return started;
}

void rpcExecuteApi::Continue(const Args& args, std::string& reply) {
  logArgs(args);
  continueQueue(reply);
}

}  // namespace zelor::modules::rpcExecuteApis
