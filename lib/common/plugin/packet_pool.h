#pragma once

#include <mutex>

#include "common/protocol/packet.h"

// The spare packets of one command client: a ring of 5 slots that holds at
// most 4 packets; beyond that packets come from and go back to the heap.
class PacketPool {
 public:
  static constexpr int kRingSize = 5;

  PacketPool() = default;
  ~PacketPool();
  PacketPool(const PacketPool&) = delete;
  PacketPool& operator=(const PacketPool&) = delete;

  // A zero-filled packet, from the ring or else the heap. Never null: when the
  // heap is exhausted the process ends.
  Packet* take();
  // Keeps the packet when the ring has room, frees it otherwise. Null is ignored.
  void give(Packet* packet);
  // Frees every packet the ring holds.
  void clear();
  int spare();

 private:
  bool emptyLocked() const { return read_ == (write_ + 1) % kRingSize; }
  bool fullLocked() const { return (write_ + 2) % kRingSize == read_; }

  std::mutex mutex_;
  Packet* ring_[kRingSize] = {};
  int read_ = 1;
  int write_ = 0;
};
