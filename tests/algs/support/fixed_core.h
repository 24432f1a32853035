#pragma once

// A core callback table that allocates nothing while the kernel calls it:
// requests wait in a fixed ring (one handed over per getPackage, as the
// host's mailbox does), replies are counted and the last kept, log lines are
// copied into a fixed ring of lines.

#include <cstring>

#include "common/kernel/core_interface.h"
#include "common/protocol/packet.h"

namespace zelor::test {

class FixedCore {
 public:
  static constexpr int kRequests = 64;
  static constexpr int kLogLines = 512;

  FixedCore() {
    table_.getPackage = &getPackage;
    table_.sendPackage = &sendPackage;
    table_.freePackage = [](Packet*) {};
    table_.allocPackage = []() -> Packet* { return nullptr; };
    table_.clearPackageQueue = []() {};
    table_.setValue = [](const char*, double) {};
    table_.getValue = [](const char*) { return 0.0; };
    table_.log = &log;
    saved_ = gp_core_interface_inst;
    gp_core_interface_inst = &table_;
    self() = this;
  }
  ~FixedCore() {
    gp_core_interface_inst = saved_;
    self() = nullptr;
  }
  FixedCore(const FixedCore&) = delete;
  FixedCore& operator=(const FixedCore&) = delete;

  bool post(const Packet& packet) {
    if (count_ == kRequests) return false;
    std::memcpy(&requests_[(head_ + count_) % kRequests], &packet, sizeof packet);
    ++count_;
    return true;
  }
  // Counts, from now on, the log lines equal to `text` (one text at a time).
  void watch(const char* text) {
    watched_ = text;
    watchedLines_ = 0;
  }
  long watchedLines() const { return watchedLines_; }
  int pending() const { return count_; }
  long replies() const { return replies_; }
  const Packet& lastReply() const { return lastReply_; }
  long lines() const { return lines_; }
  bool logged(const char* text) const {
    const long first = lines_ > kLogLines ? lines_ - kLogLines : 0;
    for (long i = first; i < lines_; ++i) {
      if (std::strcmp(log_[i % kLogLines], text) == 0) return true;
    }
    return false;
  }

 private:
  static FixedCore*& self() {
    static FixedCore* instance = nullptr;
    return instance;
  }
  static int getPackage(Packet* out) {
    FixedCore* c = self();
    if (c->count_ == 0 || c->handedOver_) return 0;
    std::memcpy(out, &c->requests_[c->head_], sizeof(Packet));
    c->handedOver_ = true;
    return 1;
  }
  static void sendPackage(Packet* reply) {
    FixedCore* c = self();
    std::memcpy(&c->lastReply_, reply, sizeof(Packet));
    ++c->replies_;
    if (c->count_ > 0) {
      c->head_ = (c->head_ + 1) % kRequests;
      --c->count_;
    }
    c->handedOver_ = false;
  }
  static void log(const char* text) {
    FixedCore* c = self();
    if (c->watched_ != nullptr && std::strcmp(text, c->watched_) == 0) ++c->watchedLines_;
    char* line = c->log_[c->lines_ % kLogLines];
    std::strncpy(line, text, kKernelLogLineSize - 1);
    line[kKernelLogLineSize - 1] = '\0';
    ++c->lines_;
  }

  core_interface table_{};
  core_interface* saved_ = nullptr;
  Packet requests_[kRequests]{};
  int head_ = 0;
  int count_ = 0;
  bool handedOver_ = false;
  long replies_ = 0;
  Packet lastReply_{};
  char log_[kLogLines][kKernelLogLineSize]{};
  long lines_ = 0;
  const char* watched_ = nullptr;
  long watchedLines_ = 0;
};

}  // namespace zelor::test
