// A circle blending into the move after it.

#include <cmath>

#include "PTP/profiles/traj_plan.h"
#include "circle_fixture.h"

namespace zelor::test {
namespace {

// A following entry of the given motion type whose share is nothing: a short
// planned profile over empty geometry.
PreDealData EmptyNext(std::uint32_t motionType) {
  PreDealData next{};
  next.motionType = motionType;
  next.trajPlan.dist = 10.0;
  next.trajPlan.vMax = 100.0;
  next.trajPlan.aMax = 1000.0;
  next.trajPlan.aMaxDec = 1000.0;
  next.trajPlan.jerk = 10000.0;
  next.trajPlan.period = gPeriodTime;
  TrajPlan(&next.trajPlan);
  return next;
}

struct NextKind {
  std::uint32_t motionType;
  bool blends;
};
void PrintTo(const NextKind& row, std::ostream* os) { *os << "type " << row.motionType; }

class CircleBlendPartners : public CircleMoves, public ::testing::WithParamInterface<NextKind> {};

TEST_P(CircleBlendPartners, OnlyMovesThatAddAShareCountTheBlend) {
  SetTransition(50);
  PlanAboutTheCentre(1);
  PreDealData next = EmptyNext(GetParam().motionType);
  std::uint32_t counted = 0;
  const SetPoints points = RunAlone(*PlannedEntry(0), &next, [&](PreDealData* cur, PreDealData* nx) {
    Circle(cur, nx);
    counted = std::max(counted, gPeriodCount1);
  });
  ASSERT_EQ(gCmdFinishFlag, 1);
  if (GetParam().blends) {
    EXPECT_GT(counted, 0u) << "the blend runs";
  } else {
    EXPECT_EQ(counted, 0u) << "gPeriodCount1 stays 0: the next move starts from its own start";
  }
  for (std::size_t i = 0; i < points.joints.size(); ++i) {
    const WCSPosition p = points.Pose(i);
    ASSERT_NEAR(std::hypot(p.x - 250.0, p.y), 50.0, 1e-6) << "an empty share keeps the circle, cycle " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, CircleBlendPartners,
                         ::testing::Values(NextKind{1, true}, NextKind{4, true}, NextKind{6, true}, NextKind{8, true},
                                           NextKind{2, true}, NextKind{10, true}, NextKind{11, true},
                                           NextKind{5, false}, NextKind{7, false}, NextKind{0, false},
                                           NextKind{3, false}, NextKind{9, false}),
                         [](const ::testing::TestParamInfo<NextKind>& info) {
                           return "Type" + std::to_string(info.param.motionType);
                         });

// Largest |step| of each joint over a run.
std::array<double, 4> LargestJointSteps(const SetPoints& points) {
  std::array<double, 4> largest{};
  for (std::size_t n = 1; n < points.joints.size(); ++n) {
    for (int i = 0; i < 4; ++i) {
      largest[i] = std::max(largest[i], std::fabs(points.joints[n][i] - points.joints[n - 1][i]));
    }
  }
  return largest;
}

TEST_F(CircleMoves, BlendIntoAJointMoveStepsNoFurtherThanEitherMoveAlone) {
  SetJointLimits(100, 400, 4000);
  SetTransition(50);
  PlanAboutTheCentre(1);
  ASSERT_TRUE(PreDealMotion(QueueMove(4, 30, 60, -20, 15), &MOVJPreDeal));
  const PreDealData circle = *PlannedEntry(0);
  const PreDealData joint = *PlannedEntry(1);

  // Each alone, from rest to rest.
  SetPoints circleAlone = RunAlone(circle, nullptr, &Circle);
  SetPoints jointAlone = RunAlone(joint, nullptr, &MOVJ);
  jointAlone.joints.insert(jointAlone.joints.begin(), circleAlone.joints.back());
  const auto a = LargestJointSteps(circleAlone), b = LargestJointSteps(jointAlone);

  StartAt({300, 0, -50, 0});
  SetPoints blended;
  blended.Take();
  EntryRunner runner(&PlayBack);
  runner.Run(100000, [&] { blended.Take(); });
  EXPECT_EQ(runner.started(), 2);
  const auto c = LargestJointSteps(blended);
  for (int i = 0; i < 4; ++i) {
    EXPECT_LE(c[i], std::max(a[i], b[i]) * (1 + 1e-9) + 1e-9) << "joint " << i + 1;
  }
  EXPECT_LT(blended.joints.size(), circleAlone.joints.size() + jointAlone.joints.size() - 1) << "the moves overlap";
  for (int i = 0; i < 4; ++i) EXPECT_EQ(blended.joints.back()[i], joint.targetAngle[i]);
}

// Largest Cartesian step of a run; `from` is the set point before it.
double LargestStep(const SetPoints& points, const WCSPosition& from) {
  double largest = DistanceXYZ(points.Pose(0), from);
  return std::max(largest, points.LargestStep());
}

struct LineAfter {
  const char* name;
  float x, y;
};
void PrintTo(const LineAfter& row, std::ostream* os) { *os << row.name; }

class CircleIntoLine : public CircleMoves, public ::testing::WithParamInterface<LineAfter> {};

TEST_P(CircleIntoLine, StepsNoFurtherThanEitherMoveAlone) {
  SetTransition(50);
  PlanAboutTheCentre(1);
  ASSERT_TRUE(PreDealMotion(QueueMove(2, GetParam().x, GetParam().y, -50, 0), &MOVLPreDeal));
  const PreDealData circle = *PlannedEntry(0);
  const PreDealData line = *PlannedEntry(1);
  const WCSPosition start{300, 0, -50, 0};

  const SetPoints circleAlone = RunAlone(circle, nullptr, &Circle);
  const SetPoints lineAlone = RunAlone(line, nullptr, &MOVL);
  const double alone =
      std::max(LargestStep(circleAlone, start), LargestStep(lineAlone, circleAlone.Pose(circleAlone.joints.size() - 1)));

  StartAt(start);
  SetPoints blended;
  std::uint32_t counted = 0;
  EntryRunner runner(&PlayBack);
  runner.Run(100000, [&] {
    blended.Take();
    counted = std::max(counted, gPeriodCount1);
  });
  EXPECT_EQ(runner.started(), 2);
  EXPECT_GT(counted, 0u) << "the circle blends into the line";
  EXPECT_LE(LargestStep(blended, start), alone * (1 + 1e-9) + 1e-9);
  EXPECT_LT(blended.joints.size(), circleAlone.joints.size() + lineAlone.joints.size()) << "the moves overlap";
  const WCSPosition end = blended.Pose(blended.joints.size() - 1);
  EXPECT_LT(DistanceXYZ(end, {GetParam().x, GetParam().y, -50, 0}), 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Table, CircleIntoLine,
                         ::testing::Values(LineAfter{"AlongTheLastTangent", 300, 80},
                                           LineAfter{"AgainstTheLastTangent", 300, -80},
                                           LineAfter{"AcrossTheLastTangent", 220, 0}),
                         [](const ::testing::TestParamInfo<LineAfter>& info) { return std::string(info.param.name); });

TEST_F(CircleMoves, ATypeSevenLineIsNotBlendedAndStartsFromItsOwnStart) {
  SetTransition(50);
  PlanAboutTheCentre(1);
  ASSERT_TRUE(PreDealMotion(QueueMove(7, 0, 60, 0, 0), &MOVLPreDeal));
  const PreDealData line = *PlannedEntry(1);

  SetPoints points;
  std::uint32_t counted = 0;
  std::size_t lineFirst = 0;
  EntryRunner runner(&PlayBack);
  runner.Run(100000, [&] {
    points.Take();
    counted = std::max(counted, gPeriodCount1);
    if (lineFirst == 0 && runner.started() == 2) lineFirst = points.joints.size() - 1;
  });
  EXPECT_EQ(counted, 0u) << "gPeriodCount1 never counts";
  ASSERT_GT(lineFirst, 0u);
  // The circle ended at its planned end, where the line starts; the line's
  // first step is a first step from rest.
  EXPECT_LT(DistanceXYZ(points.Pose(lineFirst - 1), line.lineStart), 1e-4);
  EXPECT_LE(DistanceXYZ(points.Pose(lineFirst), points.Pose(lineFirst - 1)),
            line.trajPlan.aMax * gPeriodTime * gPeriodTime * (1 + 1e-9));
  const WCSPosition lineEnd{line.lineStart.x, line.lineStart.y + 60, line.lineStart.z, line.lineStart.r};
  EXPECT_LT(DistanceXYZ(points.Pose(points.joints.size() - 1), lineEnd), 1e-6);
}

}  // namespace
}  // namespace zelor::test
