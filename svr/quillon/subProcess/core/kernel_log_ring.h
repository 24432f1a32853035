#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// The log lines written inside the cycle (the kernel's, through its log
// callback, and the mailbox's) on their way out of it: a fixed ring of
// line slots that writers fill without locks or waiting, overwriting the
// oldest line when the reader falls behind, and that one reader (a thread
// outside the cycle) drains. The reader counts the lines it lost.
class KernelLogRing {
 public:
  static constexpr std::size_t kSlots = 256;
  // Bytes of a slot, terminator included; longer lines are cut. Room for
  // the debug stream's 256-byte lines, in whole words.
  static constexpr std::size_t kLineBytes = 264;

  constexpr KernelLogRing() = default;
  KernelLogRing(const KernelLogRing&) = delete;
  KernelLogRing& operator=(const KernelLogRing&) = delete;

  // Any thread; never waits, never allocates.
  void push(const char* text);

  // Reader only: copies the oldest unread whole line into line (kLineBytes)
  // and returns true; false when nothing is left to read.
  bool pop(char* line);

  // Lines overwritten or torn before the reader got to them.
  std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }
  // Lines pushed since start.
  std::uint64_t pushed() const { return head_.load(std::memory_order_relaxed); }

 private:
  static constexpr std::size_t kWords = kLineBytes / sizeof(std::uint64_t);

  // A slot's sequence: 2 * position + 1 while the line of that position is
  // being written, 2 * position + 2 once it is whole.
  struct Slot {
    std::atomic<std::uint64_t> sequence{0};
    std::atomic<std::uint64_t> words[kWords]{};
  };

  Slot slots_[kSlots]{};
  std::atomic<std::uint64_t> head_{0};
  std::uint64_t tail_ = 0;  // reader's position
  std::atomic<std::uint64_t> dropped_{0};
};
