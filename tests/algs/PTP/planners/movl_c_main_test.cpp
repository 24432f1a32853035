// The running Cartesian move's set point per cycle: where it lies on the
// planned geometry, the progress values kept for the path stop, the end rule
// with and without the shaper's delay and under true motion, and the shaped
// progress with its log lines.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PTP/planners/path_transforms.h"
#include "planned_entries.h"

namespace {

constexpr double kT = 0.004;
constexpr double kTol = 1e-9;

const WCSPosition kLineFrom{250.0, -40.0, -20.0, 10.0};
const WCSPosition kLineTo{310.0, 35.0, -45.0, -25.0};
// An arc in a tilted plane that takes the long way round through its middle point.
const WCSPosition kArc0{300.0, 0.0, -50.0, 0.0};
const WCSPosition kArc1{200.0, 10.0, -40.0, 20.0};
const WCSPosition kArc2{260.0, 45.0, -45.0, 40.0};

struct Case {
  const char* name;
  std::function<PreDealData()> make;
};

std::vector<Case> cases() {
  return {
      {"line type 2", [] { return planned::line(kLineFrom, kLineTo, 2); }},
      {"line type 5", [] { return planned::line(kLineFrom, kLineTo, 5); }},
      {"line type 7", [] { return planned::line(kLineFrom, kLineTo, 7); }},
      {"pure rotation", [] { return planned::line(kLineFrom, {250.0, -40.0, -20.0, 80.0}, 2); }},
      {"arc", [] { return planned::curve(kArc0, kArc1, kArc2, 10); }},
      {"full circle", [] { return planned::curve(kArc0, kArc1, kArc2, 11); }},
      {"line re-planned in fractions",
       [] {
         PreDealData e = planned::line(kLineFrom, kLineTo, 2);
         // As the blend set-up leaves it: the shares hold the whole path, the profile runs 0..1.
         const double L = std::sqrt(60.0 * 60.0 + 75.0 * 75.0 + 25.0 * 25.0);
         e.lineLength = L;
         e.lineDeltaR = kLineTo.r - kLineFrom.r;
         planned::planProfile(e.trajPlan, 1.0, 0.8, 4.0, 40.0);
         return e;
       }},
  };
}

double dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

bool isCurve(const PreDealData& e) { return e.motionType == 10 || e.motionType == 11; }

// Where the move stands at fraction f of its path, from the entry's end
// points and plan only (not from its shares).
void expectOnPath(const PreDealData& e, double f, const WCSPosition& p, const std::string& what) {
  if (!isCurve(e)) {
    const WCSPosition& a = e.lineStart;
    const WCSPosition& b = e.targetPose;
    EXPECT_NEAR(p.x, a.x + f * (b.x - a.x), kTol) << what;
    EXPECT_NEAR(p.y, a.y + f * (b.y - a.y), kTol) << what;
    EXPECT_NEAR(p.z, a.z + f * (b.z - a.z), kTol) << what;
    EXPECT_NEAR(p.r, a.r + f * (b.r - a.r), kTol) << what << ": r changes linearly";
    return;
  }
  const double rel[3] = {p.x - e.arcCentre.x, p.y - e.arcCentre.y, p.z - e.arcCentre.z};
  double u[3], v[3], n[3];
  for (int i = 0; i < 3; ++i) {
    u[i] = e.arcRotation.m[i][0];
    v[i] = e.arcRotation.m[i][1];
    n[i] = e.arcRotation.m[i][2];
  }
  EXPECT_NEAR(std::sqrt(dot(rel, rel)), e.arcRadius, kTol) << what << ": at R from the centre";
  EXPECT_NEAR(dot(rel, n), 0.0, kTol) << what << ": in the plane";
  const double swept = f * e.arcAngle;
  EXPECT_NEAR(dot(rel, u), e.arcRadius * std::cos(swept), 1e-8) << what << ": angle along the arc";
  EXPECT_NEAR(dot(rel, v), e.arcRadius * std::sin(swept), 1e-8) << what << ": angle along the arc";
  EXPECT_NEAR(p.r, e.arcOrigin.r + f * (e.targetPose.r - e.arcOrigin.r), kTol) << what << ": r changes linearly";
}

// The path stop's pose formulas from the entry's stop values.
WCSPosition pathStopPose(const PreDealData& e, double s) {
  WCSPosition p{};
  if (!isCurve(e)) {
    for (int i = 0; i < 3; ++i) (&p.x)[i] = (&e.lineStart.x)[i] + s * e.lineLength * e.lineDir[i];
    p.r = e.lineStart.r + s * e.lineDeltaR;
    return p;
  }
  const double phi = s * e.arcShare / e.arcRadius;
  for (int i = 0; i < 3; ++i) {
    (&p.x)[i] = (&e.arcCentre.x)[i] + e.arcRadius * std::cos(phi) * e.arcRotation.m[i][0] +
                e.arcRadius * std::sin(phi) * e.arcRotation.m[i][1];
  }
  p.r = e.arcOrigin.r + s * e.arcDeltaR;
  return p;
}

class MovlcMain : public PlannerKernel {};

TEST_F(MovlcMain, EveryCyclePoseLiesOnThePathAtItsProfilePosition) {
  for (const Case& c : cases()) {
    PreDealData e = c.make();
    TrajPlanData ref = e.trajPlan;
    ASSERT_GT(ref.tTotal, 0.0) << c.name;
    const int last = static_cast<int>(ref.tTotal / kT) + 2;
    for (int n = 1; n <= last; ++n) {
      gPeriodCount = static_cast<std::uint32_t>(n);
      const double t = n * kT;
      WCSPosition pose{-1, -1, -1, -1};
      MOVLCMain(t, &e, nullptr, &pose);
      const std::string what = std::string(c.name) + " cycle " + std::to_string(n);
      const double s = t < ref.tTotal ? JointCalc(&ref, t) : ref.dist;
      const double sPrev = JointCalc(&ref, t - kT);
      EXPECT_EQ(e.pathParam, s) << what;
      EXPECT_EQ(e.trajPlan.sPrev, sPrev) << what;
      EXPECT_DOUBLE_EQ(e.trajPlan.vCurrent, (s - sPrev) / kT) << what;
      EXPECT_EQ(e.pathSpeed, e.trajPlan.vCurrent) << what;
      if (e.trajPlan.noMotion) {
        EXPECT_EQ(s, ref.dist) << what;
        EXPECT_EQ(std::memcmp(&pose, &e.targetPose, sizeof pose), 0) << what << ": a finished move stands at its target";
        continue;
      }
      expectOnPath(e, s / ref.dist, pose, what);
      const WCSPosition stop = pathStopPose(e, s);
      EXPECT_NEAR(stop.x, pose.x, kTol) << what << ": the path stop's form gives the same pose";
      EXPECT_NEAR(stop.y, pose.y, kTol) << what;
      EXPECT_NEAR(stop.z, pose.z, kTol) << what;
      EXPECT_NEAR(stop.r, pose.r, kTol) << what;
      if (isCurve(e)) {
        EXPECT_EQ(e.arcTravelled, s) << what;
        EXPECT_NEAR(e.arcRemaining, e.arcRadius * e.arcAngle * (1.0 - s / ref.dist), 1e-9) << what;
        EXPECT_NEAR(e.arcRemainingR, (e.targetPose.r - e.arcOrigin.r) * (1.0 - s / ref.dist), 1e-9) << what;
      }
    }
    EXPECT_TRUE(e.trajPlan.noMotion) << c.name << " has finished";
  }
  EXPECT_TRUE(linesStartingWith("S2:").empty()) << "no S2 line with shaping off";
}

struct EndCase {
  const char* name;
  bool shaping;
  bool trueMotion;
};

TEST_F(MovlcMain, MoveEndsAtItsTotalTimePlusTheShaperDelayOrHalfAPeriodEarlyUnderPlainTrueMotion) {
  const EndCase endCases[] = {
      {"no delay", false, false},
      {"50-cycle shaper delay", true, false},
      {"true motion", false, true},
      // No corner blend after it: the shaper's delay still holds, or the
      // set point would jump from the shaped path to the target.
      {"true motion with a 50-cycle shaper delay", true, true},
  };
  for (const EndCase& c : endCases) {
    resetRunState();
    gInputShaping = c.shaping ? 1 : 0;
    gUsingTrueMotion = c.trueMotion ? 1 : 0;
    if (c.shaping) {
      vInitShape(0, {0.0, 5.0, 0.004});
      ASSERT_EQ(strLocalVar[0].delay2, 50);
    }
    const int N = strLocalVar[0].delay2;
    PreDealData e = planned::line(kLineFrom, kLineTo, 2);
    const double T = e.trajPlan.tTotal;
    const double dist = e.trajPlan.dist;

    int firstDone = 0;
    for (int n = 1; n < 2000 && firstDone == 0; ++n) {
      gPeriodCount = static_cast<std::uint32_t>(n);
      const double t = n * kT;
      WCSPosition pose{};
      MOVLCMain(t, &e, nullptr, &pose);
      if (e.trajPlan.noMotion) {
        firstDone = n;
        EXPECT_EQ(e.pathParam, dist) << c.name;
        EXPECT_EQ(pose.x, kLineTo.x) << c.name << ": a finished move stands at its target";
        EXPECT_EQ(pose.r, kLineTo.r) << c.name;
      }
    }
    const double end = c.trueMotion && !c.shaping ? T - 0.5 * kT : T + N * kT;
    EXPECT_GE(firstDone * kT, end) << c.name;
    EXPECT_LT((firstDone - 1) * kT, end) << c.name << ": finished in the first cycle that reaches it";

    // Exactly at the total time the whole distance is reached; the move is
    // over then only without a delay.
    if (!c.trueMotion || c.shaping) {
      PreDealData atT = planned::line(kLineFrom, kLineTo, 2);
      gPeriodCount = 7;
      WCSPosition pose{};
      MOVLCMain(T, &atT, nullptr, &pose);
      EXPECT_EQ(atT.pathParam, dist) << c.name;
      EXPECT_EQ(atT.trajPlan.noMotion != 0, N == 0) << c.name;
    }
  }
}

TEST_F(MovlcMain, ShapedProgressGivesThePoseAndTheArcRemainderWithOneS2LinePerCycle) {
  for (const Case& c : cases()) {
    resetRunState();
    gInputShaping = 1;
    const ShapCmdTypedef shaper{0.1, 8.0, 0.004};
    vInitShape(0, shaper);
    vInitShape(2, shaper);  // the reference
    PreDealData e = c.make();
    TrajPlanData ref = e.trajPlan;
    int cycles = 0;
    for (int n = 1; n < 2000; ++n, ++cycles) {
      lines().clear();
      gPeriodCount = static_cast<std::uint32_t>(n);
      const double t = n * kT;
      const double s = t < ref.tTotal ? JointCalc(&ref, t) : ref.dist;
      if (n == 1) vInitHistoryData(2, s);
      double sf = 0.0;
      vCalcInputShaping(2, s, &sf);
      WCSPosition pose{};
      MOVLCMain(t, &e, nullptr, &pose);
      if (e.trajPlan.noMotion) break;
      const std::string what = std::string(c.name) + " cycle " + std::to_string(n);
      EXPECT_EQ(strLocalVar[0].endFlag, 1) << what << ": shaping marked started";
      EXPECT_EQ(e.pathParam, s) << what << ": the stop reads the shaper's input";
      expectOnPath(e, sf / ref.dist, pose, what + " (shaped)");

      const WCSPosition unshaped = pathStopPose(e, s);
      char s2[64];
      std::snprintf(s2, sizeof s2, "S2:%1.3f,%1.3f,%1.3f\r\n", unshaped.x, unshaped.y, unshaped.z);
      ASSERT_EQ(lines().size(), e.motionType == 11 ? 3u : 1u) << what;
      EXPECT_EQ(lines()[0], s2) << what << ": S2 carries the unshaped point";
      if (e.motionType == 11) {
        char centre[128];
        char rest[128];
        std::snprintf(centre, sizeof centre, "circle arcCenter:%1.3f,%1.3f,%1.3f\r\n", e.arcCentre.x, e.arcCentre.y,
                      e.arcCentre.z);
        // Radius and what was left at the unshaped s.
        std::snprintf(rest, sizeof rest, "circle arcRadius:%1.3f,arclen:%1.3f,rotAngLeft:%1.3f\r\n", e.arcRadius,
                      e.arcRadius * e.arcAngle - s * e.arcShare, e.arcRDir * e.arcRTravel - s * e.arcDeltaR);
        EXPECT_EQ(lines()[1], centre) << what;
        EXPECT_EQ(lines()[2], rest) << what;
      }
      if (isCurve(e)) {
        EXPECT_EQ(e.arcTravelled, sf) << what;
        EXPECT_NEAR(e.arcRemaining, e.arcRadius * e.arcAngle - sf * e.arcShare, 1e-12) << what;
        EXPECT_NEAR(e.arcRemainingR, e.arcRDir * e.arcRTravel - sf * e.arcDeltaR, 1e-12) << what;
      }
    }
    EXPECT_GE(cycles * kT, ref.tTotal) << c.name << " ran through its profile and the shaper's delay";
  }
}

TEST_F(MovlcMain, OtherMotionTypesLeaveThePoseButKeepTheProgress) {
  for (std::uint32_t type : {0u, 1u, 4u, 9u, 12u}) {
    PreDealData e = planned::line(kLineFrom, kLineTo, 2);
    e.motionType = type;
    gPeriodCount = 10;
    WCSPosition pose{1.0, 2.0, 3.0, 4.0};
    MOVLCMain(10 * kT, &e, nullptr, &pose);
    EXPECT_EQ(pose.x, 1.0) << "type " << type;
    EXPECT_EQ(pose.y, 2.0) << "type " << type;
    EXPECT_EQ(pose.z, 3.0) << "type " << type;
    EXPECT_EQ(pose.r, 4.0) << "type " << type;
    EXPECT_GT(e.pathParam, 0.0) << "type " << type;
  }
}

}  // namespace
