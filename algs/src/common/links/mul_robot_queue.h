#pragma once

// Objects waiting to be published for one slot, handed from the control cycle
// (the only producer) to the publisher thread (the only consumer) without a
// lock: the cycle never waits for the thread. A ring sized once, so that
// queuing from the cycle never allocates.

#include <atomic>
#include <cstddef>
#include <vector>

#include "common/links/mul_robot_object.h"

namespace MulRobotConveyor {

class ObjectQueue {
 public:
  // One more than the bus accepts beyond (it refuses once more than 1,000 wait).
  static constexpr std::size_t kCapacity = 1001;

  ObjectQueue() : ring_(kCapacity) {}

  // Either side; the producer may see more than are left, never fewer.
  std::size_t size() const {
    const std::size_t tail = tail_.load(std::memory_order_acquire);
    return head_.load(std::memory_order_acquire) - tail;
  }
  bool empty() const { return size() == 0; }

  // Producer: false when the ring is full.
  bool push(const ObjectData& obj) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) == kCapacity) return false;
    ring_[head % kCapacity] = obj;
    head_.store(head + 1, std::memory_order_release);
    return true;
  }

  // Consumer: the oldest object; only valid when not empty.
  const ObjectData& front() const { return ring_[tail_.load(std::memory_order_relaxed) % kCapacity]; }

  // Consumer: drops the oldest object.
  void pop() {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (head_.load(std::memory_order_acquire) == tail) return;
    tail_.store(tail + 1, std::memory_order_release);
  }

  // Consumer: drops everything queued so far.
  void clear() { tail_.store(head_.load(std::memory_order_acquire), std::memory_order_release); }

 private:
  std::vector<ObjectData> ring_;
  // Running totals of pushed and dropped objects; their difference is the size.
  std::atomic<std::size_t> head_{0};
  std::atomic<std::size_t> tail_{0};
};

}  // namespace MulRobotConveyor
