#pragma once

#include <cstdint>

#include "common/kernel/packed_cmd.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/pose_records.h"

// The motion snapshot of a packed move, read out of the packed layout of its
// type: point-to-point (2) and arc or circle (4, 5) carry the same items in
// different orders. The planners and their re-plans read a move through this,
// so a stop can re-plan any kind of entry as a joint move.
struct PackedMotion {
  std::uint32_t type;  // PackedCmdType the snapshot was read from
  bool arm;            // the command's arm orientation was non-zero
  std::uint8_t transition;
  tagPTPParamsBlock ptpParams;
  tagLocalParams localParams;
  tagToolParams toolParams;
  tagToolParams ecpParams;
  std::uint8_t refSysFlag;
  std::uint8_t eCPFlag;
  std::uint8_t loadFlag;
  _stLoadParams loadParams;
  _stLoadFullParams loadFullParams;
  // Point-to-point moves only (zero otherwise): mode and target values.
  tagPTPCmd ptpCmd;
};

// By value, so that no pointer into the packed record is ever formed. A type
// without a motion snapshot gives an all-zero snapshot of that type.
PackedMotion ReadPackedMotion(const PackedBaseCmd* cmd);
