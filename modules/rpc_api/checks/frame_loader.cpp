#include <atomic>
#include <cstring>

#include "common/ipc/robot_map.h"
#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"

// The kernel's user and tool frames and common parameters: read, restored,
// and frames of the project's tables selected at once.

namespace zelor::modules::rpcExecuteApis {

namespace {

// Process-local words of the status-memory accessor holding the current
// frame indices; both command ports write them.
constexpr int kCurrentUserWord = 4;
constexpr int kCurrentToolWord = 5;

void storeCurrentIndex(int word, std::uint32_t index) {
  std::atomic_ref<std::int32_t>(robotMap::instance().localWord(word))
      .store(static_cast<std::int32_t>(index), std::memory_order_relaxed);
}

// Copies the reply's record and frees the packet; false when none came back.
template <typename Record>
bool takeReply(Packet* packet, Record& record) {
  if (packet == nullptr) return false;
  std::memcpy(&record, packet->params, sizeof record);
  rpcExecuteApi::Instance().freePluginPacket(packet);
  return true;
}

}  // namespace

bool rpcExecuteApi::frameOf(FrameKind kind, int index, tagCoordParamsFull& frame) {
  if (index < 0 || index >= kFrameCount) return false;
  rpcExecuteApi& api = Instance();
  std::lock_guard lock(api.m_projectMutex);
  const st_coord& entry = kind == FrameKind::User ? api.m_projectReader.userCoord[index]
                                                  : api.m_projectReader.toolCoord[index];
  if (!entry.enable) return false;
  frame = {static_cast<std::uint32_t>(index), entry.params[0], entry.params[1], entry.params[2], entry.params[3]};
  return true;
}

void rpcExecuteApi::reloadFrames() {
  rpcExecuteApi& api = Instance();
  std::lock_guard lock(api.m_projectMutex);
  api.m_projectReader.st_coord_load();
}

void rpcExecuteApi::setCurrentFrameIndex(FrameKind kind, std::uint32_t index) {
  storeCurrentIndex(kind == FrameKind::User ? kCurrentUserWord : kCurrentToolWord, index);
}

bool rpcExecuteApi::GetOldSpeedAndAccel(tagPTPCommonParams& params) {
  return takeReply(Instance().alloc_GetPTPCommonParams(), params);
}

void rpcExecuteApi::SetSpeedAndAccel(tagPTPCommonParams params) {
  rpcExecuteApi& api = Instance();
  if (Packet* packet = api.alloc_SetPTPCommonParams(&params, true)) api.freePluginPacket(packet);
}

void rpcExecuteApi::RecoverySpeedAndAccel(tagPTPCommonParams params) {
  rpcExecuteApi& api = Instance();
  if (Packet* packet = api.alloc_SetPTPCommonParams(&params, true)) api.freePluginPacket(packet);
}

bool rpcExecuteApi::GetOverAllUser(tagCoordParamsFull& frame) {
  if (takeReply(Instance().alloc_GetUserCoordParams(), frame)) return true;
  RPC_LOG_INFO(" error ,pack is nullptr");
  return false;
}

bool rpcExecuteApi::GetOverAllTool(tagCoordParamsFull& frame) {
  if (takeReply(Instance().alloc_GetToolCoordParams(), frame)) return true;
  RPC_LOG_INFO(" error ,pack is nullptr");
  return false;
}

bool rpcExecuteApi::RecoverAllUser(const tagCoordParamsFull& frame) {
  rpcExecuteApi& api = Instance();
  Packet* packet = api.alloc_SetUserCoordParams(&frame, true);
  if (packet == nullptr) {
    RPC_LOG_INFO("alloc_SetUserCoordParams(tempUser, isQueue) error ,pack is nullptr");
  } else {
    api.freePluginPacket(packet);
  }
  setCurrentFrameIndex(FrameKind::User, frame.index);
  RPC_LOG_INFO("{}", " tempUser->index { }");
  return packet != nullptr;
}

bool rpcExecuteApi::RecoverAllTool(const tagCoordParamsFull& frame) {
  rpcExecuteApi& api = Instance();
  Packet* packet = api.alloc_SetToolCoordParams(&frame, true);
  if (packet == nullptr) {
    RPC_LOG_INFO("alloc_SetToolCoordParams(tempTool, isQueue) error ,pack is nullptr");
  } else {
    api.freePluginPacket(packet);
  }
  setCurrentFrameIndex(FrameKind::Tool, frame.index);
  return packet != nullptr;
}

int rpcExecuteApi::LoadSetUserTool(std::string& reply, int user, int tool, std::uint8_t position) {
  reply = errorReply(kOptionErrorBase - position);
  rpcExecuteApi& api = Instance();
  tagCoordParamsFull frame{};
  if (user != -1) {
    // An index outside 0..9, below -1 too, is a frame that is not set.
    if (!frameOf(FrameKind::User, user, frame)) {
      RPC_LOG_INFO("user[{}] has not been set yet", user);
      return -1;
    }
    RPC_LOG_INFO("user[{}], params:[{},{},{},{}]", user, frame.x, frame.y, frame.z, frame.r);
    Packet* packet = api.alloc_SetUserCoordParams(&frame, false);
    if (packet == nullptr) {
      reply = kFailedReply;
      return -1;
    }
    api.freePluginPacket(packet);
  }
  if (tool != -1) {
    if (!frameOf(FrameKind::Tool, tool, frame)) {
      RPC_LOG_INFO("tool[{}] has not been set yet", tool);
      reply = kFailedReply;
      return -1;
    }
    RPC_LOG_INFO("tool[{}], params:[{},{},{},{}]", tool, frame.x, frame.y, frame.z, frame.r);
    Packet* packet = api.alloc_SetToolCoordParams(&frame, false);
    if (packet == nullptr) {
      reply = kFailedReply;
      return -1;
    }
    api.freePluginPacket(packet);
  }
  reply = kDoneReply;
  return 0;
}

}  // namespace zelor::modules::rpcExecuteApis
