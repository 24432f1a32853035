#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include "exchange/fair_mutex.h"

#include "common/ipc/msq_interface.h"

namespace interface {

// The control program's end of the command queue pair: one request goes out
// on queue 102 and its reply comes back on queue 103, one exchange at a time
// for the whole program.
class ExchangePack {
 public:
  // The data server answers within 2 s of taking a request; the reply is
  // waited for that long and this margin more.
  static constexpr std::chrono::milliseconds kReplyWait{2500};
  // A reply within this many 1 ms polls resets the slow-reply counter.
  static constexpr int kFastPolls = 11;
  // Replies later than this many polls, or more slow replies in a row than
  // kMaxSlowReplies, are logged as the data server falling behind.
  static constexpr int kLastAcceptedPoll = 99;
  static constexpr int kMaxSlowReplies = 19;

  constexpr ExchangePack() = default;
  ExchangePack(const ExchangePack&) = delete;
  ExchangePack& operator=(const ExchangePack&) = delete;

  // Opens (creating when missing) both queues keyed on path, with their byte
  // limit, and clears the slow-reply counter.
  void open(const char* path);

  // Sends the first min(length, 2400) bytes of request under the next
  // sequence number and waits for the reply carrying that number; copies
  // min(length, 2400) reply bytes into reply (into request when reply is
  // null) and returns 2400. -1 when the request is null, cannot be sent,
  // comes back marked failed or gets no reply within kReplyWait; the data
  // server then did not hand it on, and a request still waiting in queue 102
  // is taken back.
  int ExchangePackWithRT(void* request, unsigned length, void* reply);

  int slowReplies() const { return slowCnt_; }
  // Replies taken as their own request's, and replies of other requests
  // (late or foreign) drained, since the program started; logged at most
  // once a second while exchanges run.
  long matchedReplies() const { return matched_.load(std::memory_order_relaxed); }
  long drainedReplies() const { return drained_.load(std::memory_order_relaxed); }

  msqInterface reqMsq;
  msqInterface respMsq;

 private:
  int drainReplies();
  int takeBackRequest(long sequence);
  long nextSequence();
  void logCounts();

  FairMutex mutex_;
  int slowCnt_ = 0;
  long sequence_ = 0;
  std::atomic<long> matched_{0};
  std::atomic<long> drained_{0};
  std::chrono::steady_clock::time_point countsLogged_{};
};

}  // namespace interface

// The program's one exchange. Constant-initialised; brevan opens its queues
// before main runs (main.cpp), a test program calls open() itself.
extern interface::ExchangePack m_exchange;
