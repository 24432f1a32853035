#pragma once

#include <cstddef>
#include <cstdint>

#include "common/protocol/command_records.h"

// The robot parameter block the data server hands the motion kernel at every
// parameter load: 712 bytes, little-endian, packed. The kernel reads each
// member by its offset; bytes not named here are not read. The switches are
// bytes of their own (never a copy of a record holding bools).
#pragma pack(push, 1)
struct RobotParamBlock {
  double jointMax[4];  // soft limits, degrees (joint 3 mm)
  double jointMin[4];
  double minAbsJoint2;     // smallest allowed |joint 2|
  float overSpeedRpm[4];   // motor speed limits
  std::uint8_t reserved0[16];
  std::uint32_t resetWord;  // 0 from the filler; a parameter reset sets the kernel's copy to 1
  tagCoordParamsFull userFrame;
  tagCoordParamsFull toolFrame;
  std::int32_t projectSetting;  // not read
  float speedFactor;            // global speed ratio, whole number
  tagJOGJointParams jogJoint;
  tagJOGCoordinateParams jogCoordinate;
  tagJOGCommonParams jogCommon;
  tagPTPCommonParams ptpCommon;
  tagPTPJointParams ptpJoint;
  tagPTPCoordinateParams ptpCoordinate;
  tagPTPJumpParams jump;
  tagPTPJump2Params jump2;
  std::uint8_t reserved1[4];
  std::uint8_t simulated[4];  // joint j simulated (1) or a real drive (0)
  // Arm 1 length, arm 2 length, screw lead of joint 3 (mm/rev), z offset, one more.
  double mechanism[5];
  // [0] 360.0, [1-4] subdivision, [5-8] gear ratio of joints 1-4.
  double jointPara[9];
  double gearNum[4];
  double gearDen[4];
  double posScaleNum[4];
  double posScaleDen[4];
  std::int32_t encoderResolution[4];
  std::int32_t driveWord[4];  // the motor's inverted flag
  std::uint8_t usingTrueMotion;
  std::uint8_t dynamicOptimal;
  std::uint8_t reserved2[2];
  std::int32_t accType;
  std::uint8_t torqueFeedforward;
  std::uint8_t inputECP;
  std::uint8_t reserved3[2];
  std::int32_t inputShapingFreq;   // above 0 switches input shaping on
  double inputShapingDamp;         // handed to every joint's shaper
  std::int32_t adjust[4];          // drag-sense adjustments
  float poseTemplate[8];           // x, y, z, r, joints 1-4
};
#pragma pack(pop)

inline constexpr std::size_t kRobotParamBlockBytes = 712;

static_assert(sizeof(RobotParamBlock) == kRobotParamBlockBytes);
static_assert(offsetof(RobotParamBlock, jointMin) == 32);
static_assert(offsetof(RobotParamBlock, minAbsJoint2) == 64);
static_assert(offsetof(RobotParamBlock, overSpeedRpm) == 72);
static_assert(offsetof(RobotParamBlock, resetWord) == 104);
static_assert(offsetof(RobotParamBlock, userFrame) == 108);
static_assert(offsetof(RobotParamBlock, toolFrame) == 128);
static_assert(offsetof(RobotParamBlock, projectSetting) == 148);
static_assert(offsetof(RobotParamBlock, speedFactor) == 152);
static_assert(offsetof(RobotParamBlock, jogJoint) == 156);
static_assert(offsetof(RobotParamBlock, jogCoordinate) == 188);
static_assert(offsetof(RobotParamBlock, jogCommon) == 220);
static_assert(offsetof(RobotParamBlock, ptpCommon) == 228);
static_assert(offsetof(RobotParamBlock, ptpJoint) == 264);
static_assert(offsetof(RobotParamBlock, ptpCoordinate) == 312);
static_assert(offsetof(RobotParamBlock, jump) == 336);
static_assert(offsetof(RobotParamBlock, jump2) == 348);
static_assert(offsetof(RobotParamBlock, simulated) == 364);
static_assert(offsetof(RobotParamBlock, mechanism) == 368);
static_assert(offsetof(RobotParamBlock, jointPara) == 408);
static_assert(offsetof(RobotParamBlock, gearNum) == 480);
static_assert(offsetof(RobotParamBlock, gearDen) == 512);
static_assert(offsetof(RobotParamBlock, posScaleNum) == 544);
static_assert(offsetof(RobotParamBlock, posScaleDen) == 576);
static_assert(offsetof(RobotParamBlock, encoderResolution) == 608);
static_assert(offsetof(RobotParamBlock, driveWord) == 624);
static_assert(offsetof(RobotParamBlock, usingTrueMotion) == 640);
static_assert(offsetof(RobotParamBlock, dynamicOptimal) == 641);
static_assert(offsetof(RobotParamBlock, accType) == 644);
static_assert(offsetof(RobotParamBlock, torqueFeedforward) == 648);
static_assert(offsetof(RobotParamBlock, inputECP) == 649);
static_assert(offsetof(RobotParamBlock, inputShapingFreq) == 652);
static_assert(offsetof(RobotParamBlock, inputShapingDamp) == 656);
static_assert(offsetof(RobotParamBlock, adjust) == 664);
static_assert(offsetof(RobotParamBlock, poseTemplate) == 680);
