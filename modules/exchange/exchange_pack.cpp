#include "exchange/exchange_pack.h"

#include <sys/ipc.h>
#include <sys/msg.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>

#include "common/protocol/queue_message.h"
#include "exchange/hex_dump.h"
#include "log/ombrel.h"

interface::ExchangePack m_exchange;

namespace interface {

namespace {

using namespace std::chrono_literals;

constexpr int kChannel15 = ~15;
constexpr int kInfo = 2;
constexpr int kError = 4;
constexpr auto kDrainPause = 2ms;
constexpr auto kPollPause = 1ms;
constexpr auto kCountsPeriod = 1s;

void logDumps(const std::uint8_t* body) {
  spdlog::ombrel::basicLog(kChannel15, __LINE__, "ExchangePackWithRT", kError, "{}", hexDump(body, 32));
  spdlog::ombrel::basicLog(kChannel15, __LINE__, "ExchangePackWithRT", kError, "{}", hexDump(body + 32, 32));
}

// One receive without waiting; a message longer than the body is cut rather
// than left at the head of the queue, where it would block every receive.
ssize_t receiveNoWait(int msq, QueueMessage& message, long type) {
  std::memset(message.body, 0, sizeof message.body);
  return msgrcv(msq, &message, kQueueBodySize, type, IPC_NOWAIT | MSG_NOERROR);
}

}  // namespace

void ExchangePack::open(const char* path) {
  std::lock_guard lock(mutex_);
  reqMsq.reset();
  respMsq.reset();
  reqMsq.initMSQ(path, kRequestQueueId, kCommandQueueBytes);
  respMsq.initMSQ(path, kReplyQueueId, kCommandQueueBytes);
  slowCnt_ = 0;
}

int ExchangePack::drainReplies() {
  auto message = std::make_unique<QueueMessage>();
  int count = 0;
  long type = 0;
  while (receiveNoWait(respMsq.msq, *message, type) >= 0) {
    ++count;
    drained_.fetch_add(1, std::memory_order_relaxed);
    type = message->mtype;
    spdlog::ombrel::basicLog(kChannel15, __LINE__, "ExchangePackWithRT", kError,
                             "cleared a msg in responseMsq, prjid = {} cnt = {}", respMsq.prjId, count);
    logDumps(message->body);
    std::this_thread::sleep_for(kDrainPause);
  }
  return count;
}

// A request still in queue 102 after its exchange failed must never run
// later; only this exchange's own is taken.
int ExchangePack::takeBackRequest(long sequence) {
  auto message = std::make_unique<QueueMessage>();
  int count = 0;
  while (receiveNoWait(reqMsq.msq, *message, sequence) >= 0) ++count;
  if (count > 0) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, "ExchangePackWithRT", kError,
                             "took back {} unanswered request(s) from prjid = {}", count, reqMsq.prjId);
  }
  return count;
}

// Positive, never 1 (the type other clients of the queues use), and seeded
// from the clock so that a restarted program does not repeat the numbers of
// its predecessor's last exchanges.
long ExchangePack::nextSequence() {
  constexpr long kFirst = 2;
  constexpr long kSpan = 1L << 48;
  if (sequence_ < kFirst) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    sequence_ = kFirst + std::chrono::duration_cast<std::chrono::microseconds>(now).count() % kSpan;
  }
  sequence_ = sequence_ >= std::numeric_limits<long>::max() - 1 ? kFirst : sequence_ + 1;
  return sequence_;
}

void ExchangePack::logCounts() {
  const auto now = std::chrono::steady_clock::now();
  if (now - countsLogged_ < kCountsPeriod) return;
  countsLogged_ = now;
  spdlog::ombrel::basicLog(kChannel15, __LINE__, "ExchangePackWithRT", kInfo,
                           "replies matched by sequence: {}, drained late: {}", matchedReplies(), drainedReplies());
}

int ExchangePack::ExchangePackWithRT(void* request, unsigned length, void* reply) {
  if (request == nullptr) return -1;
  std::lock_guard lock(mutex_);
  const std::size_t size = std::min<std::size_t>(length, kQueueBodySize);

  drainReplies();

  auto out = std::make_unique<QueueMessage>();
  std::memset(out->body, 0, sizeof out->body);
  const long sequence = nextSequence();
  out->mtype = sequence;
  std::memcpy(out->body, request, size);
  if (size <= kRequestSentOffset) {
    putRequestSentNs(out->body, std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count());
  }
  if (msgsnd(reqMsq.msq, out.get(), kQueueBodySize, IPC_NOWAIT) != 0) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kError, "some packet Send Faild !!!! prjid = {} ",
                             reqMsq.prjId);
    logDumps(out->body);
    std::this_thread::sleep_for(kDrainPause);
    return -1;
  }

  auto in = std::make_unique<QueueMessage>();
  const auto deadline = std::chrono::steady_clock::now() + kReplyWait;
  int polls = 0;
  ssize_t received = -1;
  bool answered = false;
  int dropped = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollPause);
    ++polls;
    received = receiveNoWait(respMsq.msq, *in, 0);
    if (received < 0) continue;
    if (in->mtype == sequence) {
      answered = true;
      break;
    }
    // The reply of an earlier request that gave up, or of another client:
    // never taken for this one.
    ++dropped;
    drained_.fetch_add(1, std::memory_order_relaxed);
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kError,
                             "cleared a msg in responseMsq, prjid = {} cnt = {}", respMsq.prjId, dropped);
    logDumps(in->body);
  }

  if (polls <= kFastPolls) {
    slowCnt_ = 0;
  } else {
    ++slowCnt_;
  }
  const bool failed = !answered || replyFailed(in->body);
  // Slow replies are still the right ones: they are only logged.
  if (failed || (polls > kFastPolls && (polls > kLastAcceptedPoll || slowCnt_ > kMaxSlowReplies))) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kError, "recv packet faild,prjid = {},cnt = {} ,ret = {}",
                             respMsq.prjId, polls, static_cast<long>(received));
  }
  if (failed) {
    if (!answered) takeBackRequest(sequence);
    return -1;
  }
  matched_.fetch_add(1, std::memory_order_relaxed);
  logCounts();
  std::memcpy(reply != nullptr ? reply : request, in->body, size);
  return static_cast<int>(received);
}

}  // namespace interface
