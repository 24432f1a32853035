#include "subProcess/core/kernel_log_ring.h"

#include <cstring>

namespace {

std::uint64_t writing(std::uint64_t position) { return 2 * position + 1; }
std::uint64_t whole(std::uint64_t position) { return 2 * position + 2; }

}  // namespace

void KernelLogRing::push(const char* text) {
  if (text == nullptr) return;
  std::uint64_t words[kWords] = {};
  std::memcpy(words, text, strnlen(text, kLineBytes - 1));

  const std::uint64_t position = head_.fetch_add(1, std::memory_order_relaxed);
  Slot& slot = slots_[position % kSlots];
  slot.sequence.store(writing(position), std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  for (std::size_t i = 0; i < kWords; ++i) slot.words[i].store(words[i], std::memory_order_relaxed);
  slot.sequence.store(whole(position), std::memory_order_release);
}

bool KernelLogRing::pop(char* line) {
  for (;;) {
    const std::uint64_t head = head_.load(std::memory_order_acquire);
    if (tail_ == head) return false;
    // Lines the writers have already come round to again are lost.
    if (head - tail_ > kSlots) {
      dropped_.fetch_add(head - kSlots - tail_, std::memory_order_relaxed);
      tail_ = head - kSlots;
    }
    Slot& slot = slots_[tail_ % kSlots];
    const std::uint64_t before = slot.sequence.load(std::memory_order_acquire);
    // Claimed by its writer but not yet whole: read it next time.
    if (before < whole(tail_)) return false;
    if (before != whole(tail_)) {
      // Overwritten by a later line since head was read.
      dropped_.fetch_add(1, std::memory_order_relaxed);
      ++tail_;
      continue;
    }
    std::uint64_t words[kWords];
    for (std::size_t i = 0; i < kWords; ++i) words[i] = slot.words[i].load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    const std::uint64_t after = slot.sequence.load(std::memory_order_relaxed);
    ++tail_;
    if (after != before) {
      // A writer came round while the line was copied: it is not whole.
      dropped_.fetch_add(1, std::memory_order_relaxed);
      continue;
    }
    std::memcpy(line, words, kLineBytes);
    line[kLineBytes - 1] = '\0';
    return true;
  }
}
