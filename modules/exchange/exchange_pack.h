#pragma once

#include <cstdint>
#include "exchange/fair_mutex.h"

#include "common/ipc/msq_interface.h"

namespace interface {

// The control program's end of the command queue pair: one request goes out
// on queue 102 and its reply comes back on queue 103, one exchange at a time
// for the whole program.
class ExchangePack {
 public:
  // Requests are polled for at most this many times, 1 ms apart.
  static constexpr int kMaxPolls = 101;
  // A reply within this many polls resets the slow-reply counter.
  static constexpr int kFastPolls = 11;
  // Later than this many polls a reply is refused.
  static constexpr int kLastAcceptedPoll = 99;
  // More slow replies in a row than this fail every exchange until a fast one.
  static constexpr int kMaxSlowReplies = 19;

  constexpr ExchangePack() = default;
  ExchangePack(const ExchangePack&) = delete;
  ExchangePack& operator=(const ExchangePack&) = delete;

  // Opens (creating when missing) both queues keyed on path, with their byte
  // limit, and clears the slow-reply counter.
  void open(const char* path);

  // Sends the first min(length, 2400) bytes of request and waits about 0.1 s
  // for the reply with the same command id; copies min(length, 2400) reply
  // bytes into reply (into request when reply is null) and returns 2400.
  // -1 when the request is null, cannot be sent or gets no reply in time;
  // a request still waiting in queue 102 is then taken back.
  int ExchangePackWithRT(void* request, unsigned length, void* reply);

  int slowReplies() const { return slowCnt_; }

  msqInterface reqMsq;
  msqInterface respMsq;

 private:
  int drainReplies();
  int takeBackRequests();

  FairMutex mutex_;
  int slowCnt_ = 0;
};

}  // namespace interface

// The program's one exchange. Constant-initialised; brevan opens its queues
// before main runs (main.cpp), a test program calls open() itself.
extern interface::ExchangePack m_exchange;
