// Torque-limited acceleration caps of joint, line, arc and jump moves: the
// kinematic limits when the torque bounds are far away, caps that a halved
// bound never raises, the joint line taken from the move's own start, and
// points out of reach that bound nothing.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Dynamics/dynamic_optimal.h"
#include "PTP/path/circle_geometry.h"
#include "PTP/planners/dynamic_caps.h"
#include "common/kernel/kernel_queues.h"
#include "planned_entries.h"

namespace {

namespace ds = dyn_slot;

struct Limits {
  double v, a, dec, j;
};

Limits limitsOf(const TrajPlanData& p) { return {p.vMax, p.aMax, p.aMaxDec, p.jerk}; }

void expectRelNear(double got, double want, const std::string& what) {
  EXPECT_NEAR(got, want, 1e-9 * std::fabs(want)) << what;
}

// Per-joint records as the joint and jump planners fill them.
struct Joints {
  double from[4];
  double to[4];
  double v[4];
  double a[4];
  double j[4];
};

void fillJointData(const Joints& m, TrajPlanData* data) {
  for (int i = 0; i < 4; ++i) {
    data[i] = TrajPlanData{};
    const double d = m.to[i] - m.from[i];
    data[i].dist = std::fabs(d);
    data[i].accDir = d < 0.0 ? -1 : 1;
    data[i].noMotion = std::fabs(d) < 1e-5;
    data[i].vMax = m.v[i];
    data[i].aMax = m.a[i];
    data[i].jerk = m.j[i];
  }
}

// The joint planner's kinematic limits: per limit kind the joint that needs
// the most time governs.
Limits jointKinematic(const Joints& m, double s, std::initializer_list<int> joints) {
  Limits k{1e300, 1e300, 1e300, 1e300};
  for (int i : joints) {
    const double d = std::fabs(m.to[i] - m.from[i]);
    if (d < 1e-5) continue;
    k.v = std::min(k.v, s * m.v[i] / d);
    k.a = std::min(k.a, s * m.a[i] / d);
    k.j = std::min(k.j, s * m.j[i] / d);
  }
  k.dec = k.a;
  return k;
}

// The linear planner's kinematic limits for translation L and rotation dr.
Limits cartesianKinematic(double L, double dr, const Limits& pos, const Limits& rot) {
  const double s = std::sqrt(L * L + dr * dr);
  auto pick = [&](double p, double r) { return std::min(s * p / L, s * r / std::fabs(dr)); };
  const double a = pick(pos.a, rot.a);
  return {pick(pos.v, rot.v), a, a, pick(pos.j, rot.j)};
}

TrajPlanData limitRecord(const Limits& l) {
  TrajPlanData p{};
  p.vMax = l.v;
  p.aMax = l.a;
  p.jerk = l.j;
  return p;
}

const Joints kJointMove{{10, 40, -50, 0}, {70, -30, -90, 120}, {300, 300, 800, 600},
                        {3000, 3000, 30000, 6000}, {30000, 30000, 300000, 60000}};
const WCSPosition kLineFrom{250.0, -100.0, -20.0, 0.0};
const WCSPosition kLineTo{300.0, 120.0, -60.0, 45.0};
const WCSPosition kArc0{300.0, 0.0, -50.0, 0.0};
const WCSPosition kArc1{200.0, 150.0, -50.0, 20.0};
const WCSPosition kArc2{120.0, 250.0, -50.0, 60.0};
const Limits kPos{800.0, 6000.0, 6000.0, 60000.0};
const Limits kRot{400.0, 4000.0, 4000.0, 40000.0};

_stLoadFullParams load(double weight, double inertia) {
  _stLoadFullParams l{};
  l.weight = weight;
  l.inertia = inertia;
  return l;
}

// One move's call: fills the profile's distance, calls its function.
struct Move {
  const char* name;
  double dist;
  Limits kinematic;
  std::function<void(TrajPlanData*, std::uint8_t, _stLoadFullParams)> cap;
};

std::vector<Move> moves() {
  std::vector<Move> out;
  {
    double s2 = 0.0;
    for (int i = 0; i < 4; ++i) s2 += std::pow(kJointMove.to[i] - kJointMove.from[i], 2);
    const double s = std::sqrt(s2);
    out.push_back({"joint move", s, jointKinematic(kJointMove, s, {0, 1, 2, 3}),
                   [](TrajPlanData* p, std::uint8_t flag, _stLoadFullParams l) {
                     TrajPlanData data[4];
                     fillJointData(kJointMove, data);
                     JointMove m{};
                     for (int i = 0; i < 4; ++i) m.initialPos[i] = kJointMove.from[i];
                     MOVJDynOpt(m, data, p, flag, l);
                   }});
  }
  {
    const double L = std::sqrt(50.0 * 50.0 + 220.0 * 220.0 + 40.0 * 40.0);
    out.push_back({"line", std::sqrt(L * L + 45.0 * 45.0), cartesianKinematic(L, 45.0, kPos, kRot),
                   [](TrajPlanData* p, std::uint8_t flag, _stLoadFullParams l) {
                     MOVLDynOpt(kLineFrom, kLineTo, limitRecord(kPos), limitRecord(kRot), p, flag, l);
                   }});
  }
  {
    CirlPlanPara arc{};
    TP_CirclePlanForScara(kArc0, kArc1, kArc2, &arc, 0, true);
    const double A = arc.radius * arc.angle;
    out.push_back({"arc", std::sqrt(A * A + 60.0 * 60.0), cartesianKinematic(A, 60.0, kPos, kRot),
                   [arc](TrajPlanData* p, std::uint8_t flag, _stLoadFullParams l) {
                     MOVCDynOpt(arc, kArc0, kArc2, limitRecord(kPos), limitRecord(kRot), p, flag, l);
                   }});
  }
  // A jump: lift joint 3 by 40 mm, move joints 1, 2 and 4, descend by 70 mm.
  const auto jump = [](int segment) {
    return [segment](TrajPlanData* p, std::uint8_t flag, _stLoadFullParams l) {
      TrajPlanData data[4];
      fillJointData(kJointMove, data);
      JumpMove m{};
      for (int i = 0; i < 4; ++i) m.initialPos[i] = kJointMove.from[i];
      m.origin.z = kJointMove.from[2];
      m.lift.dist = 40.0;
      m.lift.accDir = 1;
      if (segment == kJumpLift) p->accDir = 1;
      if (segment == kJumpDescent) p->accDir = -1;
      JUMPDynOpt(m, data, p, flag, l, segment);
    };
  };
  const double travel = std::sqrt(60.0 * 60.0 + 70.0 * 70.0 + 120.0 * 120.0);
  out.push_back({"jump lift", 40.0, {800.0, 30000.0, 30000.0, 300000.0}, jump(kJumpLift)});
  out.push_back({"jump travel", travel, jointKinematic(kJointMove, travel, {0, 1, 3}), jump(kJumpTravel)});
  out.push_back({"jump descent", 70.0, {800.0, 30000.0, 30000.0, 300000.0}, jump(kJumpDescent)});
  return out;
}

Limits run(const Move& m, std::uint8_t flag, _stLoadFullParams l) {
  TrajPlanData p{};
  p.dist = m.dist;
  p.period = 0.004;
  m.cap(&p, flag, l);
  EXPECT_EQ(p.dist, m.dist) << m.name << ": the profile keeps its distance";
  return limitsOf(p);
}

// A small arm with a payload model on the 225/175 mm arm with a 20 mm lead.
class DynamicCaps : public PlannerKernel {
 protected:
  void SetUp() override {
    PlannerKernel::SetUp();
    savedModel_ = dynParam;
    for (int i = 0; i < 4; ++i) {
      savedMax_[i] = torMax[i];
      savedMin_[i] = torMin[i];
    }
    for (int i = 0; i < 3; ++i) savedMech_[i] = gScaraMechPara[i];
    gScaraMechPara[0] = 225.0;
    gScaraMechPara[1] = 175.0;
    gScaraMechPara[2] = 20.0;
    dynParam = DynPara{};
    const double mass[4] = {4.0, 2.5, 0.8, 0.4};
    for (int j = 1; j <= 4; ++j) {
      dynParam.para[ds::link(j, ds::kM)] = mass[j - 1];
      dynParam.para[ds::link(j, ds::kMX)] = 0.05 * mass[j - 1];
      dynParam.para[ds::link(j, ds::kZZ)] = 0.02 * mass[j - 1];
      dynParam.para[ds::link(j, ds::kIA)] = 0.002;
    }
    setBounds(1e9);
  }
  void TearDown() override {
    dynParam = savedModel_;
    for (int i = 0; i < 4; ++i) {
      torMax[i] = savedMax_[i];
      torMin[i] = savedMin_[i];
    }
    for (int i = 0; i < 3; ++i) gScaraMechPara[i] = savedMech_[i];
    PlannerKernel::TearDown();
  }

  static void setBounds(double b) { setBounds(b, b, b, b); }
  static void setBounds(double b1, double b2, double b3, double b4) {
    const double b[4] = {b1, b2, b3, b4};
    for (int i = 0; i < 4; ++i) {
      torMax[i] = b[i];
      torMin[i] = -b[i];
    }
  }

 private:
  DynPara savedModel_{};
  double savedMax_[4] = {};
  double savedMin_[4] = {};
  double savedMech_[3] = {};
};

TEST_F(DynamicCaps, BoundsFarAboveTheNeedGiveTheKinematicLimitsOfTheMove) {
  for (const Move& m : moves()) {
    const Limits got = run(m, 0, load(0.0, 0.0));
    expectRelNear(got.v, m.kinematic.v, std::string(m.name) + " velocity");
    expectRelNear(got.a, m.kinematic.a, std::string(m.name) + " acceleration");
    expectRelNear(got.dec, m.kinematic.dec, std::string(m.name) + " deceleration");
    expectRelNear(got.j, m.kinematic.j, std::string(m.name) + " jerk");
  }
}

// Bounds the arm can meet even halved (joint 3 holds the weight with either).
TEST_F(DynamicCaps, TightBoundsCapTheAccelerationsAndAHalvedBoundNeverRaisesThem) {
  setBounds(3.0, 1.5, 120.0, 0.3);
  const double maxBefore[4] = {torMax[0], torMax[1], torMax[2], torMax[3]};
  for (const Move& m : moves()) {
    const Limits full = run(m, 0, load(2.0, 0.01));
    EXPECT_EQ(dynParam.para[ds::kPayloadMass], 2.0) << m.name;
    EXPECT_EQ(dynParam.para[ds::kPayloadInertia], 0.01) << m.name;
    const Limits halved = run(m, 1, load(2.0, 0.01));
    const std::string what = m.name;
    EXPECT_LT(std::min(full.a, full.dec), m.kinematic.a * (1 - 1e-6)) << what << ": the bounds bind";
    EXPECT_LE(full.a, m.kinematic.a * (1 + 1e-9)) << what;
    EXPECT_LE(full.dec, m.kinematic.dec * (1 + 1e-9)) << what;
    EXPECT_LE(halved.a, full.a * (1 + 1e-9)) << what;
    EXPECT_LE(halved.dec, full.dec * (1 + 1e-9)) << what;
    EXPECT_LE(halved.j, full.j * (1 + 1e-9)) << what;
    EXPECT_LT(std::min(halved.a, halved.dec), std::min(full.a, full.dec)) << what << ": halving binds harder";
    expectRelNear(full.v, m.kinematic.v, what + ": velocity is not capped");
    expectRelNear(halved.v, m.kinematic.v, what + ": velocity is not capped");
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(torMax[i], maxBefore[i]) << "joint " << i;
    EXPECT_EQ(torMin[i], -maxBefore[i]) << "joint " << i;
  }
}

TEST_F(DynamicCaps, JointLineStartsAtTheMovesOwnStartWhateverTheLookAheadHolds) {
  setBounds(3.0, 1.5, 120.0, 0.3);
  TrajPlanData data[4];
  fillJointData(kJointMove, data);
  JointMove fromStart{};
  JointMove fromTarget{};
  for (int i = 0; i < 4; ++i) {
    fromStart.initialPos[i] = kJointMove.from[i];
    fromTarget.initialPos[i] = kJointMove.to[i];
  }
  const Move m = moves()[0];
  const tagGPose saved = gPreDealPos;
  auto capsWith = [&](const JointMove& move, const double* lookAhead) {
    gPreDealPos.joint = {lookAhead[0], lookAhead[1], lookAhead[2], lookAhead[3]};
    TrajPlanData p{};
    p.dist = m.dist;
    p.period = 0.004;
    MOVJDynOpt(move, data, &p, 0, load(2.0, 0.01));
    return limitsOf(p);
  };
  const Limits lookAheadAtStart = capsWith(fromStart, kJointMove.from);
  const Limits lookAheadAtTarget = capsWith(fromStart, kJointMove.to);
  const Limits pastTheTarget = capsWith(fromTarget, kJointMove.to);
  gPreDealPos = saved;
  EXPECT_EQ(lookAheadAtStart.a, lookAheadAtTarget.a);
  EXPECT_EQ(lookAheadAtStart.dec, lookAheadAtTarget.dec);
  EXPECT_EQ(lookAheadAtStart.j, lookAheadAtTarget.j);
  EXPECT_NE(lookAheadAtStart.a + lookAheadAtStart.dec, pastTheTarget.a + pastTheTarget.dec)
      << "a path that starts elsewhere gives other caps";
}

TEST_F(DynamicCaps, PointsOutOfReachBoundNothing) {
  setBounds(3.0, 1.5, 120.0, 0.3);
  const WCSPosition from{500.0, 0.0, -20.0, 0.0};
  const WCSPosition to{600.0, 30.0, -20.0, 30.0};
  TrajPlanData p{};
  const double L = std::sqrt(100.0 * 100.0 + 30.0 * 30.0);
  p.dist = std::sqrt(L * L + 30.0 * 30.0);
  p.period = 0.004;
  MOVLDynOpt(from, to, limitRecord(kPos), limitRecord(kRot), &p, 0, load(2.0, 0.01));
  const Limits want = cartesianKinematic(L, 30.0, kPos, kRot);
  expectRelNear(p.aMax, want.a, "acceleration");
  expectRelNear(p.aMaxDec, want.dec, "deceleration");
  EXPECT_FALSE(linesStartingWith("DynamicOptimal: point").empty());
}

}  // namespace
