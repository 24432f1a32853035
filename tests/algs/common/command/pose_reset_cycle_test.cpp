// The pose reset command on the simulated drives: the cycle's reset activity
// hands joint 2 the home value the command took.
#include <gtest/gtest.h>

#include <cstring>

#include "common/protocol/command_records.h"
#include "support/cycle_rig.h"

namespace {

using namespace zelor::test;

class PoseResetCycle : public CycleRig {};

TEST_F(PoseResetCycle, ResetRunsWithTheHomeValueItTook) {
  Start();
  Enable();
  const double j2 = joint(1).m_ActPosition;
  struct Case {
    const char* what;
    tagResetPose request;
    double home;
  };
  const Case cases[] = {
      {"flag 1", {1, 10.0f, 20.0f}, j2 - 15.0},
      {"flag 0 keeps the value taken before", {0, 100.0f, 100.0f}, j2 - 15.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    joint(1).m_HomePosition = -1.0;
    core.post(makePacket(11, 0x01, &c.request, sizeof c.request));
    Cycle();
    ASSERT_FALSE(core.replies.empty());
    EXPECT_EQ(core.replies.back().length, 2);
    EXPECT_DOUBLE_EQ(joint(1).m_HomePosition, c.home);
    EXPECT_EQ(gRobotPrfMode, kPrfPoseReset);
    // The drive reports the reset done; the activity ends.
    for (int i = 0; i < 100 && gRobotPrfMode == kPrfPoseReset; ++i) Cycle();
    EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  }
}

}  // namespace
