#include "rpc_api/modbus/modbus_slots.h"

#include <modbus.h>

#include <array>

namespace zelor::modules::rpcExecuteApis {

modbus_t* rpcExecuteApi::ctx[kModbusSlots] = {};

namespace {

std::mutex gTableMutex;
std::array<std::mutex, kModbusSlots> gSlotMutexes;
std::array<bool, kModbusSlots> gReserved{};

int firstEmptyLocked() {
  for (int i = 0; i < kModbusSlots; ++i) {
    if (rpcExecuteApi::ctx[i] == nullptr && !gReserved[static_cast<std::size_t>(i)]) return i;
  }
  return -1;
}

}  // namespace

ModbusSlotUse::ModbusSlotUse(int index) : index_(index), lock_(gSlotMutexes[static_cast<std::size_t>(index)]) {}

void ModbusSlotUse::closeAndEmpty() {
  modbus_t* context = rpcExecuteApi::ctx[index_];
  if (context == nullptr) return;
  modbus_close(context);
  modbus_free(context);
  std::lock_guard<std::mutex> table(gTableMutex);
  rpcExecuteApi::ctx[index_] = nullptr;
}

int firstEmptyModbusSlot() {
  std::lock_guard<std::mutex> table(gTableMutex);
  return firstEmptyLocked();
}

int reserveModbusSlot() {
  std::lock_guard<std::mutex> table(gTableMutex);
  const int index = firstEmptyLocked();
  if (index >= 0) gReserved[static_cast<std::size_t>(index)] = true;
  return index;
}

void fillModbusSlot(int index, modbus_t* context) {
  std::lock_guard<std::mutex> slot(gSlotMutexes[static_cast<std::size_t>(index)]);
  std::lock_guard<std::mutex> table(gTableMutex);
  rpcExecuteApi::ctx[index] = context;
  gReserved[static_cast<std::size_t>(index)] = false;
}

void releaseModbusSlot(int index) {
  std::lock_guard<std::mutex> table(gTableMutex);
  gReserved[static_cast<std::size_t>(index)] = false;
}

}  // namespace zelor::modules::rpcExecuteApis
