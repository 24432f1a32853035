#pragma once

// A plausible arm's 712-byte parameter block, as the data server's filler
// builds it: L1 225 mm, L2 175 mm, a 20 mm screw lead, joint 3 travelling
// 0-200 mm, soft limits around the simulated drive's starting joints, the
// point-to-point joint record filled, no joint simulated.

#include <cstring>

#include "common/protocol/robot_param_block.h"

namespace zelor::test {

inline RobotParamBlock FixtureParamBlock() {
  RobotParamBlock b;
  std::memset(&b, 0, sizeof b);
  const double maxima[4] = {170.0, 145.0, 200.0, 360.0};
  const double minima[4] = {-170.0, -145.0, 0.0, -360.0};
  std::memcpy(b.jointMax, maxima, sizeof maxima);
  std::memcpy(b.jointMin, minima, sizeof minima);
  b.minAbsJoint2 = 3.0;
  for (float& rpm : b.overSpeedRpm) rpm = 3000.0f;
  b.speedFactor = 100.0f;
  b.jogJoint = {{20.0f, 20.0f, 20.0f, 20.0f}, {100.0f, 100.0f, 100.0f, 100.0f}};
  b.jogCoordinate = {{50.0f, 50.0f, 50.0f, 50.0f}, {200.0f, 200.0f, 200.0f, 200.0f}};
  b.jogCommon = {100.0f, 100.0f};
  b.ptpCommon = {100.0f, 100.0f, 100.0f, 100.0f, 100.0f, 100.0f, 100.0f, 100.0f, 100.0f};
  b.ptpJoint = {{100.0f, 100.0f, 100.0f, 100.0f}, {500.0f, 500.0f, 500.0f, 500.0f},
                {5000.0f, 5000.0f, 5000.0f, 5000.0f}};
  b.ptpCoordinate = {500.0f, 200.0f, 2000.0f, 1000.0f, 20000.0f, 10000.0f};
  b.jump = {20.0f, 50.0f, 1};
  b.jump2 = {20.0f, 20.0f, 0.0f};
  const double mechanism[5] = {225.0, 175.0, 20.0, 0.0, 0.0};
  std::memcpy(b.mechanism, mechanism, sizeof mechanism);
  const double gearNum[4] = {1.0, 1.0, 1.0, 1.0};
  const double gearDen[4] = {50.0, 50.0, 1.0, 10.0};
  const double jointPara[9] = {360.0, 1.0, 1.0, 1.0, 1.0, 1.0 / 50.0, 1.0 / 50.0, 1.0, 1.0 / 10.0};
  std::memcpy(b.gearNum, gearNum, sizeof gearNum);
  std::memcpy(b.gearDen, gearDen, sizeof gearDen);
  std::memcpy(b.jointPara, jointPara, sizeof jointPara);
  const double scaleNum[4] = {131072.0, 131072.0, 131072.0, 131072.0};
  const double scaleDen[4] = {360.0, 360.0, 20.0, 360.0};
  std::memcpy(b.posScaleNum, scaleNum, sizeof scaleNum);
  std::memcpy(b.posScaleDen, scaleDen, sizeof scaleDen);
  for (std::int32_t& r : b.encoderResolution) r = 1 << 17;
  b.driveWord[2] = 1;
  b.accType = 1;
  b.inputShapingFreq = 0;
  b.inputShapingDamp = 0.1;
  const std::int32_t adjust[4] = {10, 10, 10, 0};
  std::memcpy(b.adjust, adjust, sizeof adjust);
  const float pose[8] = {300.0f, 100.0f, 0.0f, 0.0f, 0.0f, 90.0f, 100.0f, 0.0f};
  std::memcpy(b.poseTemplate, pose, sizeof pose);
  return b;
}

}  // namespace zelor::test
