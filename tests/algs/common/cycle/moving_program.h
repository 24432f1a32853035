#pragma once

// The moving scenario on the simulated drive: drives enabled, queued
// execution started with id 240, then a program of joint, linear and arc
// moves, a jog and its stop, with conveyor counts running. Packets go
// through a fixed core table, so that nothing but the kernel allocates.

#include <cmath>
#include <cstring>
#include <functional>

#include "PTP/stopping/stop_request.h"
#include "common/kinematics/kinematics.h"
#include "support/cycle_rig.h"
#include "support/fixed_core.h"

namespace zelor::test {

inline Packet Built(const std::function<Packet*(PluginBase&)>& build) {
  struct Capture : PluginBase {
    Packet packet{};
    int processTranslate(Packet* p) override {
      PluginBase::processTranslate(p);
      std::memcpy(&packet, p, sizeof packet);
      return 1;
    }
  } capture;
  capture.freePluginPacket(build(capture));
  return capture.packet;
}

inline Packet PtpPacket(std::uint8_t mode, float x, float y, float z, float r) {
  const tagPTPCmd move{mode, x, y, z, r};
  return Built([&](PluginBase& c) { return c.alloc_SetPTPCmd(&move, 1); });
}

inline WCSPosition PoseOf(const JointTheta& joints) {
  WCSPosition pose;
  ForwardCal(&joints, &pose);
  return pose;
}

// Steps of the program; each runs to its end or to a cycle limit.
class MovingProgram {
 public:
  using Runner = void (*)();
  MovingProgram(zelor::sim::SimAxesGroup& sim, FixedCore& core, Runner runner = &vantrel_run)
      : sim_(sim), core_(core), runner_(runner) {}

  void Cycle(int n = 1) {
    for (int i = 0; i < n; ++i) {
      sim_.Step();
      runner_();
      ++cycles_;
    }
  }
  // Runs until the queue is done (at most `limit` cycles); false on time-out.
  bool RunQueue(int limit) {
    for (int i = 0; i < limit; ++i) {
      Cycle();
      if (gPackedCmdQueue.isEmpty != 0 && gPreDealDataQueue.isEmpty != 0 && gCmdFinishFlag != 0 &&
          core_.pending() == 0) {
        return true;
      }
    }
    return false;
  }
  void Enable() {
    gHandTeachFlag = 0;
    Cycle(52);
  }
  void StartQueue() {
    // Targets are reached with joint 2 positive.
    core_.post(Built([](PluginBase& c) { return c.alloc_SetArmOrientation(1, 0); }));
    core_.post(Built([](PluginBase& c) { return c.alloc_SetQueuedCmdStartExec(); }));
    Cycle();
  }
  void Post(const Packet& packet) { core_.post(packet); }

  // Joint, linear and arc moves from the start joints and back.
  void QueueProgram() {
    const JointTheta a{20.0, 70.0, 80.0, 10.0};
    const JointTheta b{-10.0, 100.0, 120.0, -20.0};
    Post(PtpPacket(4, static_cast<float>(a.j1), static_cast<float>(a.j2), static_cast<float>(a.j3),
                   static_cast<float>(a.j4)));
    const WCSPosition pb = PoseOf(b);
    Post(PtpPacket(2, static_cast<float>(pb.x), static_cast<float>(pb.y), static_cast<float>(pb.z),
                   static_cast<float>(pb.r)));
    const WCSPosition pm = PoseOf({5.0, 95.0, 110.0, 0.0});
    const WCSPosition pe = PoseOf({0.0, 90.0, 100.0, 0.0});
    const tagARCCmd arc{{static_cast<float>(pm.x), static_cast<float>(pm.y), static_cast<float>(pm.z),
                         static_cast<float>(pm.r)},
                        {static_cast<float>(pe.x), static_cast<float>(pe.y), static_cast<float>(pe.z),
                         static_cast<float>(pe.r)}};
    Post(Built([&](PluginBase& c) { return c.alloc_SetARCCmd(&arc, 1); }));
  }

  // A joint jog of joint 1 until it runs at its jog speed; then the stop
  // of `kind`. Returns the cycles to rest (or -1).
  int JogThenStop(int kind, int limit) {
    const tagJOGCmd jog{1, 1};
    Post(Built([&](PluginBase& c) { return c.alloc_SetJOGCmd(&jog, 0); }));
    Cycle(60);
    SetStopParams(kind);
    for (int n = 1; n <= limit; ++n) {
      Cycle();
      bool rest = true;
      for (double v : gRobotAxisMove.nextVel) rest = rest && std::fabs(v) < 1e-5;
      if (rest && gRobotPrfMode == kPrfIdle) return n;
    }
    return -1;
  }

  long cycles() const { return cycles_; }

 private:
  zelor::sim::SimAxesGroup& sim_;
  FixedCore& core_;
  Runner runner_;
  long cycles_ = 0;
};

}  // namespace zelor::test
