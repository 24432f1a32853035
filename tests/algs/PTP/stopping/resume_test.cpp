// The smooth stop's re-plan of a paused entry at rest, by entry type, and
// the resumed move.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "PTP/stopping/resume_replan.h"
#include "PTP/stopping/stop_request.h"
#include "stop_fixture.h"

namespace zelor::test {
namespace {

WCSPosition PoseOf(const Joints& q) {
  tagGPose at{};
  at.joint = {q[0], q[1], q[2], q[3]};
  WCSPosition pose{};
  const tagToolParams tool{};
  ForwardCalBase(&at, &pose, &tool);
  return pose;
}

struct Row {
  const char* name;
  std::uint32_t motionType;
  const char* replanLog;
  std::uint32_t resumedType;  // motion type the entry resumes with
};

class ResumeReplans : public Stops {
 protected:
  void Plan(std::uint32_t motionType) {
    const Joints from = {10, 60, -20, 0};
    const Joints to = {60, 20, -40, 30};
    const WCSPosition toPose = PoseOf(to);
    switch (motionType) {
      case 0:
        StandAt(from);
        ASSERT_TRUE(PlanPTP(0, {toPose.x, toPose.y, toPose.z, toPose.r}));
        break;
      case 1:
        StandAt(from);
        ASSERT_TRUE(PlanPTP(1, {toPose.x, toPose.y, toPose.z, toPose.r}));
        break;
      case 3:
        StandAt(from);
        ASSERT_TRUE(PlanPTP(3, to));
        break;
      case 2:
        StandAtPose({300, 0, -50, 0});
        ASSERT_TRUE(PlanPTP(2, {300, 120, -50, 20}));
        break;
      case 5: {
        StandAtPose({300, 0, -50, 0});
        JointTheta q{};
        const tagToolParams tool{};
        const WCSPosition end{300, 120, -50, 20};
        ASSERT_EQ(InverseCalBase(&end, true, &q, kCheckSingularity, &tool), kKinOk);
        ASSERT_TRUE(PlanPTP(5, {q.j1, q.j2, q.j3, q.j4}));
        break;
      }
      case 10:
        StandAtPose({300, 0, -50, 0});
        ASSERT_TRUE(PlanArc({250, 50, -50, 10}, {200, 0, -50, 30}));
        break;
      case 11:
        StandAtPose({300, 0, -50, 0});
        ASSERT_TRUE(PlanCircle({250, 50, -50, 0}, {200, 0, -50, 30}, 1));
        break;
    }
    Execute();
  }
  // The smooth stop the playback starts for a collision during a blend.
  void StopSmoothly(bool paused) {
    gCollisionPause = 1;
    gPeriodCount1 = 1;
    gPauseCmdFlag = 1;
    Cycle();
    ASSERT_EQ(gStopMode, kStopSmooth);
    gCollisionPause = 0;
    if (!paused) gPauseCmdFlag = 0;
    RunStop();
  }
};

const Row kRows[] = {
    {"jump to a pose", 0, "SmoothStopS : JUMPPreDealTemp  \r\n", 0},
    {"joint move", 1, "SmoothStopS : MOVJPreDealTemp  \r\n", 1},
    {"line", 2, "SmoothStopS : MOVJPreDealTemp  \r\n", 1},
    {"jump to joints", 3, "SmoothStopS : JUMPPreDealTemp  \r\n", 3},
    {"line to joints", 5, "SmoothStopS : MOVJPreDealTemp  \r\n", 1},
    {"arc", 10, " ESkin Pause or Collision while MOVC_XYZ transition  \r\n", 1},
    {"circle", 11, " ESkin Pause or Collision while Circle_XYZ transition  \r\n", 1},
};

TEST_F(ResumeReplans, WithoutAPauseTheSmoothStopReplansNothing) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    TearDown();
    SetUp();
    Plan(row.motionType);
    for (int k = 0; k < 40; ++k) Cycle();
    const PreDealData before = gPreDealData;
    core.logs.clear();
    StopSmoothly(false);
    EXPECT_FALSE(loggedStartingWith("SmoothStopS : "));
    EXPECT_FALSE(loggedStartingWith(" ESkin"));
    EXPECT_EQ(gPreDealData.motionType, row.motionType);
    EXPECT_EQ(gPreDealData.trajPlan.tTotal, before.trajPlan.tTotal);
    EXPECT_EQ(std::memcmp(&gPreDealData.packedCmd, &before.packedCmd, sizeof before.packedCmd), 0);
  }
}

// A paused entry is re-planned at rest by its re-planner, and the resumed
// move starts from rest where the arm stopped and ends at the original target.
TEST_F(ResumeReplans, APausedEntryResumesFromWhereItStopped) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    TearDown();
    SetUp();
    Plan(row.motionType);
    std::vector<CycleRecord> run;
    for (int k = 0; k < 60; ++k) run.push_back(Cycle());
    ASSERT_EQ(gCmdFinishFlag, 0);
    const Joints target = {gPreDealData.targetAngle[0], gPreDealData.targetAngle[1], gPreDealData.targetAngle[2],
                           gPreDealData.targetAngle[3]};
    const Joints start = run.front().commanded;
    core.logs.clear();
    StopSmoothly(true);
    EXPECT_EQ(logCount(row.replanLog), 1) << row.replanLog;
    EXPECT_EQ(gPreDealData.motionType, row.resumedType);
    const Joints stopped = Commanded();
    const double startToStop = MaxAbsDiff(start, stopped);

    Resume();
    const std::vector<CycleRecord> resumed = RunEntry();
    ASSERT_GT(resumed.size(), 10u);
    EXPECT_LT(MaxAbsDiff(resumed.front().setPoint, stopped), 1e-3) << "the first step of a plan from rest";
    for (std::size_t k = 0; k < resumed.size(); ++k) {
      // No jump back towards the old start.
      // No step faster than the joints' speed limit (200 per second).
      ASSERT_LE(MaxAbsDiff(resumed[k].setPoint, resumed[k].commanded), 200.0 * gPeriodTime * 1.01) << "cycle " << k + 1;
      ASSERT_GT(MaxAbsDiff(resumed[k].setPoint, start), 0.5 * startToStop) << "cycle " << k + 1;
    }
    EXPECT_LT(MaxAbsDiff(SetPoints(), target), 1e-6) << "ends at the original target";
  }
}

// An arc or circle re-planned as a joint move becomes the point-to-point
// entry of its converted command: ptpMode 1 to its end pose in its user
// frame, with its motion snapshot and no parallel outputs.
TEST_F(ResumeReplans, AnArcOrCircleBecomesAJointMoveToItsEndPose) {
  for (std::uint32_t type : {10u, 11u}) {
    SCOPED_TRACE(type);
    TearDown();
    SetUp();
    Plan(type);
    for (int k = 0; k < 60; ++k) Cycle();
    const PreDealData before = gPreDealData;
    StopSmoothly(true);
    const PreDealData& after = gPreDealData;
    EXPECT_EQ(after.type, static_cast<std::uint32_t>(kPackedPTP));
    const PackedBaseCmd& cmd = after.packedCmd;
    EXPECT_EQ(cmd.type, static_cast<std::uint32_t>(kPackedPTP));
    EXPECT_EQ(cmd.queuedCmdIndex, before.packedCmd.queuedCmdIndex);
    PackedPTPBody ptp;
    std::memcpy(&ptp, cmd.body.bytes, sizeof ptp);
    PackedARCBody arc;
    std::memcpy(&arc, before.packedCmd.body.bytes, sizeof arc);
    EXPECT_EQ(ptp.cmd.ptpMode, 1);
    WCSPosition end{arc.cmd.toPoint.x, arc.cmd.toPoint.y, arc.cmd.toPoint.z, arc.cmd.toPoint.r};
    if (type == 11) end = before.targetPose;  // the path's end, back over the start
    EXPECT_NEAR(ptp.cmd.x, end.x, 1e-3);
    EXPECT_NEAR(ptp.cmd.y, end.y, 1e-3);
    EXPECT_NEAR(ptp.cmd.z, end.z, 1e-3);
    EXPECT_NEAR(ptp.cmd.r, end.r, 1e-3);
    EXPECT_EQ(std::memcmp(&ptp.ptpParams, &arc.ptpParams, sizeof arc.ptpParams), 0);
    EXPECT_EQ(ptp.armOrientation, arc.armOrientation);
    EXPECT_EQ(ptp.transition, arc.transition);
    EXPECT_EQ(ptp.eCPFlag, arc.eCPFlag);
    EXPECT_EQ(ptp.refSysFlag, arc.refSysFlag);
    EXPECT_EQ(ptp.loadFlag, arc.loadFlag);
    EXPECT_EQ(std::memcmp(&ptp.loadFullParams, &arc.loadFullParams, sizeof arc.loadFullParams), 0);
    EXPECT_EQ(ptp.parallel.poFlag, 0);
    EXPECT_EQ(ptp.parallel.count, 0);
    // The converted command's target solves to the entry's end joints.
    JointTheta q{};
    const tagToolParams tool{};
    const WCSPosition local{ptp.cmd.x, ptp.cmd.y, ptp.cmd.z, ptp.cmd.r};
    ASSERT_EQ(InverseCalBase(&local, true, &q, kCheckSingularity, &tool), kKinOk);
    EXPECT_NEAR(q.j1, after.targetAngle[0], 1e-2);
    EXPECT_NEAR(q.j2, after.targetAngle[1], 1e-2);
  }
}

}  // namespace
}  // namespace zelor::test
