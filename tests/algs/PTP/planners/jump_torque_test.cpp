// Jumps planned with the torque model on: bounds far above the need leave
// the kinematic limits, tight bounds only lower them, and the jump still
// ends on its target.
#include <cmath>
#include <string>

#include "Dynamics/dynamic_optimal.h"
#include "jump_fixture.h"

namespace {

using zelor::test::JumpMoves;
using zelor::test::Joints;
using zelor::test::kJumpAcceleration;
using zelor::test::kJumpVelocity;
using zelor::test::ResetQueuedMoveState;

namespace ds = dyn_slot;

class JumpTorque : public JumpMoves {
 protected:
  void SetUp() override {
    JumpMoves::SetUp();
    savedModel_ = dynParam;
    for (int i = 0; i < 4; ++i) {
      savedMax_[i] = torMax[i];
      savedMin_[i] = torMin[i];
    }
    gScaraMechPara[2] = 20.0;
    dynParam = DynPara{};
    const double mass[4] = {4.0, 2.5, 0.8, 0.4};
    for (int j = 1; j <= 4; ++j) {
      dynParam.para[ds::link(j, ds::kM)] = mass[j - 1];
      dynParam.para[ds::link(j, ds::kMX)] = 0.05 * mass[j - 1];
      dynParam.para[ds::link(j, ds::kZZ)] = 0.02 * mass[j - 1];
      dynParam.para[ds::link(j, ds::kIA)] = 0.002;
    }
    gDynamicOptimal = 1;
  }
  void TearDown() override {
    gDynamicOptimal = 0;
    dynParam = savedModel_;
    for (int i = 0; i < 4; ++i) {
      torMax[i] = savedMax_[i];
      torMin[i] = savedMin_[i];
    }
    JumpMoves::TearDown();
  }
  static void setBounds(const double (&b)[4]) {
    for (int i = 0; i < 4; ++i) {
      torMax[i] = b[i];
      torMin[i] = -b[i];
    }
  }

 private:
  DynPara savedModel_{};
  double savedMax_[4] = {};
  double savedMin_[4] = {};
};

TEST_F(JumpTorque, BoundsCapTheStagesAndTheJumpStillLands) {
  struct Row {
    const char* name;
    double bounds[4];
    bool kinematic;  // bounds far above the need
  };
  const Row rows[] = {{"loose", {1e9, 1e9, 1e9, 1e9}, true}, {"tight", {0.5, 0.2, 120.0, 0.05}, false}};
  const Joints target = {60, 20, -40, 90};
  for (int accType : {0, 1}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.name) + " accType " + std::to_string(accType));
      gAccType = accType;
      setBounds(row.bounds);
      startAt({10, 60, -20, 0});
      ASSERT_TRUE(planJump(3, target));
      const PreDealData e = planned();
      const double a3 = kJumpAcceleration[2];
      for (const TrajPlanData* p : {&e.jumpMove.lift, &e.jumpMove.descent}) {
        if (row.kinematic) {
          EXPECT_NEAR(p->aMax / a3, 1.0, 1e-6);
          EXPECT_NEAR(p->vMax / kJumpVelocity[2], 1.0, 1e-6);
        } else {
          EXPECT_LE(p->aMax, a3 * (1 + 1e-9));
          EXPECT_LE(p->aMaxDec, a3 * (1 + 1e-9));
        }
      }
      double jointA = HUGE_VAL;
      for (int i : {0, 1, 3}) jointA = std::min(jointA, std::fabs(kJumpAcceleration[i] / e.jumpMove.u[i]));
      if (row.kinematic) {
        EXPECT_NEAR(e.trajPlan.aMax / jointA, 1.0, 1e-6);
      } else {
        EXPECT_LT(e.trajPlan.aMax, jointA) << "the tight bounds lower the joints' acceleration";
      }
      EXPECT_EQ(runAll().back(), target);
      ResetQueuedMoveState();
    }
  }
}

}  // namespace
