#include "exchange/packet_exchange.h"

#include <sys/ipc.h>
#include <sys/msg.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>

#include "common/ipc/msq_interface.h"
#include "common/protocol/queue_message.h"
#include "exchange/tcp_control.h"
#include "install_paths.h"
#include "log/ombrel.h"
#include "subProcess/core/core_sub_process.h"
#include "subProcess/factory_access.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kChannel15 = ~15;
constexpr int kInfo = 2;
constexpr int kError = 4;
constexpr std::size_t kTextOffset = 7;
constexpr auto kCoreWait = 2s;
constexpr auto kCorePoll = 10ms;
constexpr auto kRetryPause = 100ms;

std::uint16_t readU16(const std::uint8_t* at) {
  std::uint16_t v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

void writeU16(std::uint8_t* at, std::uint16_t v) { std::memcpy(at, &v, sizeof v); }

// The registered core, waiting for one until the deadline.
CoreSubProcess* waitForCore(Clock::time_point deadline) {
  for (;;) {
    if (ISubProcess* core = subProcessFactory().getInterface(ISubProcess::CORE)) {
      return static_cast<CoreSubProcess*>(core);
    }
    if (Clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(kCorePoll);
  }
}

// The 2 s limit counts from the request's send time when it carries a
// plausible one (not in the future, not older than a minute), else from now.
Clock::time_point startOfLimit(const std::uint8_t* body, Clock::time_point now) {
  const std::int64_t sentNs = requestSentNs(body);
  if (sentNs <= 0) return now;
  const Clock::time_point sent{std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(sentNs))};
  if (sent > now || now - sent > std::chrono::minutes(1)) return now;
  return sent;
}

void answerText(std::uint8_t* work) {
  const char* text = reinterpret_cast<const char*>(work + kTextOffset);
  std::string command(text, strnlen(text, kExchangeWorkSize - kTextOffset));
  std::string reply;
  tcpControl::handle_TCPIP_Raw_Cmd(command, reply);
  if (!reply.empty()) {
    putTextReply(work, reply);
  } else {
    work[kTextOffset] = 0;
  }
}

// After a failed receive or send: E2BIG leaves the long message at the head
// of the queue, so it is taken out (cut) and dropped; a removed queue is
// opened afresh; other failures pause before the next try.
void recoverFrom(int error, interface::msqInterface& queue, unsigned projId, bool receiving, QueueMessage& scratch) {
  if (error == EINTR) return;
  if (receiving && error == E2BIG) {
    msgrcv(queue.msq, &scratch, kQueueBodySize, 0, MSG_NOERROR | IPC_NOWAIT);
    return;
  }
  if (error == EIDRM || error == EINVAL) {
    queue.reset();
    if (queue.initMSQ(zelor::paths::kLogKeyPath, projId, kCommandQueueBytes) == 0 || queue.msq != -1) return;
  }
  std::this_thread::sleep_for(kRetryPause);
}

}  // namespace

void putTextReply(std::uint8_t* packet, const std::string& reply) {
  const std::size_t n = reply.size() < kTextReplyMax ? reply.size() : kTextReplyMax;
  std::memcpy(packet + kTextOffset, reply.data(), n);
  packet[kTextOffset + n] = 0;
}

bool answerRequest(std::uint8_t* work, Clock::time_point arrival) {
  const std::uint16_t id = readU16(work + 4);
  if (id == kTextCommandId) {
    answerText(work);
    return true;
  }
  const std::uint16_t length = readU16(work + 2);
  const std::uint16_t raised = static_cast<std::uint16_t>(length + 2);
  writeU16(work + 2, raised);
  // More parameters than a packet holds: answered at once as a failure.
  if (length > kMaxRequestLength) return false;
  const Clock::time_point deadline = arrival + kCoreWait;
  CoreSubProcess* core = waitForCore(deadline);
  if (core == nullptr) return false;
  // The wait for a core counts against the same 2 s: the control program
  // waits for this exchange's reply only a little longer.
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
  if (left <= 0) return false;
  int replyLength = 0;
  char* buffer = reinterpret_cast<char*>(work);
  return core->processProtocolPacket(id, buffer, raised + 5, buffer, &replyLength, static_cast<int>(left)) == 1;
}

void packetExchangeProcess() {
  interface::msqInterface requests;
  interface::msqInterface replies;
  requests.initMSQ(zelor::paths::kLogKeyPath, kRequestQueueId, kCommandQueueBytes);
  replies.initMSQ(zelor::paths::kLogKeyPath, kReplyQueueId, kCommandQueueBytes);
  // The thread never ends; its buffers live as long as the process.
  auto message = std::make_unique<QueueMessage>();
  auto work = std::make_unique<std::uint8_t[]>(kExchangeWorkSize);
  for (;;) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "start recvPackFromEmb");
    ssize_t retRecv = 0;
    int retSend = 0;
    int error = 0;
    for (;;) {
      std::memset(message->body, 0, sizeof message->body);
      retRecv = msgrcv(requests.msq, message.get(), kQueueBodySize, 0, 0);
      if (retRecv < 1) {
        error = errno;
        break;
      }
      const Clock::time_point arrival = startOfLimit(message->body, Clock::now());
      std::memset(work.get(), 0, kExchangeWorkSize);
      std::memcpy(work.get(), message->body, kQueueBodySize);
      const bool answered = answerRequest(work.get(), arrival);
      std::memset(message->body, 0, sizeof message->body);
      std::memcpy(message->body, work.get(), sizeof(Packet));
      if (!answered) markReplyFailed(message->body);
      // message->mtype stays the request's: its sequence number.
      retSend = msgsnd(replies.msq, message.get(), kQueueBodySize, 0);
      if (retSend != 0) {
        error = errno;
        break;
      }
    }
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kError,
                             "found an error,retSend:{};retRecv:{},errno:{};errStr:{};", retSend,
                             static_cast<long>(retRecv), error, std::strerror(error));
    if (retSend != 0) {
      recoverFrom(error, replies, kReplyQueueId, false, *message);
    } else {
      recoverFrom(retRecv < 0 ? error : 0, requests, kRequestQueueId, true, *message);
    }
  }
}
