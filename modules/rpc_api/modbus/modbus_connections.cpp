// ModbusCreate and ModbusClose: opening and closing the table's connections.
#include <modbus.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <regex>

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/modbus/modbus_slots.h"

namespace zelor::modules::rpcExecuteApis {

namespace {

constexpr int kIndicationTimeoutUs = 10000;
constexpr int kResponseTimeoutUs = 100000;
constexpr int kMaxPort = 65536;
constexpr int kMaxSlaveId = 4;

void keepAlive(int socket) {
  const int one = 1;
  setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
  setsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &one, sizeof one);
  setsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &one, sizeof one);
  setsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &one, sizeof one);
}

}  // namespace

bool rpcExecuteApi::isValidIpAddres(const std::string& text) {
  static const std::regex pattern(R"(\d{1,3}\.\d{1,3}\.\d{1,3}\.\d{1,3})", std::regex::ECMAScript);
  if (!std::regex_match(text, pattern)) return false;
  for (const std::string& part : split(text, '.')) {
    std::printf("%s\n", part.c_str());
    if (std::stoi(part) > 255) return false;
  }
  return true;
}

void rpcExecuteApi::ModbusCreate(const Args& args, std::string& reply) {
  logArgs(args);
  if (!isParamsCountOk(3, 4, args.size(), reply)) {
    RPC_LOG_ERROR("params range is ({},{}) {} not in.", 3, 4, args.size());
    return;
  }
  RPC_LOG_INFO("index = {}", firstEmptyModbusSlot());
  if (!isValidIpAddres(args[0])) {
    RPC_LOG_ERROR("This is not a correct IP address");
    reply = "-30001,{-1},";
    return;
  }
  if (!isInteger(args, 1, 3, reply)) {
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return;
  }
  const int port = getInt(args[1]);
  const int id = getInt(args[2]);
  if (!isParamsRangeOk<int>(port, 0, kMaxPort, 2, reply) || !isParamsRangeOk<int>(id, 0, kMaxSlaveId, 3, reply)) {
    RPC_LOG_ERROR("the range of the params value is wrong: {}", reply);
    return;
  }
  int rtu = 0;
  if (args.size() == 4) {
    if (!isInteger(args, 3, 4, reply)) {
      RPC_LOG_ERROR("the type of params is wrong: {}", reply);
      return;
    }
    rtu = getInt(args[3]);
    if (!isParamsRangeOk<int>(rtu, 0, 1, 4, reply)) {
      RPC_LOG_ERROR("the range of the params value is wrong: {}", reply);
      return;
    }
  }
  const int index = reserveModbusSlot();
  if (index < 0) {
    RPC_LOG_ERROR("index is {}, error!", index);
    reply = "-1,{-1},";
    return;
  }
  RPC_LOG_INFO("[ModbusCreate] recv args,ip:{},port:{},id:{},isRTU:{}", args[0], port, id, rtu);
  if (rtu == 1) {
    RPC_LOG_ERROR("RTU mode is not supported!");
    releaseModbusSlot(index);
    reply = kFailedReply;
    return;
  }
  modbus_t* context = modbus_new_tcp(args[0].c_str(), port);
  if (context == nullptr) {
    RPC_LOG_ERROR("modbus create err : {}, {}", errno, modbus_strerror(errno));
    releaseModbusSlot(index);
    reply = kFailedReply;
    return;
  }
  if (modbus_set_slave(context, id) == -1) {
    std::puts("Invalid slave ID");
    modbus_free(context);
    releaseModbusSlot(index);
    reply = kFailedReply;
    return;
  }
  modbus_set_indication_timeout(context, 0, kIndicationTimeoutUs);
  modbus_set_response_timeout(context, 0, kResponseTimeoutUs);
  if (modbus_connect(context) == -1) {
    RPC_LOG_ERROR("[ModbusCreate] connect {}:{} faild reason:{}", args[0], port, modbus_strerror(errno));
    modbus_free(context);
    releaseModbusSlot(index);
    reply = kFailedReply;
    return;
  }
  keepAlive(modbus_get_socket(context));
  fillModbusSlot(index, context);
  reply = "0,{" + std::to_string(index) + "},";
  RPC_LOG_INFO("modbus create success!");
}

void rpcExecuteApi::ModbusClose(const Args& args, std::string& reply) {
  logArgs(args);
  if (!isParamsCountOk(1, 1, args.size(), reply)) {
    RPC_LOG_ERROR("the number of params is wrong: {}", reply);
    return;
  }
  if (!isInteger(args, reply)) {
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return;
  }
  const int index = getInt(args[0]);
  if (!isParamsRangeOk<int>(index, 0, kModbusSlots, 1, reply)) {
    RPC_LOG_ERROR("the range of the params value is wrong: {}", reply);
    return;
  }
  if (index == kModbusSlots) {
    reply = kFailedReply;
    return;
  }
  ModbusSlotUse slot(index);
  if (slot.context() == nullptr) {
    RPC_LOG_ERROR("[ModbusClose] modbus index:{} can not free twice", index);
    reply = kFailedReply;
    return;
  }
  RPC_LOG_INFO("[ModbusClose] will free modbus index:{} ", index);
  slot.closeAndEmpty();
  reply = kDoneReply;
}

}  // namespace zelor::modules::rpcExecuteApis
