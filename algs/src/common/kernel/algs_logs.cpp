#include "common/kernel/algs_logs.h"

#include <sys/ipc.h>
#include <sys/msg.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kKeyPath = "/root/";
constexpr int kInfoSlots = 2;

}  // namespace

AlgsLogs& AlgsLogs::Instance() {
  static AlgsLogs logs;
  return logs;
}

void AlgsLogs::Open() {
  for (int k = 0; k < kAlgsLogSlots; ++k) {
    Slot& slot = slots_[k];
    const int prjId = kAlgsLogFirstChannel + k;
    const key_t key = ftok(kKeyPath, prjId);
    std::printf("[%s] msqPrjID = %d ,key = %d\n", "initMSQ", prjId, static_cast<int>(key));
    if (slot.id == -1) {
      // Without a key there is no queue of that channel to open.
      slot.id = key == -1 ? -1 : msgget(key, IPC_CREAT | 0666);
      std::printf("[%s]  msqPrjID = %d ,key = %d this->msq = %d\n", "initMSQ", prjId, static_cast<int>(key), slot.id);
      if (slot.id == -1) {
        std::printf("[%s] this->msq == -1\n", "initMSQ");
        continue;
      }
    }
    struct msqid_ds attributes;
    if (msgctl(slot.id, IPC_STAT, &attributes) == 0) {
      attributes.msg_qbytes = kAlgsLogQueueBytes;
      msgctl(slot.id, IPC_SET, &attributes);
    }
  }
  std::fflush(stdout);
}

void AlgsLogs::Info(const char* path, const char* func, int line, const char* fmt, ...) {
  char text[kAlgsInfoMaxChars + 1];
  const int prefix = std::snprintf(text, sizeof text, "[INFO][%s@%s()#%d] ", path, func, line);
  if (prefix < 0) return;
  if (static_cast<std::size_t>(prefix) < sizeof text - 1) {
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text + prefix, sizeof text - static_cast<std::size_t>(prefix), fmt, ap);
    va_end(ap);
  }
  const std::size_t length = std::strlen(text);

  for (int k = 0; k < kInfoSlots; ++k) {
    Slot& slot = slots_[k];
    if (slot.id == -1) continue;
    std::memset(slot.text, 0, sizeof slot.text);
    std::memcpy(slot.text, text, length);
    slot.type = 1;
    msgsnd(slot.id, &slot.type, sizeof slot.text, IPC_NOWAIT);
  }
}

int AlgsLogs::QueueId(int slot) const { return slot >= 0 && slot < kAlgsLogSlots ? slots_[slot].id : -1; }
