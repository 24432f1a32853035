#pragma once

#include <mutex>

struct Packet;

// A bounded ring of packet pointers holding at most queueSize packets
// (capacity queueSize + 1; head starts at 1, tail at 0). A ring whose slots
// could not be allocated stays empty and refuses every packet.
class PacketRing {
 public:
  explicit PacketRing(int queueSize);
  ~PacketRing();
  PacketRing(const PacketRing&) = delete;
  PacketRing& operator=(const PacketRing&) = delete;

  bool allocated() const { return slots_ != nullptr; }
  // False when the ring is full (or has no slots); the caller keeps p.
  bool push(Packet* p);
  // Null when the ring is empty.
  Packet* pop();
  bool empty() const;
  bool full() const;

  std::mutex& mutex() { return mutex_; }

 private:
  Packet** slots_ = nullptr;
  int capacity_ = 0;
  int head_ = 1;
  int tail_ = 0;
  std::mutex mutex_;
};
