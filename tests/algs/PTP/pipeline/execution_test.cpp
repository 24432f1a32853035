// Execution of entries: instant entries, waits, triggers, outputs, frame
// changes in queue order, the queue index and the look-ahead search.
#include <cstring>
#include <vector>

#include "PTP/pipeline/look_ahead.h"
#include "PTP/pipeline/pipeline_fixture.h"

namespace zelor::test {
namespace {

using ExecutionTest = QueuedPipeline;

TEST_F(ExecutionTest, FortyOneInstantEntriesRunPerCall) {
  for (int i = 0; i < 50; ++i) push(group(1, {{static_cast<std::uint32_t>(i + 1), 1, 1}}));
  cycle();
  EXPECT_EQ(plannedCount(), 9u) << "41 of 50 executed in the first call";
  EXPECT_EQ(gPhyDOs[40], 1);
  EXPECT_EQ(gPhyDOs[41], 0);
  cycle();
  EXPECT_EQ(plannedCount(), 0u);
  EXPECT_EQ(gPhyDOs[49], 1);
}

TEST_F(ExecutionTest, AWaitFinishesOnceItsTimeHasPassedInSystemTicks) {
  wait(100);
  ASSERT_TRUE(cycleUntil([] { return gPreDealData.type == kPackedWait; }, 5));
  const std::uint32_t started = gSystick - 1;
  EXPECT_EQ(gRobotPrfMode, kPrfWait);
  ASSERT_TRUE(cycleUntil([] { return gCmdFinishFlag != 0; }, 100));
  EXPECT_EQ(gSystick - 1 - started, 25u) << "100 ms are 25 ticks of 4 ms";
}

TEST_F(ExecutionTest, ATriggerFinishesInTheCycleItsInputHasTheValue) {
  struct Case {
    const char* name;
    std::uint8_t input;  // value before the trigger starts
    int setAtCycle;      // cycle after which the input gets the value, 0 never
    int finishedAtCycle;
  };
  const Case cases[] = {
      {"the input already has the value", 1, 0, 1},
      {"the value comes later", 0, 3, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    core.logs.clear();
    gPhyDIs[7] = c.input;
    trig(7, 1);
    int finished = 0;
    for (int n = 1; n <= 6 && finished == 0; ++n) {
      cycle();
      EXPECT_EQ(gRobotPrfMode, kPrfTrig);
      if (gCmdFinishFlag != 0) finished = n;
      if (n == c.setAtCycle) gPhyDIs[7] = 1;
    }
    EXPECT_EQ(finished, c.finishedAtCycle);
  }
}

TEST_F(ExecutionTest, OutputsWriteOnlyInsideTheImage) {
  struct Case {
    const char* name;
    PackedBaseCmd cmd;
    std::vector<int> written;  // bytes of gPhyDOs that become 1
    int skipLines;
  };
  const Case cases[] = {
      {"output index 999 is the last byte", output(999, 1), {999}, 0},
      {"output index 0 is the first byte", output(0, 1), {0}, 0},
      {"output index 1000 is outside", output(1000, 1), {}, 1},
      {"output index 0xffffffff is outside", output(0xffffffffu, 1), {}, 1},
      {"group numbers 1 and 1000", group(2, {{1, 1, 1}, {1000, 1, 1}}), {0, 999}, 0},
      {"group count 500 with numbers 0 and 1001", group(500, {{0, 1, 1}, {1001, 1, 1}, {5, 1, 1}}), {4}, 2},
      {"group entries not marked valid", group(3, {{2, 1, 0}, {3, 1, 1}, {4, 1, 0}}), {2}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    core.logs.clear();
    push(c.cmd);
    push(output(500, 1));  // the queue moves on past the entry
    cycle();
    cycle();
    std::vector<int> written;
    for (int i = 0; i < kDigitalImageSize; ++i) {
      if (gPhyDOs[i] != 0 && i != 500) written.push_back(i);
    }
    EXPECT_EQ(written, c.written);
    EXPECT_EQ(gPhyDOs[500], 1) << "the next entry ran";
    const int skips = logCountStartingWith("PreDealDataRunning PackedIODOCmdType: index") +
                      logCountStartingWith("PreDealDataRunning PackedGroupIODOCmdType: output");
    EXPECT_EQ(skips, c.skipLines);
  }
}

TEST_F(ExecutionTest, FrameChangesTakeEffectBetweenTheMovesAroundThem) {
  const std::uint64_t first = move(4, 10, 60, -20, 0);
  push(frame(kPackedToolParams, 10, 0, 0, 0));
  push(frame(kPackedLocalParams, 0, 0, 0, 30));
  const std::uint64_t second = move(4, 20, 60, -20, 0);
  int cycles = 0;
  while (cycles < 5000 && gPreDealData.queuedCmdIndex != second) {
    cycle();
    ++cycles;
    if (gPreDealData.queuedCmdIndex == first) {
      EXPECT_EQ(gToolParams.x, 0.0f) << "tool changed while the first move runs, cycle " << cycles;
      EXPECT_EQ(gLocalParams.r, 0.0f);
    }
  }
  ASSERT_EQ(gPreDealData.queuedCmdIndex, second);
  EXPECT_EQ(gToolParams.x, 10.0f) << "in force from the cycle the second move starts";
  EXPECT_EQ(gLocalParams.r, 30.0f);
}

TEST_F(ExecutionTest, QueueIndexIsOneLessWhileAnEntryRunsAndItsOwnOnceFinished) {
  const std::uint64_t index = move(4, 10, 60, -20, 0);
  ASSERT_EQ(index, 2u);
  cycle();
  EXPECT_EQ(gQueuedCmdCurrentIndex, 1u);
  ASSERT_TRUE(cycleUntil([] { return gCmdFinishFlag != 0; }, 5000));
  EXPECT_EQ(gQueuedCmdCurrentIndex, 1u) << "recomputed in the next call";
  cycle();
  EXPECT_EQ(gQueuedCmdCurrentIndex, 2u);
  EXPECT_EQ(gPreDealData.waitingForNext, 1);
}

// Hand-built entries for the look-ahead.
PreDealData Entry(std::uint32_t type, std::uint32_t motionType, std::uint8_t transition = 50) {
  PreDealData e{};
  e.type = type;
  e.motionType = motionType;
  e.transition = transition;
  return e;
}

TEST_F(ExecutionTest, LookAheadFindsTheNextMotionInTheSameFrames) {
  struct Case {
    const char* name;
    PreDealData cur;
    std::vector<PreDealData> ring;
    int expected;  // ring position, -1 none
  };
  PreDealData otherTool = Entry(2, 2);
  otherTool.toolParams.x = 0.001f;
  PreDealData nearTool = Entry(2, 2);
  nearTool.toolParams.x = 0.000001f;
  PreDealData otherFrame = Entry(2, 2);
  otherFrame.localParams.r = 1.0f;
  PreDealData variable = Entry(2, 2);
  variable.trajPlan.variableSpeed = 1;
  PreDealData otherIndex = Entry(2, 2);
  otherIndex.toolParams.index = 3;
  const Case cases[] = {
      {"two lines", Entry(2, 2), {Entry(2, 2)}, 0},
      {"tool x differs by 0.001", Entry(2, 2), {otherTool}, -1},
      {"tool x differs by 1e-6", Entry(2, 2), {nearTool}, 0},
      {"user frame differs", Entry(2, 2), {otherFrame}, -1},
      {"frame indices are not compared", Entry(2, 2), {otherIndex}, 0},
      {"a variable-speed successor", Entry(2, 2), {variable}, -1},
      {"a joint move with transition 0", Entry(2, 1, 0), {Entry(2, 1)}, -1},
      {"a jump never blends", Entry(2, 0), {Entry(2, 2)}, -1},
      {"a wait between", Entry(2, 2), {Entry(6, 0), Entry(2, 2)}, -1},
      {"a trigger between", Entry(2, 2), {Entry(7, 0), Entry(2, 2)}, -1},
      {"an output between", Entry(2, 2), {Entry(8, 0), Entry(2, 2)}, -1},
      {"a group of outputs is passed over", Entry(2, 2), {Entry(17, 0), Entry(4, 10)}, 1},
      {"a jump after", Entry(2, 2), {Entry(2, 0)}, -1},
      {"a circle after an arc", Entry(4, 10), {Entry(5, 11)}, 0},
      {"a joint move of mode 4 after a circle", Entry(5, 11), {Entry(2, 4)}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RingBufferClear(&gPreDealDataQueue);
    for (const PreDealData& e : c.ring) RingBufferEnqueue(&gPreDealDataQueue, &e);
    gPreDealData = c.cur;
    SerchNextMotionCmd(&gPreDealDataQueue);
    EXPECT_EQ(gpNextPreDealData, c.expected < 0 ? nullptr : &planned(static_cast<std::uint32_t>(c.expected)));
  }
  // Paused: nothing.
  RingBufferClear(&gPreDealDataQueue);
  const PreDealData next = Entry(2, 2);
  RingBufferEnqueue(&gPreDealDataQueue, &next);
  gPreDealData = Entry(2, 2);
  gPauseCmdFlag = 1;
  SerchNextMotionCmd(&gPreDealDataQueue);
  EXPECT_EQ(gpNextPreDealData, nullptr);
}

TEST_F(ExecutionTest, ThirdMotionSearchAcceptsOnlyJointAndLinearModes) {
  struct Case {
    const char* name;
    PreDealData cur;
    std::vector<PreDealData> ring;
    int next;
    int third;
  };
  PreDealData otherTool = Entry(2, 2);
  otherTool.toolParams.x = 1.0f;
  const Case cases[] = {
      {"joint, line, line", Entry(2, 1), {Entry(2, 2), Entry(2, 2)}, 0, 1},
      {"circle, line, arc", Entry(5, 11), {Entry(2, 2), Entry(4, 10)}, 0, 1},
      {"joint, line, output, line", Entry(2, 1), {Entry(2, 2), Entry(8, 0), Entry(2, 2)}, 0, -1},
      {"joint, line, line in another tool", Entry(2, 1), {Entry(2, 2), otherTool}, 0, -1},
      {"joint, mode-4 move", Entry(2, 1), {Entry(2, 4), Entry(2, 2)}, -1, -1},
      {"mode-4 move first", Entry(2, 4), {Entry(2, 2), Entry(2, 2)}, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RingBufferClear(&gPreDealDataQueue);
    for (const PreDealData& e : c.ring) RingBufferEnqueue(&gPreDealDataQueue, &e);
    gPreDealData = c.cur;
    SerchThirdMotionCmd(&gPreDealDataQueue);
    EXPECT_EQ(gpNextPreDealData, c.next < 0 ? nullptr : &planned(static_cast<std::uint32_t>(c.next)));
    EXPECT_EQ(gpThirdPreDealData, c.third < 0 ? nullptr : &planned(static_cast<std::uint32_t>(c.third)));
  }
}

TEST_F(ExecutionTest, StoppedQueueTakesNothingAndDropsTheLookAhead) {
  move(4, 10, 60, -20, 0);
  gSysParams.runQueuedCmd = 0;
  cycle();
  EXPECT_EQ(gpNextPreDealData, nullptr);
  EXPECT_TRUE(logged("PreDealDataRunning  runQueuedCmd==false, return！   \r\n"));
  EXPECT_EQ(packedCount(), 1u);
}

}  // namespace
}  // namespace zelor::test
