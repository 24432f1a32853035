#include "exchange/exchange_pack.h"

#include <sys/ipc.h>
#include <sys/msg.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
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
constexpr std::size_t kIdOffset = 4;
constexpr auto kDrainPause = 2ms;
constexpr auto kPollPause = 1ms;

std::uint16_t commandId(const std::uint8_t* body) {
  std::uint16_t id;
  std::memcpy(&id, body + kIdOffset, sizeof id);
  return id;
}

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
    type = message->mtype;
    spdlog::ombrel::basicLog(kChannel15, __LINE__, "ExchangePackWithRT", kError,
                             "cleared a msg in responseMsq, prjid = {} cnt = {}", respMsq.prjId, count);
    logDumps(message->body);
    std::this_thread::sleep_for(kDrainPause);
  }
  return count;
}

// This program is the only writer of queue 102, so whatever is still there
// after a failed exchange is its own and must never run later.
int ExchangePack::takeBackRequests() {
  auto message = std::make_unique<QueueMessage>();
  int count = 0;
  while (receiveNoWait(reqMsq.msq, *message, 0) >= 0) ++count;
  if (count > 0) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, "ExchangePackWithRT", kError,
                             "took back {} unanswered request(s) from prjid = {}", count, reqMsq.prjId);
  }
  return count;
}

int ExchangePack::ExchangePackWithRT(void* request, unsigned length, void* reply) {
  if (request == nullptr) return -1;
  std::lock_guard lock(mutex_);
  const std::size_t size = std::min<std::size_t>(length, kQueueBodySize);

  drainReplies();

  auto out = std::make_unique<QueueMessage>();
  std::memset(out->body, 0, sizeof out->body);
  out->mtype = 1;
  std::memcpy(out->body, request, size);
  const std::uint16_t id = commandId(out->body);
  if (msgsnd(reqMsq.msq, out.get(), kQueueBodySize, IPC_NOWAIT) != 0) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kError, "some packet Send Faild !!!! prjid = {} ",
                             reqMsq.prjId);
    logDumps(out->body);
    std::this_thread::sleep_for(kDrainPause);
    return -1;
  }

  auto in = std::make_unique<QueueMessage>();
  int polls = 0;
  ssize_t received = -1;
  bool answered = false;
  int dropped = 0;
  while (polls < kMaxPolls) {
    std::this_thread::sleep_for(kPollPause);
    ++polls;
    received = receiveNoWait(respMsq.msq, *in, 0);
    if (received < 0) continue;
    if (commandId(in->body) == id) {
      answered = true;
      break;
    }
    // A late reply to an earlier request: never taken for this one.
    ++dropped;
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kError,
                             "cleared a msg in responseMsq, prjid = {} cnt = {}", respMsq.prjId, dropped);
    logDumps(in->body);
  }

  bool ok = answered;
  if (polls <= kFastPolls) {
    slowCnt_ = 0;
  } else {
    ++slowCnt_;
    ok = answered && polls <= kLastAcceptedPoll && slowCnt_ <= kMaxSlowReplies;
  }
  if (!ok) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kError, "recv packet faild,prjid = {},cnt = {} ,ret = {}",
                             respMsq.prjId, polls, static_cast<long>(received));
    takeBackRequests();
    return -1;
  }
  std::memcpy(reply != nullptr ? reply : request, in->body, size);
  return static_cast<int>(received);
}

}  // namespace interface
