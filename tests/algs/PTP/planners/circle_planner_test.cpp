// Full circles planned from real id 102 packets and run cycle by cycle.

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <numbers>

#include "circle_fixture.h"
#include "common/kernel/alarms.h"

namespace zelor::test {
namespace {

constexpr double kTwoPiF = 6.2831854820251465;

// Angle of a pose about the centre (250, 0), unwrapped against `previous`.
double AngleAbout(const WCSPosition& p, double previous) {
  double a = std::atan2(p.y, p.x - 250.0);
  while (a < previous - std::numbers::pi) a += 2 * std::numbers::pi;
  while (a > previous + std::numbers::pi) a -= 2 * std::numbers::pi;
  return a;
}

TEST_F(CircleMoves, OneTurnRunsOnTheCircleAndEndsOverItsStart) {
  StartAt({300, 0, -50, 0});
  ASSERT_TRUE(PlanCircle(QueueCircle({250, 50, -50, 0}, {200, 0, -50, 0}, 1)));
  const PreDealData& planned = *PlannedEntry(0);
  EXPECT_EQ(planned.arcAngle, kTwoPiF);
  EXPECT_NEAR(planned.arcRadius, 50.0, 1e-9);
  EXPECT_NEAR(planned.arcCentre.x, 250.0, 1e-9);
  EXPECT_NEAR(planned.arcCentre.y, 0.0, 1e-9);
  EXPECT_NEAR(planned.arcCentre.z, -50.0, 1e-9);
  const double largestProfileStep = planned.trajPlan.vMax * gPeriodTime;
  double targetAngle[4];
  std::memcpy(targetAngle, planned.targetAngle, sizeof targetAngle);

  SetPoints points;
  EntryRunner runner(&RunCircle);
  double angle = 0.0, largestAngle = 0.0;
  bool passedTop = false;
  runner.Run(100000, [&] {
    points.Take();
    const WCSPosition p = points.Pose(points.joints.size() - 1);
    EXPECT_NEAR(std::hypot(p.x - 250.0, p.y), 50.0, 1e-6) << "cycle " << points.joints.size();
    EXPECT_NEAR(p.z, -50.0, 1e-6);
    const double a = AngleAbout(p, angle);
    EXPECT_GE(a, angle - 1e-9) << "counterclockwise seen from +z, cycle " << points.joints.size();
    angle = a;
    largestAngle = std::max(largestAngle, a);
    passedTop = passedTop || (std::fabs(p.x - 250.0) < 1.0 && p.y > 49.0);
  });
  ASSERT_EQ(gCmdFinishFlag, 1);
  EXPECT_TRUE(passedTop) << "the circle runs through the middle pose (250, 50)";
  EXPECT_NEAR(angle, kTwoPiF, 1e-6) << "one whole turn";
  const double lookAhead[4] = {gPreDealPos.joint.j1, gPreDealPos.joint.j2, gPreDealPos.joint.j3,
                               gPreDealPos.joint.j4};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(points.joints.back()[i], targetAngle[i]) << "the last set point is targetAngle, joint " << i + 1;
    EXPECT_EQ(lookAhead[i], points.joints.back()[i]) << "the look-ahead joints are the last set point, joint " << i + 1;
  }
  EXPECT_LT(DistanceXYZ(points.Pose(points.joints.size() - 1), {300, 0, -50, 0}), 1e-4)
      << "whole turns end over the start point";
  EXPECT_LE(points.LargestStep(), largestProfileStep * (1 + 1e-9)) << "no set-point step beyond the profile's";
  EXPECT_GT(points.joints.size(), 100u);
  EXPECT_FALSE(AlarmIsSet(80));
  EXPECT_FALSE(AlarmIsSet(33));
}

TEST_F(CircleMoves, RChangesEvenlyAndTheNextMoveStartsOverTheStartWithTheEndR) {
  StartAt({300, 0, -50, 0});
  ASSERT_TRUE(PlanCircle(QueueCircle({250, 50, -50, 20}, {200, 0, -50, 90}, 1)));
  const WCSPosition lookAhead = ForwardOf(&gPreDealPos.joint.j1);
  EXPECT_LT(DistanceXYZ(lookAhead, {300, 0, -50, 0}), 1e-4) << "the look-ahead is the path's end";
  EXPECT_NEAR(lookAhead.r, 90.0, 1e-9) << "with the end pose's r";
  EXPECT_EQ(gPreDealPos.pose.r, 90.0);

  SetPoints points;
  EntryRunner runner(&RunCircle);
  double angle = 0.0;
  bool sawHalf = false;
  runner.Run(100000, [&] {
    points.Take();
    const WCSPosition p = points.Pose(points.joints.size() - 1);
    angle = AngleAbout(p, angle);
    EXPECT_NEAR(p.r, 90.0 * angle / kTwoPiF, 1e-6) << "r follows the path, cycle " << points.joints.size();
    if (std::fabs(angle - std::numbers::pi) < 0.02) {
      sawHalf = true;
      EXPECT_NEAR(p.r, 45.0, 0.5) << "half the path, half the r change";
    }
  });
  EXPECT_TRUE(sawHalf);
  EXPECT_NEAR(points.Pose(points.joints.size() - 1).r, 90.0, 1e-9);
}

// Bits set among alarms 8..255.
int RaisedAlarms() {
  int n = 0;
  for (int i = 1; i < kAlarmMapBytes; ++i) n += std::popcount(gAlarmSysState[i]);
  return n;
}

struct RefusedCircle {
  const char* name;
  WCSPosition start;
  tagARCPoint middle, end;
  unsigned alarm;
  void (*setUp)(CircleMoves&);
};
void PrintTo(const RefusedCircle& row, std::ostream* os) { *os << row.name; }

class CircleRefusals : public CircleMoves, public ::testing::WithParamInterface<RefusedCircle> {
 public:
  using CircleMoves::SetCoordinate;
  using CircleMoves::SetHand;
};

TEST_P(CircleRefusals, RaiseOneAlarmAndEndTheCommand) {
  const RefusedCircle& row = GetParam();
  StartAt(row.start);
  if (row.setUp != nullptr) row.setUp(*this);
  const JointTheta before = gPreDealPos.joint;
  EXPECT_FALSE(PlanCircle(QueueCircle(row.middle, row.end, 1)));
  EXPECT_TRUE(AlarmIsSet(row.alarm)) << "alarm " << row.alarm;
  EXPECT_EQ(RaisedAlarms(), 1) << "exactly one alarm";
  EXPECT_EQ(gCmdFinishFlag, 1);
  EXPECT_EQ(std::memcmp(&before, &gPreDealPos.joint, sizeof before), 0) << "the look-ahead stays where it was";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CircleRefusals,
    ::testing::Values(
        RefusedCircle{"Collinear", {300, 0, -50, 0}, {250, 0, -50, 0}, {200, 0, -50, 0}, 28, nullptr},
        RefusedCircle{"MiddleOnStart", {300, 0, -50, 0}, {300, 0, -50, 10}, {200, 0, -50, 0}, 19, nullptr},
        RefusedCircle{"OnlyR", {300, 0, -50, 0}, {300, 0, -50, 30}, {300, 0, -50, 60}, 19, nullptr},
        RefusedCircle{"EndOnMiddle", {300, 0, -50, 0}, {250, 50, -50, 0}, {250, 50, -50, 5}, 19, nullptr},
        RefusedCircle{"WrongHand",
                      {300, 0, -50, 0},
                      {250, 50, -50, 0},
                      {200, 0, -50, 0},
                      22,
                      [](CircleMoves& f) { static_cast<CircleRefusals&>(f).SetHand(0); }},
        RefusedCircle{"PathOutOfReach", {320, 100, -50, 0}, {220, 0, -50, 0}, {320, -100, -50, 0}, 29, nullptr},
        RefusedCircle{"NoLinearVelocity",
                      {300, 0, -50, 0},
                      {250, 50, -50, 0},
                      {200, 0, -50, 0},
                      26,
                      [](CircleMoves& f) {
                        static_cast<CircleRefusals&>(f).SetCoordinate({0, 200, 1000, 1000, 10000, 10000});
                      }},
        RefusedCircle{"StartBeyondSoftLimit",
                      {300, 0, -50, 0},
                      {250, 50, -50, 0},
                      {200, 0, -50, 0},
                      18,
                      [](CircleMoves&) { gPreDealPos.joint.j1 = 171.0; }},
        RefusedCircle{"StartInSingularityMargin",
                      {300, 0, -50, 0},
                      {250, 50, -50, 0},
                      {200, 0, -50, 0},
                      18,
                      [](CircleMoves&) { gPreDealPos.joint.j2 = 2.0; }},
        RefusedCircle{"EndOutOfReach", {300, 0, -50, 0}, {250, 50, -50, 0}, {450, 0, -50, 0}, 17, nullptr},
        RefusedCircle{"MiddleOutOfReach", {300, 0, -50, 0}, {450, 50, -50, 0}, {200, 0, -50, 0}, 17, nullptr}),
    [](const ::testing::TestParamInfo<RefusedCircle>& info) { return std::string(info.param.name); });

TEST_F(CircleMoves, ExternalToolPointPlansAgainstThePointAndLogsSixLines) {
  gSysParams.eCPFlag = 1;
  gSysParams.ecpParams = {0, 250, 0, -50, 0};
  StartAt({300, 0, -50, 0});
  ASSERT_TRUE(PlanCircle(QueueCircle({250, 50, -50, 0}, {200, 0, -50, 0}, 1)));
  // In this order; the start's zeros may print with a sign.
  const char* order[] = {"Circle ECP origPosBasePlan:300.000 ",
                         "Circle ECP origPosECPPlan:-50.000 ",
                         "Circle ECP midPosBasePlan:250.000 50.000 -50.000 0.000\r\n",
                         "Circle ECP endPosBasePlan:200.000 0.000 -50.000 0.000\r\n",
                         "Circle ECP midPosECPPlan:0.000 -50.000 0.000 0.000\r\n",
                         "Circle ECP endPosECPPlan:50.000 0.000 0.000 0.000\r\n"};
  auto at = core.logs.begin();
  for (const char* line : order) {
    at = std::find_if(at, core.logs.end(), [&](const std::string& l) { return l.rfind(line, 0) == 0; });
    ASSERT_NE(at, core.logs.end()) << "in order: " << line;
  }
  const PreDealData& planned = *PlannedEntry(0);
  EXPECT_NEAR(planned.arcRadius, 50.0, 1e-9);
  EXPECT_NEAR(std::hypot(planned.arcCentre.x, planned.arcCentre.y), 0.0, 1e-9) << "the circle about the point";

  SetPoints points;
  EntryRunner runner(&RunCircle);
  runner.Run(100000, [&] {
    points.Take();
    const WCSPosition p = points.Pose(points.joints.size() - 1);
    EXPECT_NEAR(std::hypot(p.x - 250.0, p.y), 50.0, 1e-6) << "cycle " << points.joints.size();
  });
  EXPECT_EQ(gCmdFinishFlag, 1);
  EXPECT_EQ(RaisedAlarms(), 0);
  EXPECT_LT(DistanceXYZ(points.Pose(points.joints.size() - 1), {300, 0, -50, 0}), 1e-4);
}

}  // namespace
}  // namespace zelor::test

namespace zelor::test {
namespace {

struct ProfileCase {
  const char* name;
  unsigned char speed;    // id 52
  float xyzPercent;       // id 83 velocity percentages
  unsigned char transition;
  float endR;
  tagPTPCoordinateParams limits;  // id 81
  double v, a, j;                 // expected profile limits
};
void PrintTo(const ProfileCase& row, std::ostream* os) { *os << row.name; }

// Shares of one turn of R = 50 with a 90 degree r change.
const double kArc = 50.0 * 6.2831854820251465;
const double kLength = std::sqrt(kArc * kArc + 90.0 * 90.0);
const double kK1 = kArc / kLength, kK2 = 90.0 / kLength;
constexpr tagPTPCoordinateParams kLimits{200, 200, 1000, 1000, 10000, 10000};

class CircleProfiles : public CircleMoves, public ::testing::WithParamInterface<ProfileCase> {};

TEST_P(CircleProfiles, LimitsFollowRatiosSharesAndHalving) {
  const ProfileCase& row = GetParam();
  SetCoordinate(row.limits);
  SetSpeed(row.speed);
  SetRatios(row.xyzPercent, 100);
  SetTransition(row.transition);
  StartAt({300, 0, -50, 0});
  ASSERT_TRUE(PlanCircle(QueueCircle({250, 50, -50, 0}, {200, 0, -50, row.endR}, 1)));
  const PreDealData& e = *PlannedEntry(0);
  EXPECT_NEAR(e.trajPlan.vMax, row.v, 1e-9 * row.v);
  EXPECT_NEAR(e.trajPlan.aMax, row.a, 1e-9 * row.a);
  EXPECT_EQ(e.trajPlan.aMaxDec, e.trajPlan.aMax);
  // The seven-segment plan may lower the jerk a little to fit its segments.
  EXPECT_LE(e.trajPlan.jerk, row.j * (1 + 1e-9));
  EXPECT_GE(e.trajPlan.jerk, row.j * 0.99);
  EXPECT_EQ(e.trajPlan.vStart, 0.0);
  EXPECT_EQ(e.trajPlan.vEnd, 0.0);
  EXPECT_EQ(e.blendTime, e.trajPlan.tAcc * row.transition / 100.0);
  EXPECT_EQ(e.pathJerk, e.trajPlan.jerk);
  EXPECT_EQ(e.baseJerk, e.trajPlan.jerk);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CircleProfiles,
    ::testing::Values(
        ProfileCase{"ArcOnly", 100, 100, 0, 0, kLimits, 200, 1000, 10000},
        ProfileCase{"TransitionHalves", 100, 100, 1, 0, kLimits, 200, 500, 5000},
        ProfileCase{"SpeedAndPercentage", 50, 40, 0, 0, kLimits, 0.5 * 200 * 0.4, 0.5 * 1000, 0.5 * 10000},
        ProfileCase{"ArcAndRotation", 100, 100, 0, 90, kLimits, 200 / kK1, 1000 / kK1, 10000 / kK1},
        ProfileCase{"RotationBinds", 100, 100, 0, 90, {200, 20, 1000, 100, 10000, 1000}, 20 / kK2, 100 / kK2,
                    1000 / kK2}),
    [](const ::testing::TestParamInfo<ProfileCase>& info) { return std::string(info.param.name); });

struct TurnCount {
  const char* name;
  std::uint32_t turns;
  unsigned alarm;
};
void PrintTo(const TurnCount& row, std::ostream* os) { *os << row.name; }

class CircleTurnCounts : public CircleMoves, public ::testing::WithParamInterface<TurnCount> {};

TEST_P(CircleTurnCounts, WithoutWholeTurnsNothingIsPlanned) {
  StartAt({300, 0, -50, 0});
  EXPECT_FALSE(PlanCircle(QueueCircle({250, 50, -50, 0}, {200, 0, -50, 0}, GetParam().turns)));
  EXPECT_TRUE(AlarmIsSet(GetParam().alarm));
  EXPECT_EQ(RaisedAlarms(), 1);
  EXPECT_EQ(gCmdFinishFlag, 1);
}

INSTANTIATE_TEST_SUITE_P(Table, CircleTurnCounts,
                         ::testing::Values(TurnCount{"NoTurnNoRotation", 0, 19},
                                           TurnCount{"BeyondTheTurnCounter", 0x80000000u, 28},
                                           TurnCount{"LargestWord", 0xFFFFFFFFu, 28}),
                         [](const ::testing::TestParamInfo<TurnCount>& info) { return std::string(info.param.name); });

TEST_F(CircleMoves, TheRunningCirclePublishesItsLoad) {
  gSysParams.loadFlag = 1;
  gSysParams.loadParams = {2.0, 0.25};
  gSysParams.loadFullParams = {5, {}, 3.0, 0.5};
  PlanAboutTheCentre(1);
  gSysParams.loadFlag = 0;
  ASSERT_TRUE(PlanCircle(QueueCircle({250, 50, -50, 0}, {200, 0, -50, 0}, 1)));
  EntryRunner runner(&RunCircle);
  runner.Cycle();
  EXPECT_EQ(gLoad.payload, 2.0);
  EXPECT_EQ(gLoad.inertia, 0.25);
  EXPECT_EQ(gLoadFullParams.weight, 3.0);
  EXPECT_EQ(gLoadFullParams.inertia, 0.5);
  runner.Run(100000, [&] {
    if (runner.started() == 2) {
      EXPECT_EQ(gLoad.payload, 0.0) << "no payload flag: zeros";
      EXPECT_EQ(gLoadFullParams.weight, 3.0) << "the full load always";
    }
  });
  EXPECT_EQ(runner.started(), 2);
  gLoad = {};
  gLoadFullParams = {};
}

}  // namespace
}  // namespace zelor::test

namespace zelor::test {
namespace {

struct RunFailure {
  const char* name;
  void (*breakArm)();
  int code;
  unsigned alarm;
};
void PrintTo(const RunFailure& row, std::ostream* os) { *os << row.name; }

class CircleRunFailures : public CircleMoves, public ::testing::WithParamInterface<RunFailure> {};

TEST_P(CircleRunFailures, EndTheCommandWithTheAlarmOfTheInverseSolution) {
  PlanAboutTheCentre(1);
  PreDealData e = *PlannedEntry(0);
  gPeriodCount = 0;
  ASSERT_EQ(Circle(&e, nullptr), 0);
  const double before[4] = {gRobotAxisMove.nextPos[0], gRobotAxisMove.nextPos[1], gRobotAxisMove.nextPos[2],
                            gRobotAxisMove.nextPos[3]};
  GetParam().breakArm();
  EXPECT_EQ(Circle(&e, nullptr), GetParam().code);
  EXPECT_TRUE(AlarmIsSet(GetParam().alarm));
  EXPECT_EQ(gCmdFinishFlag, 1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(gRobotAxisMove.nextPos[i], before[i]) << "the set point stays";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CircleRunFailures,
    ::testing::Values(RunFailure{"OutOfReach", [] { gScaraMechPara[1] = 50.0; }, 17, 33},
                      RunFailure{"SoftLimit", [] { gSoftLimitPara[0] = gSoftLimitPara[4] = -100.0; }, 18, 34}),
    [](const ::testing::TestParamInfo<RunFailure>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zelor::test
