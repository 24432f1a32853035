// The path stop: paused lines, arcs and circles brake along their own path
// and resume on the rest of it.
#include <cmath>
#include <vector>

#include "PTP/stopping/stop_request.h"
#include "stop_fixture.h"

namespace zelor::test {
namespace {

WCSPosition PoseOfJoints(const Joints& q) {
  tagGPose at{};
  at.joint = {q[0], q[1], q[2], q[3]};
  WCSPosition pose{};
  const tagToolParams tool{};
  ForwardCalBase(&at, &pose, &tool);
  return pose;
}

// Distance of a pose's x, y, z from the line through a and b.
double OffLine(const WCSPosition& p, const WCSPosition& a, const WCSPosition& b) {
  const double d[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
  const double w[3] = {p.x - a.x, p.y - a.y, p.z - a.z};
  const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  const double c[3] = {w[1] * d[2] - w[2] * d[1], w[2] * d[0] - w[0] * d[2], w[0] * d[1] - w[1] * d[0]};
  return std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) / len;
}

double Step(const CycleRecord& r) { return MaxAbsDiff(r.setPoint, r.commanded); }

// Distance the tool tip travels in the cycle.
double CartStep(const CycleRecord& r) {
  const WCSPosition a = PoseOfJoints(r.commanded);
  const WCSPosition b = PoseOfJoints(r.setPoint);
  return std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) + (b.z - a.z) * (b.z - a.z));
}

enum class Path { kLine, kLine5, kArc, kCircle };

class PathStops : public Stops {
 protected:
  const WCSPosition kStart{300, 0, -50, 0};
  const WCSPosition kLineEnd{300, 120, -50, 20};

  void Plan(Path path) {
    StandAtPose(kStart);
    switch (path) {
      case Path::kLine:
        ASSERT_TRUE(PlanPTP(2, {kLineEnd.x, kLineEnd.y, kLineEnd.z, kLineEnd.r}));
        break;
      case Path::kLine5: {
        JointTheta q{};
        const tagToolParams tool{};
        ASSERT_EQ(InverseCalBase(&kLineEnd, true, &q, kCheckSingularity, &tool), kKinOk);
        ASSERT_TRUE(PlanPTP(5, {q.j1, q.j2, q.j3, q.j4}));
        break;
      }
      case Path::kArc:
        ASSERT_TRUE(PlanArc({250, 50, -50, 10}, {200, 0, -50, 30}));
        break;
      case Path::kCircle:
        ASSERT_TRUE(PlanCircle({250, 50, -50, 0}, {200, 0, -50, 30}, 1));
        break;
    }
    Execute();
  }
  static void Shaping(bool on) {
    gInputShaping = on ? 1 : 0;
    vInitShape(0, on ? ShapCmdTypedef{0.1, 8.0, 0.004} : ShapCmdTypedef{0.0, kShapingOffFrequency, 0.004});
  }
  // A command pause acted on in the next cycle; the records of the cycles
  // until the stop has finished.
  std::vector<CycleRecord> PauseAndStop() {
    gPauseCmdFlag = 1;
    std::vector<CycleRecord> cycles = {Cycle()};
    EXPECT_EQ(gStopMode, kStopPath);
    for (const CycleRecord& r : RunStop()) cycles.push_back(r);
    return cycles;
  }
};

// Hand-over: the stop continues the move's set points without a step, in the
// profile's units with shaping off and on.
TEST_F(PathStops, TheStopContinuesTheMoveWithoutAStep) {
  for (Path path : {Path::kLine, Path::kLine5, Path::kArc, Path::kCircle}) {
    for (bool shaping : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "path " << int(path) << " shaping " << shaping);
      TearDown();
      SetUp();
      Shaping(shaping);
      Plan(path);
      RunUntilPath(0.4);
      const CycleRecord last = Cycle();
      const double lastStep = CartStep(last);
      ASSERT_GT(lastStep, 1e-3) << "moving";
      const std::vector<CycleRecord> cycles = PauseAndStop();
      ASSERT_GT(cycles.size(), 5u);
      // One cycle's travel of the path at the speed the stop starts from
      // (the shaped set points run behind it).
      const PreDealData& e = gPreDealData;
      const double share = path == Path::kLine || path == Path::kLine5 ? e.lineLength : e.arcShare;
      const double travel = share * cycles.front().pathSpeed * gPeriodTime;
      EXPECT_GE(CartStep(cycles.front()), 0.5 * lastStep) << "the stop's first cycle runs on";
      double previous = CartStep(cycles.front());
      for (std::size_t k = 0; k < cycles.size(); ++k) {
        const double step = CartStep(cycles[k]);
        EXPECT_LE(step, travel * 1.01 + 1e-9) << "stop cycle " << k + 1;
        if (!shaping) {
          EXPECT_LE(step, previous + 1e-9) << "stop cycle " << k + 1;
        }
        previous = step;
      }
      EXPECT_LE(Step(cycles.back()), 1e-6) << "at rest";
      EXPECT_LT(gPreDealData.pathParam, gPreDealData.trajPlan.dist);
      if (path == Path::kLine || path == Path::kLine5) {
        EXPECT_LT(OffLine(PoseOfJoints(Commanded()), kStart, kLineEnd), 1e-5) << "on the line";
      }
      Shaping(false);
    }
  }
}

TEST_F(PathStops, LinesAndCirclesWaitForTheShaperToSettle) {
  for (Path path : {Path::kLine, Path::kArc, Path::kCircle}) {
    SCOPED_TRACE(int(path));
    TearDown();
    SetUp();
    Shaping(true);
    Plan(path);
    RunUntilPath(0.4);
    const std::vector<CycleRecord> cycles = PauseAndStop();
    int atRest = 0;
    for (const CycleRecord& r : cycles) atRest += r.pathSpeed == 0.0 ? 1 : 0;
    const int delay = strLocalVar[0].delay2;
    ASSERT_GT(delay, 5);
    if (path == Path::kArc) {
      EXPECT_LE(atRest, 2) << "the arc finishes once its path speed is 0";
    } else {
      EXPECT_EQ(atRest, delay + 1) << "the delay's cycles, then the finish";
    }
    Shaping(false);
  }
}

// With true motion on the stop never runs past the end of the entry's
// profile, however soft its jerk; without it, the same stop does.
TEST_F(PathStops, TrueMotionCutsTheStopAtTheEndOfTheProfile) {
  for (std::uint8_t trueMotion : {1, 0}) {
    SCOPED_TRACE(int(trueMotion));
    TearDown();
    SetUp();
    Plan(Path::kLine);
    RunUntilPath(0.5);
    gUsingTrueMotion = trueMotion;
    gPreDealData.pathJerk = gPreDealData.trajPlan.jerk / 1000.0;  // a stop far longer than the path left
    const double end = gPreDealData.trajPlan.dist;
    double furthest = 0.0;
    for (const CycleRecord& r : PauseAndStop()) furthest = std::fmax(furthest, r.pathParam);
    if (trueMotion) {
      EXPECT_LE(furthest, end * (1 + 1e-12));
      EXPECT_GT(furthest, end - 0.5 * gPeriodTime * gPreDealData.trajPlan.vMax) << "braked onto the end";
    } else {
      EXPECT_GT(furthest, end);
    }
  }
}

TEST_F(PathStops, ACirclePausedShortlyAfterItsStartBrakesOverItsSCurve) {
  Plan(Path::kCircle);
  gUsingTrueMotion = 1;
  RunUntilPath(0.01);
  const double dist = gPreDealData.trajPlan.dist;
  ASSERT_GT(dist, 10.0) << "a profile in path units";
  gPauseCmdFlag = 1;
  Cycle();
  ASSERT_EQ(gStopMode, kStopPath);
  const double u = gPreDealData.pathSpeed;
  const double jerk = gPreDealData.pathJerk;
  const std::vector<CycleRecord> cycles = RunStop();
  int braking = 0;
  for (const CycleRecord& r : cycles) braking += r.pathSpeed > 0.0 ? 1 : 0;
  // Speeds at the ends of the cycles of T_s = 2 sqrt(u / J): the last one is 0.
  EXPECT_EQ(braking, static_cast<int>(std::floor(2.0 * std::sqrt(u / jerk) / gPeriodTime)) - 1);
}

TEST_F(PathStops, WithoutAFiniteStopTimeTheSmoothStopTakesOver) {
  for (Path path : {Path::kLine, Path::kArc, Path::kCircle}) {
    SCOPED_TRACE(int(path));
    TearDown();
    SetUp();
    Plan(path);
    RunUntilPath(0.4);
    const Joints target = {gPreDealData.targetAngle[0], gPreDealData.targetAngle[1], gPreDealData.targetAngle[2],
                           gPreDealData.targetAngle[3]};
    gPreDealData.pathJerk = 0.0;
    gPreDealData.baseJerk = 0.0;
    const CycleRecord last = Cycle();
    gPauseCmdFlag = 1;
    const CycleRecord handOver = Cycle();
    EXPECT_EQ(gStopMode, kStopSmooth);
    EXPECT_TRUE(loggedStartingWith("PathStop no finite stop time"));
    EXPECT_LE(Step(handOver), Step(last) * 1.02) << "the smooth stop starts in the same cycle";
    RunStop();
    EXPECT_EQ(gPreDealData.motionType, 1u) << "re-planned as a joint move";
    Resume();
    const std::vector<CycleRecord> resumed = RunEntry();
    ASSERT_FALSE(resumed.empty());
    EXPECT_LT(MaxAbsDiff(resumed.front().setPoint, resumed.front().commanded), 1e-3) << "from rest";
    EXPECT_LT(MaxAbsDiff(SetPoints(), target), 1e-6) << "ends at the original target";
  }
}

// At rest the arc and the circle leave their re-planner the angle run and
// what is left of the arc and of the r change, at the pose the arm stands at;
// the resumed move runs the rest of the path to the original end.
TEST_F(PathStops, PausedArcsAndCirclesResumeOnTheRestOfTheirPath) {
  for (Path path : {Path::kArc, Path::kCircle}) {
    for (bool shaping : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "path " << int(path) << " shaping " << shaping);
      TearDown();
      SetUp();
      Shaping(shaping);
      Plan(path);
      RunUntilPath(0.3);
      const PreDealData before = gPreDealData;
      const Joints target = {before.targetAngle[0], before.targetAngle[1], before.targetAngle[2],
                             before.targetAngle[3]};
      const std::vector<CycleRecord> cycles = PauseAndStop();
      const double s = gStopState.poseParam;  // the path parameter of the last pose commanded
      if (!shaping) {
        // The finishing cycle clears the entry's s; the one before holds the last.
        EXPECT_DOUBLE_EQ(s, cycles[cycles.size() - 2].pathParam);
      }
      // The re-plan took these as its remainders.
      const double R = before.arcRadius;
      EXPECT_NEAR(gPreDealData.arcAngle * R, R * before.arcAngle - s * before.arcShare, 1e-9);
      EXPECT_NEAR(gPreDealData.arcRTravel, std::fabs(before.arcRDir * before.arcRTravel - s * before.arcDeltaR), 1e-9);
      EXPECT_EQ(gPreDealData.motionType, path == Path::kArc ? 10u : 11u) << "keeps its type";
      // The arm stands where the re-planned path starts.
      const WCSPosition at = PoseOfJoints(Commanded());
      EXPECT_NEAR(at.x, gPreDealData.arcOrigin.x, 1e-6);
      EXPECT_NEAR(at.y, gPreDealData.arcOrigin.y, 1e-6);

      const double stopped = before.arcRadius * before.arcAngle - gPreDealData.arcAngle * R;
      EXPECT_GT(stopped, 0.3 * before.trajPlan.dist * before.arcShare * 0.99) << "not back at the old start";
      Shaping(false);
      Resume();
      const std::vector<CycleRecord> resumed = RunEntry();
      ASSERT_GT(resumed.size(), 10u);
      EXPECT_LT(Step(resumed.front()), 1e-3) << "from rest at the stop point";
      for (const CycleRecord& r : resumed) {
        const WCSPosition p = PoseOfJoints(r.setPoint);
        const double toCentre = std::hypot(p.x - before.arcCentre.x, p.y - before.arcCentre.y);
        ASSERT_NEAR(toCentre, R, 1e-3) << "on the circle";
      }
      EXPECT_LT(MaxAbsDiff(SetPoints(), target), 1e-6) << "ends at the original end";
    }
  }
}

// A paused line to a joint target (type 5) comes to rest on its line,
// finishes the stop and resumes as a line.
TEST_F(PathStops, APausedLineToJointsStopsOnItsLineAndResumesAsALine) {
  Plan(Path::kLine5);
  RunUntilPath(0.5);
  const Joints target = {gPreDealData.targetAngle[0], gPreDealData.targetAngle[1], gPreDealData.targetAngle[2],
                         gPreDealData.targetAngle[3]};
  const std::vector<CycleRecord> cycles = PauseAndStop();
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  for (const CycleRecord& r : cycles) {
    ASSERT_LT(OffLine(PoseOfJoints(r.setPoint), kStart, kLineEnd), 1e-5);
  }
  EXPECT_EQ(gPreDealData.motionType, 5u);
  EXPECT_EQ(logCount("MOVL main pause stop \r\n"), 1);
  EXPECT_FALSE(loggedStartingWith("runinl")) << "that line stays with types 2 and 7";
  Resume();
  const std::vector<CycleRecord> resumed = RunEntry();
  ASSERT_GT(resumed.size(), 10u);
  EXPECT_LT(Step(resumed.front()), 1e-3);
  for (const CycleRecord& r : resumed) {
    ASSERT_LT(OffLine(PoseOfJoints(r.setPoint), kStart, kLineEnd), 1e-5);
  }
  EXPECT_LT(MaxAbsDiff(SetPoints(), target), 1e-6);
}

TEST_F(PathStops, AnArcRunPastItsEndRaisesItsAlarm) {
  Plan(Path::kArc);
  RunUntilPath(0.8);
  gPreDealData.pathJerk = gPreDealData.trajPlan.jerk / 1000.0;
  gPauseCmdFlag = 1;
  gCollisionPause = 1;  // a collision stops an arc in its last phase too
  gPreDealData.baseJerk = gPreDealData.pathJerk / 300.0;
  Cycle();
  ASSERT_EQ(gStopMode, kStopPath);
  for (int k = 0; k < 400 && !AlarmIsSet(80); ++k) Cycle();
  EXPECT_TRUE(AlarmIsSet(80));
}

TEST_F(PathStops, OtherMotionTypesAreLeftAlone) {
  gPreDealData = PreDealData{};
  gPreDealData.motionType = 1;
  gPreDealData.pathSpeed = 5.0;
  gRobotAxisMove.nextPos[0] = 12.0;
  SetStopParams(kStopPath);
  PathStop();
  EXPECT_EQ(gRobotPrfMode, kPrfStop);
  EXPECT_EQ(gStopCmdPlanFlag, 0);
  EXPECT_EQ(gRobotAxisMove.nextPos[0], 12.0);
}

}  // namespace
}  // namespace zelor::test
