// The collision lines on the kernel's information queues (channels 8 and 9):
// once per collision, with the joint, the estimates and the thresholds, while
// the word and the pause repeat in every cycle of the collision.
#include <sys/ipc.h>
#include <sys/msg.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/kernel/algs_logs.h"
#include "dynamics_stage_fixture.h"

using namespace zelor::test;

namespace {

struct LogMessage {
  long type;
  char text[kAlgsLogTextSize];
};

class CollisionLog : public DynamicsStage {
 protected:
  void SetUp() override {
    DynamicsStage::SetUp();
    AlgsLogs::Instance().Open();
    drain();
    lines[0].clear();
    lines[1].clear();
    robotAxesGroup = &axes;
    gIsCollisionDect = 1;
    gRobotEnableFlag = 1;
    gRobotPrfMode = kPrfExecute;
    SetThresholds(2.0f, 2.0f, 2.0f, 2.0f);
  }

  // Takes every waiting line of channels 8 and 9.
  void drain() {
    for (int k = 0; k < 2; ++k) {
      const int queue = msgget(ftok("/root/", 8 + k), 0);
      ASSERT_NE(queue, -1);
      LogMessage m;
      while (msgrcv(queue, &m, sizeof m.text, 0, IPC_NOWAIT) >= 0) {
        lines[k].emplace_back(m.text, strnlen(m.text, sizeof m.text));
      }
    }
  }
  // One cycle, the queues read after it; whether the word was set in it.
  bool cycle() {
    axes.m_CollisionWord = 0;
    Dynamics(true);
    drain();
    return axes.m_CollisionWord != 0;
  }
  // Lines of channel k whose text (after the prefix) is `text`.
  int count(int k, const std::string& text) const {
    int n = 0;
    for (const std::string& l : lines[k]) {
      const std::size_t end = l.find("] ");
      if (end != std::string::npos && l.compare(end + 2, std::string::npos, text) == 0) ++n;
    }
    return n;
  }
  std::vector<std::string> withText(int k, const std::string& start) const {
    std::vector<std::string> out;
    for (const std::string& l : lines[k]) {
      const std::size_t end = l.find("] ");
      if (end != std::string::npos && l.compare(end + 2, start.size(), start) == 0) out.push_back(l);
    }
    return out;
  }

  AxesGroupRef axes{};
  std::vector<std::string> lines[2];
};

TEST_F(CollisionLog, JointOneCollisionIsLoggedOnce) {
  SetFeedback(0, 0.0, 0.0, 5000.0);
  int colliding = 0;
  for (int i = 0; i < 200; ++i) colliding += cycle() ? 1 : 0;
  ASSERT_EQ(colliding, 200 - 137);
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(8 + k);
    ASSERT_EQ(lines[k].size(), 3u);
    EXPECT_EQ(lines[k][0].rfind("[INFO][algs/src/Dynamics@Dynamics()#", 0), 0u) << lines[k][0];
    EXPECT_EQ(count(k, "axis[1] collision!\r\n"), 1);
    const std::vector<std::string> tau = withText(k, "tauEx:");
    ASSERT_EQ(tau.size(), 1u);
    // r1 had just passed -2; the others are 0.
    EXPECT_NE(tau[0].find("tauEx:-2.0"), std::string::npos) << tau[0];
    EXPECT_NE(tau[0].find(", 0.000000, 0.000000, 0.000000\r\n"), std::string::npos) << tau[0];
    EXPECT_EQ(count(k, "gTorDiffParams: 2.0000 2.0000 2.0000 2.0000\r\n"), 1);
    EXPECT_LT(lines[k][0].find("axis[1]"), std::string::npos);
  }
}

// A collision on joint 2 under queued program control: its line once, the
// pause's line in every cycle of it.
TEST_F(CollisionLog, LongCollisionOnJointTwoLogsItsLineOnce) {
  gSysParams.controlType = 1;
  for (int i = 0; i < 130; ++i) ASSERT_FALSE(cycle());
  SetFeedback(1, 0.0, 0.0, 8000.0);
  int colliding = 0;
  for (int i = 0; i < 40; ++i) colliding += cycle() ? 1 : 0;
  SetFeedback(1, 0.0, 0.0, 0.0);
  for (int i = 0; i < 200; ++i) colliding += cycle() ? 1 : 0;
  ASSERT_GE(colliding, 10);
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(8 + k);
    EXPECT_EQ(count(k, "axis[2] collision!\r\n"), 1);
    EXPECT_EQ(count(k, "axis[1] collision!\r\n"), 0);
    EXPECT_EQ(withText(k, "tauEx:").size(), 1u);
    EXPECT_EQ(count(k, "Command OnQueuedCmdStopExec\n"), colliding);
  }
  // A second collision after a quiet armed cycle is logged again.
  SetFeedback(0, 0.0, 0.0, 5000.0);
  for (int i = 0; i < 30; ++i) cycle();
  for (int k = 0; k < 2; ++k) EXPECT_EQ(count(k, "axis[1] collision!\r\n"), 1);
}

}  // namespace
