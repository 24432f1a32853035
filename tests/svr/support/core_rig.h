#pragma once

// The real core sub-process and motion kernel in the test process, reached
// through a plain factory, with a test thread running the kernel's cycle
// every 4 ms on a simulated axes group, and the packet-exchange thread.

#include <atomic>
#include <cstdint>
#include <chrono>
#include <cstring>
#include <thread>

#include "axes_drive/sim_axes_group.h"
#include "exchange/packet_exchange.h"
#include "subProcess/core/core_sub_process.h"
#include "subProcess/factory_access.h"
#include "support/robot_param_fixture.h"

namespace zelor::test {

class CoreRig {
 public:
  CoreRig() : drive_(record()) {
    // The exchange thread never ends: the factory and its core live as long
    // as the process.
    factory_ = new SubProcessFactory();
    setSubProcessFactory(factory_);
  }
  ~CoreRig() { stopCycling(); }

  static AxesGroupRef& record() {
    alignas(8) static AxesGroupRef r;
    return r;
  }

  SubProcessFactory& factory() { return *factory_; }
  CoreSubProcess* core() { return static_cast<CoreSubProcess*>(factory_->getInterface(ISubProcess::CORE)); }

  void startExchange() { std::thread(packetExchangeProcess).detach(); }

  void registerCore() {
    SubProcessParam param;
    param.packet_size = 20;
    param.rtsParam = &record();
    factory_->start(ISubProcess::CORE, &param);
  }

  void giveParameters() {
    static RobotParamBlock block = FixtureParamBlock();
    factory_->interCall(ISubProcess::CORE, 6, &block, nullptr, nullptr);
  }

  void startCycling() {
    cycling_ = true;
    thread_ = std::thread([this] {
      auto next = std::chrono::steady_clock::now();
      while (cycling_) {
        drive_.Step();
        if (factory_->getInterface(ISubProcess::CORE) != nullptr) {
          factory_->interCall(ISubProcess::CORE, 0, &record(), nullptr, nullptr);
        }
        ++cycles_;
        next += std::chrono::milliseconds(4);
        std::this_thread::sleep_until(next);
      }
    });
  }

  // Cycles run since the rig was made.
  std::uint64_t cycles() const { return cycles_.load(); }

  void stopCycling() {
    cycling_ = false;
    if (thread_.joinable()) thread_.join();
  }

 private:
  SubProcessFactory* factory_;
  zelor::sim::SimAxesGroup drive_;
  std::atomic<bool> cycling_{false};
  std::atomic<std::uint64_t> cycles_{0};
  std::thread thread_;
};

}  // namespace zelor::test
