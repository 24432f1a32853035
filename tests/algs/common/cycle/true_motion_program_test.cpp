// Queued programs with look-ahead blending on, run on the simulated drive:
// lines and arcs blend at their corners and a joint move overlaps the line
// after it, and the set point never jumps (no motor-speed or speed-jump
// alarm) on the way to the last target.

#include <gtest/gtest.h>

#include <cmath>

#include "PTP/path/blending.h"
#include "common/kernel/alarms.h"
#include "moving_program.h"

namespace zelor::test {
namespace {

class TrueMotionProgram : public CycleRig {
 protected:
  void SetUp() override {
    CycleRig::SetUp();
    block.usingTrueMotion = 1;
    Start();
    blendSeg.reset();
  }
  void TearDown() override {
    blendSeg.reset();
    CycleRig::TearDown();
  }
  static int FirstAlarm() {
    for (unsigned i = 8; i < 256; ++i) {
      if (AlarmIsSet(i)) return static_cast<int>(i);
    }
    return -1;
  }
  // Runs the queue to its end; false (with the first alarm) when an alarm
  // is raised or the queue does not finish.
  static ::testing::AssertionResult RunsWithoutAlarm(MovingProgram& program, FixedCore& core, int limit) {
    for (int i = 0; i < limit; ++i) {
      program.Cycle();
      if (FirstAlarm() >= 0) {
        return ::testing::AssertionFailure() << "alarm " << FirstAlarm() << " at cycle " << i;
      }
      if (gPackedCmdQueue.isEmpty != 0 && gPreDealDataQueue.isEmpty != 0 && gCmdFinishFlag != 0 &&
          core.pending() == 0) {
        return ::testing::AssertionSuccess();
      }
    }
    return ::testing::AssertionFailure() << "the queue did not finish in " << limit << " cycles";
  }
  void ExpectAt(const WCSPosition& target) {
    const WCSPosition reached = PoseOf({joint(0).m_ActPosition, joint(1).m_ActPosition, joint(2).m_ActPosition,
                                        joint(3).m_ActPosition});
    EXPECT_NEAR(reached.x, target.x, 1e-2);
    EXPECT_NEAR(reached.y, target.y, 1e-2);
    EXPECT_NEAR(reached.z, target.z, 1e-2);
  }
};

Packet Line(const WCSPosition& p) {
  return PtpPacket(2, static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z),
                   static_cast<float>(p.r));
}

TEST_F(TrueMotionProgram, LinesBlendAtTheirCornersWithoutAJump) {
  FixedCore fixed;
  MovingProgram program(*sim, fixed);
  program.Enable();
  program.Post(Built([](PluginBase& c) { return c.alloc_SetTransitionCmd(50, false); }));
  program.StartQueue();
  const WCSPosition a = PoseOf({20.0, 70.0, 80.0, 10.0});
  const WCSPosition b = PoseOf({-10.0, 100.0, 120.0, -20.0});
  const WCSPosition c = PoseOf({0.0, 90.0, 100.0, 0.0});
  program.Post(Line(a));
  program.Post(Line(b));
  program.Post(Line(c));
  bool blended = false;
  for (int i = 0; i < 20 && !blended; ++i) {
    program.Cycle();
    blended = blendSeg.getPathLen() > 0.0;
  }
  EXPECT_TRUE(blended) << "a corner blend was built";
  EXPECT_TRUE(RunsWithoutAlarm(program, fixed, 3000));
  ExpectAt(c);
}

// A line that starts inside a joint move's overlap is already under way on
// its profile: it keeps it, whether or not its blend into the arc after it
// was prepared while the joint move ran.
TEST_F(TrueMotionProgram, ALineStartedInsideAJointMovesOverlapKeepsItsProfile) {
  struct Case {
    const char* name;
    bool preparedAhead;  // all three pre-processed before execution starts
  };
  const Case cases[] = {{"blend prepared while the joint move runs", true},
                        {"third move arrives too late to prepare the blend", false}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TearDown();
    SetUp();
    FixedCore fixed;
    MovingProgram program(*sim, fixed);
    program.Enable();
    program.Post(Built([](PluginBase& c) { return c.alloc_SetArmOrientation(1, 0); }));
    program.Post(Built([](PluginBase& c) { return c.alloc_SetTransitionCmd(50, false); }));
    const WCSPosition a = PoseOf({20.0, 70.0, 80.0, 10.0});
    const WCSPosition b = PoseOf({-10.0, 100.0, 120.0, -20.0});
    const WCSPosition m = PoseOf({5.0, 95.0, 110.0, 0.0});
    const WCSPosition e = PoseOf({0.0, 90.0, 100.0, 0.0});
    const tagARCCmd arc{{static_cast<float>(m.x), static_cast<float>(m.y), static_cast<float>(m.z),
                         static_cast<float>(m.r)},
                        {static_cast<float>(e.x), static_cast<float>(e.y), static_cast<float>(e.z),
                         static_cast<float>(e.r)}};
    const Packet moves[3] = {PtpPacket(1, static_cast<float>(a.x), static_cast<float>(a.y),
                                       static_cast<float>(a.z), static_cast<float>(a.r)),
                             Line(b), Built([&](PluginBase& c) { return c.alloc_SetARCCmd(&arc, 1); })};
    if (k.preparedAhead) {
      for (const Packet& p : moves) program.Post(p);
      program.Cycle(10);
      program.Post(Built([](PluginBase& c) { return c.alloc_SetQueuedCmdStartExec(); }));
    } else {
      program.Post(Built([](PluginBase& c) { return c.alloc_SetQueuedCmdStartExec(); }));
      program.Cycle(3);
      for (const Packet& p : moves) program.Post(p);
    }
    EXPECT_TRUE(RunsWithoutAlarm(program, fixed, 3000));
    ExpectAt(e);
  }
}

}  // namespace
}  // namespace zelor::test
