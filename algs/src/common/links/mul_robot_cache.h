#pragma once

// One slot's cached object, handed from the bus's reader thread to the
// control cycle without a lock: the cycle never waits for the thread. The
// reader offers what it reads on the master; the cycle reads the object and
// clears it, which also asks the reader to free the slot on the master.

#include <atomic>
#include <cstdint>

#include "common/links/mul_robot_object.h"

namespace MulRobotConveyor {

class SlotCache {
 public:
  // Reader thread: true once per clear request, which it then carries out.
  bool TakeClearRequest() { return clearRequest_.exchange(false, std::memory_order_acq_rel); }
  // Reader thread: puts back a clear request it could not carry out.
  void KeepClearRequest() { clearRequest_.store(true, std::memory_order_release); }

  // Reader thread: caches obj when the cache is empty and no clear is
  // pending (a pending clear means obj is the one just taken); true when cached.
  bool Offer(const ObjectData& obj);

  // Control cycle: copies the cached object; false when there is none.
  bool Read(ObjectData& obj) const;
  // Control cycle: empties the cache, dropping an object being cached at the
  // same moment, and asks the reader to free the slot.
  void Clear();

 private:
  enum State : std::uint8_t { kEmpty, kFilling, kFull };

  std::atomic<std::uint8_t> state_{kEmpty};
  std::atomic<bool> clearRequest_{false};
  ObjectData obj_{};
};

}  // namespace MulRobotConveyor
