// The per-joint stops (emergency, smooth S-curve, conveyor, teach) run cycle
// by cycle from prepared joint speeds and commanded joints.
#include <cmath>
#include <string>
#include <vector>

#include "PTP/stopping/stop_request.h"
#include "stop_fixture.h"

namespace zelor::test {
namespace {

constexpr double kT = 0.004;

class JointStops : public Stops {
 protected:
  // The arm at `q` moving at `v`; the entry's target far away unless set.
  void Moving(const Joints& q, const Joints& v) {
    StandAt(q);
    SetSpeeds(v);
    for (int j = 0; j < 4; ++j) gPreDealData.targetAngle[j] = q[j] + (v[j] >= 0 ? 100.0 : -100.0);
    gPreDealData.motionType = 1;
  }
  // Every cycle of a per-joint stop ends with nextPos = commanded + period * speed.
  static void ExpectSetPointsFromSpeeds(const std::vector<CycleRecord>& cycles) {
    for (std::size_t k = 0; k < cycles.size(); ++k) {
      for (int j = 0; j < 4; ++j) {
        ASSERT_DOUBLE_EQ(cycles[k].setPoint[j], cycles[k].commanded[j] + kT * cycles[k].stopSpeed[j])
            << "cycle " << k + 1 << " joint " << j + 1;
      }
    }
  }
  static void ExpectFinished() {
    EXPECT_EQ(gRobotPrfMode, kPrfIdle);
    EXPECT_EQ(gCmdFinishFlag, 1);
    EXPECT_EQ(gStopCmdPlanFlag, 1);
    EXPECT_EQ(Speeds(), (Joints{0, 0, 0, 0}));
  }
};

TEST_F(JointStops, EmergencyStopFromTenDegreesPerSecondTakesTwentyFiveCycles) {
  Moving({0, 60, -20, 0}, {10, -10, 0, 4});
  SetStopParams(kStopEmergency);
  const std::vector<CycleRecord> cycles = RunStop();
  ASSERT_EQ(cycles.size(), 26u) << "25 braking cycles and the finishing one";
  for (int k = 1; k <= 25; ++k) {
    const Joints& v = cycles[k - 1].stopSpeed;
    EXPECT_NEAR(v[0], 10.0 - 0.4 * k, 1e-9) << "cycle " << k;
    EXPECT_NEAR(v[1], -10.0 + 0.4 * k, 1e-9) << "cycle " << k;
    EXPECT_EQ(v[2], 0.0) << "a joint at rest stays at rest";
    EXPECT_NEAR(v[3], 4.0 - 0.16 * k, 1e-9) << "cycle " << k;
  }
  EXPECT_LT(std::fabs(cycles[24].stopSpeed[0]), 1e-9) << "0 in the 25th cycle";
  ExpectSetPointsFromSpeeds(cycles);
  ExpectFinished();
}

// Joints that would reach a bound within the tenth of a second stop at it.
TEST_F(JointStops, EmergencyStopNeverPassesTheBoundOfAJoint) {
  struct Case {
    const char* name;
    std::uint32_t motionType;
    int joint;
    double at;
    double speed;
    double jumpZUpper;
    double targetJ3;
    double bound;
    int brakingCycles;  // cycles with a non-zero speed
  };
  const Case cases[] = {
      {"joint 1 below its maximum", 1, 0, 169.9, 10.0, 0, 0, 170.0, 4},
      {"joint 2 above its minimum", 1, 1, -149.95, -10.0, 0, 0, -150.0, 2},
      {"joint 3 of a jump under its upper travel", 0, 2, 9.9, 10.0, 10.0, -50.0, 10.0, 4},
      {"joint 3 of a type-3 jump under its upper travel", 3, 2, 9.9, 10.0, 10.0, -50.0, 10.0, 4},
      {"joint 3 of a joint move falling onto its target", 1, 2, -49.9, -10.0, 0, -50.0, -50.0, 4},
      {"joint 1 already at its maximum", 1, 0, 170.0, 10.0, 0, 0, 170.0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Joints q = {0, 60, -20, 0};
    Joints v = {0, 0, 0, 0};
    q[c.joint] = c.at;
    v[c.joint] = c.speed;
    Moving(q, v);
    gPreDealData.motionType = c.motionType;
    gPreDealData.jumpZUpper = c.jumpZUpper;
    gPreDealData.targetAngle[2] = c.targetJ3;
    SetStopParams(kStopEmergency);
    const std::vector<CycleRecord> cycles = RunStop();
    int braking = 0;
    for (const CycleRecord& r : cycles) {
      ASSERT_TRUE(std::isfinite(r.setPoint[c.joint]));
      if (c.speed > 0) {
        EXPECT_LE(r.setPoint[c.joint], c.bound + 1e-12);
      } else {
        EXPECT_GE(r.setPoint[c.joint], c.bound - 1e-12);
      }
      braking += std::fabs(r.stopSpeed[c.joint]) > 1e-9 ? 1 : 0;
    }
    EXPECT_EQ(braking, c.brakingCycles);
    ExpectSetPointsFromSpeeds(cycles);
    ExpectFinished();
  }
}

TEST_F(JointStops, EmergencyStopAtRestTakesTheDrivesOffOnlyWithTheEmergencyInput) {
  for (std::uint8_t input : {0, 1}) {
    SCOPED_TRACE(input);
    Moving({0, 60, -20, 0}, {0, 0, 0, 0});
    gHandTeachFlag = 0;
    gPauseCmdFlag = 1;
    gEmergencyStop = input;
    SetStopParams(kStopEmergency);
    EXPECT_EQ(RunStop().size(), 1u);
    EXPECT_EQ(gPauseCmdFlag, 0);
    EXPECT_EQ(gHandTeachFlag, input);
    ExpectFinished();
  }
}

// A joint at rest keeps its set point through the stops, whether the others
// move or not.
TEST_F(JointStops, AJointAtRestStaysThereThroughEveryKind) {
  for (int kind : {kStopEmergency, kStopSmooth, kStopTeach}) {
    for (const Joints& v : {Joints{0, 0, 0, 0}, Joints{10, 0, -5, 0}}) {
      SCOPED_TRACE(::testing::Message() << "kind " << kind << " joint 1 at " << v[0]);
      Moving({5, 60, -20, 30}, v);
      SetStopParams(kind);
      const std::vector<CycleRecord> cycles = RunStop();
      if (v[0] == 0) {
        EXPECT_EQ(cycles.size(), 1u) << "at rest from the start: finished at once";
      }
      for (const CycleRecord& r : cycles) {
        EXPECT_EQ(r.setPoint[1], 60.0);
        EXPECT_EQ(r.setPoint[3], 30.0);
      }
      ExpectSetPointsFromSpeeds(cycles);
      ExpectFinished();
    }
  }
}

TEST_F(JointStops, SmoothStopRunsItsSCurve) {
  struct Case {
    const char* name;
    double speed;
    double targetAhead;  // signed distance to the entry's target
    bool collision;
    const char* planLog;
    int lastMovingCycle;
  };
  const Case cases[] = {
      {"target far away", 10.0, 100.0, false, "SmoothStopS time 0.200 jerk 1000.000\r\n", 49},
      {"target far away, backwards", -10.0, -100.0, false, "SmoothStopS time 0.200 jerk -1000.000\r\n", 49},
      {"collision pause", 10.0, 100.0, true, "SmoothStopS time 0.115 jerk 3000.000\r\n", 27},
      {"target 0.5 ahead", 10.0, 0.5, false, "SmoothStopS time 0.100 jerk 4000.000\r\n", 24},
      {"target 0.5 behind, backwards", -10.0, -0.5, false, "SmoothStopS time 0.100 jerk -4000.000\r\n", 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    core.logs.clear();
    Moving({20, 60, -20, 0}, {c.speed, 0, 0, 0});
    gPreDealData.targetAngle[0] = 20 + c.targetAhead;
    gCollisionPause = c.collision ? 1 : 0;
    SetStopParams(kStopSmooth);
    const std::vector<CycleRecord> cycles = RunStop();
    ASSERT_EQ(static_cast<int>(cycles.size()), c.lastMovingCycle + 2) << "one cycle at 0, then the finish";
    EXPECT_TRUE(logged(c.planLog)) << c.planLog;
    EXPECT_NE(cycles[c.lastMovingCycle - 1].stopSpeed[0], 0.0);
    EXPECT_EQ(cycles[c.lastMovingCycle].stopSpeed[0], 0.0);
    for (std::size_t k = 1; k < cycles.size(); ++k) {
      EXPECT_LE(std::fabs(cycles[k].stopSpeed[0]), std::fabs(cycles[k - 1].stopSpeed[0])) << "cycle " << k + 1;
    }
    const double travelled = cycles.back().setPoint[0] - 20;
    if (std::fabs(c.targetAhead) < 1) {
      // Never beyond the target, and short of it by less than one cycle's travel.
      EXPECT_LE(travelled / c.targetAhead, 1.0 + 1e-12);
      EXPECT_LT(std::fabs(c.targetAhead - travelled), 0.04);
    }
    ExpectSetPointsFromSpeeds(cycles);
    ExpectFinished();
  }
}

TEST_F(JointStops, SmoothStopIsHalfwayAtATenthOfASecond) {
  Moving({20, 60, -20, 0}, {10, 0, 0, 0});
  SetStopParams(kStopSmooth);
  const std::vector<CycleRecord> cycles = RunStop();
  ASSERT_GE(cycles.size(), 25u);
  EXPECT_NEAR(cycles[24].stopSpeed[0], 5.0, 1e-9) << "5.0 deg/s at t = 0.1 s";
  EXPECT_TRUE(logged("SmoothStopS t0 0.100 speed 5.000\r\n"));
}

TEST_F(JointStops, ConveyorStopTakesATenthOfASecondAndHandsItsPointToTheQueue) {
  Moving({20, 60, -20, 0}, {10, -20, 0, 5});
  // The conveyor stop ignores the target.
  gPreDealData.targetAngle[0] = 20.1;
  gRobotPrfMode = kPrfConveyorStop;
  gStopCmdPlanFlag = 0;
  const std::vector<CycleRecord> cycles = RunStop();
  ASSERT_EQ(cycles.size(), 26u);
  EXPECT_NE(cycles[23].stopSpeed[1], 0.0);
  EXPECT_EQ(cycles[24].stopSpeed, (Joints{0, 0, 0, 0}));
  EXPECT_GT(cycles.back().setPoint[0], 20.1) << "not cut at the target";
  const JointTheta look = gPreDealPos.joint;
  EXPECT_EQ((Joints{look.j1, look.j2, look.j3, look.j4}), cycles.back().setPoint);
  ExpectSetPointsFromSpeeds(cycles);
  ExpectFinished();
}

TEST_F(JointStops, TeachStopLastsTwentyFiveCyclesFromAnySpeed) {
  for (double v0 : {10.0, -50.0, 300.0, 0.001}) {
    SCOPED_TRACE(v0);
    Moving({20, 60, -20, 0}, {v0, -v0 / 2, 0, 0});
    gPauseCmdFlag = 1;
    SetStopParams(kStopTeach);
    const std::vector<CycleRecord> cycles = RunStop();
    ASSERT_EQ(cycles.size(), 26u);
    for (int k = 1; k <= 25; ++k) {
      EXPECT_NEAR(cycles[k - 1].stopSpeed[0], v0 * (1 - k / 25.0), 1e-9) << "cycle " << k;
    }
    EXPECT_EQ(gPauseCmdFlag, 0);
    ExpectSetPointsFromSpeeds(cycles);
    ExpectFinished();
  }
}

TEST_F(JointStops, TeachStopCountsASpeedOfExactlyTheThresholdAsRest) {
  Moving({20, 60, -20, 0}, {1e-5, -1e-5, 0, 0});
  SetStopParams(kStopTeach);
  EXPECT_EQ(RunStop().size(), 1u);
  Moving({20, 60, -20, 0}, {1e-5, -1e-5, 0, 0});
  SetStopParams(kStopEmergency);
  EXPECT_GT(RunStop().size(), 1u) << "the other stops need less than the threshold";
}

TEST_F(JointStops, ANewRequestReplacesTheKindAndPlansAfresh) {
  Moving({20, 60, -20, 0}, {10, 0, 0, 0});
  SetStopParams(kStopSmooth);
  for (int k = 0; k < 10; ++k) Cycle();
  const double v = gRobotAxisMove.nextVel[0];
  ASSERT_GT(v, 1.0);
  SetStopParams(kStopEmergency);
  EXPECT_EQ(gRobotPrfMode, kPrfStop);
  EXPECT_EQ(gStopMode, kStopEmergency);
  EXPECT_EQ(gStopCmdPlanFlag, 0);
  const std::vector<CycleRecord> cycles = RunStop();
  ASSERT_EQ(cycles.size(), 26u) << "the emergency stop's tenth of a second from the present speed";
  EXPECT_NEAR(cycles[0].stopSpeed[0], v * (1 - 1 / 25.0), 1e-9);
}

}  // namespace
}  // namespace zelor::test
