#include "common/cycle/robot_setup.h"

#include <cstring>

#include "Dynamics/dynamic_optimal.h"
#include "PTP/path/input_shaping.h"
#include "common/cycle/cycle_log.h"
#include "common/kernel/conveyor_state.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/conveyor_track_filter.h"
#include "common/protocol/robot_param_block.h"

namespace {

constexpr double kSetupPeriod = 0.004;
constexpr double kEncoderFilterScale = 4294967296.0;  // 2^32
constexpr std::uint8_t kNoTriggerKind = 2;
constexpr std::uint32_t kFilterWord0 = 1000u | (1000u << 16);
constexpr std::uint32_t kFilterWord1 = 2u | (2u << 16);

static_assert(sizeof(RobotParamBlock) == sizeof gScaraParams);

RobotParamBlock Block() {
  RobotParamBlock block;
  std::memcpy(&block, gScaraParams, sizeof block);
  return block;
}

// The profile type the kernel can run with the switches in force.
void ApplyProfileTypeRule() {
  if (gAccType > 2 || (gAccType == 0 && gDynamicOptimal != 0) || gUsingTrueMotion != 0) gAccType = 1;
}

}  // namespace

void InitRobot() {
  const RobotParamBlock block = Block();
  std::memset(gSysParams.deviceSN, 0, sizeof gSysParams.deviceSN);
  std::memset(gSysParams.deviceName, 0, sizeof gSysParams.deviceName);
  std::memcpy(gSysParams.deviceSN, "00000001", 8);
  std::memcpy(gSysParams.deviceName, "Scara", 5);
  gSysParams.runQueuedCmd = 0;

  std::memcpy(&gSoftLimitPara[0], block.jointMax, sizeof block.jointMax);
  std::memcpy(&gSoftLimitPara[4], block.jointMin, sizeof block.jointMin);
  gSoftLimitPara[8] = block.minAbsJoint2;
  for (int j = 0; j < 4; ++j) gAxisSpeedOver[j] = block.overSpeedRpm[j];

  gSysParams.resetWord = block.resetWord;
  gSysParams.localParams = block.userFrame;
  gSysParams.toolParams = block.toolFrame;
  gSysParams.speedFactorRatio = block.speedFactor;
  gSysParams.speedFactorRatioCopy = block.speedFactor;
  gSysParams.jogJointParams = block.jogJoint;
  gSysParams.jogCoordinateParams = block.jogCoordinate;
  gSysParams.jogCommonParams = block.jogCommon;
  gSysParams.ptpParams.common = block.ptpCommon;
  gSysParams.ptpParams.joint = block.ptpJoint;
  gSysParams.ptpParams.coordinate = block.ptpCoordinate;
  gSysParams.ptpParams.jump = block.jump;
  gSysParams.ptpParams.jump2 = block.jump2;

  // The limits' jerk groups take their acceleration groups.
  gJointSpAcJkLimit = block.ptpJoint;
  std::memcpy(gJointSpAcJkLimit.jerk, gJointSpAcJkLimit.acceleration, sizeof gJointSpAcJkLimit.jerk);
  gCoorSpAcJkLimit = block.ptpCoordinate;
  gCoorSpAcJkLimit.xyzJerk = gCoorSpAcJkLimit.xyzAcceleration;
  gCoorSpAcJkLimit.rJerk = gCoorSpAcJkLimit.rAcceleration;

  std::memcpy(gSimulatedFlag, block.simulated, sizeof gSimulatedFlag);
  std::memcpy(gScaraMechPara, block.mechanism, sizeof gScaraMechPara);
  std::memcpy(gJointPara, block.jointPara, sizeof gJointPara);

  // Coupling is only ever switched off here; its ratio is kept for a later switch-on.
  if (gCouplFlag[3] != 0) gRatioCompToThreeFromFour = gScaraMechPara[2] / gJointPara[0];
  std::memset(gCouplFlag, 0, sizeof gCouplFlag);

  const WCSPosition pose{400.0, 0.0, 0.0, 0.0};
  const JointTheta joints{};
  std::memcpy(&gSysParams.pose, &pose, sizeof pose);
  std::memcpy(&gSysParams.joint, &joints, sizeof joints);

  InitDynParam();

  gUsingTrueMotion = block.usingTrueMotion;
  gDynamicOptimal = block.dynamicOptimal;
  gAccType = block.accType;
  gTorqueFeedforward = block.torqueFeedforward;
  gInputECP = block.inputECP;
  gInputShapingFreq = block.inputShapingFreq;
  gInputShapingDamp = block.inputShapingDamp;
  std::memcpy(gPoseTemplate, block.poseTemplate, sizeof gPoseTemplate);

  ControllerShapingSwitch(gInputShapingFreq > 0);
  ApplyProfileTypeRule();
}

void ControllerShapingSwitch(bool on) {
  if (on) {
    gInputShaping = 1;
    const ShapCmdTypedef cmd{gInputShapingDamp, static_cast<double>(gInputShapingFreq), kSetupPeriod};
    for (int n = 0; n < 4; ++n) vInitShape(n, cmd);
    CYCLE_INFO("ControllerShapingSwitch ON");
  } else {
    gInputShaping = 0;
    strLocalVar[0].delay2 = 0;
    CYCLE_INFO("ControllerShapingSwitch OFF");
  }
}

void ServoShapingSwitch(AxesGroupRef* axesGroup, bool on) {
  if (axesGroup != nullptr && !on) {
    for (int j = 0; j < 2; ++j) {
      axesGroup->m_Joints[j].m_FilterWord[0] = kFilterWord0;
      axesGroup->m_Joints[j].m_FilterWord[1] = kFilterWord1;
    }
    axesGroup->m_ParamWriteRequest = 1;
  }
  CYCLE_INFO("ServoShapingSwitch: %d", on ? 1 : 0);
}

void ReadInitialPose() {}

void InitInterpolation() {
  gRobotPrfMode = kPrfIdle;
  gCmdFinishFlag = 1;
  gPauseCmdFlag = 0;
  gHandTeachFlag = 1;
  gDriverResetFlag = 0;
  gPeriodCount = 0;
  gTeachMove = {};
  for (double& v : gRobotAxisMove.nextVel) v = 0.0;
  gPeriodTime = kSetupPeriod;
  // The tracked conveyor's copy, as a conveyor stop leaves it: a configured
  // conveyor (gConveyor) keeps its trigger kind.
  gConveyor0.dataSource = kNoTriggerKind;
  for (CEncoderFilter& filter : gEncoderFilter) filter.set(false, kEncoderFilterScale, 0.0, kSetupPeriod);
}

void InitialSCARA(AxesGroupRef* axesGroup) {
  if (axesGroup != nullptr) {
    for (int j = 0; j < 4; ++j) gServoFeedBack[j].position = axesGroup->m_Joints[j].m_ActPosition;
  }
  InitRobot();
  ServoShapingSwitch(axesGroup, false);
  ReadInitialPose();
  InitInterpolation();

  const RobotParamBlock block = Block();
  if (axesGroup != nullptr) {
    for (int j = 0; j < 4; ++j) {
      AxesGroupJoint& joint = axesGroup->m_Joints[j];
      joint.m_GearNum = block.gearNum[j];
      joint.m_GearDen = block.gearDen[j];
      joint.m_PosScaleNum = block.posScaleNum[j];
      joint.m_PosScaleDen = block.posScaleDen[j];
      joint.m_EncoderResolution = block.encoderResolution[j];
      joint.m_DriveWord = block.driveWord[j];
      joint.m_Simulated = block.simulated[j];
    }
  }
  std::memcpy(gSysParams.adjust, block.adjust, sizeof gSysParams.adjust);
}
