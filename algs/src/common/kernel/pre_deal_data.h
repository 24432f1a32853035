#pragma once

#include <cstddef>
#include <cstdint>

#include "PTP/path/circle_records.h"
#include "PTP/planners/move_records.h"
#include "PTP/profiles/traj_plan_data.h"
#include "common/kernel/packed_cmd.h"
#include "common/kinematics/pose_records.h"

// One planned entry: the pre-processing fills it from a packed command, the
// entry runner and the profile stage execute it, the stops re-plan from it.
// Kernel-internal (never crosses the library), copied whole between the ring
// and the entries in execution. The packed command closes the record.
struct PreDealData {
  std::uint32_t type;            // PackedCmdType of the command
  std::uint64_t queuedCmdIndex;  // copied from the packed command
  std::uint32_t motionType;      // 0..13, see the planners
  std::uint8_t armOrientation;   // 1: the command's arm orientation was non-zero
  std::uint8_t transition;       // blending ratio 0..100
  std::uint8_t conveyorFlag;     // moves with the tracked conveyor
  std::uint8_t waitingForNext;   // finished, waiting for the next entry
  TrajPlanData trajPlan;         // the move's profile
  std::uint8_t isReplan;         // 1 while a planner re-plans the entry
  double entryTime;              // time the entry occupies, blend included
  double blendTime;              // overlap with the next entry, seconds
  tagToolParams toolParams;
  tagLocalParams localParams;
  tagToolParams stationToolParams;  // external tool of the ECP mode
  std::uint32_t plannerWords[kPlannerWordCount];
  double targetAngle[4];  // joints at the end of the move

  // Parallel outputs of a point-to-point entry and, per output, its trigger
  // time in cycles from the start of the entry (rebased by a pause).
  PackedParallelOutputs parallel;
  std::uint32_t poTriggerCycles[kMaxPackedParallelOutputs];

  // Planner data shared by the stops and the cycle. One value, one field:
  // nothing below copies these.
  std::uint8_t externalToolFlag;  // copy of the command's eCPFlag
  std::uint8_t plannerFlags[2];   // cleared before every pre-processing
  // Path-stop values: baseJerk = pathJerk = the profile's planned jerk
  // (written after every plan and re-plan); pathParam = the profile position
  // s of the cycle (the shaper's channel-0 input, 0..dist) and pathSpeed its
  // speed, written every cycle by MOVLCMain.
  double baseJerk;
  double pathJerk;
  double pathSpeed;
  double pathParam;
  // Line: pose at s = lineStart + s * lineLength * lineDir, r = lineStart.r + s * lineDeltaR.
  WCSPosition lineStart;  // origin pose
  double lineDir[3];      // unit direction of the translation (zero for a pure rotation)
  double lineLength;      // translation share L / s
  double lineDeltaR;      // signed rotation share dr / s
  // Arc and full circle: radius R, swept angle theta (rad), arc share A / s.
  double arcRadius;
  double arcAngle;
  double arcShare;
  double jumpZUpper;  // the jump's zLimit: upper travel of joint 3

  // Planner data of the single planners.
  std::uint8_t loadFlag;
  WCSPosition targetPose;  // base-frame pose the move ends at
  JointMove jointMove;
  double lineStartJoints[4];
  // The rest of the arc's or circle's plan (with arcRadius and arcAngle, the
  // CirlPlanPara that the geometry fills: see StoreArcPlan).
  MATRIX3D_STR arcRotation;  // columns u, v, n
  VECTOR3D_STR arcCentre;
  double arcRDir;     // +1.0 when r grows, else -1.0
  double arcRTravel;  // |end r - start r|
  WCSPosition arcOrigin;
  double arcStartJoints[4];
  double arcDeltaR;      // signed rotation share dr / s
  double arcAngleRun;    // angle already travelled, written by the path stop
  double arcRemaining;   // remaining arc length
  double arcRemainingR;  // remaining signed r change
  double arcTravelled;   // profile position where the arm stands (shaped when shaping is on)
  JumpMove jumpMove;
  double jumpStageTime1;
  double jumpStageTime2;
  double jumpStageTime3;
  double jumpStageTime4;
  float excit[12];  // excitation block of ids 103 and 104

  PackedBaseCmd packedCmd;
};

// Readers outside the planners rely on the order of the fields and on these.
static_assert(sizeof(PackedParallelOutputs) == 202);
static_assert(offsetof(PreDealData, queuedCmdIndex) < offsetof(PreDealData, motionType));
static_assert(offsetof(PreDealData, motionType) < offsetof(PreDealData, armOrientation));
static_assert(offsetof(PreDealData, waitingForNext) < offsetof(PreDealData, trajPlan));
static_assert(offsetof(PreDealData, trajPlan) < offsetof(PreDealData, isReplan));
static_assert(offsetof(PreDealData, blendTime) < offsetof(PreDealData, toolParams));
static_assert(offsetof(PreDealData, stationToolParams) < offsetof(PreDealData, plannerWords));
static_assert(sizeof(PreDealData::plannerWords) == kPlannerWordCount * 4);
static_assert(offsetof(PreDealData, plannerWords) < offsetof(PreDealData, targetAngle));
static_assert(offsetof(PreDealData, targetAngle) < offsetof(PreDealData, parallel));
static_assert(offsetof(PreDealData, parallel) + sizeof(PackedParallelOutputs) <=
              offsetof(PreDealData, poTriggerCycles));
static_assert(offsetof(PreDealData, poTriggerCycles) < offsetof(PreDealData, externalToolFlag));
static_assert(offsetof(PreDealData, jumpZUpper) < offsetof(PreDealData, loadFlag));
static_assert(offsetof(PreDealData, jumpMove) < offsetof(PreDealData, jumpStageTime1));
static_assert(offsetof(PreDealData, jumpStageTime1) < offsetof(PreDealData, jumpStageTime2));
static_assert(offsetof(PreDealData, jumpStageTime3) == offsetof(PreDealData, jumpStageTime2) + sizeof(double));
static_assert(offsetof(PreDealData, jumpStageTime4) == offsetof(PreDealData, jumpStageTime3) + sizeof(double));
static_assert(offsetof(PreDealData, excit) < offsetof(PreDealData, packedCmd));
static_assert(sizeof(PreDealData) - (offsetof(PreDealData, packedCmd) + sizeof(PackedBaseCmd)) < alignof(PreDealData),
              "the packed command closes the entry");
// Entries are copied by value between the ring and the entries in execution.
static_assert(sizeof(PreDealData) == 4528);
static_assert(offsetof(PreDealData, packedCmd) == 2480);

// An arc or circle plan into the entry's fields and back. Planners fill a
// local CirlPlanPara with the circle geometry, then store it; arcs too
// (their rDir is (0, 0, +-1.0)).
inline void StoreArcPlan(const CirlPlanPara& plan, PreDealData* entry) {
  entry->arcRotation = plan.rotation;
  entry->arcCentre = plan.centre;
  entry->arcRDir = plan.rDir[2];
  entry->arcRadius = plan.radius;
  entry->arcAngle = plan.angle;
  entry->arcRTravel = plan.rTravel;
}

inline CirlPlanPara LoadArcPlan(const PreDealData& entry) {
  CirlPlanPara plan{};
  plan.rotation = entry.arcRotation;
  plan.centre = entry.arcCentre;
  plan.rDir[2] = entry.arcRDir;
  plan.radius = entry.arcRadius;
  plan.angle = entry.arcAngle;
  plan.rTravel = entry.arcRTravel;
  return plan;
}
