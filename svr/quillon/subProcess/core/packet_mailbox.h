#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "common/ipc/pi_mutex.h"
#include "common/protocol/packet.h"

// The one-slot mailbox between the requesters and the motion kernel: a
// requester posts one packet and waits up to 2 s; during its cycle the kernel
// fetches the pending packet (fetch) and answers it (answer), which wakes the
// requester. Its locks are its own, never the core's call mutex, because the
// kernel answers while the cycle holds that mutex. The locks the kernel side
// takes inherit priority and guard nothing but a copy: a requester holding
// one never prints or waits, so the cycle waits at most for that copy.
class PacketMailbox {
 public:
  static constexpr int kTimeoutUs = 2'000'000;

  // One exchange: posts src (srcLen bytes, 7..2056) and copies the reply of
  // the same command id into dst (at most 2056 bytes). 1 on a reply, 0 on a
  // refused request, a time-out or a stop. A requester may wait less than the
  // 2 s (timeoutUs 1..kTimeoutUs; other values mean kTimeoutUs).
  int exchange(int id, const char* src, int srcLen, char* dst, int* dstLen, int timeoutUs = kTimeoutUs);

  // Kernel side: copies the pending request into dst; 1 when there was one.
  // The request stays pending until answered.
  int fetch(Packet* dst);
  // Kernel side: stores the reply unless one is still unread, wakes the
  // requester and clears the pending request.
  void answer(const Packet* src);

  void setRunning(bool running);
  bool running() const { return running_.load(); }
  // Ends a waiting exchange with failure.
  void wake();

 private:
  void receivePackage(int id, const char* src, int len);
  // Takes the ready reply when it answers id; *discarded gets the command id
  // of another command's reply that it dropped, else -1. Reply mutex held.
  bool pullPackage(char* dst, int id, int* dstLen, int* discarded);
  void discardLateReply(int id);

  std::atomic<bool> running_{false};
  std::mutex exchangeMutex_;

  std::atomic<std::uint8_t> requestPending_{0};
  zelor::common::ipc::PiMutex requestMutex_;
  Packet request_{};

  bool replyReady_ = false;
  zelor::common::ipc::PiMutex replyMutex_;
  zelor::common::ipc::PiCondition replyCond_;
  Packet reply_{};
};
