#include "plc_host/host_segment.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace zelor::sim {

HostSegment::~HostSegment() {
  if (records_ != nullptr) shmdt(records_);
}

bool HostSegment::Create(key_t key, std::string& error) {
  id_ = shmget(key, sizeof(PlcHostRecords), IPC_CREAT | IPC_EXCL | 0600);
  if (id_ == -1) {
    error = std::string("cannot create the host segment: ") + std::strerror(errno);
    return false;
  }
  if (!map(error)) {
    Remove();
    return false;
  }
  new (records_) PlcHostRecords{};
  return true;
}

bool HostSegment::Attach(key_t key, std::string& error) {
  id_ = shmget(key, sizeof(PlcHostRecords), 0);
  if (id_ == -1) {
    error = std::string("no host segment under that key: ") + std::strerror(errno);
    return false;
  }
  return map(error);
}

bool HostSegment::map(std::string& error) {
  void* at = shmat(id_, nullptr, 0);
  if (at == reinterpret_cast<void*>(-1)) {
    error = std::string("cannot attach the host segment: ") + std::strerror(errno);
    return false;
  }
  records_ = static_cast<PlcHostRecords*>(at);
  return true;
}

void HostSegment::Remove() {
  if (id_ != -1) shmctl(id_, IPC_RMID, nullptr);
}

}  // namespace zelor::sim
