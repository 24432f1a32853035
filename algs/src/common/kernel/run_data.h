#pragma once

#include <cstddef>
#include <cstdint>

// Run data copied out whole to the data server, which reads it by offset.
// Joints in degrees (joint 3 in mm), poses x, y, z, r.
#pragma pack(push, 1)
struct tagAlgsRunData {
  // Blocks of six doubles; the joint blocks use their first four.
  double cmdJointPos[6];       // 0: commanded joints (nextPos)
  double cmdJointVel[6];       // 48: commanded joint speeds
  double cmdJointAcc[6];       // 96: from the profile's speed change
  double auxDriveSide[6];      // 144: fourth motion-state group through the drive ratios
  double aux[6];               // 192: fourth motion-state group as it is
  double actJointPos[6];       // 240: actual joints from the axes group
  double actJointVel[6];       // 288
  double actJointTorque[6];    // 336: through the drive ratios
  double reserved0[18];        // 384
  double actPose[6];           // 528: x, y, z, r of the actual joints
  double actTcpAcc[6];         // 576: tool centre point x, y, z (mm/s^2); [5] at 616 angular (deg/s^2)
  double reserved1[6];         // 624
  double cmdPose[6];           // 672: x, y, z, r of the commanded joints
  double cmdTcpAcc[6];         // 720: the same from the planned profile; [5] at 760
  double userFrame[6];         // 768: x, y, z, r of gSysParams.localParams
  double toolFrame[6];         // 816: x, y, z, r of gSysParams.toolParams
  double speedScaling;         // 864: the global speed ratio
  std::uint8_t reserved2[64];  // 872
  std::uint8_t ptpCommon[9];   // 936: the nine point-to-point ratios as whole numbers
  std::uint8_t armOrientation; // 945: 1 when joint 2 >= 0
  std::uint8_t reserved3[3];   // 946
  std::uint8_t frameIndex[2];  // 949: user and tool frame indices
  std::uint8_t runQueuedCmd;   // 951
  std::uint8_t pauseCmdFlag;   // 952
  std::uint8_t jogging;        // 953: mode 1 or 2
  std::uint8_t reserved4[6];   // 954
};
#pragma pack(pop)

static_assert(sizeof(tagAlgsRunData) == 960);
static_assert(offsetof(tagAlgsRunData, cmdJointVel) == 48);
static_assert(offsetof(tagAlgsRunData, cmdJointAcc) == 96);
static_assert(offsetof(tagAlgsRunData, auxDriveSide) == 144);
static_assert(offsetof(tagAlgsRunData, aux) == 192);
static_assert(offsetof(tagAlgsRunData, actJointPos) == 240);
static_assert(offsetof(tagAlgsRunData, actJointVel) == 288);
static_assert(offsetof(tagAlgsRunData, actJointTorque) == 336);
static_assert(offsetof(tagAlgsRunData, actPose) == 528);
static_assert(offsetof(tagAlgsRunData, actTcpAcc) == 576);
static_assert(offsetof(tagAlgsRunData, actTcpAcc) + 5 * sizeof(double) == 616);
static_assert(offsetof(tagAlgsRunData, cmdPose) == 672);
static_assert(offsetof(tagAlgsRunData, cmdTcpAcc) == 720);
static_assert(offsetof(tagAlgsRunData, cmdTcpAcc) + 5 * sizeof(double) == 760);
static_assert(offsetof(tagAlgsRunData, userFrame) == 768);
static_assert(offsetof(tagAlgsRunData, toolFrame) == 816);
static_assert(offsetof(tagAlgsRunData, speedScaling) == 864);
static_assert(offsetof(tagAlgsRunData, ptpCommon) == 936);
static_assert(offsetof(tagAlgsRunData, armOrientation) == 945);
static_assert(offsetof(tagAlgsRunData, frameIndex) == 949);
static_assert(offsetof(tagAlgsRunData, runQueuedCmd) == 951);
static_assert(offsetof(tagAlgsRunData, pauseCmdFlag) == 952);
static_assert(offsetof(tagAlgsRunData, jogging) == 953);

extern tagAlgsRunData gAlgsRunData;
