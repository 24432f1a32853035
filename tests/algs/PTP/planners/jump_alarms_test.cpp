// Jumps that cannot be made: each raises one alarm, drops the command and
// leaves the set point where it was.
#include <cstring>
#include <functional>
#include <string>

#include "jump_fixture.h"

namespace {

using zelor::test::JumpAlarmCount;
using zelor::test::JumpMoves;
using zelor::test::Joints;
using zelor::test::JumpSetPoint;

struct AlarmRow {
  const char* name;
  std::function<void()> setUp;
  std::uint8_t mode;
  Joints target;
  unsigned alarm;
  const char* line;  // logged line, or null
};

TEST_F(JumpMoves, EachRefusalRaisesOneAlarmAndDoesNotMove) {
  const Joints reachable = {40, 30, -60, 20};
  const AlarmRow rows[] = {
      {"present joint 3 0.3 above zLimit", [] { startAt({10, 60, 50.3, 0}); }, 3, reachable,
       21, "jump 1\xEF\xBC\x9A" "50.30000000 zLimit 50.00000000\r\n"},
      {"target joint 3 above zLimit", [] {}, 3, {40, 30, 60, 20}, 21,
       "jump 2\xEF\xBC\x9A" "60.00000000 zLimit 50.00000000\r\n"},
      {"negative start height", [this] { setHeights(-1, 20, 50); }, 3,
       reachable, 21, "jump 3\xEF\xBC\x9A" "startJumpHeight: -1.00000000 endJumpHeight: 20.00000000\r\n"},
      {"negative end height", [this] { setHeights(20, -0.5, 50); }, 3,
       reachable, 21, "jump 3\xEF\xBC\x9A" "200.00000000 -200.00000000 zLimit: 50.00000000\r\n"},
      {"zLimit above joint 3's maximum", [this] { setHeights(20, 20, 250); },
       3, reachable, 21, "jump 3\xEF\xBC\x9A" "200.00000000 -200.00000000 zLimit: 250.00000000\r\n"},
      {"conveyor synchronisation", [] { gSysParams.refSysFlag = 1; }, 3, reachable, 107, nullptr},
      {"present joint outside the soft limits", [] { startAt({175, 60, -20, 0}); }, 3,
       reachable, 18, nullptr},
      {"joint target outside the soft limits", [] {}, 3, {171, 30, -60, 20}, 18, nullptr},
      {"pose out of reach", [] {}, 0, {500, 0, -20, 0}, 17, nullptr},
      {"pose beyond joint 3's travel", [] {}, 0, {250, 100, -300, 0}, 18, nullptr},
      {"speed factor 0", [] { gSysParams.speedFactorRatio = 0.0f; }, 3, reachable, 26, nullptr},
  };
  for (const AlarmRow& row : rows) {
    SCOPED_TRACE(row.name);
    TearDown();
    SetUp();
    core.logs.clear();
    row.setUp();
    const Joints before = JumpSetPoint();
    EXPECT_FALSE(planJump(row.mode, row.target)) << "the command is dropped";
    EXPECT_EQ(JumpAlarmCount(), 1) << "exactly one alarm";
    EXPECT_TRUE(AlarmIsSet(row.alarm)) << "alarm " << row.alarm;
    EXPECT_EQ(gCmdFinishFlag, 1);
    const std::uint32_t planned = gPreDealDataQueue.count;
    EXPECT_EQ(planned, 0u) << "nothing planned";
    if (row.line != nullptr) {
      EXPECT_TRUE(logged(row.line)) << "logged " << row.line;
    }
    EXPECT_EQ(JumpSetPoint(), before) << "nothing moves";
  }
}

TEST_F(JumpMoves, TheFirstHeightLineIsExact) {
  startAt({10, 60, 50.25, 0});
  EXPECT_FALSE(planJump(3, {40, 30, -60, 20}));
  EXPECT_TRUE(logged("jump 1\xEF\xBC\x9A" "50.25000000 zLimit 50.00000000\r\n"));
  EXPECT_FALSE(logged("jump 2\xEF\xBC\x9A" "-60.00000000 zLimit 50.00000000\r\n"));
}

// The speed-change re-plan lets joint 3 stand up to 0.5 above zLimit.
TEST_F(JumpMoves, SpeedChangeAcceptsJointThreeSlightlyAboveTheLimit) {
  struct Row {
    double above;
    bool accepted;
  };
  for (const Row& row : {Row{0.3, true}, Row{0.6, false}}) {
    SCOPED_TRACE("above by " + std::to_string(row.above));
    zelor::test::ResetQueuedMoveState();
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
    startAt({10, 60, 50, 0});
    ASSERT_TRUE(planJump(3, {40, 30, -60, 20}));
    zelor::test::EntryRunner runner(&zelor::test::JumpRunStep);
    for (int k = 0; k < 5; ++k) ASSERT_TRUE(runner.Cycle());
    gPreDealPos.joint = {gRobotAxisMove.nextPos[0], gRobotAxisMove.nextPos[1], 50.0 + row.above,
                         gRobotAxisMove.nextPos[3]};
    gCmdFinishFlag = 0;
    JUMPNewPlan(&gPreDealData.packedCmd, &gPreDealData);
    EXPECT_EQ(JumpAlarmCount(), row.accepted ? 0 : 1);
    EXPECT_EQ(AlarmIsSet(21), !row.accepted);
    EXPECT_EQ(gCmdFinishFlag, row.accepted ? 0 : 1);
  }
}

}  // namespace
