#pragma once

#include <cstdint>

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

  // Planner data shared by the stops and the cycle.
  std::uint8_t externalToolFlag;
  std::uint8_t plannerFlags[2];  // cleared before every pre-processing
  double baseJerk;
  double pathJerk;
  double pathSpeed;
  double pathParam;  // path parameter already run
  WCSPosition lineStart;
  double lineDir[3];
  double lineLength;
  double lineDeltaR;
  double arcRadius;
  double arcAngle;  // total angle
  double arcShare;
  double jumpZUpper;  // joint 3 upper travel of a jump

  PackedBaseCmd packedCmd;
};
