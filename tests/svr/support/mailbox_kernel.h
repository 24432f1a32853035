#pragma once

// A stand-in for the motion kernel on the core's packet mailbox: a thread
// takes every packet posted to the core, records it, and answers it by echo,
// except the enable switch (id 41), whose read answers the hand-teach flag.
// It can leave one kind of packet, or all, unanswered.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "subProcess/core/core_sub_process.h"

namespace zelor::test {

class MailboxKernel {
 public:
  static constexpr std::uint16_t kSwitch = 41;

  explicit MailboxKernel(CoreSubProcess* core) : core_(core) {
    thread_ = std::thread([this] { loop(); });
  }
  ~MailboxKernel() {
    run_ = false;
    thread_.join();
  }
  MailboxKernel(const MailboxKernel&) = delete;
  MailboxKernel& operator=(const MailboxKernel&) = delete;

  // Hand-teach flag: 1 drives off (disabled), 0 enabled.
  void setHandTeach(std::uint8_t flag) { flag_ = flag; }
  std::uint8_t handTeach() const { return flag_.load(); }
  // Whether a 41 write changes the flag (a drive that never enables: false).
  void setWriteSetsFlag(bool sets) { writeSets_ = sets; }
  // A command id whose reads (ctrl 0) stay unanswered; 0 for none.
  void setUnansweredRead(std::uint16_t id) { unansweredRead_ = id; }
  // Takes no packet at all, as a kernel that does not cycle.
  void setStopped(bool stopped) { stopped_ = stopped; }

  // Every packet taken so far as "id ctrl params", ctrl and params in hex.
  std::vector<std::string> packets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.clear();
  }

 private:
  void loop() {
    while (run_) {
      Packet request{};
      if (!stopped_ && core_->getPackage(&request) != 0) answer(request);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  }

  void answer(const Packet& request) {
    const int params = request.length >= 2 ? request.length - 2 : 0;
    std::string text = std::to_string(request.cmdId);
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02x", request.ctrl);
    text += hex;
    text += ' ';
    for (int i = 0; i < params && i < static_cast<int>(kPacketParamCapacity); ++i) {
      std::snprintf(hex, sizeof hex, "%02x", request.params[i]);
      text += hex;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      seen_.push_back(text);
    }
    Packet reply = request;
    const bool write = (request.ctrl & kCtrlWrite) != 0;
    if (!write && request.cmdId == unansweredRead_.load()) {
      // A reply of another command: the requester discards it and times out.
      reply.cmdId = 0xFFFF;
    } else if (request.cmdId == kSwitch) {
      if (write && params >= 1 && writeSets_) flag_ = request.params[0];
      reply.params[0] = flag_;
      reply.length = 3;
    }
    core_->sendPackage(&reply);
  }

  CoreSubProcess* core_;
  std::atomic<bool> run_{true};
  std::atomic<std::uint8_t> flag_{1};
  std::atomic<bool> writeSets_{true};
  std::atomic<std::uint16_t> unansweredRead_{0};
  std::atomic<bool> stopped_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> seen_;
  std::thread thread_;
};

}  // namespace zelor::test
