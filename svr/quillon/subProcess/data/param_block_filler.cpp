#include "subProcess/data/param_block_filler.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "json/project_structure.h"
#include "subProcess/data/data_log.h"

namespace {

constexpr int kFrames = 10;
constexpr int kJoints = 4;

tagCoordParamsFull frameBlock(int index, const st_coord* frames) {
  if (index < 0 || index >= kFrames || !frames[index].enable) return {};
  const float* v = frames[index].params;
  return {static_cast<std::uint32_t>(index), v[0], v[1], v[2], v[3]};
}

}  // namespace

void fillParamBlock(JsonProjectReader& r, RobotParamBlock& block) {
  std::memset(&block, 0, sizeof block);

  // 1, 2. Current user and tool frames.
  block.userFrame = frameBlock(r.temp.user, r.userCoord);
  block.toolFrame = frameBlock(r.temp.tool, r.toolCoord);

  // 3. Project setting and speed factor.
  block.projectSetting = r.motoTypes;
  block.speedFactor = static_cast<float>(r.paramsSpeedFactor());

  // 4. Jog joint and Cartesian velocities and accelerations.
  for (int j = 0; j < kJoints; ++j) {
    block.jogJoint.velocity[j] = r.teach.jointVelocity[j];
    block.jogJoint.acceleration[j] = r.teach.jointAcceleration[j];
    block.jogCoordinate.velocity[j] = r.teach.coordinateVelocity[j];
    block.jogCoordinate.acceleration[j] = r.teach.coordinateAcceleration[j];
  }

  // 5. Jog common ratios.
  block.jogCommon = {100.0f, 100.0f};

  // 6. Point-to-point ratios.
  const tagPTPCommonParams* ratios = r.paramsPTPCommon_ratiodefault();
  block.ptpCommon = *ratios;
  const char* tag = "paramsPTPCommon_ratiodefault";
  std::printf("[%s], velocityRatio:%.3f, accelerationRatio:%.3f, jerkRatio:%.3f\n", tag, ratios->velocityRatio,
              ratios->accelerationRatio, ratios->jerkRatio);
  std::printf("[%s], xyzVelocityRatio:%.3f, rVelocityRatio:%.3f\n", tag, ratios->xyzVelocityRatio,
              ratios->rVelocityRatio);
  std::printf("[%s], xyzAccelerationRatio:%.3f, rAccelerationRatio:%.3f\n", tag, ratios->xyzAccelerationRatio,
              ratios->rAccelerationRatio);
  std::printf("[%s], xyzJerkRatio:%.3f, rJerkRatio:%.3f\n", tag, ratios->xyzJerkRatio, ratios->rJerkRatio);

  // Point-to-point joint record: read by the kernel for every joint,
  // linear and jump move.
  block.ptpJoint = *r.paramsPTPJoint();

  // 7. Point-to-point Cartesian record, jump and jump-2 records.
  block.ptpCoordinate = *r.paramsPTPCoordinate();
  block.jump = {20.0f, 50.0f, 1};
  block.jump2 = {r.arch[0].startHeight, r.arch[0].endHeight, r.arch[0].zLimit};

  // 8. Structure.
  st_structure* s = r.RegexStructureParams();
  if (s != nullptr) {
    block.mechanism[0] = s->L1;
    block.mechanism[1] = s->L2;
    block.mechanism[2] = s->L4;
    block.mechanism[3] = s->L5;
    block.mechanism[4] = s->L6;
    std::printf("params->structureParams.scaramechPara.joint1ArmLen:%1.3f\n", block.mechanism[0]);
    std::printf("params->structureParams.scaramechPara.joint2ArmLen:%1.3f\n", block.mechanism[1]);
    std::printf("params->structureParams.scaramechPara.axisZMax:%1.3f\n", block.mechanism[3]);
    std::printf("params->structureParams.scaramechPara.screwPitch:%1.3f\n", block.mechanism[2]);
    std::printf("params->structureParams.scaramechPara.linkBlockV:%1.3f\n", block.mechanism[4]);
    block.minAbsJoint2 = s->singularity12;
    std::printf("params->motionParams.softlimitPara.joint12Singularity:%1.3f\n", block.minAbsJoint2);
    for (int j = 0; j < kJoints; ++j) {
      const st_motor& m = s->motors[j];
      block.jointMin[j] = s->limits[j][0];
      block.jointMax[j] = s->limits[j][1];
      block.overSpeedRpm[j] = static_cast<float>(m.limit);
      block.simulated[j] = m.simulated ? 1 : 0;
      block.driveWord[j] = m.inverted ? 1 : 0;
      const double resolution = std::pow(2.0, m.bitNum);
      block.jointPara[1 + j] = resolution;
      block.jointPara[5 + j] = m.gearBoxDen != 0.0 ? m.gearBoxNum / m.gearBoxDen : 0.0;
      block.gearNum[j] = m.gearBoxNum;
      block.gearDen[j] = m.gearBoxDen;
      block.posScaleNum[j] = m.positionScalingNum;
      block.posScaleDen[j] = m.positionScalingDen;
      block.encoderResolution[j] = static_cast<std::int32_t>(resolution);
      std::printf("params->motionParams.softlimitPara.jointNeg[%d]:%1.3f\n", j, block.jointMin[j]);
      std::printf("params->motionParams.softlimitPara.jointPos[%d]:%1.3f\n", j, block.jointMax[j]);
      std::printf("params->motionParams.axisSpeedOver[%d]:%1.3f\n", j, static_cast<double>(block.overSpeedRpm[j]));
      std::printf("params->structureParams.Inverted[%d]:%d\n", j, block.driveWord[j]);
      std::printf("params->structureParams.jointPara.gearRatio[%d]:%1.3f\n", j, block.jointPara[5 + j]);
      std::printf("params->structureParams.GearRationDen[%d]:%1.3f\n", j, block.gearDen[j]);
      std::printf("params->structureParams.GearRationNum[%d]:%1.3f\n", j, block.gearNum[j]);
      std::printf("params->structureParams.PositonScalingNum[%d]:%1.3f\n", j, block.posScaleNum[j]);
      std::printf("params->structureParams.PositonScalingDen[%d]:%1.3f\n", j, block.posScaleDen[j]);
      std::printf("params->structureParams.EncoderResolution[%d]:%d\n", j, block.encoderResolution[j]);
      std::printf("params->structureParams.jointPara.subDiv[%d]:%1.3f\n", j, block.jointPara[1 + j]);
    }
  }

  // 9. A full turn.
  block.jointPara[0] = 360.0;

  // 10. Advanced functions, field by field.
  st_advanced_function advanced{};
  r.st_advanced_function_load(advanced);
  block.usingTrueMotion = advanced.UsingTrueMotion ? 1 : 0;
  block.dynamicOptimal = advanced.DynamicOptimal ? 1 : 0;
  block.accType = advanced.UsingAccType;
  block.torqueFeedforward = advanced.TorqueFeedforward ? 1 : 0;
  block.inputECP = advanced.InputECP ? 1 : 0;
  block.inputShapingFreq = advanced.InputShapingFreq;
  block.inputShapingDamp = advanced.InputShapingDamp;
  std::printf("\n############ st_advanced_function : %d,%d,%d,%d,%d,%d\n", block.usingTrueMotion, block.dynamicOptimal,
              block.accType, block.torqueFeedforward, block.inputECP, block.inputShapingFreq);

  // 11. Pose template.
  const st_PoseTemplate_t& pose = r.latchPos;
  const float poseValues[8] = {pose.x, pose.y, pose.z, pose.r, pose.joint[0], pose.joint[1], pose.joint[2], pose.joint[3]};
  std::memcpy(block.poseTemplate, poseValues, sizeof poseValues);
  std::printf("\n############ pose_template : %f,%f,%f,%f,[%f,%f,%f,%f]\n", pose.x, pose.y, pose.z, pose.r, pose.joint[0],
              pose.joint[1], pose.joint[2], pose.joint[3]);

  // 12. Drag-sense adjustments.
  DragSenseAdjust adjust{};
  r.GetDragSenseAdjust(adjust);
  const int values[4] = {adjust.j1, adjust.j2, adjust.j3, adjust.j4};
  for (int j = 0; j < kJoints; ++j) {
    block.adjust[j] = values[j];
    DATA_LOG(kInfo, " =========syncAlgsParams dragSense_adjust: {}", values[j]);
  }
  std::fflush(stdout);
}
