#include "plc_host/kernel_log_ring.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace zelor::sim {

KernelLogRing::~KernelLogRing() {
  if (fd_ != -1) close(fd_);
}

bool KernelLogRing::OpenFile(const char* path) {
  fd_ = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  return fd_ != -1;
}

void KernelLogRing::Add(const char* text) {
  if (text == nullptr) return;
  const std::size_t length = strnlen(text, kLineSize - 1);
  if (fd_ != -1) {
    // A regular file: the write does not wait on a reader.
    [[maybe_unused]] const ssize_t written = write(fd_, text, length);
  }
  std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
  if (!lock.owns_lock()) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  char* line = lines_[added_ % kLines];
  std::memcpy(line, text, length);
  line[length] = '\0';
  ++added_;
}

std::vector<std::string> KernelLogRing::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  const std::uint64_t first = added_ > kLines ? added_ - kLines : 0;
  for (std::uint64_t i = first; i < added_; ++i) out.emplace_back(lines_[i % kLines]);
  return out;
}

std::uint64_t KernelLogRing::Added() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return added_;
}

std::uint64_t KernelLogRing::Dropped() const { return dropped_.load(std::memory_order_relaxed); }

void KernelLogRing::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  added_ = 0;
}

}  // namespace zelor::sim
