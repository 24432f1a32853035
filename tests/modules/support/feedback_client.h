#pragma once

// A client of the 30004 stream that keeps the latest whole 1440-byte record,
// reconnecting while the port is not there yet.

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "brevan_rig.h"

namespace zelor::test {

using Four = std::array<double, 4>;

inline constexpr std::size_t kFeedbackPacketBytes = 1440;
inline constexpr std::size_t kFeedbackPoseAt = 624;
inline constexpr std::size_t kFeedbackJointsAt = 432;

inline Four fourAt(const std::vector<char>& packet, std::size_t at) {
  Four v{};
  if (packet.size() >= at + sizeof v) std::memcpy(v.data(), packet.data() + at, sizeof v);
  return v;
}

class FeedbackClient {
 public:
  FeedbackClient() : reader_([this] { run(); }) {}
  ~FeedbackClient() {
    stop_ = true;
    reader_.join();
  }
  FeedbackClient(const FeedbackClient&) = delete;
  FeedbackClient& operator=(const FeedbackClient&) = delete;

  std::size_t packets() {
    std::lock_guard lock(mutex_);
    return count_;
  }
  std::vector<char> latest() {
    std::lock_guard lock(mutex_);
    return latest_;
  }
  // The first packet whose count exceeds `after`.
  std::vector<char> next(std::size_t after, std::chrono::milliseconds timeout) {
    if (!waitFor([&] { return packets() > after; }, timeout)) return {};
    return latest();
  }
  Four pose() { return fourAt(latest(), kFeedbackPoseAt); }
  Four joints() { return fourAt(latest(), kFeedbackJointsAt); }

 private:
  void run() {
    while (!stop_) {
      Client client(30004);
      if (!client.connected()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        continue;
      }
      std::string pending;
      while (!stop_) {
        const std::string got = client.read(kFeedbackPacketBytes - pending.size(), std::chrono::milliseconds(100));
        if (got.empty()) {
          if (client.closedWithin(std::chrono::milliseconds(0))) break;
          continue;
        }
        pending += got;
        if (pending.size() < kFeedbackPacketBytes) continue;
        std::lock_guard lock(mutex_);
        latest_.assign(pending.begin(), pending.end());
        ++count_;
        pending.clear();
      }
    }
  }

  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<char> latest_;
  std::size_t count_ = 0;
  std::thread reader_;
};

}  // namespace zelor::test
