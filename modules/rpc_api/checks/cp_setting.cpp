#include "rpc_api/checks/cp_setting.h"

#include <cstdlib>

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"

namespace zelor::modules::rpcExecuteApis {

namespace {
constexpr unsigned kMaxCp = 100;
constexpr const char* kCpKey = "CP=";
}  // namespace

CPSetting::~CPSetting() {
  if (m_cpValue == kNothingToRestore) return;
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  constexpr bool isQueue = true;
  Packet* packet = api.alloc_SetTransitionCmd(static_cast<unsigned char>(m_cpValue & 0xff), isQueue);
  if (packet == nullptr) {
    RPC_LOG_INFO("alloc_SetTransitionCmd(m_cpValue, isQueue) error ,pack is nullptr");
  } else {
    api.freePluginPacket(packet);
  }
  m_cpValue = kNothingToRestore;
}

bool CPSetting::getInuputCpValue(int* value, const Args& args, std::string& reply) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i].find(kCpKey) == std::string::npos) {
      m_isValid = false;
      continue;
    }
    const std::vector<std::string> digits = getDigitsFromStr(args[i]);
    // "CP=" without digits is as wrong as "CP=5.5", not an absent option.
    if (digits.empty()) reply = errorReply(kTypeErrorBase - static_cast<long>(i));
    if (!isInteger(digits, reply)) {
      RPC_LOG_ERROR("the type of params is wrong: {}", reply);
      break;
    }
    const int cp = getInt(digits.front());
    RPC_LOG_INFO("Cp: {}", cp);
    if (!isParamsRangeOk<int>(cp, 0, static_cast<int>(kMaxCp), i, reply)) {
      RPC_LOG_ERROR("the range of the params value is wrong: {}", reply);
      break;
    }
    if (value != nullptr) *value = cp;
    m_isValid = true;
  }
  RPC_LOG_INFO("is CP valid : {}", m_isValid);
  return m_isValid;
}

bool CPSetting::getCurCpValue(int* value) {
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  Packet* packet = api.alloc_GetTransitionCmd();
  if (packet == nullptr) {
    RPC_LOG_INFO("alloc_GetTransitionCmd() error ,pack is nullptr");
    return false;
  }
  const int cp = packet->params[0];
  api.freePluginPacket(packet);
  if (value != nullptr) *value = cp;
  RPC_LOG_INFO("CP before is {}", cp);
  return true;
}

int CPSetting::setCpValue(int value, std::string& reply) {
  if (static_cast<unsigned>(value) > kMaxCp) {
    reply = errorReply(-30000);
    return -1;
  }
  constexpr bool isQueue = true;
  RPC_LOG_INFO("SetCpValue cp:{}, isQueue = {}", value, isQueue ? 1 : 0);
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  Packet* packet = api.alloc_SetTransitionCmd(static_cast<unsigned char>(value), isQueue);
  if (packet == nullptr) {
    RPC_LOG_INFO("alloc_SetTransitionCmd(value, isQueue) error ,pack is nullptr");
    return -1;
  }
  api.freePluginPacket(packet);
  return 0;
}

}  // namespace zelor::modules::rpcExecuteApis
