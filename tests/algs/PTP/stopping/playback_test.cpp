// The playback: dispatch by motion type, the pause turned into a stop or
// dropped by class, phase, blend and source, and the excitation entries.
#include <cmath>
#include <functional>
#include <string>

#include "Dynamics/excitation.h"
#include "PTP/planners/excit_pre_deal.h"
#include "stop_fixture.h"

namespace zelor::test {
namespace {

enum class Outcome { kSmoothStop, kPathStop, kDropped, kWaits };

const char* const kPauseLines[] = {
    "MOVJ pause stop \r\n",      "MOVL trans pause stop \r\n", "MOVC trans pause stop \r\n",
    "MOVL main pause stop \r\n", "MOVC main pause stop \r\n",  "pause stop:gPeriodCount1 > 0  \r\n",
};

class Playback : public Stops {
 public:
  // Entries of each class, planned by the real planners.
  void PlanJointMove() {
    StandAt({10, 60, -20, 0});
    ASSERT_TRUE(PlanPTP(4, {40, 30, -20, 10}));
  }
  void PlanJump() {
    StandAt({10, 60, -20, 0});
    ASSERT_TRUE(PlanPTP(3, {40, 30, -30, 10}));
  }
  void PlanLine(std::uint8_t mode) {
    StandAtPose({300, 0, -50, 0});
    if (mode == 5) {
      JointTheta q{};
      const tagToolParams tool{};
      const WCSPosition end{300, 120, -50, 0};
      ASSERT_EQ(InverseCalBase(&end, true, &q, kCheckSingularity, &tool), kKinOk);
      ASSERT_TRUE(PlanPTP(5, {q.j1, q.j2, q.j3, q.j4}));
    } else {
      ASSERT_TRUE(PlanPTP(2, {300, 120, -50, 0}));
    }
  }
  void PlanArcMove() {
    StandAtPose({300, 0, -50, 0});
    ASSERT_TRUE(PlanArc({250, 50, -50, 0}, {200, 0, -50, 0}));
  }
  void PlanCircleMove() {
    StandAtPose({300, 0, -50, 0});
    ASSERT_TRUE(PlanCircle({250, 50, -50, 0}, {200, 0, -50, 0}, 1));
  }

 protected:
  // First cycle count that lies in the entry's last phase once the run phase
  // has counted it.
  static std::uint32_t FinalPhaseCount() {
    const TrajPlanData& p = gPreDealData.trajPlan;
    return static_cast<std::uint32_t>(std::ceil((p.tTotal - p.tAcc) / gPeriodTime)) + 1;
  }
};

TEST_F(Playback, APauseBecomesTheStopOfItsClassOrIsDropped) {
  struct Case {
    const char* name;
    std::function<void(Playback*)> plan;
    bool collision;
    bool blend;
    bool finalPhase;
    bool trueMotion;
    Outcome outcome;
    const char* log;  // null: no pause line
  };
  auto joint = [](Playback* p) { p->PlanJointMove(); };
  auto jump = [](Playback* p) { p->PlanJump(); };
  auto line = [](Playback* p) { p->PlanLine(2); };
  auto line5 = [](Playback* p) { p->PlanLine(5); };
  auto arc = [](Playback* p) { p->PlanArcMove(); };
  auto circle = [](Playback* p) { p->PlanCircleMove(); };
  const Case cases[] = {
      {"joint move", joint, false, false, false, false, Outcome::kSmoothStop, "MOVJ pause stop \r\n"},
      {"joint move, final phase", joint, false, false, true, false, Outcome::kSmoothStop, "MOVJ pause stop \r\n"},
      {"jump", jump, false, false, false, false, Outcome::kSmoothStop, "MOVJ pause stop \r\n"},
      {"joint move blending", joint, false, true, false, false, Outcome::kWaits, nullptr},
      {"line", line, false, false, false, false, Outcome::kPathStop, "MOVL main pause stop \r\n"},
      {"line to joints", line5, false, false, false, false, Outcome::kPathStop, "MOVL main pause stop \r\n"},
      {"line, final phase", line, false, false, true, false, Outcome::kDropped, "MOVL trans pause stop \r\n"},
      {"line, final phase, true motion", line, false, false, true, true, Outcome::kPathStop,
       "MOVL main pause stop \r\n"},
      {"line blending", line, false, true, false, false, Outcome::kWaits, nullptr},
      {"arc", arc, false, false, false, false, Outcome::kPathStop, "MOVC main pause stop \r\n"},
      {"arc, final phase", arc, false, false, true, false, Outcome::kDropped, "MOVC trans pause stop \r\n"},
      {"arc, final phase, true motion", arc, false, false, true, true, Outcome::kPathStop,
       "MOVC main pause stop \r\n"},
      {"circle", circle, false, false, false, false, Outcome::kPathStop, nullptr},
      {"circle, final phase", circle, false, false, true, false, Outcome::kDropped, nullptr},
      {"circle, final phase, true motion", circle, false, false, true, true, Outcome::kDropped, nullptr},
      {"circle blending", circle, false, true, false, false, Outcome::kWaits, nullptr},
      {"collision: joint move", joint, true, false, false, false, Outcome::kSmoothStop, "MOVJ pause stop \r\n"},
      {"collision: joint move blending", joint, true, true, false, false, Outcome::kSmoothStop,
       "pause stop:gPeriodCount1 > 0  \r\n"},
      {"collision: line blending", line, true, true, false, false, Outcome::kSmoothStop,
       "pause stop:gPeriodCount1 > 0  \r\n"},
      {"collision: line, final phase", line, true, false, true, false, Outcome::kPathStop,
       "MOVL main pause stop \r\n"},
      {"collision: arc, final phase", arc, true, false, true, false, Outcome::kPathStop, "MOVC main pause stop \r\n"},
      {"collision: circle, final phase", circle, true, false, true, false, Outcome::kPathStop, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    c.plan(this);
    Execute();
    for (int k = 0; k < 10; ++k) Cycle();
    ASSERT_EQ(gRobotPrfMode, kPrfExecute);
    if (c.finalPhase) {
      gPeriodCount = FinalPhaseCount();
      ASSERT_LT((gPeriodCount + 2) * gPeriodTime, gPreDealData.trajPlan.tTotal) << "the move is still running";
    }
    const std::uint32_t blendCycles = c.blend ? 3 : 0;
    gPeriodCount1 = blendCycles;
    gCollisionPause = c.collision ? 1 : 0;
    gUsingTrueMotion = c.trueMotion ? 1 : 0;
    gPauseCmdFlag = 1;
    core.logs.clear();

    PlayBack(&gPreDealData, nullptr);

    switch (c.outcome) {
      case Outcome::kSmoothStop:
      case Outcome::kPathStop:
        EXPECT_EQ(gRobotPrfMode, kPrfStop);
        EXPECT_EQ(gStopMode, c.outcome == Outcome::kSmoothStop ? kStopSmooth : kStopPath);
        EXPECT_EQ(gStopCmdPlanFlag, 0);
        EXPECT_EQ(gCmdFinishFlag, 1);
        EXPECT_EQ(gSysParams.runQueuedCmd, 0);
        EXPECT_EQ(gPeriodCount, 0u);
        EXPECT_EQ(gPeriodCount1, 0u);
        EXPECT_EQ(gPauseCmdFlag, 1) << "kept for the stop's resume re-plan";
        break;
      case Outcome::kDropped:
        EXPECT_EQ(gRobotPrfMode, kPrfExecute);
        EXPECT_EQ(gPauseCmdFlag, 0);
        EXPECT_EQ(gSysParams.runQueuedCmd, 0);
        EXPECT_EQ(gCmdFinishFlag, 0) << "the move finishes";
        break;
      case Outcome::kWaits:
        EXPECT_EQ(gRobotPrfMode, kPrfExecute);
        EXPECT_EQ(gPauseCmdFlag, 1);
        EXPECT_EQ(gSysParams.runQueuedCmd, 1);
        EXPECT_EQ(gPeriodCount1, blendCycles);
        break;
    }
    for (const char* line : kPauseLines) {
      const bool expected = c.log != nullptr && std::string(c.log) == line;
      EXPECT_EQ(logCount(line), expected ? 1 : 0) << line;
    }
  }
}

TEST_F(Playback, AFinishedEntryRunsNothingAndDropsAPendingPause) {
  for (std::uint8_t pause : {0, 1}) {
    SCOPED_TRACE(int(pause));
    core.logs.clear();
    gPreDealData = PreDealData{};
    gPreDealData.motionType = 1;
    gCmdFinishFlag = 1;
    gPauseCmdFlag = pause;
    gSysParams.runQueuedCmd = 1;
    gRobotPrfMode = kPrfExecute;
    gRobotAxisMove.nextPos[0] = 123.0;
    PlayBack(&gPreDealData, nullptr);
    EXPECT_TRUE(logged("PlayBack  gCmdFinishFlag == true  gPauseCmdFlag:" + std::to_string(pause) +
                       ", return !  \r\n"));
    EXPECT_EQ(gPauseCmdFlag, 0);
    EXPECT_EQ(gSysParams.runQueuedCmd, pause ? 0 : 1);
    EXPECT_EQ(gRobotPrfMode, kPrfExecute) << "nothing stops";
    EXPECT_EQ(gRobotAxisMove.nextPos[0], 123.0);
  }
}

TEST_F(Playback, AnUnknownMotionTypeRaisesItsAlarmAndFinishesTheEntry) {
  gPreDealData = PreDealData{};
  gPreDealData.motionType = 14;
  gCmdFinishFlag = 0;
  gPauseCmdFlag = 1;
  gRobotPrfMode = kPrfExecute;
  PlayBack(&gPreDealData, nullptr);
  EXPECT_TRUE(AlarmIsSet(25));
  EXPECT_TRUE(logged("PlayBack type:14"));
  EXPECT_EQ(gCmdFinishFlag, 1);
  EXPECT_EQ(gRobotPrfMode, kPrfExecute) << "no pause handling after the refusal";
}

TEST_F(Playback, TypeNineRunsNothingButIsPausedLikeAJointMove) {
  gPreDealData = PreDealData{};
  gPreDealData.motionType = 9;
  gCmdFinishFlag = 0;
  gRobotPrfMode = kPrfExecute;
  gRobotAxisMove.nextPos[0] = 5.0;
  PlayBack(&gPreDealData, nullptr);
  EXPECT_EQ(gRobotAxisMove.nextPos[0], 5.0);
  EXPECT_EQ(gCmdFinishFlag, 0);
  gPauseCmdFlag = 1;
  PlayBack(&gPreDealData, nullptr);
  EXPECT_EQ(gStopMode, kStopSmooth);
  EXPECT_TRUE(logged("MOVJ pause stop \r\n"));
}

TEST_F(Playback, ArmExcitationRunsItsOneSecondSegment) {
  PackedBaseCmd cmd{};
  cmd.type = kPackedExcit;
  const tagExcitCmd record{{1, 0, 0, 0, 0, 0}};
  std::memcpy(cmd.body.bytes + offsetof(PackedExcitBody, cmd), &record, sizeof record);
  static PreDealData entry;
  entry = PreDealData{};
  ExcitPreDeal(&cmd, &entry);
  entry.motionType = 12;
  resetQ();
  gPreDealData = entry;
  gCmdFinishFlag = 0;
  gRobotPrfMode = kPrfExecute;
  for (int cycle = 1; cycle <= 250; ++cycle) {
    SCOPED_TRACE(cycle);
    Cycle();
    EXPECT_EQ(gRobotAxisMove.nextPos[2], 100.0);
    EXPECT_EQ(gRobotAxisMove.nextPos[3], 0.0);
    if (cycle == 125) {
      EXPECT_NEAR(gRobotAxisMove.nextPos[0], 28.64788818359375, 1e-4);
    }
    if (cycle < 250) {
      ASSERT_EQ(gCmdFinishFlag, 0);
    }
  }
  EXPECT_NEAR(gRobotAxisMove.nextPos[0], 57.2957763671875, 1e-4);
  EXPECT_EQ(gCmdFinishFlag, 1);
  resetQ();
}

TEST_F(Playback, VerticalExcitationTakesTheThreeValues) {
  PackedBaseCmd cmd{};
  cmd.type = kPackedExcitZ;
  const tagExcitCmdZ record{{20, 0, 0}};
  std::memcpy(cmd.body.bytes + offsetof(PackedExcitZBody, cmd), &record, sizeof record);
  static PreDealData entry;
  entry = PreDealData{};
  ExcitZPreDeal(&cmd, &entry);
  entry.motionType = 13;
  resetQ();
  gPreDealData = entry;
  gCmdFinishFlag = 0;
  gRobotPrfMode = kPrfExecute;
  RunEntry(300);
  EXPECT_EQ(gCmdFinishFlag, 1);
  EXPECT_NEAR(gRobotAxisMove.nextPos[2], 20.0, 1e-4);
  EXPECT_EQ(gRobotAxisMove.nextPos[0], 0.0);
  resetQ();
}

}  // namespace
}  // namespace zelor::test
