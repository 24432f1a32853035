#include "common/links/mul_robot_cache.h"

namespace MulRobotConveyor {

// The slot is claimed before the clear request is looked at: a clear that
// emptied the cache has raised its request first, so it is seen here.
bool SlotCache::Offer(const ObjectData& obj) {
  std::uint8_t expected = kEmpty;
  if (!state_.compare_exchange_strong(expected, kFilling, std::memory_order_acq_rel)) return false;
  if (clearRequest_.load(std::memory_order_acquire)) {
    expected = kFilling;
    state_.compare_exchange_strong(expected, kEmpty, std::memory_order_acq_rel);
    return false;
  }
  obj_ = obj;
  expected = kFilling;
  // Fails when a clear came meanwhile: the object is dropped with it.
  return state_.compare_exchange_strong(expected, kFull, std::memory_order_acq_rel);
}

// Only the cycle moves the cache out of kFull, so the copy cannot be written under.
bool SlotCache::Read(ObjectData& obj) const {
  if (state_.load(std::memory_order_acquire) != kFull) return false;
  obj = obj_;
  return true;
}

void SlotCache::Clear() {
  clearRequest_.store(true, std::memory_order_release);
  state_.store(kEmpty, std::memory_order_release);
}

}  // namespace MulRobotConveyor
