// Collision detection in the stage: arming after 0.5 s of enable in profile
// mode 4, the thresholds, the collision word, the pause flag, and the action
// by control type.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dynamics_stage_fixture.h"

using namespace zelor::test;

namespace {

class Collision : public DynamicsStage {
 protected:
  void SetUp() override {
    DynamicsStage::SetUp();
    robotAxesGroup = &axes;
    gIsCollisionDect = 1;
    gRobotEnableFlag = 1;
    gRobotPrfMode = kPrfExecute;
    SetThresholds(2.0f, 2.0f, 2.0f, 2.0f);
    // The arm at rest holding its model torques, as a drive would report them:
    // only joint 3 carries a load at rest.
    SetFeedback(2, 0.0, 0.0, DriveTorque(2, 49.0));
  }

  // Runs `n` cycles; the calls (1-based, from the first call of the test)
  // after which the collision word was set. The word is cleared before each
  // call, as the data server clears it.
  std::vector<int> run(int n) {
    std::vector<int> hits;
    for (int i = 0; i < n; ++i) {
      ++calls_;
      axes.m_CollisionWord = 0;
      Dynamics(true);
      if (axes.m_CollisionWord != 0) {
        hits.push_back(calls_);
        words.push_back(axes.m_CollisionWord);
      }
    }
    return hits;
  }

  AxesGroupRef axes{};
  std::vector<std::uint32_t> words;

 private:
  int calls_ = 0;
};

TEST_F(Collision, ExternalTorqueOnJointOneIsFlaggedFromCall138) {
  SetFeedback(0, 0.0, 0.0, 5000.0);  // 5 N·m beyond the model
  const std::vector<int> before = run(137);
  EXPECT_TRUE(before.empty()) << "first collision at call " << before.front();
  EXPECT_EQ(gCollisionPause, 0);
  const std::vector<int> after = run(20);
  ASSERT_EQ(after.size(), 20u);
  EXPECT_EQ(after.front(), 138);
  for (std::uint32_t w : words) EXPECT_EQ(w, 1u);
  EXPECT_EQ(gCollisionPause, 1);
  // Control type 0: no pause and no jog stop.
  EXPECT_EQ(logCount("collision - Pause \r\n"), 0);
  EXPECT_EQ(logCount("collision - stop jog \r\n"), 0);
}

TEST_F(Collision, WordIsNeverClearedByTheStage) {
  SetFeedback(0, 0.0, 0.0, 5000.0);
  for (int i = 0; i < 140; ++i) Dynamics(true);
  ASSERT_EQ(axes.m_CollisionWord, 1u);
  SetFeedback(0, 0.0, 0.0, 0.0);
  for (int i = 0; i < 200; ++i) Dynamics(true);
  EXPECT_EQ(axes.m_CollisionWord, 1u);
}

TEST_F(Collision, ArmedOnlyWhenDetectionEnableAndExecutionHold) {
  struct Case {
    const char* name;
    std::uint8_t detection;
    std::uint8_t prfMode;
  };
  const Case cases[] = {{"detection off", 0, kPrfExecute}, {"jogging", 1, kPrfJogJoint}, {"idle", 1, kPrfIdle},
                        {"stopping", 1, kPrfStop}};
  SetFeedback(0, 0.0, 0.0, 40000.0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gIsCollisionDect = c.detection;
    gRobotPrfMode = c.prfMode;
    EXPECT_TRUE(run(400).empty());
    EXPECT_EQ(gCollisionPause, 0);
  }
  // Enabled for long enough already: the first executing cycle is armed and,
  // starting from the observer reset in every cycle before, sees 40 N·m as
  // 1.6 and then 3.136.
  gIsCollisionDect = 1;
  gRobotPrfMode = kPrfExecute;
  const std::vector<int> hits = run(10);
  ASSERT_FALSE(hits.empty());
  EXPECT_EQ(hits.front(), 1602);
}

TEST_F(Collision, DriveDisableRestartsTheDelay) {
  SetFeedback(0, 0.0, 0.0, 5000.0);
  EXPECT_TRUE(run(100).empty());
  gRobotEnableFlag = 0;
  EXPECT_TRUE(run(1).empty());
  gRobotEnableFlag = 1;
  // Armed again at the 126th enabled call (call 227), flagged 12 cycles later.
  const std::vector<int> hits = run(200);
  ASSERT_FALSE(hits.empty());
  EXPECT_EQ(hits.front(), 239);

  // Once armed, a drop of the drives disarms at once.
  gRobotEnableFlag = 0;
  EXPECT_TRUE(run(50).empty());
}

TEST_F(Collision, JointFourCollidesOnlyWithANegativeThreshold) {
  SetFeedback(3, 0.0, 0.0, 1e7);  // joint 4 is not observed
  struct Case {
    float threshold;
    bool collides;
  };
  const Case cases[] = {{2.0f, false}, {0.0f, false}, {-0.001f, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.threshold);
    SetThresholds(1e30f, 1e30f, 1e30f, c.threshold);
    words.clear();
    const std::vector<int> hits = run(300);
    if (!c.collides) {
      EXPECT_TRUE(hits.empty());
    } else {
      // Every armed cycle.
      EXPECT_EQ(hits.size(), 300u);
      for (std::uint32_t w : words) EXPECT_EQ(w, 8u);
    }
  }
}

TEST_F(Collision, PauseOrJogStopByControlType) {
  struct Case {
    std::uint32_t controlType;
    int pauses;
    int jogStops;
  };
  const Case cases[] = {{1, 1, 0}, {2, 0, 1}, {3, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.controlType);
    // Each control type from a fresh enable: one disabled cycle, then the
    // collision comes at the 138th call as above.
    SetFeedback(0, 0.0, 0.0, 5000.0);
    gRobotEnableFlag = 0;
    ASSERT_TRUE(run(1).empty());
    gRobotEnableFlag = 1;
    core.logs.clear();
    gSysParams.controlType = c.controlType;
    gTeachMode = 5;
    gCollisionPause = 0;
    const std::vector<int> hits = run(138);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(gCollisionPause, 1);
    EXPECT_EQ(logCount("collision - Pause \r\n"), c.pauses);
    EXPECT_EQ(logCount("Command OnQueuedCmdStopExec\n"), c.pauses) << "the ordinary pause ran";
    EXPECT_EQ(logCount("collision - stop jog \r\n"), c.jogStops);
    EXPECT_EQ(gTeachMode, c.jogStops == 1 ? 0 : 5);
  }
}

// A collision on joint 2 lasting several cycles: the word (2) and the pause in
// every one of them.
TEST_F(Collision, EveryCollisionCycleWritesTheWordAndPauses) {
  gSysParams.controlType = 1;
  EXPECT_TRUE(run(130).empty());
  SetFeedback(1, 0.0, 0.0, 8000.0);
  const std::vector<int> hits = run(40);
  SetFeedback(1, 0.0, 0.0, 0.0);
  const std::vector<int> tail = run(200);
  const int cyclesColliding = static_cast<int>(hits.size() + tail.size());
  ASSERT_GE(cyclesColliding, 10);
  for (std::uint32_t w : words) EXPECT_EQ(w, 2u);
  EXPECT_EQ(logCount("collision - Pause \r\n"), cyclesColliding);
  EXPECT_EQ(logCount("Command OnQueuedCmdStopExec\n"), cyclesColliding);
}

TEST_F(Collision, WithoutAnAxesGroupNothingIsWrittenButThePauseFlag) {
  robotAxesGroup = nullptr;
  SetFeedback(0, 0.0, 0.0, 5000.0);
  for (int i = 0; i < 150; ++i) Dynamics(true);
  EXPECT_EQ(axes.m_CollisionWord, 0u);
  EXPECT_EQ(gCollisionPause, 1);
}

}  // namespace
