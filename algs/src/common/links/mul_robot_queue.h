#pragma once

// Objects waiting to be published for one slot: a ring sized once, so that
// queuing from the control cycle never allocates.

#include <cstddef>
#include <vector>

#include "common/links/mul_robot_object.h"

namespace MulRobotConveyor {

class ObjectQueue {
 public:
  // One more than the bus accepts beyond (it refuses once more than 1,000 wait).
  static constexpr std::size_t kCapacity = 1001;

  ObjectQueue() : ring_(kCapacity) {}

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  bool push(const ObjectData& obj) {
    if (size_ == kCapacity) return false;
    ring_[(head_ + size_) % kCapacity] = obj;
    ++size_;
    return true;
  }

  // The oldest object; only valid when not empty.
  const ObjectData& front() const { return ring_[head_]; }

  void pop() {
    if (size_ == 0) return;
    head_ = (head_ + 1) % kCapacity;
    --size_;
  }

  void clear() {
    head_ = 0;
    size_ = 0;
  }

 private:
  std::vector<ObjectData> ring_;
  std::size_t head_ = 0;
  std::size_t size_ = 0;
};

}  // namespace MulRobotConveyor
