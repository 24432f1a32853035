#pragma once
// The payload memory of the test's sandbox, attached (created when missing)
// and removed when the object goes.

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "common/ipc/payload_request.h"

namespace zelor::test {

class PayloadMemory {
 public:
  PayloadMemory()
      : id_(shmget(ftok(zelor::common::ipc::kPayloadKeyPath, zelor::common::ipc::kPayloadKeyId),
                   zelor::common::ipc::kPayloadMemoryBytes, IPC_CREAT | 0666)),
        at_(static_cast<std::uint8_t*>(shmat(id_, nullptr, 0))) {}
  ~PayloadMemory() {
    shmdt(at_);
    shmctl(id_, IPC_RMID, nullptr);
  }
  PayloadMemory(const PayloadMemory&) = delete;
  PayloadMemory& operator=(const PayloadMemory&) = delete;

  bool attached() const { return id_ != -1 && at_ != reinterpret_cast<std::uint8_t*>(-1); }
  std::vector<std::uint8_t> record() const { return std::vector<std::uint8_t>(at_, at_ + 28); }
  void fill(std::uint8_t byte) { std::memset(at_, byte, 28); }

 private:
  int id_;
  std::uint8_t* at_;
};

}  // namespace zelor::test
