// GetInBits, GetCoils and SetCoils on the table's connections.
#include <modbus.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/modbus/modbus_slots.h"

namespace zelor::modules::rpcExecuteApis {

namespace {

constexpr int RCall_Max_MODBUS_RW_Len = 16;

bool validIndex(long index) { return index >= 0 && index < kModbusSlots; }

const void* contextOf(long index) { return validIndex(index) ? rpcExecuteApi::ctx[index] : nullptr; }

// "1"/"true" → 1, "0"/"false" → 0, anything else → -1.
int boolValue(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  if (text == "1" || text == "true") return 1;
  if (text == "0" || text == "false") return 0;
  return -1;
}

}  // namespace

void rpcExecuteApi::GetInbitsOrCoils(const Args& args, std::string& reply, bool input) {
  const int index = getInt(args[0]);
  const int addr = getInt(args[1]);
  const int count = getInt(args[2]);
  if (!validIndex(index)) {
    RPC_LOG_ERROR("index : {} ctx[index] = {}", index, contextOf(index));
    reply = errorReply(kRangeErrorBase - 1);
    return;
  }
  ModbusSlotUse slot(index);
  if (slot.context() == nullptr) {
    RPC_LOG_ERROR("index : {} ctx[index] = {}", index, static_cast<const void*>(slot.context()));
    reply = errorReply(kRangeErrorBase - 1);
    return;
  }
  if (count > RCall_Max_MODBUS_RW_Len) {
    RPC_LOG_ERROR("count > RCall_Max_MODBUS_RW_Len");
    reply = errorReply(kRangeErrorBase - 3);
    return;
  }
  RPC_LOG_INFO("[GetCoils] command parsed  index:{} addr:{} count:{} isInput = {} ", index, addr, count,
               input ? "true" : "false");
  std::uint8_t bits[RCall_Max_MODBUS_RW_Len] = {};
  const int rc = input ? modbus_read_input_bits(slot.context(), addr, count, bits)
                       : modbus_read_bits(slot.context(), addr, count, bits);
  if (rc == -1) {
    RPC_LOG_ERROR("{}(ctx[{}],{},{},buf) read faild , reason {},modbus_strerror = {}",
                  input ? "modbus_read_input_bits" : "modbus_read_bits", index, addr, count, errno,
                  modbus_strerror(errno));
    reply = "-1,{}";
    return;
  }
  std::string values;
  for (int i = 0; i < rc && i < RCall_Max_MODBUS_RW_Len; ++i) {
    if (i > 0) values += ",";
    values += bits[i] ? "1" : "0";
  }
  reply = "0,{" + values + "},";
  RPC_LOG_INFO("[GetCoils] ret = {} result : {} ", rc, reply);
  RPC_LOG_INFO("GetInbitsOrCoils ");
}

namespace {

bool bitArgsOk(const Args& args, std::string& reply) {
  logArgs(args);
  if (!isParamsCountOk(3, 3, args.size(), reply)) {
    RPC_LOG_ERROR("the number of params is wrong: {}", reply);
    return false;
  }
  if (!isInteger(args, reply)) {
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return false;
  }
  return true;
}

}  // namespace

void rpcExecuteApi::GetInBits(const Args& args, std::string& reply) {
  if (!bitArgsOk(args, reply)) return;
  GetInbitsOrCoils(args, reply, true);
  RPC_LOG_INFO("GetInBits ");
}

void rpcExecuteApi::GetCoils(const Args& args, std::string& reply) {
  if (!bitArgsOk(args, reply)) return;
  GetInbitsOrCoils(args, reply, false);
  RPC_LOG_INFO("GetCoilss ");
}

void rpcExecuteApi::SetCoils(const Args& args, std::string& reply) {
  logArgs(args);
  if (args.size() < 3) {
    RPC_LOG_ERROR("index {} larger than max {} ", 3, args.size());
    reply = errorReply(kCountErrorId);
    return;
  }
  const long index = std::strtol(args[0].c_str(), nullptr, 10);
  const long addr = std::strtol(args[1].c_str(), nullptr, 10);
  long count = std::strtol(args[2].c_str(), nullptr, 10);
  if (count < 0 || static_cast<unsigned long>(count) + 3 != args.size()) {
    RPC_LOG_ERROR("params range is ({},{}) {} not in.", count + 3, count + 3, args.size());
    reply = errorReply(kCountErrorId);
    return;
  }
  count = std::min<long>(count, RCall_Max_MODBUS_RW_Len);
  if (!validIndex(index)) {
    RPC_LOG_ERROR("index : {} ctx[index] = {}", index, contextOf(index));
    reply = errorReply(kRangeErrorBase - 1);
    return;
  }
  ModbusSlotUse slot(static_cast<int>(index));
  if (slot.context() == nullptr) {
    RPC_LOG_ERROR("index : {} ctx[index] = {}", index, static_cast<const void*>(slot.context()));
    reply = errorReply(kRangeErrorBase - 1);
    return;
  }
  std::uint8_t bits[RCall_Max_MODBUS_RW_Len] = {};
  for (long i = 0; i < count; ++i) {
    const std::size_t position = static_cast<std::size_t>(i) + 3;
    const int value = boolValue(args[position]);
    if (value < 0) {
      RPC_LOG_ERROR("params[{}] is not bool, str={}", position, args[position]);
      reply = errorReply(kRangeErrorBase - static_cast<long>(position));
      return;
    }
    bits[i] = static_cast<std::uint8_t>(value);
  }
  if (modbus_write_bits(slot.context(), static_cast<int>(addr), static_cast<int>(count), bits) == -1) {
    RPC_LOG_ERROR("error here ,reason {},modbus_strerror = {}", errno, modbus_strerror(errno));
    reply = "-1, {},";
    return;
  }
  reply = kDoneReply;
}

}  // namespace zelor::modules::rpcExecuteApis
