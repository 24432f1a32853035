#include "rpc_api/checks/ptp_common_set_back.h"

#include <cstring>

#include "rpc_api/api_log.h"

namespace zelor::modules::rpcExecuteApis {

int PTPCommonSetBack::readFromAlgs(tagPTPCommonParams& params) {
  if (!rpcExecuteApi::GetOldSpeedAndAccel(params)) {
    RPC_LOG_INFO("load PTPCommonParams from algs faild !!!!");
    return -1;
  }
  return 0;
}

int PTPCommonSetBack::setToAlgs(const tagPTPCommonParams& params) {
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  Packet* packet = api.alloc_SetPTPCommonParams(&params, true);
  if (packet == nullptr) {
    RPC_LOG_INFO("send to algs faild ,return a nullptr");
    return -1;
  }
  api.freePluginPacket(packet);
  return 0;
}

int PTPCommonSetBack::set(const OptionMap& options, const std::set<std::string>& allowed, std::string& reply) {
  reply = kFailedReply;
  for (const auto& [key, value] : options) {
    if (allowed.count(key) == 0) {
      RPC_LOG_INFO("find an Illegal key:{} val:{}", key, value);
      return -1;
    }
  }
  if (readFromAlgs(m_saved) != 0 || readFromAlgs(m_new) != 0) return -1;

  for (const auto& [key, value] : options) {
    const float ratio = static_cast<float>(value);
    if (key == "SpeedJ") {
      m_new.velocityRatio = ratio;
    } else if (key == "SpeedL") {
      m_new.xyzVelocityRatio = ratio;
    } else if (key == "AccJ") {
      m_new.accelerationRatio = ratio;
    } else if (key == "AccL") {
      m_new.xyzAccelerationRatio = ratio;
    } else if (key == "User") {
      if (rpcExecuteApi::LoadSetUserTool(reply, value, -1, 0) != 0) return -1;
    } else if (key == "Tool") {
      if (rpcExecuteApi::LoadSetUserTool(reply, -1, value, 0) != 0) return -1;
    } else if (key != "CP") {
      RPC_LOG_INFO("unknow key:{} val:{}", key, value);
      // A frame loaded before this key left "0,{},".
      reply = kFailedReply;
      return -1;
    }
    RPC_LOG_INFO("parse {}={} success", key, value);
  }
  if (setToAlgs(m_new) != 0) {
    reply = kFailedReply;
    return -1;
  }
  m_restore = true;
  reply = kDoneReply;
  return 0;
}

int PTPCommonSetBack::back() {
  if (!m_restore) {
    RPC_LOG_INFO("nothing to back .....   attention !");
    return 0;
  }
  return setToAlgs(m_saved);
}

}  // namespace zelor::modules::rpcExecuteApis
