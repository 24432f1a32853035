#include "common/plugin/packet_pool.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "log/line_log.h"

PacketPool::~PacketPool() { clear(); }

Packet* PacketPool::take() {
  Packet* packet = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (!emptyLocked()) {
      packet = ring_[read_];
      ring_[read_] = nullptr;
      read_ = (read_ + 1) % kRingSize;
    }
  }
  if (packet == nullptr) {
    packet = static_cast<Packet*>(std::malloc(sizeof(Packet)));
    if (packet == nullptr) {
      ZLOG_CRTCL("malloc %s!", std::strerror(errno));
      std::exit(1);
    }
  }
  std::memset(packet, 0, sizeof(Packet));
  return packet;
}

void PacketPool::give(Packet* packet) {
  if (packet == nullptr) return;
  {
    std::lock_guard lock(mutex_);
    if (!fullLocked()) {
      write_ = (write_ + 1) % kRingSize;
      ring_[write_] = packet;
      return;
    }
  }
  std::free(packet);
}

void PacketPool::clear() {
  std::lock_guard lock(mutex_);
  while (!emptyLocked()) {
    std::free(ring_[read_]);
    ring_[read_] = nullptr;
    read_ = (read_ + 1) % kRingSize;
  }
}

int PacketPool::spare() {
  std::lock_guard lock(mutex_);
  return (write_ + 1 - read_ + kRingSize) % kRingSize;
}
