#pragma once

// The connection table of the Modbus commands, shared by both command ports.
// Slots are searched, filled and emptied under the table's mutex; a slot's
// context is used (and closed) only while that slot's mutex is held, so no
// context is freed while another thread works with it.

#include <mutex>

#include "rpc_api/rpc_execute_api.h"

namespace zelor::modules::rpcExecuteApis {

inline constexpr int kModbusSlots = 4;

// Holds slot index (0..3) for one use; context() is null for an empty slot.
class ModbusSlotUse {
 public:
  explicit ModbusSlotUse(int index);
  modbus_t* context() const { return rpcExecuteApi::ctx[index_]; }
  // Closes and frees the context and empties the slot.
  void closeAndEmpty();

 private:
  int index_;
  std::unique_lock<std::mutex> lock_;
};

// The first slot that is neither filled nor being filled, or -1.
int firstEmptyModbusSlot();
// As above, and keeps it for the caller until fillModbusSlot or
// releaseModbusSlot.
int reserveModbusSlot();
void fillModbusSlot(int index, modbus_t* context);
void releaseModbusSlot(int index);

}  // namespace zelor::modules::rpcExecuteApis
