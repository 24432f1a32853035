#pragma once

#include <cstddef>
#include <cstdint>

#include "common/ipc/robot_map_layout.h"

// The 1440-byte real-time status record in the status memory (input
// registers 1000-1719), rewritten by the data server's snapshot thread behind
// its validity flag and copied out by the feedback senders. Little-endian.
// Field names are the feedback keys; blocks without a key are named after
// their content.
#pragma pack(push, 1)
struct RealTimeData_t {
  std::uint16_t MessageSize;  // never written by the data server
  std::uint8_t reserved2[6];
  std::uint64_t DigitalInputs;   // bit i: input byte i of the kernel's image is non-zero
  std::uint64_t DigitalOutputs;  // bit i: output byte i
  std::uint64_t RobotMode;       // high word 0
  std::uint64_t TimeStamp;       // CLOCK_REALTIME in ms
  std::uint8_t reserved40[8];
  std::uint64_t TestValue;  // 0x0123456789ABCDEF
  std::uint8_t reserved56[8];
  double SpeedScaling;
  double LinearMomentumNorm;
  double VMain;
  double VRobot;
  double IRobot;
  std::uint8_t reserved104[16];
  double ToolAccelerometer[3];
  double ElbowPosition[3];
  double ElbowVelocity[3];
  double QTarget[6];
  double QDTarget[6];
  double QDDTarget[6];
  double ITarget[6];
  double MTarget[6];
  double QActual[6];
  double QDActual[6];
  double IActual[6];
  double ActualTCPForce[6];
  double ActualPose[6];  // no feedback key
  double TCPSpeedActual[6];
  double TCPForce[6];
  double ToolVectorTarget[6];
  double TCPSpeedTarget[6];
  double MotorTemperatures[6];
  double JointModes[6];
  double VActual[6];
  std::int32_t HandType;
  std::uint8_t User;
  std::uint8_t Tool;
  std::uint8_t RunQueuedCmd;
  std::uint8_t PauseCmdFlag;
  std::uint8_t VelocityRatio;
  std::uint8_t AccelerationRatio;
  std::uint8_t JerkRatio;
  std::uint8_t XYZVelocityRatio;
  std::uint8_t RVelocityRatio;
  std::uint8_t XYZAccelerationRatio;
  std::uint8_t RAccelerationRatio;
  std::uint8_t XYZJerkRatio;
  std::uint8_t RJerkRatio;
  std::uint8_t BrakeStatus;
  std::uint8_t EnableStatus;
  std::uint8_t DragStatus;
  std::uint8_t RunningStatus;
  std::uint8_t ErrorStatus;
  std::uint8_t JogStatus;
  std::uint8_t RobotType;
  std::uint8_t DragButtonSignal;
  std::uint8_t EnableButtonSignal;
  std::uint8_t RecordButtonSignal;
  std::uint8_t ReappearButtonSignal;
  std::uint8_t JawButtonSignal;
  std::uint8_t SixForceOnline;
  std::uint8_t reserved1038[82];
  double MActual[6];
  double Load;
  double CenterX;
  double CenterY;
  double CenterZ;
  double UserFrame[6];  // key "User[6]"
  double ToolFrame[6];  // key "Tool[6]"
  double TraceIndex;
  double SixForceValue[6];
  double TargetQuaternion[4];
  double ActualQuaternion[4];
  std::uint8_t reserved1416[24];
};
#pragma pack(pop)

inline constexpr std::uint64_t kRealTimeTestValue = 0x0123456789ABCDEFULL;

static_assert(sizeof(RealTimeData_t) == robot_map::kRecordSize);
static_assert(offsetof(RealTimeData_t, MessageSize) == 0);
static_assert(offsetof(RealTimeData_t, DigitalInputs) == 8);
static_assert(offsetof(RealTimeData_t, DigitalOutputs) == 16);
static_assert(offsetof(RealTimeData_t, RobotMode) == 24);
static_assert(offsetof(RealTimeData_t, TimeStamp) == 32);
static_assert(offsetof(RealTimeData_t, TestValue) == 48);
static_assert(offsetof(RealTimeData_t, SpeedScaling) == 64);
static_assert(offsetof(RealTimeData_t, LinearMomentumNorm) == 72);
static_assert(offsetof(RealTimeData_t, VMain) == 80);
static_assert(offsetof(RealTimeData_t, VRobot) == 88);
static_assert(offsetof(RealTimeData_t, IRobot) == 96);
static_assert(offsetof(RealTimeData_t, ToolAccelerometer) == 120);
static_assert(offsetof(RealTimeData_t, ElbowPosition) == 144);
static_assert(offsetof(RealTimeData_t, ElbowVelocity) == 168);
static_assert(offsetof(RealTimeData_t, QTarget) == 192);
static_assert(offsetof(RealTimeData_t, QDTarget) == 240);
static_assert(offsetof(RealTimeData_t, QDDTarget) == 288);
static_assert(offsetof(RealTimeData_t, ITarget) == 336);
static_assert(offsetof(RealTimeData_t, MTarget) == 384);
static_assert(offsetof(RealTimeData_t, QActual) == 432);
static_assert(offsetof(RealTimeData_t, QDActual) == 480);
static_assert(offsetof(RealTimeData_t, IActual) == 528);
static_assert(offsetof(RealTimeData_t, ActualTCPForce) == 576);
static_assert(offsetof(RealTimeData_t, ActualPose) == 624);
static_assert(offsetof(RealTimeData_t, TCPSpeedActual) == 672);
static_assert(offsetof(RealTimeData_t, TCPForce) == 720);
static_assert(offsetof(RealTimeData_t, ToolVectorTarget) == 768);
static_assert(offsetof(RealTimeData_t, TCPSpeedTarget) == 816);
static_assert(offsetof(RealTimeData_t, MotorTemperatures) == 864);
static_assert(offsetof(RealTimeData_t, JointModes) == 912);
static_assert(offsetof(RealTimeData_t, VActual) == 960);
static_assert(offsetof(RealTimeData_t, HandType) == 1008);
static_assert(offsetof(RealTimeData_t, User) == 1012);
static_assert(offsetof(RealTimeData_t, Tool) == 1013);
static_assert(offsetof(RealTimeData_t, RunQueuedCmd) == 1014);
static_assert(offsetof(RealTimeData_t, PauseCmdFlag) == 1015);
static_assert(offsetof(RealTimeData_t, VelocityRatio) == 1016);
static_assert(offsetof(RealTimeData_t, AccelerationRatio) == 1017);
static_assert(offsetof(RealTimeData_t, JerkRatio) == 1018);
static_assert(offsetof(RealTimeData_t, XYZVelocityRatio) == 1019);
static_assert(offsetof(RealTimeData_t, RVelocityRatio) == 1020);
static_assert(offsetof(RealTimeData_t, XYZAccelerationRatio) == 1021);
static_assert(offsetof(RealTimeData_t, RAccelerationRatio) == 1022);
static_assert(offsetof(RealTimeData_t, XYZJerkRatio) == 1023);
static_assert(offsetof(RealTimeData_t, RJerkRatio) == 1024);
static_assert(offsetof(RealTimeData_t, BrakeStatus) == 1025);
static_assert(offsetof(RealTimeData_t, EnableStatus) == 1026);
static_assert(offsetof(RealTimeData_t, DragStatus) == 1027);
static_assert(offsetof(RealTimeData_t, RunningStatus) == 1028);
static_assert(offsetof(RealTimeData_t, ErrorStatus) == 1029);
static_assert(offsetof(RealTimeData_t, JogStatus) == 1030);
static_assert(offsetof(RealTimeData_t, RobotType) == 1031);
static_assert(offsetof(RealTimeData_t, DragButtonSignal) == 1032);
static_assert(offsetof(RealTimeData_t, EnableButtonSignal) == 1033);
static_assert(offsetof(RealTimeData_t, RecordButtonSignal) == 1034);
static_assert(offsetof(RealTimeData_t, ReappearButtonSignal) == 1035);
static_assert(offsetof(RealTimeData_t, JawButtonSignal) == 1036);
static_assert(offsetof(RealTimeData_t, SixForceOnline) == 1037);
static_assert(offsetof(RealTimeData_t, MActual) == 1120);
static_assert(offsetof(RealTimeData_t, Load) == 1168);
static_assert(offsetof(RealTimeData_t, CenterX) == 1176);
static_assert(offsetof(RealTimeData_t, CenterY) == 1184);
static_assert(offsetof(RealTimeData_t, CenterZ) == 1192);
static_assert(offsetof(RealTimeData_t, UserFrame) == 1200);
static_assert(offsetof(RealTimeData_t, ToolFrame) == 1248);
static_assert(offsetof(RealTimeData_t, TraceIndex) == 1296);
static_assert(offsetof(RealTimeData_t, SixForceValue) == 1304);
static_assert(offsetof(RealTimeData_t, TargetQuaternion) == 1352);
static_assert(offsetof(RealTimeData_t, ActualQuaternion) == 1384);
static_assert(offsetof(RealTimeData_t, reserved1416) == 1416);
