// The intake: the continuous-path wait, the per-call limit, the previous
// motion, failures and frame changes in the look-ahead.
#include <cmath>
#include <cstdio>
#include <vector>

#include "PTP/pipeline/pipeline_fixture.h"

namespace zelor::test {
namespace {

using IntakeTest = QueuedPipeline;

TEST_F(IntakeTest, ALoneBlendingMoveWaitsUpTo300msOrUntilASecondMoveArrives) {
  struct Case {
    const char* name;
    unsigned char transition;
    int secondAtCall;  // 0: no second move
    int takenAtCall;
  };
  const Case cases[] = {
      {"transition 0 goes at once", 0, 0, 1},
      {"transition 50 waits 75 calls", 50, 0, 76},
      {"a second move ends the wait", 50, 10, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    core.logs.clear();
    setTransition(c.transition);
    line(300, 100, -50);
    int taken = 0;
    for (int call = 1; call <= 100 && taken == 0; ++call) {
      if (call == c.secondAtCall) line(250, 100, -50);
      cycle(false);
      if (packedCount() == 0) taken = call;
    }
    EXPECT_EQ(taken, c.takenAtCall);
  }
}

TEST_F(IntakeTest, AtMostTwoCountedEntriesPerCallWhileOutputsPassFreely) {
  // A third move waits for the next call.
  line(300, 100, -50);
  line(250, 100, -50);
  line(250, 50, -50);
  cycle(false);
  EXPECT_EQ(packedCount(), 1u) << "two moves taken in the first call";
  cycle(false);
  EXPECT_EQ(packedCount(), 0u);

  // Outputs between two moves do not count.
  TearDown();
  SetUp();
  line(300, 100, -50);
  for (int i = 0; i < 5; ++i) push(output(10 + i, 1));
  line(250, 100, -50);
  cycle(false);
  EXPECT_EQ(packedCount(), 0u) << "two moves and five outputs in one call";
  EXPECT_EQ(plannedCount(), 6u) << "the first entry is in execution";
}

TEST_F(IntakeTest, LogsEachTakenCommandWithItsIndexMinusOne) {
  const std::uint64_t index = line(300, 100, -50);
  cycle(false);
  char text[128];
  std::snprintf(text, sizeof text, "packedcmd type %d; queuedCmdIndex:%llu \r\n", 2,
                static_cast<unsigned long long>(index - 1));
  EXPECT_EQ(logCount(text), 1);
}

// Ring entries for the search, from the head; the new move follows them.
struct Planned {
  std::uint32_t type;
  std::uint32_t motionType;
};

TEST_F(IntakeTest, PreviousMotionIsTheLastJointOrLinearMoveOrArcNotBehindAWait) {
  struct Case {
    const char* name;
    std::vector<Planned> ring;
    int expected;  // ring position, -1 none
  };
  const Case cases[] = {
      {"a line", {{2, 2}}, 0},
      {"a joint move of mode 1", {{2, 1}}, 0},
      {"a wait between", {{2, 2}, {6, 0}}, -1},
      {"an output between", {{2, 2}, {8, 0}}, 0},
      {"a tool change between", {{2, 1}, {19, 0}}, 0},
      {"a user frame and a group between", {{2, 2}, {18, 0}, {17, 0}}, 0},
      {"a jump", {{2, 2}, {2, 0}}, -1},
      {"a jump of mode 3", {{2, 2}, {2, 3}}, -1},
      {"a joint move of mode 4", {{2, 2}, {2, 4}}, -1},
      {"a joint move of mode 6", {{2, 2}, {2, 6}}, -1},
      {"a joint move of mode 8", {{2, 2}, {2, 8}}, -1},
      {"an arc", {{2, 1}, {4, 10}}, 1},
      {"a circle", {{5, 11}, {8, 0}}, 0},
      {"nothing but outputs", {{8, 0}, {17, 0}}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RingBufferClear(&gPreDealDataQueue);
    for (const Planned& p : c.ring) {
      PreDealData e{};
      e.type = p.type;
      e.motionType = p.motionType;
      RingBufferEnqueue(&gPreDealDataQueue, &e);
    }
    PreDealData* found = nullptr;
    SearchLastMotionPreDealData(&gPreDealDataQueue, &found);
    EXPECT_EQ(found, c.expected < 0 ? nullptr : &planned(static_cast<std::uint32_t>(c.expected)));
  }
}

TEST_F(IntakeTest, InAReplanPassTheSearchStartsBelowTheEntryBeingPlanned) {
  struct Case {
    const char* name;
    std::vector<Planned> ring;
    std::uint32_t startId;
    PreDealData* (*expected)();
  };
  const Case cases[] = {
      {"below position 2", {{2, 2}, {8, 0}, {2, 1}}, 2, [] { return &planned(0); }},
      {"position 0 looks at its own copy", {{4, 10}, {2, 1}}, 0, [] { return &planned(0); }},
      {"an output at position 0 gives the entry in execution", {{8, 0}, {2, 1}}, 1,
       [] { return &gPreDealData; }},
      {"a wait at position 0 gives nothing", {{6, 0}, {2, 1}}, 1, []() -> PreDealData* { return nullptr; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RingBufferClear(&gPreDealDataQueue);
    for (const Planned& p : c.ring) {
      PreDealData e{};
      e.type = p.type;
      e.motionType = p.motionType;
      RingBufferEnqueue(&gPreDealDataQueue, &e);
    }
    gbModifySpeedRatio = 1;
    guiStartID = c.startId;
    PreDealData* found = nullptr;
    SearchLastMotionPreDealData(&gPreDealDataQueue, &found);
    EXPECT_EQ(found, c.expected());
  }
}

TEST_F(IntakeTest, AWaitBetweenTwoMovesMakesTheSecondPlanFromRest) {
  // Through the intake: the second move's look-up of its previous motion
  // decides whether the planner may lower the first's blend time.
  setTransition(50);
  line(300, 100, -50);
  wait(10);
  line(250, 100, -50);
  cycle(false);
  ASSERT_EQ(plannedCount(), 2u);
  const double blendAlone = planned(1).blendTime;
  cycle(false);
  EXPECT_EQ(planned(1).blendTime, blendAlone) << "the entry before the wait is left alone";
}

TEST_F(IntakeTest, UnknownPtpModeRaisesAlarm25AndStopsTheQueue) {
  PackedBaseCmd bad{};
  bad.type = kPackedPTP;
  bad.body.ptp.cmd.ptpMode = 10;
  push(bad);
  cycle(false);
  EXPECT_TRUE(AlarmIsSet(25));
  EXPECT_TRUE(logged("PreDealPTPCmd type:10 \r\n"));
  EXPECT_EQ(gSysParams.runQueuedCmd, 0);
  EXPECT_EQ(plannedCount(), 0u) << "the entry is dropped";
}

TEST_F(IntakeTest, TheFailingCallDropsWhatFollowsUpToTheCountedLimit) {
  PackedBaseCmd bad{};
  bad.type = kPackedPTP;
  bad.body.ptp.cmd.ptpMode = 10;
  push(bad);
  push(output(1, 1));
  line(300, 100, -50);
  push(output(2, 1));
  const std::uint64_t last = line(250, 100, -50);
  cycle(false);
  EXPECT_EQ(packedCount(), 2u) << "the first output and the first move are taken and dropped";
  EXPECT_EQ(plannedCount(), 0u);
  EXPECT_EQ(entryType(0), static_cast<std::uint32_t>(kPackedIODO));
  EXPECT_EQ(entryIndex(1), last);
  cycle(false);
  EXPECT_EQ(packedCount(), 2u) << "nothing is taken once the queue has stopped";
}

TEST_F(IntakeTest, OnlyAlarmsFrom8UpStopTheIntake) {
  AlarmSysSetBit(3, true);
  line(300, 100, -50);
  cycle(false);
  EXPECT_EQ(gSysParams.runQueuedCmd, 1) << "alarm 3 lies in byte 0";
  EXPECT_EQ(packedCount(), 0u);

  AlarmSysSetBit(8, true);
  line(250, 100, -50);
  push(output(3, 1));
  cycle(false);
  EXPECT_EQ(gSysParams.runQueuedCmd, 0);
  EXPECT_EQ(logCount("[ALARM]ID Occur:1\r\n"), 1) << "logged once although two commands were checked";
}

TEST_F(IntakeTest, FrameChangesCarryTheLookAheadPoseIntoTheNewFrame) {
  struct Case {
    const char* name;
    std::uint32_t type;
    float x, y, z, r;
    WCSPosition expected;
  };
  const Case cases[] = {
      {"tool (10, 0, 0, 0)", kPackedToolParams, 10, 0, 0, 0, {310, 0, -50, 0}},
      {"user frame rotated by 90 degrees", kPackedLocalParams, 0, 0, 0, 90, {0, -300, -50, -90}},
      {"user frame moved by (100, 0, 10)", kPackedLocalParams, 100, 0, 10, 0, {200, 0, -60, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    core.logs.clear();
    push(frame(c.type, c.x, c.y, c.z, c.r));
    cycle(false);
    EXPECT_NEAR(gPreDealPos.pose.x, c.expected.x, 1e-3);
    EXPECT_NEAR(gPreDealPos.pose.y, c.expected.y, 1e-3);
    EXPECT_NEAR(gPreDealPos.pose.z, c.expected.z, 1e-3);
    EXPECT_NEAR(gPreDealPos.pose.r, c.expected.r, 1e-3);
  }
}

}  // namespace
}  // namespace zelor::test
