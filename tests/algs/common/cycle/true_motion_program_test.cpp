// Queued programs with look-ahead blending on, run on the simulated drive:
// lines and arcs blend at their corners and a joint move overlaps the line
// after it, with and without input shaping, and the set point never jumps
// (no motor-speed or speed-jump alarm) on the way to the last target.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "PTP/path/blending.h"
#include "PTP/path/input_shaping.h"
#include "common/cycle/profile.h"
#include "common/kernel/alarms.h"
#include "common/kernel/kernel_queues.h"
#include "moving_program.h"

namespace zelor::test {
namespace {

int FirstAlarm() {
  for (unsigned i = 8; i < 256; ++i) {
    if (AlarmIsSet(i)) return static_cast<int>(i);
  }
  return -1;
}

// Shaping channels back to passing values through, as before any set-up.
void ResetShapers() {
  for (int i = 0; i < kShapingChannels; ++i) {
    vInitShape(i, {0.0, kShapingOffFrequency, 0.004});
    strLocalVar[i].endFlag = 0;
  }
}

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
    ResetShapers();
    CycleRig::TearDown();
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
// was prepared while the joint move ran, with input shaping on or off
// (without a corner blend the arc starts once the shaped line has ended).
TEST_F(TrueMotionProgram, ALineStartedInsideAJointMovesOverlapKeepsItsProfile) {
  struct Case {
    const char* name;
    bool preparedAhead;  // all three pre-processed before execution starts
    bool shaping;
  };
  const Case cases[] = {{"blend prepared while the joint move runs", true, false},
                        {"third move arrives too late to prepare the blend", false, false},
                        {"prepared, input shaping on", true, true},
                        {"too late, input shaping on", false, true}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TearDown();
    SetUp();
    if (k.shaping) {
      block.inputShapingFreq = 8;
      Reload();
    }
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

// A parameter load while a joint move runs, with the line and arc after it
// already prepared for their corner blend; the queue is then cleared and a
// new program started. Its line starts inside its joint move's overlap with
// no blend prepared for it (its arc arrives too late): the line runs on its
// own profile, not on the remainder prepared for the dropped one.
TEST_F(TrueMotionProgram, ANewProgramDoesNotTakeTheBlendPreparedForADroppedOne) {
  FixedCore fixed;
  MovingProgram program(*sim, fixed);
  program.Enable();
  program.Post(Built([](PluginBase& c) { return c.alloc_SetArmOrientation(1, 0); }));
  program.Post(Built([](PluginBase& c) { return c.alloc_SetTransitionCmd(50, false); }));
  const auto arcTo = [](const JointTheta& via, const JointTheta& end) {
    const WCSPosition m = PoseOf(via);
    const WCSPosition e = PoseOf(end);
    const tagARCCmd arc{{static_cast<float>(m.x), static_cast<float>(m.y), static_cast<float>(m.z),
                         static_cast<float>(m.r)},
                        {static_cast<float>(e.x), static_cast<float>(e.y), static_cast<float>(e.z),
                         static_cast<float>(e.r)}};
    return Built([&](PluginBase& c) { return c.alloc_SetARCCmd(&arc, 1); });
  };
  const auto jointTo = [](const JointTheta& j) {
    const WCSPosition p = PoseOf(j);
    return PtpPacket(1, static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z),
                     static_cast<float>(p.r));
  };
  program.StartQueue();
  // A first joint move runs while the three after it are pre-processed.
  program.Post(jointTo({15.0, 75.0, 85.0, 5.0}));
  program.Post(jointTo({20.0, 70.0, 80.0, 10.0}));
  program.Post(Line(PoseOf({-10.0, 100.0, 120.0, -20.0})));
  program.Post(arcTo({5.0, 95.0, 110.0, 0.0}, {0.0, 90.0, 100.0, 0.0}));
  program.Cycle(3);
  const std::uint64_t first = gPreDealData.queuedCmdIndex;
  for (int i = 0; i < 1000 && gPreDealData.queuedCmdIndex == first; ++i) program.Cycle();
  program.Cycle(5);
  ASSERT_EQ(gPreDealData.queuedCmdIndex, first + 1);
  ASSERT_EQ(gPreDealData.motionType, 1u) << "the second joint move runs";

  Reload();
  program.Post(Built([](PluginBase& c) { return c.alloc_SetQueuedCmdStopExec(); }));
  program.Post(Built([](PluginBase& c) { return c.alloc_SetQueuedCmdClear(); }));
  program.Enable();
  program.StartQueue();
  program.Post(jointTo({10.0, 80.0, 90.0, 0.0}));
  program.Post(Line(PoseOf({-5.0, 95.0, 110.0, -10.0})));
  program.Cycle(20);
  const JointTheta end{5.0, 90.0, 100.0, 0.0};
  program.Post(arcTo({0.0, 100.0, 115.0, 0.0}, end));
  EXPECT_TRUE(RunsWithoutAlarm(program, fixed, 3000));
  ExpectAt(PoseOf(end));
}

// The program of joint, linear, arc and full-circle moves with transition 50
// and a speed-ratio change in its middle, with input shaping on and corner
// blends (true motion), alone and with the dynamic speed optimisation: it
// runs round after round without an alarm, and no cycle's set point moves a
// joint further than its motor's over-speed limit allows.
class ShapedBlendedProgram : public CycleRig, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    CycleRig::SetUp();
    block.inputShapingFreq = 8;
    block.inputShapingDamp = 0.1;
    block.usingTrueMotion = 1;
    block.dynamicOptimal = GetParam() ? 1 : 0;
    Start();
    blendSeg.reset();
  }
  void TearDown() override {
    blendSeg.reset();
    ResetShapers();
    CycleRig::TearDown();
  }
  static tagARCPoint Point(const JointTheta& joints) {
    const WCSPosition p = PoseOf(joints);
    return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z), static_cast<float>(p.r)};
  }
  static void PostRound(MovingProgram& program, bool slow) {
    const WCSPosition a = PoseOf({20.0, 70.0, 80.0, 10.0});
    const WCSPosition b = PoseOf({-10.0, 100.0, 120.0, -20.0});
    const tagARCCmd arc{Point({5.0, 95.0, 110.0, 0.0}), Point({0.0, 90.0, 100.0, 0.0})};
    const tagCircleCmd circle{Point({10.0, 80.0, 100.0, 0.0}), Point({-5.0, 85.0, 100.0, 0.0}), 1};
    program.Post(PtpPacket(1, static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z),
                           static_cast<float>(a.r)));
    program.Post(Line(b));
    program.Post(Built([&](PluginBase& c) { return c.alloc_SetSpeedFactorParams(slow ? 60 : 100, false); }));
    program.Post(Built([&](PluginBase& c) { return c.alloc_SetARCCmd(&arc, 1); }));
    program.Post(Built([&](PluginBase& c) { return c.alloc_SetCircleCmd(&circle, 1); }));
  }
};

TEST_P(ShapedBlendedProgram, RunsRoundAfterRoundWithoutAJump) {
  FixedCore fixed;
  MovingProgram program(*sim, fixed);
  program.Enable();
  program.Post(Built([](PluginBase& c) { return c.alloc_SetArmOrientation(1, 0); }));
  program.Post(Built([](PluginBase& c) { return c.alloc_SetTransitionCmd(50, false); }));
  program.StartQueue();
  // The largest set-point step each joint's motor allows in one cycle. A
  // jump shows as a step that differs from the one before by a good part of it.
  double allowed[4];
  for (int j = 0; j < 4; ++j) allowed[j] = gAxisSpeedOver[j] / MotorRpm(j, 1.0);
  double largestStep[4] = {};
  double largestChange[4] = {};
  double previous[4];
  double step[4] = {};
  for (int j = 0; j < 4; ++j) previous[j] = joint(j).m_NewSetValues.m_Position;
  bool blended = false;
  bool slow = false;
  int rounds = 0;
  for (int i = 0; i < 8000; ++i) {
    // More of the program whenever the queue runs low, as the benchmark feeds it.
    if (gPackedCmdQueue.count < 2 && fixed.pending() == 0) {
      if (gSysParams.runQueuedCmd == 0) {
        program.Post(Built([](PluginBase& c) { return c.alloc_SetQueuedCmdStartExec(); }));
      }
      PostRound(program, slow);
      slow = !slow;
      ++rounds;
    }
    program.Cycle();
    blended = blended || blendSeg.getPathLen() > 0.0;
    ASSERT_EQ(FirstAlarm(), -1) << "at cycle " << i;
    for (int j = 0; j < 4; ++j) {
      const double now = joint(j).m_NewSetValues.m_Position;
      const double change = (now - previous[j]) - step[j];
      step[j] = now - previous[j];
      previous[j] = now;
      largestStep[j] = std::max(largestStep[j], std::fabs(step[j]));
      if (i > 0) largestChange[j] = std::max(largestChange[j], std::fabs(change));
    }
  }
  EXPECT_GT(rounds, 4) << "the program kept running";
  EXPECT_TRUE(blended) << "a corner blend was built";
  for (int j = 0; j < 4; ++j) {
    EXPECT_LT(largestStep[j], allowed[j]) << "joint " << j + 1;
    EXPECT_LT(largestChange[j], allowed[j] / 4) << "joint " << j + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(DynamicOptimal, ShapedBlendedProgram, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("On") : std::string("Off");
                         });

}  // namespace
}  // namespace zelor::test
