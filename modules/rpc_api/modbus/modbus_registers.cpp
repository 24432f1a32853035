// GetInRegs, GetHoldRegs and SetHoldRegs on the table's connections.
#include <modbus.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/modbus/modbus_slots.h"
#include "rpc_api/modbus/register_values.h"

namespace zelor::modules::rpcExecuteApis {

namespace {

constexpr long kMaxPlainValues = 16;
constexpr long kMaxWideReadValues = 8;
constexpr long kMaxWriteRegisters = 16;

bool validIndex(long index) { return index >= 0 && index < kModbusSlots; }

const void* contextOf(long index) { return validIndex(index) ? rpcExecuteApi::ctx[index] : nullptr; }

}  // namespace

void rpcExecuteApi::GetHoldRegsOrInRegs(const Args& args, std::string& reply, bool input) {
  const int index = getInt(args[0]);
  const int addr = getInt(args[1]);
  const int count = getInt(args[2]);
  if (!validIndex(index)) {
    RPC_LOG_ERROR("index :{},ctx[{}] = {}", index, index, contextOf(index));
    reply = kFailedReply;
    return;
  }
  ModbusSlotUse slot(index);
  if (slot.context() == nullptr) {
    RPC_LOG_ERROR("index :{},ctx[{}] = {}", index, index, static_cast<const void*>(slot.context()));
    reply = kFailedReply;
    return;
  }
  const RegisterType type = args.size() > 3 ? registerTypeOf(args[3]) : RegisterType::Plain;
  const int perValue = registersPerValue(type);
  const long values = std::min<long>(count, type == RegisterType::Plain ? kMaxPlainValues : kMaxWideReadValues);
  const int registers = static_cast<int>(values * perValue);
  std::uint16_t buffer[kMaxWideReadValues * 4] = {};
  const int rc = input ? modbus_read_input_registers(slot.context(), addr, registers, buffer)
                       : modbus_read_registers(slot.context(), addr, registers, buffer);
  if (rc == -1) {
    RPC_LOG_ERROR("failed to read:{}", modbus_strerror(errno));
    reply = kFailedReply;
    return;
  }
  std::string text;
  for (long i = 0; i < values; ++i) {
    if (i > 0) text += ",";
    text += decodeRegisters(type, buffer + i * perValue);
  }
  reply = "0,{" + text + "},";
  RPC_LOG_INFO("The result of read is {}", reply);
  RPC_LOG_INFO("GetHoldRegsOrInRegs ");
}

namespace {

bool registerReadArgsOk(const Args& args, std::string& reply) {
  logArgs(args);
  if (!isParamsCountOk(3, 4, args.size(), reply)) {
    RPC_LOG_ERROR("params range is ({},{}) {} not in.", 3, 4, args.size());
    return false;
  }
  if (!isInteger(args, 0, 3, reply)) {
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return false;
  }
  return true;
}

}  // namespace

void rpcExecuteApi::GetInRegs(const Args& args, std::string& reply) {
  if (registerReadArgsOk(args, reply)) GetHoldRegsOrInRegs(args, reply, true);
}

void rpcExecuteApi::GetHoldRegs(const Args& args, std::string& reply) {
  if (registerReadArgsOk(args, reply)) GetHoldRegsOrInRegs(args, reply, false);
}

void rpcExecuteApi::SetHoldRegs(const Args& args, std::string& reply) {
  logArgs(args);
  if (args.size() < 3) {
    RPC_LOG_ERROR("the number of params is wrong: {}", args.size());
    reply = errorReply(kCountErrorId);
    return;
  }
  const long index = std::strtol(args[0].c_str(), nullptr, 10);
  const long addr = std::strtol(args[1].c_str(), nullptr, 10);
  long count = std::strtol(args[2].c_str(), nullptr, 10);
  const unsigned long withValues = static_cast<unsigned long>(count) + 3;
  if (count < 0 || (args.size() != withValues && args.size() != withValues + 1)) {
    RPC_LOG_ERROR("params range is ({},{}) {} not in.", count + 3, count + 4, args.size());
    reply = errorReply(kCountErrorId);
    return;
  }
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
  count = std::min(count, kMaxWriteRegisters);
  const RegisterType type = registerTypeOf(args.back());
  const int perValue = registersPerValue(type);
  count = std::min<long>(count, kMaxWriteRegisters / perValue);
  std::uint16_t buffer[kMaxWriteRegisters] = {};
  for (long i = 0; i < count; ++i) {
    const double value = std::strtod(args[static_cast<std::size_t>(i) + 3].c_str(), nullptr);
    std::uint16_t* registers = buffer + i * perValue;
    encodeRegisters(type, value, registers);
    if (type == RegisterType::F64) {
      RPC_LOG_INFO("{} {} {} {} ", registers[0], registers[1], registers[2], registers[3]);
    }
  }
  const int registers = static_cast<int>(count * perValue);
  if (modbus_write_registers(slot.context(), static_cast<int>(addr), registers, buffer) == -1) {
    RPC_LOG_ERROR("modbus_write_registers(ctx[{}],{},{},buf) return -1 reason {}", index, addr, registers,
                  modbus_strerror(errno));
    reply = kFailedReply;
    return;
  }
  reply = kDoneReply;
  RPC_LOG_INFO("SetHoldRegs ");
}

}  // namespace zelor::modules::rpcExecuteApis
