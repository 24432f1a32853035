#pragma once

#include <cstddef>
#include <cstdint>

// The host runtime's axes-group record: one 4096-byte little-endian record
// shared by the host, the data server, the motion kernel and the stand-ins.
// Every field sits at its natural alignment, so each is written whole by one
// aligned store (several threads read the record). Reserved bytes stay zero.
// Units: degrees, joint 3 in mm.

// One joint's drive, 928 bytes; joint j (1..4) starts at 928 * (j - 1).
struct AxesGroupJoint {
  std::uint32_t m_State;           // 1 fault; 3 or 4 ready for homing; above 2 enabled
  std::uint32_t m_OpMode;          // 8 position, 10 torque, 6 homing
  std::uint32_t m_Operational;     // 1 servo ready
  std::uint32_t m_ErrorCode;       // drive error code, 0 none
  std::uint32_t m_HomingDone;      // 1 when homing finished
  std::uint32_t m_ModeChangeDone;  // rising edge: servo-mode change done
  double m_PosAtModeChange;
  std::uint32_t m_LatchDone;   // latch captured; cleared by the kernel when latching stops
  std::uint32_t m_AxisStatus;  // per-axis status word (drag teaching)
  double m_LatchedPos;
  double m_ActPosition;
  double m_ActVelocity;  // per second
  double m_ActTorque;    // drive units
  struct {
    double m_Position;      // set position
    double m_TorqueOffset;  // enable compensation
    double m_Friction;      // hand-guiding friction term
  } m_NewSetValues;
  struct {
    double m_MaxVelocityAppl;  // servo-mode switch
  } m_Limits;
  double m_HomePosition;
  double m_TorqueModeFactor;
  std::uint32_t m_LatchEnable;
  std::uint32_t m_LatchType;
  double m_GearNum;
  double m_GearDen;  // also the run data's divisor word
  double m_PosScaleNum;
  double m_PosScaleDen;
  std::int32_t m_EncoderResolution;
  std::int32_t m_DriveWord;  // the motor's inverted flag
  double m_EStopDecel;       // data server only
  std::uint32_t m_Simulated;
  std::uint32_t m_FilterWord[2];
  std::uint32_t reserved0;
  double m_RatedTorque;
  double m_TorqueFeedForward;
  std::uint32_t m_ControlWord;  // brake/control word: data server only
  std::uint32_t reserved1[3];
  std::uint32_t m_GroupState;  // axis record 0: the group state word (10 = hand guiding)
  std::uint8_t reserved2[928 - 228];
};

struct AxesGroupRef {
  AxesGroupJoint m_Joints[4];
  std::uint32_t m_GroupErrorId;  // 0, 0xEE20, 0xEE21..0xEE24
  struct {
    std::uint32_t ResetFlag;  // drive fault reset request
    std::uint32_t HomeFlag;   // joint mask for homing, 2 for pose reset, 0 when done
  } m_DriveCmd;
  std::uint32_t m_EnableRequest;
  std::uint32_t m_ModeWord;     // servo-mode switch: 1 torque, 0 position
  std::uint32_t m_ModeExecute;  // mode-switch execute word
  std::uint32_t m_EncoderReset[2];
  std::uint32_t m_ParamWriteRequest;
  std::uint32_t m_ModeChangeJoint;
  std::int32_t m_EncoderCount[2];  // raw counts of conveyor channels 1 and 2
  // Bit mask of the joints found colliding (bit 0 = joint 1); set by the
  // kernel's dynamics stage, cleared by the data server.
  std::uint32_t m_CollisionWord;
  std::uint32_t m_Signature;
  std::int32_t m_LightCode;
  std::uint8_t m_StopInput;  // 'B' asserted, 'M' released
  std::uint8_t reserved0[3];
  std::uint32_t m_AutoMode;     // 2 auto
  std::uint32_t m_EnableState;  // non-zero enabled
  std::uint32_t m_AppMode;      // the host's mode word; 2 asks for completion
  std::uint32_t m_AppModeDone;  // completion word
  std::uint32_t m_HoldWord;
  std::uint32_t reserved1;
  std::uint32_t m_JointPair[2];  // copied verbatim for the control program
  std::uint32_t m_ServoVersion[2];
  std::uint32_t m_IoBoardVersion;
  std::uint8_t reserved2[4096 - 3820];
};

inline constexpr std::size_t kAxesGroupJointSize = 928;
inline constexpr std::size_t kAxesGroupSize = 4096;
inline constexpr std::uint8_t kStopInputAsserted = 'B';
inline constexpr std::uint8_t kStopInputReleased = 'M';

static_assert(sizeof(AxesGroupJoint) == kAxesGroupJointSize);
static_assert(offsetof(AxesGroupJoint, m_OpMode) == 4);
static_assert(offsetof(AxesGroupJoint, m_Operational) == 8);
static_assert(offsetof(AxesGroupJoint, m_ErrorCode) == 12);
static_assert(offsetof(AxesGroupJoint, m_HomingDone) == 16);
static_assert(offsetof(AxesGroupJoint, m_ModeChangeDone) == 20);
static_assert(offsetof(AxesGroupJoint, m_PosAtModeChange) == 24);
static_assert(offsetof(AxesGroupJoint, m_LatchDone) == 32);
static_assert(offsetof(AxesGroupJoint, m_AxisStatus) == 36);
static_assert(offsetof(AxesGroupJoint, m_LatchedPos) == 40);
static_assert(offsetof(AxesGroupJoint, m_ActPosition) == 48);
static_assert(offsetof(AxesGroupJoint, m_ActVelocity) == 56);
static_assert(offsetof(AxesGroupJoint, m_ActTorque) == 64);
static_assert(offsetof(AxesGroupJoint, m_NewSetValues.m_Position) == 72);
static_assert(offsetof(AxesGroupJoint, m_NewSetValues.m_TorqueOffset) == 80);
static_assert(offsetof(AxesGroupJoint, m_NewSetValues.m_Friction) == 88);
static_assert(offsetof(AxesGroupJoint, m_Limits.m_MaxVelocityAppl) == 96);
static_assert(offsetof(AxesGroupJoint, m_HomePosition) == 104);
static_assert(offsetof(AxesGroupJoint, m_TorqueModeFactor) == 112);
static_assert(offsetof(AxesGroupJoint, m_LatchEnable) == 120);
static_assert(offsetof(AxesGroupJoint, m_LatchType) == 124);
static_assert(offsetof(AxesGroupJoint, m_GearNum) == 128);
static_assert(offsetof(AxesGroupJoint, m_GearDen) == 136);
static_assert(offsetof(AxesGroupJoint, m_PosScaleNum) == 144);
static_assert(offsetof(AxesGroupJoint, m_PosScaleDen) == 152);
static_assert(offsetof(AxesGroupJoint, m_EncoderResolution) == 160);
static_assert(offsetof(AxesGroupJoint, m_DriveWord) == 164);
static_assert(offsetof(AxesGroupJoint, m_EStopDecel) == 168);
static_assert(offsetof(AxesGroupJoint, m_Simulated) == 176);
static_assert(offsetof(AxesGroupJoint, m_FilterWord) == 180);
static_assert(offsetof(AxesGroupJoint, m_RatedTorque) == 192);
static_assert(offsetof(AxesGroupJoint, m_TorqueFeedForward) == 200);
static_assert(offsetof(AxesGroupJoint, m_ControlWord) == 208);
static_assert(offsetof(AxesGroupJoint, m_GroupState) == 224);
static_assert(offsetof(AxesGroupJoint, reserved2) == 228);

static_assert(sizeof(AxesGroupRef) == kAxesGroupSize);
static_assert(alignof(AxesGroupRef) == alignof(double));
static_assert(offsetof(AxesGroupRef, m_Joints) == 0);
static_assert(offsetof(AxesGroupRef, m_GroupErrorId) == 3712);
static_assert(offsetof(AxesGroupRef, m_DriveCmd.ResetFlag) == 3716);
static_assert(offsetof(AxesGroupRef, m_DriveCmd.HomeFlag) == 3720);
static_assert(offsetof(AxesGroupRef, m_EnableRequest) == 3724);
static_assert(offsetof(AxesGroupRef, m_ModeWord) == 3728);
static_assert(offsetof(AxesGroupRef, m_ModeExecute) == 3732);
static_assert(offsetof(AxesGroupRef, m_EncoderReset) == 3736);
static_assert(offsetof(AxesGroupRef, m_ParamWriteRequest) == 3744);
static_assert(offsetof(AxesGroupRef, m_ModeChangeJoint) == 3748);
static_assert(offsetof(AxesGroupRef, m_EncoderCount) == 3752);
static_assert(offsetof(AxesGroupRef, m_CollisionWord) == 3760);
static_assert(offsetof(AxesGroupRef, m_Signature) == 3764);
static_assert(offsetof(AxesGroupRef, m_LightCode) == 3768);
static_assert(offsetof(AxesGroupRef, m_StopInput) == 3772);
static_assert(offsetof(AxesGroupRef, m_AutoMode) == 3776);
static_assert(offsetof(AxesGroupRef, m_EnableState) == 3780);
static_assert(offsetof(AxesGroupRef, m_AppMode) == 3784);
static_assert(offsetof(AxesGroupRef, m_AppModeDone) == 3788);
static_assert(offsetof(AxesGroupRef, m_HoldWord) == 3792);
static_assert(offsetof(AxesGroupRef, m_JointPair) == 3800);
static_assert(offsetof(AxesGroupRef, m_ServoVersion) == 3808);
static_assert(offsetof(AxesGroupRef, m_IoBoardVersion) == 3816);
static_assert(offsetof(AxesGroupRef, reserved2) == 3820);
