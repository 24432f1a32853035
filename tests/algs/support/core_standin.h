#pragma once

// Stand-in of the data server's core callback table for kernel tests: a FIFO
// of request packets. getPackage copies the head without removing it (the
// mailbox keeps presenting a packet until it is answered), sendPackage stores
// the reply and removes the head, log captures the line. The other slots are
// present and harmless.

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "common/kernel/core_interface.h"
#include "common/plugin/plugin_base.h"
#include "common/protocol/packet.h"

namespace zelor::test {

class CoreStandIn {
 public:
  CoreStandIn() {
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
    current() = this;
  }
  ~CoreStandIn() {
    gp_core_interface_inst = saved_;
    current() = nullptr;
  }
  CoreStandIn(const CoreStandIn&) = delete;
  CoreStandIn& operator=(const CoreStandIn&) = delete;

  void post(const Packet& packet) { pending.push_back(packet); }

  std::deque<Packet> pending;
  std::vector<Packet> replies;
  std::vector<std::string> logs;

 private:
  static CoreStandIn*& current() {
    static CoreStandIn* instance = nullptr;
    return instance;
  }
  static int getPackage(Packet* out) {
    CoreStandIn* self = current();
    if (self->pending.empty()) return 0;
    std::memcpy(out, &self->pending.front(), sizeof(Packet));
    return 1;
  }
  static void sendPackage(Packet* reply) {
    CoreStandIn* self = current();
    self->replies.push_back(*reply);
    if (!self->pending.empty()) self->pending.pop_front();
  }
  static void log(const char* text) { current()->logs.emplace_back(text); }

  core_interface table_{};
  core_interface* saved_ = nullptr;
};

// A command client whose transport posts each framed packet to the stand-in.
class PostingClient : public PluginBase {
 public:
  explicit PostingClient(CoreStandIn& core) : core_(core) {}

  int processTranslate(Packet* packet) override {
    PluginBase::processTranslate(packet);
    core_.post(*packet);
    return 1;
  }

  // Runs a builder and gives its packet back at once.
  template <typename Builder>
  void post(Builder&& builder) {
    freePluginPacket(builder(*this));
  }

 private:
  CoreStandIn& core_;
};

}  // namespace zelor::test
