#pragma once

#include <cstddef>
#include <cstdint>

#include "common/kinematics/pose_records.h"
#include "common/protocol/command_records.h"

#pragma pack(push, 1)

// The point-to-point parameters in force, as ids 80, 81, 82, 87 and 83 set
// them; snapshotted whole into every queued move.
struct tagPTPParamsBlock {
  tagPTPJointParams joint;
  tagPTPCoordinateParams coordinate;
  tagPTPJumpParams jump;
  tagPTPJump2Params jump2;
  tagPTPCommonParams common;
};
static_assert(sizeof(tagPTPParamsBlock) == 132);
static_assert(offsetof(tagPTPParamsBlock, coordinate) == 48);
static_assert(offsetof(tagPTPParamsBlock, jump) == 72);
static_assert(offsetof(tagPTPParamsBlock, jump2) == 84);
static_assert(offsetof(tagPTPParamsBlock, common) == 96);

inline constexpr std::size_t kDeviceTextSize = 32;

// The kernel's parameters and current pose. Packed, so doubles sit at odd
// positions: copy them bytewise (memcpy), never through a double pointer.
struct tagSysParams {
  char deviceSN[kDeviceTextSize];
  char deviceName[kDeviceTextSize];
  // Current commanded pose: x, y, z, r, then joints 1-4.
  WCSPosition pose;
  JointTheta joint;
  // From the parameter block; a parameter reset sets it to 1.
  std::uint32_t resetWord;
  // Cleared by every stop and parameter reset; the first also by the conveyor stop.
  std::uint8_t stopClearedFlags[3];
  // Global speed ratio in percent (1..100) and the copy written alongside it.
  float speedFactorRatio;
  float speedFactorRatioCopy;
  tagJOGJointParams jogJointParams;
  tagJOGCoordinateParams jogCoordinateParams;
  tagJOGCommonParams jogCommonParams;
  // The last jog command (id 73).
  tagJOGCmd jogCmd;
  // Inch settings (id 74); isInch non-zero makes the jog modes move by fixed steps.
  tagINCHParams inchParams;
  tagPTPParamsBlock ptpParams;
  // 0 or 1: the arm's handedness for Cartesian targets.
  std::uint8_t armOrientation;
  // Blending ratio of queued moves, 0..100.
  std::uint8_t transition;
  // 1 queued program control, 2 jog control (id 47).
  std::uint32_t controlType;
  // User and tool frame: from the parameter block at set-up, then ids 250
  // and 251; every queued move snapshots them and the run data reports them.
  // The frames in force live with the kinematics.
  tagLocalParams localParams;
  tagToolParams toolParams;
  // External control point frame (ids 24, 25).
  tagToolParams ecpParams;
  std::uint8_t refSysFlag;  // conveyor synchronisation on
  std::uint8_t eCPFlag;     // external control point on
  std::uint8_t loadFlag;    // a payload is set
  _stLoadParams loadParams;
  _stLoadFullParams loadFullParams;
  // 1 while queued commands are being executed.
  std::uint8_t runQueuedCmd;
  // Adjust values from the parameter block; the hand-guiding model reads the
  // first three as the viscous-friction percentages of joints 1-3.
  std::int32_t adjust[4];
};

#pragma pack(pop)

static_assert(offsetof(tagSysParams, joint) == offsetof(tagSysParams, pose) + 32);

extern tagSysParams gSysParams;
