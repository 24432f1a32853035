// The following move's share while the running one blends into it: absolute
// behind a joint move, added behind any other, the blending object's pose
// under true motion, and joint offsets of a following joint move.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "PTP/path/blending.h"
#include "PTP/path/path.h"
#include "PTP/planners/path_transforms.h"
#include "common/kinematics/kinematics_constants.h"
#include "planned_entries.h"

namespace {

constexpr double kT = 0.004;
constexpr double kTol = 1e-9;

const WCSPosition kFrom{250.0, -40.0, -20.0, 10.0};
const WCSPosition kTo{310.0, 35.0, -45.0, -25.0};
const WCSPosition kArc0{300.0, 0.0, -50.0, 0.0};
const WCSPosition kArc1{200.0, 10.0, -40.0, 20.0};
const WCSPosition kArc2{260.0, 45.0, -45.0, 40.0};
const WCSPosition kGiven{180.0, 120.0, -30.0, 33.0};

PreDealData running(std::uint32_t type) {
  PreDealData e{};
  e.motionType = type;
  return e;
}

// Fraction of the following move done at tn.
double fractionAt(PreDealData next, double tn) { return JointCalcNext(&next.trajPlan, tn) / next.trajPlan.dist; }

void expectPose(const WCSPosition& got, const WCSPosition& want, const std::string& what) {
  EXPECT_NEAR(got.x, want.x, kTol) << what;
  EXPECT_NEAR(got.y, want.y, kTol) << what;
  EXPECT_NEAR(got.z, want.z, kTol) << what;
  EXPECT_NEAR(got.r, want.r, kTol) << what;
}

WCSPosition plus(const WCSPosition& a, const WCSPosition& d) { return {a.x + d.x, a.y + d.y, a.z + d.z, a.r + d.r}; }

class BlendTransforms : public PlannerKernel {
 protected:
  void TearDown() override {
    blendSeg.reset();
    PlannerKernel::TearDown();
  }
};

struct ShareCase {
  std::uint32_t runningType;
  bool absolute;
};

TEST_F(BlendTransforms, FollowingLineIsAbsoluteBehindJointMovesAndAddedBehindOthers) {
  const ShareCase cases[] = {{1, true}, {4, true}, {6, true}, {8, true}, {2, false}, {5, false}, {7, false},
                             {10, false}, {11, false}, {0, false}};
  PreDealData next = planned::line(kFrom, kTo, 2);
  for (const ShareCase& c : cases) {
    PreDealData cur = running(c.runningType);
    for (int k = 1; k < 400; k += 37) {
      const double tn = k * kT;
      const double f = fractionAt(next, tn);
      const WCSPosition share{f * (kTo.x - kFrom.x), f * (kTo.y - kFrom.y), f * (kTo.z - kFrom.z),
                              f * (kTo.r - kFrom.r)};
      WCSPosition pose = kGiven;
      MOVLTrans(tn, &cur, &next, &pose);
      const std::string what = "behind type " + std::to_string(c.runningType) + " at " + std::to_string(k);
      expectPose(pose, c.absolute ? plus(kFrom, share) : plus(kGiven, share), what);
    }
  }
}

TEST_F(BlendTransforms, FollowingArcOrCircleIsAbsoluteOnlyBehindTypeOne) {
  struct Curve {
    const char* name;
    std::uint32_t type;
    void (*trans)(double, PreDealData*, PreDealData*, WCSPosition*);
  };
  const Curve curves[] = {{"arc", 10, &MOVCTrans}, {"circle", 11, &CircleTrans}};
  const ShareCase cases[] = {{1, true}, {4, false}, {6, false}, {8, false}, {2, false}, {10, false}};
  for (const Curve& cv : curves) {
    PreDealData next = planned::curve(kArc0, kArc1, kArc2, cv.type);
    for (const ShareCase& c : cases) {
      PreDealData cur = running(c.runningType);
      for (int k = 1; k < 500; k += 41) {
        const double tn = k * kT;
        const std::string what = std::string(cv.name) + " behind type " + std::to_string(c.runningType) + " at " +
                                 std::to_string(k);
        WCSPosition pose = kGiven;
        cv.trans(tn, &cur, &next, &pose);
        WCSPosition fromOrigin = next.arcOrigin;
        cv.trans(tn, &cur, &next, &fromOrigin);
        if (c.absolute) {
          const double rel[3] = {pose.x - next.arcCentre.x, pose.y - next.arcCentre.y, pose.z - next.arcCentre.z};
          EXPECT_NEAR(std::sqrt(rel[0] * rel[0] + rel[1] * rel[1] + rel[2] * rel[2]), next.arcRadius, kTol) << what;
          expectPose(pose, fromOrigin, what + ": the given pose plays no part");
          EXPECT_NEAR(pose.r, kArc0.r + fractionAt(next, tn) * (kArc2.r - kArc0.r), kTol) << what;
        } else {
          // The displacement does not depend on where it is added, and added
          // to the origin it lands on the absolute point.
          PreDealData typeOne = running(1);
          WCSPosition absolute{};
          cv.trans(tn, &typeOne, &next, &absolute);
          expectPose(fromOrigin, absolute, what + ": added to the origin it is the arc point");
          const WCSPosition d{fromOrigin.x - next.arcOrigin.x, fromOrigin.y - next.arcOrigin.y,
                              fromOrigin.z - next.arcOrigin.z, fromOrigin.r - next.arcOrigin.r};
          expectPose(pose, plus(kGiven, d), what);
        }
      }
    }
  }
}

TEST_F(BlendTransforms, UnderTrueMotionTheBlendingObjectGivesThePoseWithRInDegrees) {
  MotionCmd first{};
  MotionCmd second{};
  const double a[4] = {0, 0, 0, 0}, b[4] = {100, 0, 0, 30}, c[4] = {100, 40, 0, 60};
  for (int i = 0; i < 4; ++i) {
    first.start[i] = a[i];
    first.end[i] = b[i];
    second.start[i] = b[i];
    second.end[i] = c[i];
  }
  for (MotionCmd* cmd : {&first, &second}) {
    cmd->kind = kPathLine;
    const double lin[4] = {200, 2000, 2000, 20000}, rot[4] = {180, 1800, 1800, 18000};
    std::memcpy(cmd->linear, lin, sizeof lin);
    std::memcpy(cmd->rotation, rot, sizeof rot);
  }
  PathInfo p1{}, p2{};
  getPath(first, p1);
  getPath(second, p2);
  blendSeg.getBlendingSeg(p1, p2, 30.0, 0.0);
  ASSERT_GT(blendSeg.getAllTime(), 0.0);
  gUsingTrueMotion = 1;

  PreDealData nextLine = planned::line(kFrom, kTo, 2);
  PreDealData nextArc = planned::curve(kArc0, kArc1, kArc2, 10);
  const double tn = 0.5 * blendSeg.getAllTime();
  // The object advances its parameter on each call: every call below starts
  // from the same state.
  const Blending planned = blendSeg;
  Blending probe = planned;
  double out[6] = {};
  probe.getCartPos(tn, out);
  ASSERT_NE(out[3], 0.0) << "a blend that turns r";
  const WCSPosition blended{out[0], out[1], out[2], out[3] * 180.0 / 3.1415927410125732};

  for (std::uint32_t type : {2u, 4u, 10u}) {
    PreDealData cur = running(type);
    WCSPosition pose = kGiven;
    blendSeg = planned;
    MOVLTrans(tn, &cur, &nextLine, &pose);
    expectPose(pose, blended, "line behind type " + std::to_string(type));
    pose = kGiven;
    blendSeg = planned;
    MOVCTrans(tn, &cur, &nextArc, &pose);
    expectPose(pose, blended, "arc behind type " + std::to_string(type));
  }
  // Behind a full circle or a type-1 joint move, and for a following circle, the entries' own geometry.
  for (std::uint32_t type : {1u, 11u}) {
    PreDealData cur = running(type);
    WCSPosition pose = kGiven;
    MOVLTrans(tn, &cur, &nextLine, &pose);
    const double f = fractionAt(nextLine, tn);
    const WCSPosition share{f * (kTo.x - kFrom.x), f * (kTo.y - kFrom.y), f * (kTo.z - kFrom.z), f * (kTo.r - kFrom.r)};
    expectPose(pose, type == 1 ? plus(kFrom, share) : plus(kGiven, share), "line behind type " + std::to_string(type));
  }
  PreDealData nextCircle = planned::curve(kArc0, kArc1, kArc2, 11);
  PreDealData cur = running(2);
  WCSPosition pose = kGiven;
  CircleTrans(tn, &cur, &nextCircle, &pose);
  EXPECT_GT(std::fabs(pose.x - blended.x) + std::fabs(pose.y - blended.y), 1.0) << "a circle takes no blending pose";
}

TEST_F(BlendTransforms, FollowingJointMoveGivesItsProgressAlongItsDirection) {
  const double u[4] = {0.6, -0.48, 0.64, 0.0};
  PreDealData next = planned::joint(u, 90.0);
  for (bool shaping : {false, true}) {
    resetRunState();
    gInputShaping = shaping ? 1 : 0;
    if (shaping) {
      vInitShape(1, {0.1, 8.0, 0.004});
      vInitShape(2, {0.1, 8.0, 0.004});
    }
    for (int k = 1; k < 600; ++k) {
      const double tn = k * kT;
      double s = JointCalcNext(&next.trajPlan, tn);
      if (shaping) vCalcInputShaping(2, s, &s);
      double joints[4] = {-1, -1, -1, -1};
      MOVJTrans(tn, &next, joints);
      for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(joints[i], s * u[i], 1e-12) << (shaping ? "shaped" : "unshaped") << " cycle " << k << " joint " << i;
      }
    }
  }
}

}  // namespace
