#pragma once

// The stops, the pause and the playback driven as the profile stage drives
// them, one simulated cycle at a time: in mode 4 the playback runs the entry
// in execution, in mode 14 the conveyor stop; a stop requested in mode 7 runs
// in the same cycle, after the playback, through the kernel's own stop
// dispatch. Each cycle ends with the kernel's joint speeds from the set
// points, then the commanded joints take the set points. Entries are planned
// from real packets by the real planners through the pipeline stand-in.
// Every stop run to its end is checked against what any stop must do: no
// joint (or, along a path, the path) ever speeds up or turns back, and the
// arm ends at rest where the stop left it.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "PTP/path/input_shaping.h"
#include "PTP/planners/circle_planner.h"
#include "PTP/planners/jump_planner.h"
#include "PTP/planners/movc.h"
#include "PTP/planners/movj_planner.h"
#include "PTP/planners/movl.h"
#include "PTP/stopping/joint_stops.h"
#include "PTP/stopping/path_stop.h"
#include "PTP/stopping/playback.h"
#include "PTP/stopping/stop_state.h"
#include "common/cycle/profile.h"
#include "common/kernel/alarms.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/kinematics.h"
#include "support/kernel_commands.h"
#include "support/queued_moves_standin.h"

namespace zelor::test {

using Joints = std::array<double, 4>;

inline Joints Commanded() {
  double q[4];
  CommandedJoints(q);
  return {q[0], q[1], q[2], q[3]};
}
inline Joints SetPoints() {
  const double* q = gRobotAxisMove.nextPos;
  return {q[0], q[1], q[2], q[3]};
}
inline Joints Speeds() {
  const double* v = gRobotAxisMove.nextVel;
  return {v[0], v[1], v[2], v[3]};
}
inline void SetCommanded(const Joints& q) {
  const JointTheta joints{q[0], q[1], q[2], q[3]};
  std::memcpy(reinterpret_cast<char*>(&gSysParams) + offsetof(tagSysParams, joint), &joints, sizeof joints);
}
inline void SetSpeeds(const Joints& v) {
  for (int j = 0; j < 4; ++j) gRobotAxisMove.nextVel[j] = v[j];
}

inline void JumpPreDealAdapter(PackedBaseCmd* cmd, PreDealData*, PreDealData* entry) { JUMPPreDeal(cmd, entry); }

// One simulated cycle: what it ran and the set point it left.
struct CycleRecord {
  std::uint8_t mode;      // mode the cycle began in
  bool stopped;           // a stop ran in it
  Joints commanded;       // commanded joints before the cycle
  Joints setPoint;        // nextPos after it
  Joints speed;           // speed the stop or the output stage gave
  Joints stopSpeed;       // nextVel as the stop left it (before the output stage)
  double pathParam;       // entry's s after the cycle
  double pathSpeed;
};

class Stops : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    ResetQueuedMoveState();
    SetTestArm();
    gAccType = 1;
    gPeriodTime = 0.004;
    gMinAccT1 = 0.08;
    gUsingTrueMotion = 0;
    gDynamicOptimal = 0;
    gInputShaping = 0;
    gCollisionPause = 0;
    gEmergencyStop = 0;
    gStopMode = kStopEmergency;
    gStopCmdPlanFlag = 0;
    gStopState = {};
    gSysParams.speedFactorRatio = 100.0f;
    gSysParams.armOrientation = 1;
    setJointLimits(200, 400, 4000);
    const tagPTPCoordinateParams coord{400, 180, 2000, 900, 40000, 18000};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCoordinateParams(&coord, 0); });
    const tagPTPCommonParams common{100, 100, 100, 100, 100, 100, 100, 100, 100};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCommonParams(&common, 0); });
    exchange([&](PluginBase& c) { return c.alloc_SetSpeedFactorParams(100, false); });
    const tagPTPJump2Params heights{20, 20, 50};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPJump2Params(&heights, false); });
    exchange([&](PluginBase& c) { return c.alloc_SetArmOrientation(1, 0); });
  }
  void TearDown() override {
    for (int i = 0; i < kShapingChannels; ++i) vInitShape(i, {0.0, kShapingOffFrequency, 0.004});
    ResetQueuedMoveState();
    gAccType = 0;
    gUsingTrueMotion = 0;
    gDynamicOptimal = 0;
    gInputShaping = 0;
    gCollisionPause = 0;
    gEmergencyStop = 0;
    gStopMode = kStopEmergency;
    gStopCmdPlanFlag = 0;
    gStopState = {};
    gLoad = {};
    gLoadFullParams = {};
    KernelCommands::TearDown();
  }

  void setJointLimits(float v, float a, float j) {
    tagPTPJointParams p{};
    for (int i = 0; i < 4; ++i) {
      p.velocity[i] = v;
      p.acceleration[i] = a;
      p.jerk[i] = j;
    }
    exchange([&](PluginBase& c) { return c.alloc_SetPTPJointParams(&p, 0); });
  }

  // The arm stands still at `q`: look-ahead, commanded joints and set point.
  static void StandAt(const Joints& q) {
    gPreDealPos.joint = {q[0], q[1], q[2], q[3]};
    SetCommanded(q);
    for (int j = 0; j < 4; ++j) gRobotAxisMove.nextPos[j] = q[j];
    SetSpeeds({0, 0, 0, 0});
  }
  static void StandAtPose(const WCSPosition& pose) {
    JointTheta q{};
    const tagToolParams tool{};
    ASSERT_EQ(InverseCalBase(&pose, true, &q, kCheckSingularity, &tool), kKinOk);
    StandAt({q.j1, q.j2, q.j3, q.j4});
  }

  // Queues a move through its packet and plans it; false when refused.
  bool PlanPTP(std::uint8_t mode, const Joints& values) {
    const tagPTPCmd move{mode, static_cast<float>(values[0]), static_cast<float>(values[1]),
                         static_cast<float>(values[2]), static_cast<float>(values[3])};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCmd(&move, 1); });
    PreDealFn planner = &MOVJPreDeal;
    if (mode == 0 || mode == 3) planner = &JumpPreDealAdapter;
    if (mode == 2 || mode == 5 || mode == 7) planner = &MOVLPreDeal;
    return PreDealMotion(taken(), planner);
  }
  bool PlanArc(const tagARCPoint& middle, const tagARCPoint& end) {
    const tagARCCmd arc{middle, end};
    exchange([&](PluginBase& c) { return c.alloc_SetARCCmd(&arc, 1); });
    return PreDealMotion(taken(), &MOVCPreDeal);
  }
  bool PlanCircle(const tagARCPoint& middle, const tagARCPoint& end, std::uint32_t turns) {
    const tagCircleCmd circle{middle, end, turns};
    exchange([&](PluginBase& c) { return c.alloc_SetCircleCmd(&circle, 1); });
    return PreDealMotion(taken(), &CirclePreDeal);
  }

  // The first planned entry goes into execution (mode 4, queued execution on).
  static void Execute() {
    const std::uint32_t planned = gPreDealDataQueue.count;  // packed header: read by value
    ASSERT_GT(planned, 0u) << "an entry was planned";
    RingBufferDequeue(&gPreDealDataQueue, &gPreDealData);
    gCmdFinishFlag = 0;
    gPeriodCount = 0;
    gPeriodCount1 = 0;
    gRobotPrfMode = kPrfExecute;
    gSysParams.runQueuedCmd = 1;
  }
  // Starting the queue again after a pause.
  static void Resume() {
    gPauseCmdFlag = 0;
    gCmdFinishFlag = 0;
    gRobotPrfMode = kPrfExecute;
    gSysParams.runQueuedCmd = 1;
  }

  // One cycle of the profile stage.
  CycleRecord Cycle() {
    CycleStartNow();
    CycleRecord r{};
    r.mode = gRobotPrfMode;
    r.commanded = Commanded();
    if (gRobotPrfMode == kPrfExecute) PlayBack(&gPreDealData, nullptr);
    if (gRobotPrfMode == kPrfConveyorStop) {
      ConvSmoothStopS();
      r.stopped = true;
    }
    if (gRobotPrfMode == kPrfStop) {
      ::RunStop();
      r.stopped = true;
    }
    r.stopSpeed = Speeds();
    r.setPoint = SetPoints();
    CalAxisSpeed(false);
    r.speed = Speeds();
    SetCommanded(r.setPoint);
    r.pathParam = gPreDealData.pathParam;
    r.pathSpeed = gPreDealData.pathSpeed;
    return r;
  }

  // Cycles while `more` holds (checked before each), at most maxCycles.
  template <typename More>
  std::vector<CycleRecord> CyclesWhile(More&& more, int maxCycles = 20000) {
    std::vector<CycleRecord> out;
    for (int i = 0; i < maxCycles && more(); ++i) out.push_back(Cycle());
    return out;
  }
  // Runs the stop in progress to its finish (back in mode 0) and checks it
  // against the invariants of every stop.
  std::vector<CycleRecord> RunStop(int maxCycles = 2000) {
    const bool alongPath = gRobotPrfMode == kPrfConveyorStop || gStopMode == kStopPath;
    const Joints before = Speeds();
    const double pathBefore = std::fabs(gPreDealData.pathSpeed);
    auto out = CyclesWhile([] { return gRobotPrfMode == kPrfStop || gRobotPrfMode == kPrfConveyorStop; }, maxCycles);
    EXPECT_EQ(gRobotPrfMode, kPrfIdle) << "the stop finished within " << maxCycles << " cycles";
    ExpectSlowsDownToRest(out, before, pathBefore, alongPath);
    return out;
  }

  // A stop never speeds a joint up or turns it back (along a path: never
  // speeds the path up), and leaves the arm at rest on its last set point.
  static void ExpectSlowsDownToRest(const std::vector<CycleRecord>& cycles, const Joints& before, double pathBefore,
                                    bool alongPath) {
    constexpr double kSlack = 1e-9;
    Joints last = before;
    double lastPathSpeed = pathBefore;
    for (std::size_t k = 0; k < cycles.size(); ++k) {
      const CycleRecord& r = cycles[k];
      if (alongPath) {
        EXPECT_LE(std::fabs(r.pathSpeed), lastPathSpeed + kSlack) << "the path sped up in stop cycle " << k + 1;
        lastPathSpeed = std::fabs(r.pathSpeed);
        continue;
      }
      for (int j = 0; j < 4; ++j) {
        EXPECT_LE(std::fabs(r.speed[j]), std::fabs(last[j]) + kSlack)
            << "joint " << j + 1 << " sped up in stop cycle " << k + 1;
        EXPECT_GE(r.speed[j] * last[j], -kSlack) << "joint " << j + 1 << " turned back in stop cycle " << k + 1;
      }
      last = r.speed;
    }
    if (gRobotPrfMode != kPrfIdle) return;
    for (int j = 0; j < 4; ++j) EXPECT_LT(std::fabs(gRobotAxisMove.nextVel[j]), 1e-6) << "joint " << j + 1 << " at rest";
    EXPECT_EQ(Commanded(), SetPoints()) << "the commanded joints are the stop's last set point";
  }
  // Runs the entry in execution until it has finished.
  std::vector<CycleRecord> RunEntry(int maxCycles = 20000) {
    return CyclesWhile([] { return gRobotPrfMode == kPrfExecute && gCmdFinishFlag == 0; }, maxCycles);
  }
  // Runs the entry until its path parameter has passed `fraction` of its profile.
  void RunUntilPath(double fraction) {
    for (int i = 0; i < 20000; ++i) {
      Cycle();
      if (gPreDealData.pathParam >= fraction * gPreDealData.trajPlan.dist) return;
      ASSERT_EQ(gCmdFinishFlag, 0) << "the move ended before " << fraction << " of its path";
    }
  }

  int logCount(const std::string& line) const {
    int n = 0;
    for (const std::string& l : core.logs) n += l == line ? 1 : 0;
    return n;
  }
  bool loggedStartingWith(const std::string& prefix) const {
    for (const std::string& l : core.logs) {
      if (l.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }

 private:
  PackedBaseCmd taken() {
    EXPECT_EQ(queuedCount(), 1u) << "the move is queued";
    const PackedBaseCmd packed = entry(0);
    RingBufferDequeue(&gPackedCmdQueue, nullptr);
    return packed;
  }
};

inline double MaxAbsDiff(const Joints& a, const Joints& b) {
  double m = 0.0;
  for (int j = 0; j < 4; ++j) m = std::fmax(m, std::fabs(a[j] - b[j]));
  return m;
}

}  // namespace zelor::test
