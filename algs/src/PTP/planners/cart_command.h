#pragma once

#include "PTP/profiles/traj_plan_data.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"
#include "common/kinematics/pose_records.h"

// What the line and arc planners read of a packed move (type 2 or 4), copied
// out of the packed record so that its members can be passed by address.
struct CartCommand {
  bool arm;  // the command's arm orientation is non-zero
  std::uint8_t transition;
  std::uint8_t ptpMode;  // type 2 only
  WCSPosition target;    // type 2: the target or increment; type 4: the end point
  WCSPosition middle;    // type 4 only
  tagPTPCoordinateParams coordinate;
  tagPTPCommonParams common;
  tagLocalParams local;
  tagToolParams tool;
  tagToolParams ecp;
  bool refSys;
  bool ecpOn;
  bool loadOn;
  _stLoadFullParams loadFull;
};

CartCommand ReadCartCommand(const PackedBaseCmd* cmd);

// The Cartesian limits of a move: translation (mm) and rotation (deg).
struct CartLimits {
  double vL, aL, jL;
  double vR, aR, jR;
};

// Limits from the command's coordinate parameters, the speed factor and the
// common ratios. False, with alarm 26 raised and the command ended, when any
// of them is below 1e-5.
bool CartLimitsFrom(const CartCommand& c, CartLimits* out);

// Ends the command in planning with an alarm (0: the alarm is already raised).
void RefuseCartMove(unsigned alarm);

// Copies the flags every line and arc plan starts with into the entry.
void CopyCartFlags(const CartCommand& c, PreDealData* entry);
