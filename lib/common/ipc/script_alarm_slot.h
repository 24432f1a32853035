#pragma once

// The script-alarm slot of the request memory: a running script raises an
// alarm code there, the data server's monitor takes it and clears the flag.

#include <atomic>
#include <cstdint>
#include <cstring>

#include "common/ipc/semlib_shm.h"

namespace zelor::common::ipc {

// The code first, then the flag with a release store, so a reader that sees
// the flag set never reads an older code.
inline void writeScriptAlarm(semlib_shm* shm, std::int32_t code) {
  std::memcpy(shm->alarmCode, &code, sizeof code);
  std::atomic_ref<std::uint8_t>(shm->alarmFlag).store(1, std::memory_order_release);
}

}  // namespace zelor::common::ipc
