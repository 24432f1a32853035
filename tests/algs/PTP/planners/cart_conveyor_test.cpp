#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "PTP/planners/cart_fixture.h"
#include "common/math/transform4.h"

namespace zelor::test {
namespace {

// The conveyor runs along base x at 20 mm/s (10 counts per mm); the object
// was captured 10 mm ago at (250, -100) of the base.
constexpr double kCountsPerMm = 10.0;
constexpr double kCountsPerSecond = 200.0;

class ConveyorLines : public CartMoves {
 protected:
  void SetUp() override {
    CartMoves::SetUp();
    track1 = track{};
    gConveyor0.conveyorIndex = 0;
    gConveyor0.encoderResolution = static_cast<float>(kCountsPerMm);
    const float capture[6] = {250.0f, -100.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    std::memcpy(gConveyor0.visionFrame, capture, sizeof capture);
    gCurrentEncoder[0] = {1000.0, kCountsPerSecond, 900.0};
    gOutObj.newObject = 1;
    gOutObj.captureCount = 900.0;
    gSysParams.refSysFlag = 1;
    StartAt({10.0, 90.0, -20.0, 5.0});
  }
  void TearDown() override {
    track1 = track{};
    CartMoves::TearDown();
  }
  // The stand-in encoder: one cycle of conveyor travel.
  static void Advance() {
    gCurrentEncoder[0].position += kCountsPerSecond * 0.004;
    gCurrentEncoder[0].velocity = kCountsPerSecond;
  }
};

TEST_F(ConveyorLines, TheObjectFramePoseFollowsThePlannedLine) {
  ASSERT_TRUE(QueueLine(2, 0.0f, 0.0f, -30.0f, 0.0f));
  EXPECT_EQ(gOutObj.newObject, 0);
  EXPECT_EQ(track1.getState(), 1);
  const PreDealData planned = *PlannedEntry(0);
  std::vector<Sample> samples;
  double previousJ4 = 5.0;
  EntryRunner runner(&PlayCartesian);
  runner.Run(5000, [&] {
    const JointTheta q = JointsOf(gRobotAxisMove.nextPos);
    EXPECT_LT(std::fabs(q.j4 - previousJ4), 180.0);
    previousJ4 = q.j4;
    SetActual(q);
    samples.push_back({q, runner.started()});
    // The set point seen in the moving frame lies on the planned line.
    double U[4][4], inv[4][4];
    track1.getUserCoord(U);
    invT4(U, inv);
    const WCSPosition p = PoseOf(q);
    double o[3];
    for (int i = 0; i < 3; ++i) o[i] = inv[i][0] * p.x + inv[i][1] * p.y + inv[i][2] * p.z + inv[i][3];
    const double s = gPreDealData.pathParam;
    const WCSPosition line{planned.lineStart.x + s * planned.lineLength * planned.lineDir[0],
                           planned.lineStart.y + s * planned.lineLength * planned.lineDir[1],
                           planned.lineStart.z + s * planned.lineLength * planned.lineDir[2], 0.0};
    if (gPreDealData.trajPlan.noMotion == 0) {
      EXPECT_NEAR(o[0], line.x, 1e-6);
      EXPECT_NEAR(o[1], line.y, 1e-6);
      EXPECT_NEAR(o[2], line.z, 1e-6);
    }
    Advance();
  });
  ASSERT_GT(samples.size(), 10u);
  EXPECT_EQ(AlarmCount(), 0);
  EXPECT_TRUE(logged("MOVL finish\r\n"));
  EXPECT_EQ(gOutObj.reached, 1);
  const JointTheta last = samples.back().joints;
  EXPECT_EQ(gPreDealPos.joint.j1, last.j1);
  EXPECT_EQ(gPreDealPos.joint.j4, last.j4);
  EXPECT_TRUE(logged("conveyorID1: 0\r\n"));
}

TEST_F(ConveyorLines, AnIdleTrackerGivesFiniteValuesAndAnAlarm) {
  // No object handed over: the planner keeps the look-ahead pose as origin.
  gOutObj.newObject = 0;
  gOutObj.armOrientation = 1;
  ASSERT_TRUE(QueueLine(2, 20.0f, 0.0f, -30.0f, 0.0f));
  ASSERT_EQ(track1.getState(), 0);
  const auto samples = RunAll(500);
  for (const Sample& s : samples) {
    for (double v : {s.joints.j1, s.joints.j2, s.joints.j3, s.joints.j4}) EXPECT_TRUE(std::isfinite(v));
  }
  EXPECT_EQ(AlarmCount(), 1);
  EXPECT_TRUE(AlarmIsSet(32) || AlarmIsSet(33) || AlarmIsSet(34));
  EXPECT_TRUE(logged("MOVL calerror\r\n"));
}

TEST_F(ConveyorLines, TheObjectKeepsTheArmOrientationOfItsFirstMove) {
  ASSERT_TRUE(QueueLine(2, 0.0f, 0.0f, -30.0f, 0.0f));
  EXPECT_EQ(gOutObj.armOrientation, 1);
  gSysParams.armOrientation = 0;
  EXPECT_FALSE(QueueLine(2, 10.0f, 0.0f, -30.0f, 0.0f));
  EXPECT_TRUE(AlarmIsSet(22));
}

using ExternalPoint = CartMoves;

TEST_F(ExternalPoint, TheFinalPoseAgainstThePointIsTheCommandsTarget) {
  gInputECP = 1;
  gSysParams.eCPFlag = 1;
  gSysParams.ecpParams = {1, 320.0f, 40.0f, -60.0f, 15.0f};
  const JointTheta start{10.0, 90.0, -20.0, 5.0};
  StartAt(start);
  // A reachable base pose, given against the point.
  WCSPosition goal{260.0, 120.0, -40.0, 30.0};
  const tagToolParams ecp = gSysParams.ecpParams;
  CalECPToTool(&ecp, &goal);
  ASSERT_TRUE(QueueLine(2, static_cast<float>(goal.x), static_cast<float>(goal.y), static_cast<float>(goal.z),
                        static_cast<float>(goal.r)));
  const auto samples = RunAll();
  ASSERT_FALSE(samples.empty());
  WCSPosition end = PoseOf(samples.back().joints);
  CalECPToTool(&ecp, &end);
  EXPECT_NEAR(end.x, static_cast<float>(goal.x), 1e-6);
  EXPECT_NEAR(end.y, static_cast<float>(goal.y), 1e-6);
  EXPECT_NEAR(end.z, static_cast<float>(goal.z), 1e-6);
  EXPECT_NEAR(end.r, static_cast<float>(goal.r), 1e-6);
  EXPECT_EQ(AlarmCount(), 0);
}

}  // namespace
}  // namespace zelor::test
