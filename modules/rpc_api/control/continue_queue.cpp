#include "common/ipc/robot_map.h"
#include "rpc_api/api_log.h"
#include "rpc_api/control/queue_control.h"

// Continue: resumes the command queue.

namespace zelor::modules::rpcExecuteApis {

namespace {
constexpr char controlType_auto = 1;
constexpr std::uint32_t kExterAxisContinue = 20;
}  // namespace

bool sendOnly(Packet* packet, const char* failure) {
  if (packet == nullptr) {
    RPC_LOG_INFO("{}", failure);
    return false;
  }
  rpcExecuteApi::Instance().freePluginPacket(packet);
  return true;
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
  sendOnly(api.alloc_SetControlType(controlType_auto), "alloc_SetControlType(controlType_auto) error ,pack is nullptr");
  const bool started =
      sendOnly(api.alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error ,pack is nullptr");
  // Without a slide rail the axis answers a negative status: not a failure of
  // the queue.
  const stTramletCmd axis{kExterAxisContinue, {0}, 0};
  sendOnly(api.alloc_SetExterAxisCmd(axis, 0), "alloc_SetExterAxisCmd(exterAxisCmd, 0) error ,pack is nullptr");
  // A queue start that got no reply leaves the queue standing.
  reply = started ? kDoneReply : kFailedReply;
  return started;
}

void rpcExecuteApi::Continue(const Args& args, std::string& reply) {
  logArgs(args);
  continueQueue(reply);
}

}  // namespace zelor::modules::rpcExecuteApis
