#pragma once

// One attachment of the servo and payload request memory, created 0666 when
// missing and detached when the holder goes.

#include <sys/ipc.h>
#include <sys/shm.h>

#include "common/ipc/payload_request.h"

namespace zelor::common::ipc {

class PayloadMemoryHolder {
 public:
  PayloadMemoryHolder() {
    const key_t key = ftok(kPayloadKeyPath, kPayloadKeyId);
    const int id = key == -1 ? -1 : shmget(key, kPayloadMemoryBytes, IPC_CREAT | 0666);
    void* memory = id == -1 ? reinterpret_cast<void*>(-1) : shmat(id, nullptr, 0);
    memory_ = memory == reinterpret_cast<void*>(-1) ? nullptr : memory;
  }
  ~PayloadMemoryHolder() {
    if (memory_ != nullptr) shmdt(memory_);
  }
  PayloadMemoryHolder(const PayloadMemoryHolder&) = delete;
  PayloadMemoryHolder& operator=(const PayloadMemoryHolder&) = delete;

  // The memory, or nullptr when it could not be attached (errno tells why).
  void* memory() const { return memory_; }

 private:
  void* memory_ = nullptr;
};

}  // namespace zelor::common::ipc
