#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "common/kernel/core_interface.h"
#include "common/protocol/packet.h"
#include "plc_host/kernel_log_ring.h"

namespace zelor::sim {

// The callback table the kernel gets, behaving as the data server's core
// does: a one-slot mailbox that holds one request until the kernel answers
// it, a reply slot, a small packet pool, a value store and the log ring.
// The kernel-side callbacks copy under short locks and never wait.
class CoreMailbox {
 public:
  CoreMailbox();
  ~CoreMailbox();
  CoreMailbox(const CoreMailbox&) = delete;
  CoreMailbox& operator=(const CoreMailbox&) = delete;

  core_interface* table() { return &table_; }
  KernelLogRing& log() { return log_; }

  // Requester side, one exchange at a time (the caller holds ExchangeLock).
  // Posts the request; a request still pending from a stale exchange is replaced.
  void Post(const Packet& request);
  // The reply if one arrived (clears it).
  bool TakeReply(Packet& reply);
  // Waits for the reply until `deadline`.
  bool WaitReply(Packet& reply, std::chrono::steady_clock::time_point deadline);
  // Clears what a timed-out exchange left behind (pending request, late reply).
  void Abandon();
  std::unique_lock<std::mutex> ExchangeLock() { return std::unique_lock<std::mutex>(exchange_); }

  bool RequestPending() const { return pending_.load(); }

  // Value store of slots 5 and 6.
  static constexpr int kValueSlots = 32;
  static constexpr int kKeySize = 64;

 private:
  static int getPackage(Packet* out);
  static void sendPackage(Packet* reply);
  static void freePackage(Packet* packet);
  static Packet* allocPackage();
  static void clearPackageQueue();
  static void setValue(const char* key, double value);
  static double getValue(const char* key);
  static void logLine(const char* text);

  static constexpr int kPoolSize = 4;

  core_interface table_{};
  std::mutex exchange_;

  std::atomic<bool> pending_{false};
  std::mutex requestMutex_;
  Packet request_{};

  std::mutex replyMutex_;
  std::condition_variable replyReady_;
  bool replyFull_ = false;
  Packet reply_{};

  std::mutex poolMutex_;
  Packet pool_[kPoolSize]{};
  bool inUse_[kPoolSize]{};

  std::mutex valueMutex_;
  struct Value {
    char key[kKeySize];
    double value;
  };
  Value values_[kValueSlots]{};
  int valueCount_ = 0;

  KernelLogRing log_;
};

}  // namespace zelor::sim
