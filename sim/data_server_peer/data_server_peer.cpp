#include "data_server_peer/data_server_peer.h"

#include <sys/ipc.h>
#include <sys/msg.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/ipc/robot_map.h"
#include "common/protocol/queue_message.h"
#include "install_paths.h"

namespace zelor::sim {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kIdlePoll = 100us;
constexpr auto kTick = 4ms;
constexpr auto kDataServerLimit = 2s;
constexpr std::size_t kParamOffset = 7;
constexpr std::size_t kParamCapacity = sizeof(Packet) - kParamOffset;
constexpr std::size_t kRawTextMax = 2048;

int openQueue(unsigned projId) {
  const int msq = msgget(ftok(zelor::paths::kLogKeyPath, static_cast<int>(projId)), IPC_CREAT | 0666);
  msqid_ds info{};
  if (msq != -1 && msgctl(msq, IPC_STAT, &info) == 0) {
    info.msg_qbytes = kCommandQueueBytes;
    msgctl(msq, IPC_SET, &info);
  }
  return msq;
}

std::uint16_t u16At(const std::uint8_t* at) {
  std::uint16_t v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

void putU16(std::uint8_t* at, std::uint16_t v) { std::memcpy(at, &v, sizeof v); }

}  // namespace

DataServerPeer::DataServerPeer() {
  robotMap::instance();
  requestMsq_ = openQueue(kRequestQueueId);
  replyMsq_ = openQueue(kReplyQueueId);
}

DataServerPeer::~DataServerPeer() { stop(); }

void DataServerPeer::start() {
  if (thread_.joinable()) return;
  stopping_ = false;
  thread_ = std::thread(&DataServerPeer::serve, this);
}

void DataServerPeer::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void DataServerPeer::setControlMode(const std::string& mode) {
  char* text = robotMap::instance().entry() + robot_map::kControlMode;
  const std::size_t n = std::min(mode.size(), robot_map::kControlModeSize - 1);
  std::memset(text, 0, robot_map::kControlModeSize);
  std::memcpy(text, mode.data(), n);
}

void DataServerPeer::setMode(Mode mode) {
  std::lock_guard lock(mutex_);
  mode_ = mode;
}

void DataServerPeer::setDelays(std::deque<std::chrono::milliseconds> delays) {
  std::lock_guard lock(mutex_);
  delays_ = std::move(delays);
}

void DataServerPeer::setReadReply(std::uint16_t id, std::vector<std::uint8_t> params) {
  std::lock_guard lock(mutex_);
  params.resize(std::min(params.size(), kParamCapacity));
  readReplies_[id] = std::move(params);
}

void DataServerPeer::setReadSequence(std::uint16_t id, std::vector<std::vector<std::uint8_t>> replies) {
  std::lock_guard lock(mutex_);
  auto& queue = readSequences_[id];
  queue.clear();
  for (auto& reply : replies) {
    reply.resize(std::min(reply.size(), kParamCapacity));
    queue.push_back(std::move(reply));
  }
}

void DataServerPeer::setRawAnswers(std::deque<std::string> texts) {
  std::lock_guard lock(mutex_);
  rawAnswers_ = std::move(texts);
}

void DataServerPeer::setRawAnswer(const std::string& text) {
  std::lock_guard lock(mutex_);
  rawAnswer_.assign(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(text.size(), kRawTextMax)));
  rawAnswer_.push_back(0);
}

void DataServerPeer::setRawAnswerBytes(std::vector<std::uint8_t> params) {
  std::lock_guard lock(mutex_);
  params.resize(std::min(params.size(), kParamCapacity));
  rawAnswer_ = std::move(params);
}

void DataServerPeer::setUnanswered(std::uint16_t id, std::uint8_t ctrl) {
  std::lock_guard lock(mutex_);
  unanswered_.emplace(id, ctrl);
}

void DataServerPeer::setUnansweredNext(std::uint16_t id, std::uint8_t ctrl, int count) {
  std::lock_guard lock(mutex_);
  unansweredNext_[{id, ctrl}] = count;
}

std::vector<PeerRequest> DataServerPeer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool DataServerPeer::requestsWaiting() const {
  msqid_ds info{};
  return msgctl(requestMsq_, IPC_STAT, &info) == 0 && info.msg_qnum > 0;
}

void DataServerPeer::serve() {
  auto message = std::make_unique<QueueMessage>();
  while (!stopping_) {
    Mode mode;
    {
      std::lock_guard lock(mutex_);
      mode = mode_;
    }
    if (mode == Mode::NotReading) {
      std::this_thread::sleep_for(kIdlePoll);
      continue;
    }
    std::memset(message->body, 0, sizeof message->body);
    const ssize_t received = msgrcv(requestMsq_, message.get(), kQueueBodySize, 0, IPC_NOWAIT | MSG_NOERROR);
    if (received < 0) {
      std::this_thread::sleep_for(kIdlePoll);
      continue;
    }
    answer(message->mtype, message->body, received);
  }
}

void DataServerPeer::answer(long sequence, const std::uint8_t* body, std::int64_t received) {
  const Clock::time_point taken = Clock::now();
  PeerRequest request;
  request.sequence = sequence;
  request.length = u16At(body + 2);
  request.id = u16At(body + 4);
  request.ctrl = body[6];
  const std::size_t paramCount = std::min<std::size_t>(request.length, kParamCapacity);
  request.params.assign(body + kParamOffset, body + kParamOffset + paramCount);

  Mode mode;
  std::chrono::milliseconds delay{0};
  std::vector<std::uint8_t> params;
  std::size_t logged = 0;
  bool kernelSilent = false;
  {
    std::lock_guard lock(mutex_);
    logged = requests_.size();
    requests_.push_back(request);
    kernelSilent = unanswered_.count({request.id, request.ctrl}) != 0;
    const auto next = unansweredNext_.find({request.id, request.ctrl});
    if (!kernelSilent && next != unansweredNext_.end() && next->second > 0) {
      --next->second;
      kernelSilent = true;
    }
    mode = kernelSilent ? Mode::TimeoutEcho : mode_;
    if (mode == Mode::Delayed && !delays_.empty()) {
      delay = delays_.front();
      delays_.pop_front();
    }
    if (request.ctrl & kCtrlQueued) {
      params.resize(sizeof(std::uint64_t));  // the queue index, given on hand-over
    } else if (request.id == kTextCommandId && !rawAnswers_.empty()) {
      const std::string& text = rawAnswers_.front();
      params.assign(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(text.size(), kRawTextMax)));
      params.push_back(0);
      rawAnswers_.pop_front();
    } else if (request.id == kTextCommandId) {
      params = rawAnswer_.empty() ? std::vector<std::uint8_t>{0} : rawAnswer_;
    } else if (auto sequence = readSequences_.find(request.id);
               sequence != readSequences_.end() && !sequence->second.empty()) {
      params = sequence->second.front();
      if (sequence->second.size() > 1) sequence->second.pop_front();
    } else if (auto found = readReplies_.find(request.id); found != readReplies_.end()) {
      params = found->second;
    }
  }
  if (mode == Mode::NeverAnswer) return;
  if (mode == Mode::Delayed) std::this_thread::sleep_for(delay);
  if (mode == Mode::Tick4ms) {
    // On the next tick after the last answer's, like the kernel's cycle.
    const Clock::time_point now = Clock::now();
    Clock::time_point tick = lastTick_ + kTick;
    if (tick < now) tick = now + (kTick - (now - lastTick_) % kTick);
    std::this_thread::sleep_until(tick);
    lastTick_ = tick;
  }

  // Past the data server's limit nothing is handed on any more.
  const std::int64_t sentNs = requestSentNs(body);
  const Clock::time_point sent =
      sentNs > 0 ? Clock::time_point(std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(sentNs)))
                 : taken;
  const bool tooLate = Clock::now() - std::min(sent, taken) > kDataServerLimit;
  {
    std::lock_guard lock(mutex_);
    if (tooLate || mode == Mode::TimeoutEcho) {
      requests_[logged].handedOver = false;
    } else if (request.ctrl & kCtrlQueued) {
      const std::uint64_t index = ++queueIndex_;
      std::memcpy(params.data(), &index, sizeof index);
    }
  }

  auto reply = std::make_unique<QueueMessage>();
  std::memset(reply->body, 0, sizeof reply->body);
  reply->mtype = sequence;
  if (mode == Mode::TimeoutEcho || tooLate) {
    std::memcpy(reply->body, body, std::min<std::size_t>(static_cast<std::size_t>(received), sizeof(Packet)));
    putU16(reply->body + 2, static_cast<std::uint16_t>(request.length + 2));
    markReplyFailed(reply->body);
  } else {
    reply->body[0] = kPacketHeaderByte;
    reply->body[1] = kPacketHeaderByte;
    putU16(reply->body + 2, static_cast<std::uint16_t>(params.size() + 2));
    putU16(reply->body + 4, request.id);
    reply->body[6] = request.ctrl;
    if (!params.empty()) std::memcpy(reply->body + kParamOffset, params.data(), params.size());
  }
  if (mode == Mode::StaleFirst) {
    auto stale = std::make_unique<QueueMessage>(*reply);
    stale->mtype = sequence > 1 ? sequence - 1 : sequence + 1;  // a late reply of the request before
    std::memset(stale->body + kParamOffset, 0xEE, 8);
    msgsnd(replyMsq_, stale.get(), kQueueBodySize, IPC_NOWAIT);
  }
  if (requestsWaiting()) ++overlaps_;
  if (msgsnd(replyMsq_, reply.get(), kQueueBodySize, IPC_NOWAIT) == 0) ++answered_;
}

}  // namespace zelor::sim
