#include "subProcess/core/packet_mailbox.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "log/line_log.h"
#include "subProcess/core/kernel_log_drain.h"
#include "subProcess/core/kernel_log_ring.h"

namespace {

using Clock = std::chrono::steady_clock;
using zelor::common::ipc::PiMutex;
constexpr int kMinPacketBytes = 7;
constexpr int kPacketBytes = static_cast<int>(sizeof(Packet));

}  // namespace

void PacketMailbox::setRunning(bool running) { running_.store(running); }

void PacketMailbox::wake() {
  std::lock_guard<PiMutex> lock(replyMutex_);
  replyCond_.notify_all();
}

int PacketMailbox::fetch(Packet* dst) {
  if (dst == nullptr || requestPending_.load() == 0) return 0;
  std::lock_guard<PiMutex> lock(requestMutex_);
  std::memcpy(dst, &request_, sizeof request_);
  return 1;
}

void PacketMailbox::answer(const Packet* src) {
  // Inside the cycle: the warning leaves through the kernel's log ring.
  if (src == nullptr) kernelLogRing().push("You will try send null package");
  std::lock_guard<PiMutex> lock(replyMutex_);
  // Cleared before the requester can see the reply: cleared after it, the
  // flag could belong to the next requester's request, which the kernel would
  // then never fetch.
  requestPending_.store(0);
  if (src != nullptr && !replyReady_) {
    std::memcpy(&reply_, src, sizeof reply_);
    replyReady_ = true;
    replyCond_.notify_all();
  }
}

void PacketMailbox::receivePackage(int id, const char* src, int len) {
  if (requestPending_.load() != 0) {
    std::printf("[receivePackage] cmd lost:id : %d .\n", id);
    return;
  }
  std::lock_guard<PiMutex> lock(requestMutex_);
  std::memset(&request_, 0, sizeof request_);
  std::memcpy(&request_, src, static_cast<std::size_t>(len));
  requestPending_.store(1);
}

// Another command's reply (a late answer to an earlier requester) is
// discarded; the caller reports it once the mutex is released.
bool PacketMailbox::pullPackage(char* dst, int id, int* dstLen, int* discarded) {
  *discarded = -1;
  if (!replyReady_) return false;
  replyReady_ = false;
  if (reply_.cmdId != static_cast<std::uint16_t>(id)) {
    *discarded = reply_.cmdId;
    return false;
  }
  reply_.header[0] = kPacketHeaderByte;
  reply_.header[1] = kPacketHeaderByte;
  const int length = reply_.length;
  int copy = length + 5;
  if (copy > kPacketBytes) copy = kPacketBytes;
  std::memcpy(dst, &reply_, static_cast<std::size_t>(copy));
  if (dstLen != nullptr) *dstLen = length + 6;
  return true;
}

void PacketMailbox::discardLateReply(int id) {
  bool discarded = false;
  {
    std::lock_guard<PiMutex> lock(replyMutex_);
    discarded = replyReady_;
    replyReady_ = false;
  }
  if (discarded) std::printf("[END] id: %d, send_flag is true !!! reset .\n", id);
}

int PacketMailbox::exchange(int id, const char* src, int srcLen, char* dst, int* dstLen, int timeoutUs) {
  if (timeoutUs <= 0 || timeoutUs > kTimeoutUs) timeoutUs = kTimeoutUs;
  if (src == nullptr || dst == nullptr || srcLen < kMinPacketBytes || srcLen > kPacketBytes) {
    ZLOG_ERROR("id: %d, packet of %d bytes refused", id, srcLen);
    return 0;
  }
  std::lock_guard<std::mutex> exchangeLock(exchangeMutex_);
  if (requestPending_.load() != 0) {
    std::printf("[START] id:%d, recv_flag is true !!! reset .\n", id);
    requestPending_.store(0);
  }
  discardLateReply(id);
  receivePackage(id, src, srcLen);

  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = start + std::chrono::microseconds(timeoutUs);
  bool ok = false;
  int rounds = 0;
  for (;; ++rounds) {
    std::unique_lock<PiMutex> lock(replyMutex_);
    int discarded = -1;
    const bool pulled = pullPackage(dst, id, dstLen, &discarded);
    if (discarded >= 0) {
      lock.unlock();
      std::printf("[pullPackage] id: %d, reply of id %d discarded .\n", id, discarded);
      continue;
    }
    if (pulled) {
      ok = true;
      break;
    }
    if (!running_.load()) {
      lock.unlock();
      ZLOG_TRACE("Stop by external...");
      break;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    if (elapsed.count() > timeoutUs - 1) {
      const bool replyReady = replyReady_;
      lock.unlock();
      ZLOG_TRACE("try_count: %d, id: %d, diff: %ld ms, Package timeout..., recv_flag:%d,send_flag:%d", rounds, id,
                 static_cast<long>(elapsed.count() / 1000), requestPending_.load(), replyReady ? 1 : 0);
      break;
    }
    if (!replyReady_) replyCond_.wait_until(lock, deadline);
  }

  if (requestPending_.load() != 0) {
    std::printf("[END] id: %d, recv_flag is true !!! reset .\n", id);
    requestPending_.store(0);
  }
  discardLateReply(id);
  return ok ? 1 : 0;
}
