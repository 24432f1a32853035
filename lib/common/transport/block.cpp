#include "common/transport/block.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <limits>
#include <thread>

namespace zelor::common::transport {

namespace {

constexpr int kReadLockAttempts = 5;
constexpr auto kReadLockPause = std::chrono::milliseconds(100);

std::atomic_ref<int8_t> lockOf(Block& b) { return std::atomic_ref<int8_t>(b.lock); }
std::atomic_ref<int32_t> holderOf(Block& b) { return std::atomic_ref<int32_t>(b.writerPid); }

// One reader more, unless the reader count is full.
bool addReader(std::atomic_ref<int8_t> lock, int8_t& seen) {
  if (seen == std::numeric_limits<int8_t>::max()) {
    seen = lock.load(std::memory_order_acquire);
    return false;
  }
  return lock.compare_exchange_strong(seen, static_cast<int8_t>(seen + 1), std::memory_order_acquire);
}

// A writer holding the lock fails a read at once.
bool writerHolds(int8_t seen, const char* op) {
  if (seen >= 0) return false;
  std::printf("[%s], lock_num: %d, writting\n", op, seen);
  return true;
}

}  // namespace

bool Block::TryLockForWrite() {
  auto l = lockOf(*this);
  int8_t found = 0;
  if (l.compare_exchange_strong(found, -1, std::memory_order_acquire)) {
    holderOf(*this).store(static_cast<int32_t>(getpid()), std::memory_order_release);
    return true;
  }
  std::printf("[Block::TryLockForWrite], end fail m_lock_num:%d, rw_lock_free:%d ...\n",
              l.load(std::memory_order_relaxed), found);
  return false;
}

// The holder is forgotten before the lock is freed: a recorded holder always
// means a held lock, so a take-over can never hit a lock that a new writer owns.
void Block::ReleaseWriteLock() {
  holderOf(*this).store(0, std::memory_order_release);
  lockOf(*this).fetch_add(1, std::memory_order_release);
}

pid_t Block::WriteHolder() const {
  return std::atomic_ref<int32_t>(const_cast<int32_t&>(writerPid)).load(std::memory_order_acquire);
}

bool Block::TakeOverWriteLock(pid_t deadHolder) {
  if (deadHolder <= 0) return false;
  int32_t expected = static_cast<int32_t>(deadHolder);
  return holderOf(*this).compare_exchange_strong(expected, static_cast<int32_t>(getpid()), std::memory_order_acq_rel);
}

bool Block::TryLockForRead() {
  auto l = lockOf(*this);
  int8_t seen = l.load(std::memory_order_acquire);
  if (writerHolds(seen, "TryLockForRead")) return false;
  for (int attempt = 1;; ++attempt) {
    const int8_t tried = seen;
    if (addReader(l, seen)) return true;
    if (attempt == kReadLockAttempts) {
      std::printf("[Block::TryLockForRead], try_times is max ...\n");
      return false;
    }
    seen = l.load(std::memory_order_acquire);
    if (seen < 0) {
      std::printf("[Block::TryLockForRead], writting ...\n");
      return false;
    }
    std::printf("[%s], Wait:m_lock_num: 0x%x, lock_num: 0x%x\n", "TryLockForRead", seen, tried);
    std::this_thread::sleep_for(kReadLockPause);
  }
}

bool Block::TryLockForReadNoBlock() {
  auto l = lockOf(*this);
  int8_t seen = l.load(std::memory_order_acquire);
  if (writerHolds(seen, "TryLockForReadNoBlock")) return false;
  return addReader(l, seen);
}

void Block::ReleaseReadLock() { lockOf(*this).fetch_sub(1, std::memory_order_release); }

}  // namespace zelor::common::transport
