#include "rpc_api/rpc_execute_api.h"

#include "common/util/json_util.h"
#include "exchange/command_lock.h"
#include "exchange/exchange_pack.h"

namespace zelor::modules::rpcExecuteApis {

rpcExecuteApi& rpcExecuteApi::Instance() {
  static rpcExecuteApi instance;
  return instance;
}

rpcExecuteApi::rpcExecuteApi() { zelor::common::util::JsonUtil::getControllerType(m_controllerType); }

rpcExecuteApi::~rpcExecuteApi() = default;

int rpcExecuteApi::processTranslate(Packet* packet) {
  const interface::CommandHold hold;
  return m_exchange.ExchangePackWithRT(packet, sizeof(Packet), nullptr) > 0 ? 1 : 0;
}

double rpcExecuteApi::getPayMax(const std::string&) { return 1.0; }

}  // namespace zelor::modules::rpcExecuteApis
