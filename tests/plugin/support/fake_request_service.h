#pragma once

// The data server's end of the script request channel, in the test process:
// takes each request as the data server does (copy out, give the lock back,
// answer in the frame's client area, raise that client's reply semaphore),
// records every frame and answers from tables the test sets.

#include <sys/sem.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "common/ipc/semlib.h"
#include "common/ipc/semlib_shm.h"
#include "common/protocol/packet.h"

namespace zelor::test {

// A recorded request.
struct SeenFrame {
  std::array<std::uint8_t, sizeof(semlib_frame)> raw{};
  std::uint16_t id() const { return static_cast<std::uint16_t>(raw[8] | raw[9] << 8); }
  std::uint8_t control() const { return raw[12 + 6]; }
  // The packet's parameters as the frame carries them.
  std::vector<std::uint8_t> params() const {
    const std::uint16_t lengthField = static_cast<std::uint16_t>(raw[12 + 2] | raw[12 + 3] << 8);
    const std::size_t count = lengthField >= 2 ? lengthField - 2u : 0u;
    return {raw.begin() + 12 + 7, raw.begin() + 12 + 7 + static_cast<std::ptrdiff_t>(count)};
  }
};

class FakeRequestService {
 public:
  static constexpr std::uint16_t kLeftSpace = 247;
  static constexpr std::uint16_t kCurrentIndex = 246;
  static constexpr std::uint16_t kAllDone = 27;
  static constexpr std::uint16_t kJointAngle = 26;

  FakeRequestService() {
    semid_ = init_semlib(&shm_);
    worker_ = std::thread([this] { serve(); });
  }
  ~FakeRequestService() {
    stop_.store(true);
    worker_.join();
  }
  FakeRequestService(const FakeRequestService&) = delete;
  FakeRequestService& operator=(const FakeRequestService&) = delete;

  semlib_shm* memory() const { return shm_; }
  int semaphores() const { return semid_; }
  int semValue(int n) const { return semctl(semid_, n, GETVAL); }

  void setLeftSpace(std::uint32_t space) { setValue(kLeftSpace, space); }
  void setCurrentIndex(std::uint64_t index) {
    std::lock_guard lock(mutex_);
    followIssued_ = false;
    store(kCurrentIndex, index);
  }
  // The current index follows the last index handed to a queued command,
  // delay after it was handed out.
  void followIssuedIndex(std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    followIssued_ = true;
    followDelay_ = delay;
  }
  void setAllDone(bool done) { setValue(kAllDone, static_cast<std::uint8_t>(done ? 1 : 0)); }
  void setJoints(float j1, float j2, float j3, float j4) {
    const float joints[4] = {j1, j2, j3, j4};
    setReply(kJointAngle, std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(joints),
                                                    reinterpret_cast<const std::uint8_t*>(joints) + sizeof joints));
  }
  // The reply parameters of a command id (reads such as 10, 8, 9, 82, 83,
  // 225, 133, 34, 15, 228 and the ones above).
  void setReply(std::uint16_t id, std::vector<std::uint8_t> params) {
    std::lock_guard lock(mutex_);
    replies_[id] = std::move(params);
  }
  // The next n requests are answered "not executed" (status 1).
  void refuseNext(int n) { refuse_.store(n); }
  // Every reply to id claims this length in its frame.
  void claimReplyLength(std::uint16_t id, std::uint16_t length) {
    std::lock_guard lock(mutex_);
    claimedLength_[id] = length;
  }
  std::uint64_t lastIssuedIndex() const {
    std::lock_guard lock(mutex_);
    return nextIndex_ - 1;
  }

  std::vector<SeenFrame> frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  // The recorded frames without the run-cursor monitor's index queries.
  std::vector<SeenFrame> framesWithoutIndexQueries() const {
    std::vector<SeenFrame> out;
    for (const SeenFrame& f : frames())
      if (f.id() != kCurrentIndex) out.push_back(f);
    return out;
  }
  std::size_t count(std::uint16_t id) const {
    std::size_t n = 0;
    for (const SeenFrame& f : frames()) n += f.id() == id ? 1 : 0;
    return n;
  }

 private:
  template <typename T>
  void setValue(std::uint16_t id, T value) {
    std::lock_guard lock(mutex_);
    store(id, value);
  }
  template <typename T>
  void store(std::uint16_t id, T value) {
    std::vector<std::uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    replies_[id] = bytes;
  }

  void serve() {
    using namespace std::chrono_literals;
    while (!stop_.load()) {
      if (dsem_p_nowait(semid_, zelor::common::ipc::kSemlibRequestSem) != 0) {
        std::this_thread::sleep_for(1ms);
        continue;
      }
      semlib_frame request;
      std::memcpy(&request, &shm_->request, sizeof request);
      dsem_v(semid_, zelor::common::ipc::kSemlibLockSem);
      answer(request);
    }
  }

  void answer(const semlib_frame& request) {
    SeenFrame seen;
    std::memcpy(seen.raw.data(), &request, sizeof request);
    const int client = request.client;
    if (client < 1 || client > zelor::common::ipc::kSemlibClientCount) return;

    semlib_frame reply{};
    reply.client = request.client;
    reply.commandId = request.commandId;
    std::vector<std::uint8_t> params;
    {
      std::lock_guard lock(mutex_);
      frames_.push_back(seen);
      if (refuse_.load() > 0) {
        refuse_.fetch_sub(1);
        reply.status = 1;
      } else {
        params = replyParams(request);
      }
    }
    Packet packet{};
    packet.header[0] = packet.header[1] = kPacketHeaderByte;
    packet.cmdId = request.commandId;
    packet.ctrl = seen.control();
    const std::size_t n = std::min(params.size(), sizeof packet.params);
    if (n > 0) std::memcpy(packet.params, params.data(), n);
    packet.length = static_cast<std::uint16_t>(n + 2);
    reply.length = static_cast<std::uint16_t>(packet.length + 6);
    {
      std::lock_guard lock(mutex_);
      auto claimed = claimedLength_.find(request.commandId);
      if (claimed != claimedLength_.end()) reply.length = claimed->second;
    }
    std::memcpy(reply.packet, &packet, sizeof packet);
    auto* base = reinterpret_cast<std::uint8_t*>(shm_);
    std::memcpy(base + zelor::common::ipc::semlibReplyOffset(client), &reply, sizeof reply);
    dsem_v(semid_, zelor::common::ipc::semlibReplySem(client));
  }

  // Under mutex_.
  std::vector<std::uint8_t> replyParams(const semlib_frame& request) {
    const std::uint8_t control = request.packet[6];
    if (request.commandId == kCurrentIndex && followIssued_) {
      std::uint64_t current = 0;
      const auto now = std::chrono::steady_clock::now();
      for (const auto& [index, at] : issued_)
        if (now - at >= followDelay_) current = index;
      std::vector<std::uint8_t> bytes(8);
      std::memcpy(bytes.data(), &current, 8);
      return bytes;
    }
    if ((control & kCtrlQueued) != 0) {
      const std::uint64_t index = nextIndex_++;
      issued_[index] = std::chrono::steady_clock::now();
      std::vector<std::uint8_t> bytes(8);
      std::memcpy(bytes.data(), &index, 8);
      return bytes;
    }
    auto found = replies_.find(request.commandId);
    return found != replies_.end() ? found->second : std::vector<std::uint8_t>{};
  }

  semlib_shm* shm_ = nullptr;
  int semid_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<int> refuse_{0};
  mutable std::mutex mutex_;
  std::map<std::uint16_t, std::vector<std::uint8_t>> replies_;
  std::map<std::uint16_t, std::uint16_t> claimedLength_;
  std::map<std::uint64_t, std::chrono::steady_clock::time_point> issued_;
  std::vector<SeenFrame> frames_;
  std::uint64_t nextIndex_ = 1;
  bool followIssued_ = false;
  std::chrono::milliseconds followDelay_{0};
  std::thread worker_;
};

}  // namespace zelor::test
