#include "subProcess/core/packet_ring.h"

#include <cstdlib>
#include <new>

#include "log/line_log.h"

PacketRing::PacketRing(int queueSize) : capacity_(queueSize + 1) {
  slots_ = new (std::nothrow) Packet*[capacity_]();
  if (slots_ == nullptr) {
    ZLOG_ERROR("Malloc queue failed!");
    capacity_ = 0;
  }
}

PacketRing::~PacketRing() {
  for (Packet* p = pop(); p != nullptr; p = pop()) std::free(p);
  delete[] slots_;
}

bool PacketRing::empty() const { return capacity_ == 0 || head_ == (tail_ + 1) % capacity_; }

bool PacketRing::full() const { return capacity_ == 0 || (tail_ + 2) % capacity_ == head_; }

bool PacketRing::push(Packet* p) {
  if (full()) return false;
  tail_ = (tail_ + 1) % capacity_;
  slots_[tail_] = p;
  return true;
}

Packet* PacketRing::pop() {
  if (empty()) return nullptr;
  Packet* p = slots_[head_];
  slots_[head_] = nullptr;
  head_ = (head_ + 1) % capacity_;
  return p;
}
