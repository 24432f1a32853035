#include "exchange/command_lock.h"
#include "rpc_api/api_log.h"
#include "rpc_api/settings/one_integer.h"

// User and Tool: make a frame of the project's tables the kernel's current
// one, queued behind the moves already queued.

namespace zelor::modules::rpcExecuteApis {

namespace {

struct FrameCommand {
  rpcExecuteApi::FrameKind kind;
  const char* indexLog;
  const char* sameLog;
  const char* failure;
  bool (*readCurrent)(tagCoordParamsFull&);
  Packet* (rpcExecuteApi::*write)(const tagCoordParamsFull*, bool);
};

constexpr FrameCommand kUser{rpcExecuteApi::FrameKind::User, "index: {}",
                             "the index of user is the same with algs, it is {}",
                             "alloc_SetUserCoordParams(&params, isQueue) error ,pack is nullptr",
                             &rpcExecuteApi::GetOverAllUser, &rpcExecuteApi::alloc_SetUserCoordParams};
constexpr FrameCommand kTool{rpcExecuteApi::FrameKind::Tool, "index:{}",
                             "the index of tool is the same with algs, it is {}",
                             "alloc_SetToolCoordParams(&params, isQueue) error ,pack is nullptr",
                             &rpcExecuteApi::GetOverAllTool, &rpcExecuteApi::alloc_SetToolCoordParams};

void selectFrame(const FrameCommand& command, const Args& args, std::string& reply) {
  const std::optional<int> index = oneIntegerArg(args, reply, 0, kFrameCount - 1, command.indexLog);
  if (!index) return;
  // The comparison and the switch with no other command's packet between.
  const interface::CommandHold hold;
  // Without the kernel's current frame there is nothing to compare: go on.
  tagCoordParamsFull current{};
  if (command.readCurrent(current) && current.index == static_cast<std::uint32_t>(*index)) {
    RPC_LOG_ERROR(command.sameLog, *index);
    return;
  }
  rpcExecuteApi::reloadFrames();
  tagCoordParamsFull params{};
  if (!rpcExecuteApi::frameOf(command.kind, *index, params)) {
    RPC_LOG_ERROR("Coordinate {} has not been set yet", *index);
    reply = kFailedReply;
    return;
  }
  RPC_LOG_INFO("index:{}, params:[{},{},{},{}]", *index, params.x, params.y, params.z, params.r);
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  Packet* packet = (api.*command.write)(&params, true);
  if (packet == nullptr) {
    RPC_LOG_INFO("{}", command.failure);
    reply = kFailedReply;
    return;
  }
  api.freePluginPacket(packet);
  rpcExecuteApi::setCurrentFrameIndex(command.kind, params.index);
  reply = kDoneReply;
}

}  // namespace

void rpcExecuteApi::User(const Args& args, std::string& reply) { selectFrame(kUser, args, reply); }

void rpcExecuteApi::Tool(const Args& args, std::string& reply) { selectFrame(kTool, args, reply); }

}  // namespace zelor::modules::rpcExecuteApis
