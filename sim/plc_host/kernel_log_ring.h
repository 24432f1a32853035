#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace zelor::sim {

// The kernel's log lines, kept in a fixed ring (and, on request, appended to
// a file). Adding a line never allocates and never waits: while a reader
// holds the ring the line is counted as dropped.
class KernelLogRing {
 public:
  static constexpr int kLines = 4096;
  static constexpr int kLineSize = 256;

  KernelLogRing() = default;
  ~KernelLogRing();
  KernelLogRing(const KernelLogRing&) = delete;
  KernelLogRing& operator=(const KernelLogRing&) = delete;

  // Appends every line to the file as well; false when it cannot be opened.
  bool OpenFile(const char* path);

  void Add(const char* text);

  // The lines still in the ring, oldest first.
  std::vector<std::string> Lines() const;
  // Lines added since start (kept or overwritten), and those dropped.
  std::uint64_t Added() const;
  std::uint64_t Dropped() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  char lines_[kLines][kLineSize]{};
  std::uint64_t added_ = 0;
  std::atomic<std::uint64_t> dropped_{0};
  int fd_ = -1;
};

}  // namespace zelor::sim
