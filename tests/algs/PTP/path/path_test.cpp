// Path records: building them from moves and evaluating them over u.
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PTP/path/path.h"
#include "support/kernel_log_capture.h"

namespace {

namespace ps = path_slot;
constexpr double kPi = 3.141592653589793;

MotionCmd cartesianCmd(std::int32_t kind, const double (&start)[4], const double (&end)[4]) {
  MotionCmd cmd;
  std::memset(&cmd, 0, sizeof cmd);
  cmd.kind = kind;
  std::memcpy(cmd.start, start, sizeof start);
  std::memcpy(cmd.end, end, sizeof end);
  for (int k = 0; k < 4; ++k) {
    cmd.linear[k] = 100.0 * (k + 1);
    cmd.rotation[k] = 50.0 * (k + 1);
  }
  return cmd;
}

MotionCmd arcCmd(const double (&start)[4], const double (&middle)[4], const double (&end)[4]) {
  MotionCmd cmd = cartesianCmd(kPathArc, start, end);
  std::memcpy(cmd.middle, middle, sizeof middle);
  return cmd;
}

// A record full of a marker value, so that untouched fields show.
PathInfo markedRecord() {
  PathInfo p;
  for (double& v : p.para) v = -7.0;
  p.kind = -7;
  p.velScale = p.accScale = p.decScale = p.jerkScale = -7.0;
  p.extent = -7.0;
  return p;
}

void expectVec(const double* got, std::initializer_list<double> want, double tol, const char* what) {
  int i = 0;
  for (double w : want) {
    EXPECT_NEAR(got[i], w, tol) << what << "[" << i << "]";
    ++i;
  }
}

TEST(PathArc, ThreePointArcGivesItsFrameLengthAndMiddle) {
  PathInfo p = markedRecord();
  getPath(arcCmd({0, 0, 0, 0}, {1, 1, 0, 0}, {2, 0, 0, 0}), p);
  ASSERT_EQ(p.kind, kPathArc);
  EXPECT_EQ(p.extent, 1.0);
  expectVec(p.para + ps::kArcCentre, {1, 0, 0}, 1e-12, "centre");
  EXPECT_NEAR(p.para[ps::kArcRadius], 1.0, 1e-12);
  expectVec(p.para + ps::kArcU, {-1, 0, 0}, 1e-12, "U");
  expectVec(p.para + ps::kArcW, {0, 0, -1}, 1e-12, "W");
  expectVec(p.para + ps::kArcV, {0, 1, 0}, 1e-12, "V");
  EXPECT_NEAR(p.para[ps::kArcLength], kPi, 1e-12);
  EXPECT_EQ(p.para[ps::kArcBlendIn], 0.0);
  EXPECT_EQ(p.para[ps::kArcBlendOut], -7.0) << "the blend-out angle belongs to the caller";
  double out[6];
  getPos(p, 0.5, out);
  expectVec(out, {1, 1, 0, 0, 0, 0}, 1e-12, "getPos(0.5)");
}

TEST(PathArc, ReversedOrderTurnsTheOtherWayThroughTheMiddle) {
  PathInfo p = markedRecord();
  getPath(arcCmd({2, 0, 0, 0}, {1, 1, 0, 0}, {0, 0, 0, 0}), p);
  ASSERT_EQ(p.kind, kPathArc);
  expectVec(p.para + ps::kArcW, {0, 0, 1}, 1e-12, "W");
  double out[6];
  getPos(p, 0.5, out);
  expectVec(out, {1, 1, 0}, 1e-12, "getPos(0.5)");
  getPos(p, 1.0, out);
  expectVec(out, {0, 0, 0}, 1e-12, "getPos(1)");
}

TEST(PathArc, CollinearPointsBecomeALineFromStartToEnd) {
  PathInfo p = markedRecord();
  getPath(arcCmd({0, 0, 0, 10}, {1, 1, 1, 99}, {3, 3, 3, 40}), p);
  ASSERT_EQ(p.kind, kPathLine);
  EXPECT_NEAR(p.para[ps::kLineLength], std::sqrt(27.0), 1e-12);
  EXPECT_EQ(p.para[ps::kLineStartR], 10.0);
  EXPECT_EQ(p.para[ps::kLineEndR], 40.0);
  EXPECT_EQ(p.para[ps::kLineDeltaR], 30.0);
}

struct ScaleCase {
  const char* name;
  double endX;
  double endR;
  double linearVel;
  double rotationVel;
  double velScale;
};

TEST(PathLine, VelocityScaleFollowsTheDominantLimit) {
  const ScaleCase cases[] = {
      {"length dominates", 100, 0, 50, 30, 0.5},
      {"rotation dominates", 100, 90, 50, 30, 1.0 / 3.0},
      {"no rotation limit", 100, 90, 50, 0, 0.5},
      {"no linear limit", 100, 90, 0, 30, 1.0 / 3.0},
      {"zero length turning", 0, 90, 50, 30, 1.0 / 3.0},
  };
  for (const ScaleCase& c : cases) {
    MotionCmd cmd = cartesianCmd(kPathLine, {0, 0, 0, 0}, {c.endX, 0, 0, c.endR});
    for (int k = 0; k < 4; ++k) {
      cmd.linear[k] = c.linearVel;
      cmd.rotation[k] = c.rotationVel;
    }
    PathInfo p = markedRecord();
    getPath(cmd, p);
    EXPECT_EQ(p.extent, 1.0) << c.name;
    EXPECT_NEAR(p.velScale, c.velScale, 1e-15) << c.name;
    EXPECT_NEAR(p.jerkScale, c.velScale, 1e-15) << c.name;
    EXPECT_TRUE(std::isfinite(p.accScale)) << c.name;
  }
}

TEST(PathLine, ZeroLineWithoutTurnIsEmptyAndKeepsItsScales) {
  PathInfo p = markedRecord();
  getPath(cartesianCmd(kPathLine, {5, 5, 5, 1}, {5, 5, 5 + 1e-11, 1}), p);
  EXPECT_EQ(p.kind, kPathLine);
  EXPECT_EQ(p.extent, 0.0);
  EXPECT_EQ(p.para[ps::kLineLength], 0.0);
  expectVec(p.para + ps::kLineDir, {0, 0, 0}, 0.0, "direction");
  EXPECT_EQ(p.velScale, -7.0);
}

TEST(PathLine, BlendInDistanceShiftsTheParameter) {
  PathInfo p = markedRecord();
  getPath(cartesianCmd(kPathLine, {0, 0, 0, 0}, {0, 100, 0, 50}), p);
  p.para[ps::kLineBlendIn] = 10.0;
  double out[6];
  getPos(p, 0.0, out);
  expectVec(out, {0, 10, 0, 5, 0, 0}, 1e-12, "getPos(0)");
  getPos(p, 0.5, out);
  expectVec(out, {0, 60, 0, 30}, 1e-12, "getPos(0.5)");
  // A zero-length record with a blend-in distance does not divide by zero.
  getPath(cartesianCmd(kPathLine, {1, 2, 3, 0}, {1, 2, 3, 90}), p);
  p.para[ps::kLineBlendIn] = 10.0;
  getPos(p, 0.5, out);
  expectVec(out, {1, 2, 3, 45}, 1e-12, "zero-length getPos(0.5)");
}

TEST(PathJoint, DominantJointPerLimitKind) {
  MotionCmd cmd;
  std::memset(&cmd, 0, sizeof cmd);
  cmd.kind = kPathJoint;
  const double start[4] = {1, 2, 3, 4};
  const double change[4] = {10, -20, 20, 5};
  for (int i = 0; i < 4; ++i) {
    cmd.start[i] = start[i];
    cmd.end[i] = start[i] + change[i];
    cmd.jointVel[i] = 10;  // joints 2 and 3 tie: joint 2 wins
    cmd.jointAcc[i] = 100;
    cmd.jointDec[i] = 100;
    cmd.jointJerk[i] = 1000;
  }
  cmd.jointAcc[1] = -1;   // no limit: joint 3 governs
  cmd.jointDec[0] = 1;    // joint 1 needs 10 s
  PathInfo p = markedRecord();
  getPath(cmd, p);
  EXPECT_EQ(p.kind, kPathJoint);
  EXPECT_EQ(p.extent, 1.0);
  expectVec(p.para + ps::kJointStart, {1, 2, 3, 4}, 0.0, "start");
  expectVec(p.para + ps::kJointChange, {10, -20, 20, 5}, 0.0, "change");
  EXPECT_DOUBLE_EQ(p.velScale, 0.5);
  EXPECT_DOUBLE_EQ(p.accScale, 5.0);
  EXPECT_DOUBLE_EQ(p.decScale, 0.1);
  EXPECT_DOUBLE_EQ(p.jerkScale, 50.0);

  p.para[ps::kJointOffset] = 0.25;
  double out[4];
  getPos(p, 0.25, out);
  expectVec(out, {6, -8, 13, 6.5}, 1e-12, "getPos with offset");
}

TEST(PathJoint, MoveWithoutChangeIsEmpty) {
  MotionCmd cmd;
  std::memset(&cmd, 0, sizeof cmd);
  cmd.kind = kPathJoint;
  for (int i = 0; i < 4; ++i) {
    cmd.start[i] = cmd.end[i] = 3.0 * i;
    cmd.jointVel[i] = cmd.jointAcc[i] = cmd.jointDec[i] = cmd.jointJerk[i] = 10;
  }
  PathInfo p = markedRecord();
  getPath(cmd, p);
  EXPECT_EQ(p.kind, kPathJoint);
  EXPECT_EQ(p.extent, 0.0);
  EXPECT_EQ(p.velScale, -7.0);
  EXPECT_EQ(p.jerkScale, -7.0);
}

// Unknown kinds are reported as kernel log lines: these run inside the
// cycle, where nothing may write to a stream.
class PathKinds : public KernelLogCapture {};

TEST_F(PathKinds, NoneAndUnknownKinds) {
  MotionCmd cmd = cartesianCmd(kPathNone, {0, 0, 0, 0}, {1, 0, 0, 0});
  PathInfo p = markedRecord();
  getPath(cmd, p);
  EXPECT_EQ(p.kind, kPathNone);
  EXPECT_EQ(p.extent, 0.0);

  cmd.kind = 9;
  p = markedRecord();
  testing::internal::CaptureStdout();
  getPath(cmd, p);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(lines(), std::vector<std::string>{"unsupported type\r\n"});
  EXPECT_EQ(p.kind, -7);
  EXPECT_EQ(p.extent, 0.0);

  double out[6] = {1, 2, 3, 4, 5, 6};
  testing::internal::CaptureStdout();
  getPos(p, 0.5, out);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(lines(), (std::vector<std::string>{"unsupported type\r\n", "unsupported type\r\n"}));
  getTangent(0.5, out, p);
  getCurvature(0.5, out, p);
  expectVec(out, {1, 2, 3, 4, 5, 6}, 0.0, "untouched");
}

// Seeded arcs: the record stays on its circle from start to end, passes the
// middle point, and its derivatives are those of its positions.
TEST(PathArc, RandomArcsAreConsistent) {
  std::mt19937 rng(20240612);
  std::uniform_real_distribution<double> coord(-300.0, 300.0);
  for (int trial = 0; trial < 200; ++trial) {
    const double s[4] = {coord(rng), coord(rng), coord(rng), coord(rng) / 3};
    const double m[4] = {coord(rng), coord(rng), coord(rng), 0};
    const double e[4] = {coord(rng), coord(rng), coord(rng), coord(rng) / 3};
    PathInfo p = markedRecord();
    getPath(arcCmd({s[0], s[1], s[2], s[3]}, {m[0], m[1], m[2], m[3]}, {e[0], e[1], e[2], e[3]}), p);
    ASSERT_EQ(p.kind, kPathArc) << "trial " << trial;
    const double* c = p.para + ps::kArcCentre;
    const double radius = p.para[ps::kArcRadius];
    const double length = p.para[ps::kArcLength];
    ASSERT_GT(length, 0.0);
    ASSERT_LT(length, 2 * kPi * radius);
    const double tol = 1e-9 * std::fmax(1.0, radius);

    double pos[6];
    getPos(p, 0.0, pos);
    expectVec(pos, {s[0], s[1], s[2], s[3]}, tol, "start");
    getPos(p, 1.0, pos);
    expectVec(pos, {e[0], e[1], e[2], e[3]}, tol, "end");

    // The middle point lies at an angle inside the sweep.
    const double dm[3] = {m[0] - c[0], m[1] - c[1], m[2] - c[2]};
    double cu = 0, sv = 0;
    for (int i = 0; i < 3; ++i) {
      cu += dm[i] * p.para[ps::kArcU + i];
      sv += dm[i] * p.para[ps::kArcV + i];
    }
    double angle = std::atan2(sv, cu);
    if (angle < 0) angle += 2 * kPi;
    EXPECT_LE(angle * radius, length + tol) << "trial " << trial;
    getPos(p, angle * radius / length, pos);
    expectVec(pos, {m[0], m[1], m[2]}, tol, "middle");

    const double h = 1e-6;
    const double h2 = 1e-3;
    for (double u : {0.1, 0.37, 0.8}) {
      double at[6], ahead[6], behind[6], tangent[6], curvature[6], ahead2[6], behind2[6];
      getPos(p, u, at);
      getPos(p, u + h, ahead);
      getPos(p, u - h, behind);
      getPos(p, u + h2, ahead2);
      getPos(p, u - h2, behind2);
      getTangent(u, tangent, p);
      getCurvature(u, curvature, p);
      const double dist = std::hypot(at[0] - c[0], at[1] - c[1], at[2] - c[2]);
      EXPECT_NEAR(dist, radius, tol) << "on the circle, trial " << trial;
      for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(tangent[i], (ahead[i] - behind[i]) / (2 * h), 1e-5 * std::fmax(1.0, length)) << i;
      }
      for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(curvature[i], (ahead2[i] - 2 * at[i] + behind2[i]) / (h2 * h2),
                    1e-3 * std::fmax(1.0, length * length / radius))
            << i;
      }
    }
  }
}

}  // namespace
