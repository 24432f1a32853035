// Every builder writes the id, control byte, length and parameter bytes the
// kernel expects, and calls the wait hook exactly when it should.
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/plugin/plugin_base.h"
#include "plugin_client.h"

namespace {

using zelor::test::RecordingClient;
using Bytes = std::vector<std::uint8_t>;
using Wait = RecordingClient::Wait;

// A record whose bytes count up from seed, so misplaced bytes show.
template <typename T>
T patterned(std::uint8_t seed) {
  T value;
  auto* bytes = reinterpret_cast<std::uint8_t*>(&value);
  for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<std::uint8_t>(seed + i);
  return value;
}

template <typename T>
Bytes bytesOf(const T& value) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
  return Bytes(p, p + sizeof(T));
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const auto kConveyor = patterned<Conveyor>(0x01);
const auto kCnvObject = patterned<stConveyorObj>(0x21);
const auto kPointOffset = patterned<stConvPointOffset>(0x31);
const unsigned short kInterval = 0x1234;
const unsigned char kByteArg = 0x5A;
const auto kCoord = patterned<tagCoordParams>(0x41);
const auto kHomeParams = patterned<tagHOMEParams>(0x51);
const auto kEndEffector = patterned<tagEndEffectorParams>(0x61);
const auto kJogJoint = patterned<tagJOGJointParams>(0x71);
const auto kJogCoord = patterned<tagJOGCoordinateParams>(0x81);
const auto kJogCommon = patterned<tagJOGCommonParams>(0x91);
const auto kJogL = patterned<tagJOGLParams>(0x95);
const auto kJogCmd = patterned<tagJOGCmd>(0x02);
const auto kInch = patterned<tagINCHParams>(0xA1);
const auto kPtpJoint = patterned<tagPTPJointParams>(0xB1);
const auto kPtpCoord = patterned<tagPTPCoordinateParams>(0xC1);
const auto kPtpJump = patterned<tagPTPJumpParams>(0xD1);
const auto kPtpJump2 = patterned<tagPTPJump2Params>(0xE1);
const auto kPtpCommon = patterned<tagPTPCommonParams>(0xF1);
const auto kPtpL = patterned<tagPTPLParams>(0x11);
const auto kPtp = patterned<tagPTPCmd>(0x19);
const auto kPtpWithL = patterned<tagPTPWithLCmd>(0x29);
const auto kCpParams = patterned<tagCPParams>(0x39);
const auto kCp = patterned<tagCPCmd>(0x49);
const auto kArcParams = patterned<tagARCParams>(0x59);
const auto kArc = patterned<tagARCCmd>(0x69);
const auto kCircle = patterned<tagCircleCmd>(0x79);
const auto kExcit = patterned<tagExcitCmd>(0x89);
const auto kExcitZ = patterned<tagExcitCmdZ>(0x99);
const auto kWait = patterned<tagWAITCmd>(0xA9);
const auto kTrig = patterned<tagTRIGCmd>(0xB9);
const auto kMultiplexing = patterned<tagIOMultiplexing>(0xC9);
const auto kDo = patterned<tagIO_DO>(0xD9);
const auto kGroupDo = patterned<Group_IO_DO>(0x03);
const auto kGroupDi = patterned<Group_IO_DI>(0x07);
const auto kDac = patterned<tagIODAC>(0xE9);
const auto kDi = patterned<tagIO_DI>(0xF9);
const auto kEMotor = patterned<tagEMotor>(0x13);
const auto kAdc = patterned<tagIOADC>(0x23);
const auto kDoEx = patterned<tagIODOEx>(0x33);
const auto kDiEx = patterned<tagIODIEx>(0x43);
const auto kAdcEx = patterned<tagIOADCEx>(0x53);
const auto kDacEx = patterned<tagIODACEx>(0x63);
const auto kFrame = patterned<tagCoordParamsFull>(0x73);
const auto kLoad = patterned<_stLoadParams>(0x83);
const auto kFullLoad = patterned<_stLoadFullParams>(0x93);
const auto kPoseTemplate = patterned<st_PoseTemplate_t>(0xA3);
const auto kTorDiff = patterned<tagTorDiffParams>(0xB3);
const auto kKinematics = patterned<KinematicsPose>(0xC3);
const auto kTramlet = patterned<stTramletCmd>(0xD3);
const auto kCorrect = patterned<CorrectParams_t>(0xE3);
const auto kPoseInput = patterned<tagGetPoseInput>(0xF3);
const tagParallelOutputCmd kOutputs[3] = {patterned<tagParallelOutputCmd>(0x05), patterned<tagParallelOutputCmd>(0x35),
                                          patterned<tagParallelOutputCmd>(0x65)};

template <typename T>
Bytes le(T value) {
  return bytesOf(value);
}

struct BuilderCase {
  std::string name;
  std::function<Packet*(PluginBase&)> build;
  std::uint16_t id;
  std::uint8_t ctrl;
  Bytes params;
  std::vector<Wait> waits;
};

constexpr std::uint8_t R = 0;
constexpr std::uint8_t W = kCtrlWrite;
constexpr std::uint8_t Q = kCtrlQueued;

// A builder that never waits and is never queued.
BuilderCase now(std::string name, std::function<Packet*(PluginBase&)> build, std::uint16_t id, std::uint8_t dir,
                Bytes params = {}) {
  return {std::move(name), std::move(build), id, dir, std::move(params), {}};
}

// A queueable builder called with isQueued = 1: queued bit set, waits (true, 2).
BuilderCase queued(std::string name, std::function<Packet*(PluginBase&)> build, std::uint16_t id, std::uint8_t dir,
                   Bytes params = {}) {
  return {std::move(name), std::move(build), id, static_cast<std::uint8_t>(dir | Q), std::move(params), {{true, 2}}};
}

std::vector<BuilderCase> builderCases() {
  using B = PluginBase&;
  return {
      now("GetQueuedCmdCurrentIndex", [](B c) { return c.alloc_GetQueuedCmdCurrentIndex(); }, 246, R),
      now("SetQueuedCmdStartExec", [](B c) { return c.alloc_SetQueuedCmdStartExec(); }, 240, W),
      now("SetQueuedCmdStopExec", [](B c) { return c.alloc_SetQueuedCmdStopExec(); }, 241, W),
      now("SetQueuedCmdForceStopExec", [](B c) { return c.alloc_SetQueuedCmdForceStopExec(true); }, 242, W, {1}),
      now("SetQueuedCmdHardStopExec", [](B c) { return c.alloc_SetQueuedCmdHardStopExec(); }, 249, W),
      now("SetQueuedCmdClear", [](B c) { return c.alloc_SetQueuedCmdClear(); }, 245, W),
      now("SetQueuedCmdStopClear", [](B c) { return c.alloc_SetQueuedCmdStopClear(); }, 248, W),
      now("GetQueuedCmdLeftSpace", [](B c) { return c.alloc_GetQueuedCmdLeftSpace(); }, 247, R),
      now("SetDeviceSN", [](B c) { return c.alloc_SetDeviceSN("SN42"); }, 0, W, {'S', 'N', '4', '2', 0}),
      now("GetDeviceSN", [](B c) { return c.alloc_GetDeviceSN(); }, 0, R),
      now("SetDeviceName", [](B c) { return c.alloc_SetDeviceName("arm"); }, 1, W, {'a', 'r', 'm', 0}),
      now("GetDeviceName", [](B c) { return c.alloc_GetDeviceName(); }, 1, R),
      now("GetDeviceVersion", [](B c) { return c.alloc_GetDeviceVersion(); }, 2, R),
      now("SetDeviceWithL", [](B c) { return c.alloc_SetDeviceWithL(0x1234); }, 3, R, {0x34}),
      now("GetDeviceWithL", [](B c) { return c.alloc_GetDeviceWithL(); }, 3, R),
      now("GetDeviceTime", [](B c) { return c.alloc_GetDeviceTime(); }, 4, R),
      now("ResetPose", [](B c) { return c.alloc_ResetPose(1, 1.5f, -2.0f); }, 11, W, Bytes{1} + le(1.5f) + le(-2.0f)),
      now("GetPose", [](B c) { return c.alloc_GetPose(kPoseInput); }, 10, R, bytesOf(kPoseInput)),
      now("GetKinematics", [](B c) { return c.alloc_GetKinematics(); }, 12, R),
      queued("SetConveyorParams", [](B c) { return c.alloc_SetConveyorParams(&kConveyor, true); }, 14, W,
             bytesOf(kConveyor)),
      queued("GetCnvObject", [](B c) { return c.alloc_GetCnvObject(&kCnvObject, true); }, 15, R, {0x21, 0x22}),
      queued("SetCnvPointOffset", [](B c) { return c.alloc_SetCnvPointOffset(&kPointOffset, true); }, 19, W,
             bytesOf(kPointOffset)),
      queued("SetCnvTimeInterval", [](B c) { return c.alloc_SetCnvTimeInterval(&kInterval, true); }, 23, W,
             {0x34, 0x12}),
      queued("syncCnv", [](B c) { return c.alloc_syncCnv(&kByteArg, true); }, 16, W, {kByteArg}),
      queued("stopsyncCnv", [](B c) { return c.alloc_stopsyncCnv(true); }, 17, W),
      queued("SetCnvTracePoint", [](B c) { return c.alloc_SetCnvTracePoint("p1", true); }, 13, W, {'p', '1', 0}),
      queued("GetEncoderValue", [](B c) { return c.alloc_GetEncoderValue(&kByteArg, true); }, 18, R, {kByteArg}),
      now("GetAlarmsState", [](B c) { return c.alloc_GetAlarmsState(); }, 20, R),
      now("ClearAllAlarmsState", [](B c) { return c.alloc_ClearAllAlarmsState(); }, 20, W),
      queued("EcpSwitch", [](B c) { return c.alloc_EcpSwitch(&kByteArg, true); }, 24, W, {kByteArg}),
      queued("EcpSet", [](B c) { return c.alloc_EcpSet(&kCoord, true); }, 25, W, bytesOf(kCoord)),
      queued("SetHOMEParams", [](B c) { return c.alloc_SetHOMEParams(&kHomeParams, 1); }, 30, W, bytesOf(kHomeParams)),
      now("GetHOMEParams", [](B c) { return c.alloc_GetHOMEParams(); }, 30, R),
      queued("SetHOMECmd", [](B c) { return c.alloc_SetHOMECmd(&kByteArg, 1); }, 31, W, {kByteArg}),
      now("SetHHTTrigMode", [](B c) { return c.alloc_SetHHTTrigMode(3); }, 40, W, {3}),
      now("GetHHTTrigMode", [](B c) { return c.alloc_GetHHTTrigMode(); }, 40, R),
      now("SetHHTTrigOutputEnabled", [](B c) { return c.alloc_SetHHTTrigOutputEnabled(1); }, 41, W, {1}),
      now("GetHHTTrigOutputEnabled", [](B c) { return c.alloc_GetHHTTrigOutputEnabled(); }, 41, R),
      now("GetHHTTrigOutput", [](B c) { return c.alloc_GetHHTTrigOutput(); }, 41, R),
      now("SetControlType", [](B c) { return c.alloc_SetControlType(2); }, 47, W, {2}),
      now("SetDragTeachEnabled", [](B c) { return c.alloc_SetDragTeachEnabled(1); }, 43, W, {1}),
      now("GetDragTeachEnabled", [](B c) { return c.alloc_GetDragTeachEnabled(); }, 43, R),
      queued("SetArmOrientation", [](B c) { return c.alloc_SetArmOrientation(1, 1); }, 50, W, {1}),
      now("GetArmOrientation", [](B c) { return c.alloc_GetArmOrientation(); }, 50, R),
      queued("SetTransitionCmd", [](B c) { return c.alloc_SetTransitionCmd(77, true); }, 51, W, {77}),
      now("GetTransitionCmd", [](B c) { return c.alloc_GetTransitionCmd(); }, 51, R),
      queued("SetSpeedFactorParams", [](B c) { return c.alloc_SetSpeedFactorParams(30, true); }, 52, W, {30}),
      now("GetSpeedFactorParams", [](B c) { return c.alloc_GetSpeedFactorParams(); }, 52, R),
      queued("SetManualSpeedParams", [](B c) { return c.alloc_SetManualSpeedParams(40, true); }, 53, W, {40}),
      now("GetManualSpeedParams", [](B c) { return c.alloc_GetManualSpeedParams(); }, 53, R),
      queued("SetEndEffectorParams", [](B c) { return c.alloc_SetEndEffectorParams(&kEndEffector, 1); }, 60, W,
             bytesOf(kEndEffector)),
      now("GetEndEffectorParams", [](B c) { return c.alloc_GetEndEffectorParams(); }, 60, R),
      queued("SetEndEffectorLaser", [](B c) { return c.alloc_SetEndEffectorLaser(1, 2, 1); }, 61, W, {1, 2}),
      now("GetEndEffectorLaser", [](B c) { return c.alloc_GetEndEffectorLaser(); }, 61, R),
      queued("SetEndEffectorSuctionCup", [](B c) { return c.alloc_SetEndEffectorSuctionCup(3, 4, 1); }, 62, W, {3, 4}),
      now("GetEndEffectorSuctionCup", [](B c) { return c.alloc_GetEndEffectorSuctionCup(); }, 62, R),
      queued("SetEndEffectorGripper", [](B c) { return c.alloc_SetEndEffectorGripper(5, 6, 1); }, 63, W, {5, 6}),
      now("GetEndEffectorGripper", [](B c) { return c.alloc_GetEndEffectorGripper(); }, 63, R),
      queued("SetJOGJointParams", [](B c) { return c.alloc_SetJOGJointParams(&kJogJoint, 1); }, 70, W,
             bytesOf(kJogJoint)),
      now("GetJOGJointParams", [](B c) { return c.alloc_GetJOGJointParams(); }, 70, R),
      queued("SetJOGCoordinateParams", [](B c) { return c.alloc_SetJOGCoordinateParams(&kJogCoord, 1); }, 71, W,
             bytesOf(kJogCoord)),
      now("GetJOGCoordinateParams", [](B c) { return c.alloc_GetJOGCoordinateParams(); }, 71, R),
      queued("SetJOGCommonParams", [](B c) { return c.alloc_SetJOGCommonParams(&kJogCommon, 1); }, 72, W,
             bytesOf(kJogCommon)),
      now("GetJOGCommonParams", [](B c) { return c.alloc_GetJOGCommonParams(); }, 72, R),
      queued("SetJOGCmd", [](B c) { return c.alloc_SetJOGCmd(&kJogCmd, 1); }, 73, W, bytesOf(kJogCmd)),
      queued("SetINCHParams", [](B c) { return c.alloc_SetINCHParams(&kInch, true); }, 74, W, bytesOf(kInch)),
      queued("SetPTPJointParams", [](B c) { return c.alloc_SetPTPJointParams(&kPtpJoint, 1); }, 80, W,
             bytesOf(kPtpJoint)),
      now("GetPTPJointParams", [](B c) { return c.alloc_GetPTPJointParams(); }, 80, R),
      queued("SetPTPCoordinateParams", [](B c) { return c.alloc_SetPTPCoordinateParams(&kPtpCoord, 1); }, 81, W,
             bytesOf(kPtpCoord)),
      now("GetPTPCoordinateParams", [](B c) { return c.alloc_GetPTPCoordinateParams(); }, 81, R),
      queued("SetPTPJumpParams", [](B c) { return c.alloc_SetPTPJumpParams(&kPtpJump, 1); }, 82, W,
             bytesOf(kPtpJump)),
      now("GetPTPJumpParams", [](B c) { return c.alloc_GetPTPJumpParams(); }, 82, R),
      queued("SetPTPJump2Params", [](B c) { return c.alloc_SetPTPJump2Params(&kPtpJump2, true); }, 87, W,
             bytesOf(kPtpJump2)),
      now("GetPTPJump2Params", [](B c) { return c.alloc_GetPTPJump2Params(); }, 87, R),
      queued("SetPTPCommonParams", [](B c) { return c.alloc_SetPTPCommonParams(&kPtpCommon, 1); }, 83, W,
             bytesOf(kPtpCommon)),
      now("GetPTPCommonParams", [](B c) { return c.alloc_GetPTPCommonParams(); }, 83, R),
      queued("SetPTPLParams", [](B c) { return c.alloc_SetPTPLParams(&kPtpL, true); }, 85, W, bytesOf(kPtpL)),
      now("GetPTPLParams", [](B c) { return c.alloc_GetPTPLParams(); }, 85, R),
      queued("SetPTPCmd", [](B c) { return c.alloc_SetPTPCmd(&kPtp, 1); }, 84, W, bytesOf(kPtp)),
      queued("SetPTPWithLCmd", [](B c) { return c.alloc_SetPTPWithLCmd(&kPtpWithL, true); }, 86, W,
             bytesOf(kPtpWithL)),
      queued("SetPTPPOCmd", [](B c) { return c.alloc_SetPTPPOCmd(&kPtp, kOutputs, 3, true); }, 88, W,
             bytesOf(kPtp) + Bytes{3} + bytesOf(kOutputs)),
      queued("SetPTPPOWithLCmd", [](B c) { return c.alloc_SetPTPPOWithLCmd(&kPtpWithL, kOutputs, 2, true); }, 89, W,
             bytesOf(kPtpWithL) + Bytes{2} + bytesOf(kOutputs[0]) + bytesOf(kOutputs[1])),
      queued("SetCPParams", [](B c) { return c.alloc_SetCPParams(&kCpParams, 1); }, 90, W, bytesOf(kCpParams)),
      now("GetCPParams", [](B c) { return c.alloc_GetCPParams(); }, 90, R),
      queued("SetCPCmd", [](B c) { return c.alloc_SetCPCmd(&kCp, 1); }, 91, W, bytesOf(kCp)),
      queued("SetCPLECmd", [](B c) { return c.alloc_SetCPLECmd(&kCp, 1); }, 92, W, bytesOf(kCp)),
      queued("SetARCParams", [](B c) { return c.alloc_SetARCParams(&kArcParams, 1); }, 100, W, bytesOf(kArcParams)),
      now("GetARCParams", [](B c) { return c.alloc_GetARCParams(); }, 100, R),
      queued("SetARCCmd", [](B c) { return c.alloc_SetARCCmd(&kArc, 1); }, 101, W, bytesOf(kArc)),
      queued("SetCircleCmd", [](B c) { return c.alloc_SetCircleCmd(&kCircle, 1); }, 102, W, bytesOf(kCircle)),
      queued("SetExicitCmd", [](B c) { return c.alloc_SetExicitCmd(&kExcit, true); }, 103, W, bytesOf(kExcit)),
      queued("SetExicitZCmd", [](B c) { return c.alloc_SetExicitZCmd(&kExcitZ, true); }, 104, W, bytesOf(kExcitZ)),
      queued("SetWAITCmd", [](B c) { return c.alloc_SetWAITCmd(&kWait, 1); }, 110, W, bytesOf(kWait)),
      queued("SetTRIGCmd", [](B c) { return c.alloc_SetTRIGCmd(&kTrig, 1); }, 120, W, bytesOf(kTrig)),
      queued("SetIOMultiplexing", [](B c) { return c.alloc_SetIOMultiplexing(&kMultiplexing, 1); }, 130, W,
             bytesOf(kMultiplexing)),
      now("GetIOMultiplexing", [](B c) { return c.alloc_GetIOMultiplexing(&kMultiplexing); }, 130, R,
          bytesOf(kMultiplexing)),
      queued("SetIODO", [](B c) { return c.alloc_SetIODO(&kDo, 1); }, 131, W, bytesOf(kDo)),
      now("GetIODO", [](B c) { return c.alloc_GetIODO(&kDo); }, 131, R, bytesOf(kDo)),
      queued("SetMulIODO", [](B c) { return c.alloc_SetMulIODO(&kGroupDo, 1); }, 144, W, bytesOf(kGroupDo)),
      queued("GetMulIODO", [](B c) { return c.alloc_GetMulIODO(&kGroupDi, 1); }, 145, R, bytesOf(kGroupDi)),
      queued("SetIODAC", [](B c) { return c.alloc_SetIODAC(&kDac, 1); }, 134, W, bytesOf(kDac)),
      now("GetIODAC", [](B c) { return c.alloc_GetIODAC(&kDac); }, 134, R, bytesOf(kDac)),
      now("GetIODI", [](B c) { return c.alloc_GetIODI(&kDi); }, 133, R, bytesOf(kDi)),
      queued("SetEMotor", [](B c) { return c.alloc_SetEMotor(&kEMotor, 1); }, 135, W, bytesOf(kEMotor)),
      now("GetIOADC", [](B c) { return c.alloc_GetIOADC(&kAdc); }, 134, R, bytesOf(kAdc)),
      queued("SetIODOEx", [](B c) { return c.alloc_SetIODOEx(&kDoEx, 1); }, 136, W, bytesOf(kDoEx)),
      now("GetIODOEx", [](B c) { return c.alloc_GetIODOEx(&kDoEx); }, 136, R, bytesOf(kDoEx)),
      now("GetIODIEx", [](B c) { return c.alloc_GetIODIEx(&kDiEx); }, 137, R, bytesOf(kDiEx)),
      now("GetIOADCEx", [](B c) { return c.alloc_GetIOADCEx(&kAdcEx); }, 138, R, bytesOf(kAdcEx)),
      queued("SetIODACEx", [](B c) { return c.alloc_SetIODACEx(&kDacEx, 1); }, 139, W, bytesOf(kDacEx)),
      now("GetIODACEx", [](B c) { return c.alloc_GetIODACEx(&kDacEx); }, 139, R, bytesOf(kDacEx)),
      now("GetUserParams", [](B c) { return c.alloc_GetUserParams(); }, 220, R),
      queued("SetUserCoordParams", [](B c) { return c.alloc_SetUserCoordParams(&kFrame, true); }, 250, W,
             bytesOf(kFrame)),
      queued("SetToolCoordParams", [](B c) { return c.alloc_SetToolCoordParams(&kFrame, true); }, 251, W,
             bytesOf(kFrame)),
      now("GetUserCoordParams", [](B c) { return c.alloc_GetUserCoordParams(); }, 250, R),
      now("GetToolCoordParams", [](B c) { return c.alloc_GetToolCoordParams(); }, 251, R),
      now("SetAngleSensorStaticError", [](B c) { return c.alloc_SetAngleSensorStaticError(-1, 7); }, 140, W,
          {0xFF, 0, 0, 0, 7, 0, 0, 0}),
      now("GetAngleSensorStaticError", [](B c) { return c.alloc_GetAngleSensorStaticError(); }, 140, R),
      now("SetAngleSensorCoef", [](B c) { return c.alloc_SetAngleSensorCoef(0.25f, 2); }, 141, W,
          le(0.25f) + Bytes{2, 0, 0, 0}),
      now("GetAngleSensorCoef", [](B c) { return c.alloc_GetAngleSensorCoef(); }, 141, R),
      now("SetBaseDecoderStaticError", [](B c) { return c.alloc_SetBaseDecoderStaticError(3.5f); }, 142, W, le(3.5f)),
      now("GetBaseDecoderStaticError", [](B c) { return c.alloc_GetBaseDecoderStaticError(); }, 142, R),
      now("SetLRHandCalibrateValue", [](B c) { return c.alloc_SetLRHandCalibrateValue(-4.0f); }, 143, W, le(-4.0f)),
      now("GetLRHandCalibrateValue", [](B c) { return c.alloc_GetLRHandCalibrateValue(); }, 143, R),
      queued("loadSet", [](B c) { return c.alloc_loadSet(&kLoad, true); }, 208, W, bytesOf(kLoad)),
      queued("loadSwitch", [](B c) { return c.alloc_loadSwitch(1, true); }, 207, W, {1}),
      queued("ExcitSetMode", [](B c) { return c.alloc_ExcitSetMode(2, true); }, 206, W, {2}),
      now("GetJointAngle", [](B c) { return c.alloc_GetJointAngle(); }, 26, R),
      now("GetCmdAllDone", [](B c) { return c.alloc_GetCmdAllDone(); }, 27, R),
      now("GetStopStatus", [](B c) { return c.alloc_GetStopStatus(); }, 28, R),
      queued("SetDynLoadParams", [](B c) { return c.alloc_SetDynLoadParams(&kFullLoad, true); }, 253, W,
             bytesOf(kFullLoad)),
      now("GetLatchPose", [](B c) { return c.alloc_GetLatchPose(); }, 34, R),
      queued("latchEnable", [](B c) { return c.alloc_latchEnable(1, true); }, 33, W, {1}),
      queued("SetLatch", [](B c) { return c.alloc_SetLatch(4, true); }, 32, W, {4}),
      queued("SetLatchTemplate", [](B c) { return c.alloc_SetLatchTemplate(&kPoseTemplate, true); }, 35, W,
             bytesOf(kPoseTemplate)),
      queued("SetTorDiffParams", [](B c) { return c.alloc_SetTorDiffParams(&kTorDiff, true); }, 201, W,
             bytesOf(kTorDiff)),
      now("GetPointForwardCal", [](B c) { return c.alloc_GetPointForwardCal(&kKinematics); }, 8, R,
          bytesOf(kKinematics)),
      now("GetPointInverseCal", [](B c) { return c.alloc_GetPointInverseCal(&kKinematics); }, 9, R,
          bytesOf(kKinematics)),
      now("SetSafeGuard", [](B c) { return c.alloc_SetSafeGuard(true); }, 29, W, {1}),
      // The external-axis builders take the queued flag's low bit and never wait.
      {"SetExterAxisCmd", [](B c) { return c.alloc_SetExterAxisCmd(kTramlet, 3); }, 225, W | Q, bytesOf(kTramlet), {}},
      {"GetExterAxisCmd", [](B c) { return c.alloc_GetExterAxisCmd(kTramlet, 2); }, 225, R, bytesOf(kTramlet), {}},
      queued("setUserMatrixCalcParams", [](B c) { return c.alloc_setUserMatrixCalcParams(&kCorrect, true); }, 228, R,
             bytesOf(kCorrect)),
      queued("SetCollisionLevel", [](B c) { return c.alloc_SetCollisionLevel(3, true); }, 193, W, le<std::int32_t>(3)),
      now("TCPIPRawCmdHandler", [](B c) { return c.alloc_TCPIPRawCmdHandler("MovJ(1,2,3,4)"); }, 262, R,
          {'M', 'o', 'v', 'J', '(', '1', ',', '2', ',', '3', ',', '4', ')'}),
      // A queueable builder called without queueing still waits, with false.
      {"SetPTPCmd not queued", [](B c) { return c.alloc_SetPTPCmd(&kPtp, 0); }, 84, W, bytesOf(kPtp), {{false, 2}}},
      // Only the low bit of an int flag reaches the packet; the hook sees any nonzero value.
      {"SetPTPCmd flag 2", [](B c) { return c.alloc_SetPTPCmd(&kPtp, 2); }, 84, W, bytesOf(kPtp), {{true, 2}}},
      {"SetSpeedFactorParams not queued", [](B c) { return c.alloc_SetSpeedFactorParams(5, false); }, 52, W, {5},
       {{false, 2}}},
      queued("SetPTPPOCmd no outputs", [](B c) { return c.alloc_SetPTPPOCmd(&kPtp, nullptr, 0, true); }, 88, W,
             bytesOf(kPtp) + Bytes{0}),
  };
}

class BuilderTable : public ::testing::TestWithParam<BuilderCase> {};

TEST_P(BuilderTable, WritesIdControlLengthAndParameters) {
  const BuilderCase& c = GetParam();
  RecordingClient client;
  Packet* packet = c.build(client);
  ASSERT_NE(packet, nullptr);
  EXPECT_EQ(client.transports, 1);
  const Packet& sent = client.sent;
  EXPECT_EQ(sent.header[0], 0);
  EXPECT_EQ(sent.header[1], 0);
  EXPECT_EQ(sent.cmdId, c.id);
  EXPECT_EQ(sent.ctrl, c.ctrl);
  EXPECT_EQ(sent.length, c.params.size());
  const Bytes params(sent.params, sent.params + c.params.size());
  EXPECT_EQ(params, c.params);
  // Everything past the parameters stays zero.
  for (std::size_t i = c.params.size(); i < kPacketParamCapacity; ++i) {
    ASSERT_EQ(sent.params[i], 0) << "parameter byte " << i;
  }
  EXPECT_EQ(client.waits, c.waits);
  client.freePluginPacket(packet);
}

INSTANTIATE_TEST_SUITE_P(EveryBuilder, BuilderTable, ::testing::ValuesIn(builderCases()),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) {
                             if (ch == ' ') ch = '_';
                           }
                           return name;
                         });

TEST(BaseTransport, FramesWithoutSending) {
  PluginBase client;
  Packet* packet = client.alloc_GetQueuedCmdCurrentIndex();
  ASSERT_NE(packet, nullptr);
  const std::uint8_t expected[7] = {0xAA, 0xAA, 0x02, 0x00, 0xF6, 0x00, 0x00};
  EXPECT_EQ(0, std::memcmp(packet, expected, sizeof expected));
  client.freePluginPacket(packet);

  tagParallelOutputCmd outputs[3] = {};
  packet = client.alloc_SetPTPPOCmd(&kPtp, outputs, 3, true);
  ASSERT_NE(packet, nullptr);
  EXPECT_EQ(packet->length, 92);  // 90 parameter bytes + 2
  EXPECT_EQ(packet->cmdId, 88);
  EXPECT_EQ(packet->ctrl, W | Q);
  EXPECT_EQ(packet->params[17], 3);
  client.freePluginPacket(packet);
}

TEST(BaseTransport, InitStoresTheTypeAndReturnsOne) {
  PluginBase client;
  EXPECT_EQ(client.init(PluginBase::PLUGIN_LUA), 1);
  EXPECT_EQ(client.pluginType(), PluginBase::PLUGIN_LUA);
}

TEST(Builders, JogSlideRailStubsSendNothing) {
  RecordingClient client;
  const tagJOGLParams params{};
  EXPECT_EQ(client.alloc_SetJOGLParams(&params, true), nullptr);
  EXPECT_EQ(client.alloc_GetJOGLParams(), nullptr);
  EXPECT_EQ(client.transports, 0);
  EXPECT_TRUE(client.waits.empty());
}

TEST(Builders, ParallelOutputsFillUpToTheLimit) {
  RecordingClient client;
  std::vector<tagParallelOutputCmd> outputs(kMaxParallelOutputs, patterned<tagParallelOutputCmd>(0x40));
  Packet* packet = client.alloc_SetPTPPOWithLCmd(&kPtpWithL, outputs.data(), kMaxParallelOutputs, false);
  ASSERT_NE(packet, nullptr);
  EXPECT_EQ(client.sent.length, 22 + 24 * kMaxParallelOutputs);
  EXPECT_EQ(client.sent.params[21], kMaxParallelOutputs);
  EXPECT_EQ(0, std::memcmp(client.sent.params + 22 + 24 * 83, &outputs[83], 24));
  client.freePluginPacket(packet);

  // A missing list sends no outputs; the length still covers the count given.
  packet = client.alloc_SetPTPPOCmd(&kPtp, nullptr, 3, true);
  ASSERT_NE(packet, nullptr);
  EXPECT_EQ(client.sent.params[17], 0);
  EXPECT_EQ(client.sent.length, 18 + 24 * 3);
  client.freePluginPacket(packet);
}

TEST(Builders, TextsUpToTheKernelBufferPass) {
  RecordingClient client;
  const std::string raw(kKernelParamBytes, 'x');
  Packet* packet = client.alloc_TCPIPRawCmdHandler(raw.c_str());
  ASSERT_NE(packet, nullptr);
  EXPECT_EQ(client.sent.length, kKernelParamBytes);
  EXPECT_EQ(client.sent.ctrl, 0);
  client.freePluginPacket(packet);

  const std::string withNul(kKernelParamBytes - 1, 'n');
  packet = client.alloc_SetDeviceName(withNul.c_str());
  ASSERT_NE(packet, nullptr);
  EXPECT_EQ(client.sent.length, kKernelParamBytes);
  EXPECT_EQ(client.sent.params[kKernelParamBytes - 1], 0);
  client.freePluginPacket(packet);

  packet = client.alloc_SetCnvTracePoint(withNul, false);
  ASSERT_NE(packet, nullptr);
  EXPECT_EQ(client.sent.length, kKernelParamBytes);
  client.freePluginPacket(packet);
}

TEST(Builders, LogLinesOnStandardOutput) {
  RecordingClient client;
  testing::internal::CaptureStdout();
  client.freePluginPacket(client.alloc_SetHHTTrigOutputEnabled(1));
  client.freePluginPacket(client.alloc_ExcitSetMode(3, false));
  client.freePluginPacket(client.alloc_SetControlType(2));
  const tagIO_DO output{7, 1, {}};
  client.freePluginPacket(client.alloc_SetIODO(&output, 0));
  std::fflush(stdout);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("[alloc_SetHHTTrigOutputEnabled], isEnbled is 1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("alloc_EcpSetMode: 3 "), std::string::npos) << out;
  EXPECT_NE(out.find(" >>>>>>> [alloc_SetControlType], write 2 >>>>>>>"), std::string::npos) << out;
  EXPECT_NE(out.find("[alloc_SetIODO], DO io addr: 7, level: 1"), std::string::npos) << out;
}

}  // namespace
