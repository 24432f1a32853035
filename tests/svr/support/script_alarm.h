#pragma once

// Raising a script alarm as a running script does: the code into the shared
// alarm slot, then its flag, which the data server's monitor takes and clears.

#include <cstdint>

#include "common/ipc/script_alarm_slot.h"
#include "common/ipc/semlib.h"
#include "common/ipc/semlib_shm.h"

namespace zelor::test {

// The slot, or nullptr when it cannot be attached (nothing raised then).
inline semlib_shm* raiseScriptAlarm(std::int32_t code) {
  semlib_shm* shm = nullptr;
  init_semlib(&shm);
  if (shm == nullptr) return nullptr;
  zelor::common::ipc::writeScriptAlarm(shm, code);
  return shm;
}

}  // namespace zelor::test
