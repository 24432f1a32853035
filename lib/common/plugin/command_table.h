#pragma once

#include <cstdint>

// What each builder of PluginBase writes besides its parameters: the command
// id, the write bit, where the queued bit comes from and whether the builder
// first waits for room in the kernel's command queue. One row per builder, in
// the order of PluginBase's declarations.

enum class CmdDir : std::uint8_t { Read, Write };

enum class CmdQueue : std::uint8_t {
  Immediate,        // queued bit always 0, no wait
  Queueable,        // queued bit from isQueued, waits for queue room first
  QueueableNoWait,  // queued bit from isQueued, never waits
};

struct CommandSpec {
  std::uint16_t id;
  CmdDir dir;
  CmdQueue queue;
};

namespace cmd {

using enum CmdDir;
using enum CmdQueue;

// Queued execution.
inline constexpr CommandSpec GetQueuedCmdCurrentIndex{246, Read, Immediate};
inline constexpr CommandSpec SetQueuedCmdStartExec{240, Write, Immediate};
inline constexpr CommandSpec SetQueuedCmdStopExec{241, Write, Immediate};
inline constexpr CommandSpec SetQueuedCmdForceStopExec{242, Write, Immediate};
inline constexpr CommandSpec SetQueuedCmdHardStopExec{249, Write, Immediate};
inline constexpr CommandSpec SetQueuedCmdClear{245, Write, Immediate};
inline constexpr CommandSpec SetQueuedCmdStopClear{248, Write, Immediate};
inline constexpr CommandSpec GetQueuedCmdLeftSpace{247, Read, Immediate};

// Device.
inline constexpr CommandSpec SetDeviceSN{0, Write, Immediate};
inline constexpr CommandSpec GetDeviceSN{0, Read, Immediate};
inline constexpr CommandSpec SetDeviceName{1, Write, Immediate};
inline constexpr CommandSpec GetDeviceName{1, Read, Immediate};
inline constexpr CommandSpec GetDeviceVersion{2, Read, Immediate};
inline constexpr CommandSpec SetDeviceWithL{3, Read, Immediate};
inline constexpr CommandSpec GetDeviceWithL{3, Read, Immediate};
inline constexpr CommandSpec GetDeviceTime{4, Read, Immediate};

// Pose.
inline constexpr CommandSpec ResetPose{11, Write, Immediate};
inline constexpr CommandSpec GetPose{10, Read, Immediate};
inline constexpr CommandSpec GetKinematics{12, Read, Immediate};

// Conveyor tracking.
inline constexpr CommandSpec SetConveyorParams{14, Write, Queueable};
inline constexpr CommandSpec GetCnvObject{15, Read, Queueable};
inline constexpr CommandSpec SetCnvPointOffset{19, Write, Queueable};
inline constexpr CommandSpec SetCnvTimeInterval{23, Write, Queueable};
inline constexpr CommandSpec syncCnv{16, Write, Queueable};
inline constexpr CommandSpec stopsyncCnv{17, Write, Queueable};
inline constexpr CommandSpec SetCnvTracePoint{13, Write, Queueable};
inline constexpr CommandSpec GetEncoderValue{18, Read, Queueable};

// Alarms and external control point.
inline constexpr CommandSpec GetAlarmsState{20, Read, Immediate};
inline constexpr CommandSpec ClearAllAlarmsState{20, Write, Immediate};
inline constexpr CommandSpec EcpSwitch{24, Write, Queueable};
inline constexpr CommandSpec EcpSet{25, Write, Queueable};

// Homing, hand teaching, control type, drag teaching.
inline constexpr CommandSpec SetHOMEParams{30, Write, Queueable};
inline constexpr CommandSpec GetHOMEParams{30, Read, Immediate};
inline constexpr CommandSpec SetHOMECmd{31, Write, Queueable};
inline constexpr CommandSpec SetHHTTrigMode{40, Write, Immediate};
inline constexpr CommandSpec GetHHTTrigMode{40, Read, Immediate};
inline constexpr CommandSpec SetHHTTrigOutputEnabled{41, Write, Immediate};
inline constexpr CommandSpec GetHHTTrigOutputEnabled{41, Read, Immediate};
inline constexpr CommandSpec GetHHTTrigOutput{41, Read, Immediate};
inline constexpr CommandSpec SetControlType{47, Write, Immediate};
inline constexpr CommandSpec SetDragTeachEnabled{43, Write, Immediate};
inline constexpr CommandSpec GetDragTeachEnabled{43, Read, Immediate};

// Arm, transition and speed settings.
inline constexpr CommandSpec SetArmOrientation{50, Write, Queueable};
inline constexpr CommandSpec GetArmOrientation{50, Read, Immediate};
inline constexpr CommandSpec SetTransitionCmd{51, Write, Queueable};
inline constexpr CommandSpec GetTransitionCmd{51, Read, Immediate};
inline constexpr CommandSpec SetSpeedFactorParams{52, Write, Queueable};
inline constexpr CommandSpec GetSpeedFactorParams{52, Read, Immediate};
inline constexpr CommandSpec SetManualSpeedParams{53, Write, Queueable};
inline constexpr CommandSpec GetManualSpeedParams{53, Read, Immediate};

// End effectors.
inline constexpr CommandSpec SetEndEffectorParams{60, Write, Queueable};
inline constexpr CommandSpec GetEndEffectorParams{60, Read, Immediate};
inline constexpr CommandSpec SetEndEffectorLaser{61, Write, Queueable};
inline constexpr CommandSpec GetEndEffectorLaser{61, Read, Immediate};
inline constexpr CommandSpec SetEndEffectorSuctionCup{62, Write, Queueable};
inline constexpr CommandSpec GetEndEffectorSuctionCup{62, Read, Immediate};
inline constexpr CommandSpec SetEndEffectorGripper{63, Write, Queueable};
inline constexpr CommandSpec GetEndEffectorGripper{63, Read, Immediate};

// Jog and inch.
inline constexpr CommandSpec SetJOGJointParams{70, Write, Queueable};
inline constexpr CommandSpec GetJOGJointParams{70, Read, Immediate};
inline constexpr CommandSpec SetJOGCoordinateParams{71, Write, Queueable};
inline constexpr CommandSpec GetJOGCoordinateParams{71, Read, Immediate};
inline constexpr CommandSpec SetJOGCommonParams{72, Write, Queueable};
inline constexpr CommandSpec GetJOGCommonParams{72, Read, Immediate};
inline constexpr CommandSpec SetJOGCmd{73, Write, Queueable};
inline constexpr CommandSpec SetINCHParams{74, Write, Queueable};

// Point-to-point parameters.
inline constexpr CommandSpec SetPTPJointParams{80, Write, Queueable};
inline constexpr CommandSpec GetPTPJointParams{80, Read, Immediate};
inline constexpr CommandSpec SetPTPCoordinateParams{81, Write, Queueable};
inline constexpr CommandSpec GetPTPCoordinateParams{81, Read, Immediate};
inline constexpr CommandSpec SetPTPJumpParams{82, Write, Queueable};
inline constexpr CommandSpec GetPTPJumpParams{82, Read, Immediate};
inline constexpr CommandSpec SetPTPJump2Params{87, Write, Queueable};
inline constexpr CommandSpec GetPTPJump2Params{87, Read, Immediate};
inline constexpr CommandSpec SetPTPCommonParams{83, Write, Queueable};
inline constexpr CommandSpec GetPTPCommonParams{83, Read, Immediate};
inline constexpr CommandSpec SetPTPLParams{85, Write, Queueable};
inline constexpr CommandSpec GetPTPLParams{85, Read, Immediate};

// Moves.
inline constexpr CommandSpec SetPTPCmd{84, Write, Queueable};
inline constexpr CommandSpec SetPTPWithLCmd{86, Write, Queueable};
inline constexpr CommandSpec SetPTPPOCmd{88, Write, Queueable};
inline constexpr CommandSpec SetPTPPOWithLCmd{89, Write, Queueable};
inline constexpr CommandSpec SetCPParams{90, Write, Queueable};
inline constexpr CommandSpec GetCPParams{90, Read, Immediate};
inline constexpr CommandSpec SetCPCmd{91, Write, Queueable};
inline constexpr CommandSpec SetCPLECmd{92, Write, Queueable};
inline constexpr CommandSpec SetARCParams{100, Write, Queueable};
inline constexpr CommandSpec GetARCParams{100, Read, Immediate};
inline constexpr CommandSpec SetARCCmd{101, Write, Queueable};
inline constexpr CommandSpec SetCircleCmd{102, Write, Queueable};
inline constexpr CommandSpec SetExicitCmd{103, Write, Queueable};
inline constexpr CommandSpec SetExicitZCmd{104, Write, Queueable};
inline constexpr CommandSpec SetWAITCmd{110, Write, Queueable};
inline constexpr CommandSpec SetTRIGCmd{120, Write, Queueable};

// Inputs and outputs.
inline constexpr CommandSpec SetIOMultiplexing{130, Write, Queueable};
inline constexpr CommandSpec GetIOMultiplexing{130, Read, Immediate};
inline constexpr CommandSpec SetIODO{131, Write, Queueable};
inline constexpr CommandSpec GetIODO{131, Read, Immediate};
inline constexpr CommandSpec SetMulIODO{144, Write, Queueable};
inline constexpr CommandSpec GetMulIODO{145, Read, Queueable};
inline constexpr CommandSpec SetIODAC{134, Write, Queueable};
inline constexpr CommandSpec GetIODAC{134, Read, Immediate};
inline constexpr CommandSpec GetIODI{133, Read, Immediate};
inline constexpr CommandSpec SetEMotor{135, Write, Queueable};
inline constexpr CommandSpec GetIOADC{134, Read, Immediate};
inline constexpr CommandSpec SetIODOEx{136, Write, Queueable};
inline constexpr CommandSpec GetIODOEx{136, Read, Immediate};
inline constexpr CommandSpec GetIODIEx{137, Read, Immediate};
inline constexpr CommandSpec GetIOADCEx{138, Read, Immediate};
inline constexpr CommandSpec SetIODACEx{139, Write, Queueable};
inline constexpr CommandSpec GetIODACEx{139, Read, Immediate};

// Frames.
inline constexpr CommandSpec GetUserParams{220, Read, Immediate};
inline constexpr CommandSpec SetUserCoordParams{250, Write, Queueable};
inline constexpr CommandSpec SetToolCoordParams{251, Write, Queueable};
inline constexpr CommandSpec GetUserCoordParams{250, Read, Immediate};
inline constexpr CommandSpec GetToolCoordParams{251, Read, Immediate};

// Sensor calibration values.
inline constexpr CommandSpec SetAngleSensorStaticError{140, Write, Immediate};
inline constexpr CommandSpec GetAngleSensorStaticError{140, Read, Immediate};
inline constexpr CommandSpec SetAngleSensorCoef{141, Write, Immediate};
inline constexpr CommandSpec GetAngleSensorCoef{141, Read, Immediate};
inline constexpr CommandSpec SetBaseDecoderStaticError{142, Write, Immediate};
inline constexpr CommandSpec GetBaseDecoderStaticError{142, Read, Immediate};
inline constexpr CommandSpec SetLRHandCalibrateValue{143, Write, Immediate};
inline constexpr CommandSpec GetLRHandCalibrateValue{143, Read, Immediate};

// Load, identification, latch, collision, safety.
inline constexpr CommandSpec loadSet{208, Write, Queueable};
inline constexpr CommandSpec loadSwitch{207, Write, Queueable};
inline constexpr CommandSpec ExcitSetMode{206, Write, Queueable};
inline constexpr CommandSpec GetJointAngle{26, Read, Immediate};
inline constexpr CommandSpec GetCmdAllDone{27, Read, Immediate};
inline constexpr CommandSpec GetStopStatus{28, Read, Immediate};
inline constexpr CommandSpec SetDynLoadParams{253, Write, Queueable};
inline constexpr CommandSpec GetLatchPose{34, Read, Immediate};
inline constexpr CommandSpec latchEnable{33, Write, Queueable};
inline constexpr CommandSpec SetLatch{32, Write, Queueable};
inline constexpr CommandSpec SetLatchTemplate{35, Write, Queueable};
inline constexpr CommandSpec SetTorDiffParams{201, Write, Queueable};
inline constexpr CommandSpec GetPointForwardCal{8, Read, Immediate};
inline constexpr CommandSpec GetPointInverseCal{9, Read, Immediate};
inline constexpr CommandSpec SetSafeGuard{29, Write, Immediate};
inline constexpr CommandSpec SetExterAxisCmd{225, Write, QueueableNoWait};
inline constexpr CommandSpec GetExterAxisCmd{225, Read, QueueableNoWait};
inline constexpr CommandSpec setUserMatrixCalcParams{228, Read, Queueable};
inline constexpr CommandSpec SetCollisionLevel{193, Write, Queueable};
// Carries a text command; its control byte stays 0.
inline constexpr CommandSpec TCPIPRawCmdHandler{262, Read, Immediate};

}  // namespace cmd
