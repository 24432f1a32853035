#pragma once

// The dynamics stage driven as the profile stage drives it, one simulated
// cycle at a time, over a simulated drive whose feedback the test writes:
// positions in degrees (joint 3 in mm), velocities per second and torques in
// drive units. Kernel state the stage reads or writes is saved and put back,
// and the stage's own memory (previous velocities, enable delay, collision
// latch, record index) is brought to a known state first.

#include <cstdint>
#include <cstring>

#include "Dynamics/dynamics_stage.h"
#include "PTP/teach/jog_teach.h"
#include "common/kernel/axes_group.h"
#include "common/kernel/collision_detection.h"
#include "common/kernel/dynamics_state.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"
#include "common/protocol/excit_record.h"

namespace zelor::test {

// Everything the stage reads or writes, as found before a test.
class DynamicsStageState {
 public:
  DynamicsStageState() {
    std::memcpy(feedback_, gServoFeedBack, sizeof feedback_);
    std::memcpy(jointPara_, gJointPara, sizeof jointPara_);
    info_ = gDynamicInfo;
    thresholds_ = gTorDiffParams;
    period_ = gPeriodTime;
    bytes_[0] = gRobotEnableFlag;
    bytes_[1] = gRobotPrfMode;
    bytes_[2] = gExcitMode;
    bytes_[3] = gIsHandGuiding;
    bytes_[4] = gIsCollisionDect;
    bytes_[5] = gCollisionPause;
    bytes_[6] = gTeachMode;
    controlType_ = gSysParams.controlType;
    axes_ = robotAxesGroup;
    buffer_ = g_tagExcit_6Pos;
    size_ = g_tagExcit_6Pos_size;
  }
  ~DynamicsStageState() {
    std::memcpy(gServoFeedBack, feedback_, sizeof feedback_);
    std::memcpy(gJointPara, jointPara_, sizeof jointPara_);
    gDynamicInfo = info_;
    gTorDiffParams = thresholds_;
    gPeriodTime = period_;
    gRobotEnableFlag = bytes_[0];
    gRobotPrfMode = bytes_[1];
    gExcitMode = bytes_[2];
    gIsHandGuiding = bytes_[3];
    gIsCollisionDect = bytes_[4];
    gCollisionPause = bytes_[5];
    gTeachMode = bytes_[6];
    gSysParams.controlType = controlType_;
    robotAxesGroup = axes_;
    g_tagExcit_6Pos = buffer_;
    g_tagExcit_6Pos_size = size_;
  }
  DynamicsStageState(const DynamicsStageState&) = delete;
  DynamicsStageState& operator=(const DynamicsStageState&) = delete;

 private:
  tagServoFeedBack feedback_[4]{};
  double jointPara_[9]{};
  tagDynamicInfo info_{};
  tagTorDiffParams thresholds_{};
  double period_ = 0.0;
  std::uint8_t bytes_[7]{};
  std::uint32_t controlType_ = 0;
  AxesGroupRef* axes_ = nullptr;
  tagExcit6Pos* buffer_ = nullptr;
  std::uint32_t size_ = 0;
};

inline void SetThresholds(float j1, float j2, float j3, float j4) { gTorDiffParams = {{j1, j2, j3, j4}}; }

// Drive feedback of joint j (0-based).
inline void SetFeedback(int j, double position, double velocity, double torque) {
  gServoFeedBack[j].position = position;
  gServoFeedBack[j].velocity = velocity;
  gServoFeedBack[j].torque = torque;
}

// The drive units whose measured torque (N·m; joint 3 N) is `tau`.
inline double DriveTorque(int j, double tau) {
  if (j == 2) return tau * 0.01 / 3.1416 * 1000.0;
  return tau * gJointPara[5 + (j == 3 ? 3 : j)] * 1000.0;
}

// Brings the stage's memory to a known state and leaves the kernel idle with
// the drives off, detection off, no excitation, no hand guiding, the period
// 4 ms, unit gear ratios on joints 1, 2 and 4, the feedback at 0, no axes
// group and no identification buffer: an armed cycle without a collision
// clears the latch, mode 3 restarts the record index, a disabled cycle
// restarts the enable delay, and a cycle at rest clears the previous velocities.
inline void SettleDynamicsStage() {
  std::memset(gServoFeedBack, 0, sizeof gServoFeedBack);
  gPeriodTime = 0.004;
  gJointPara[5] = gJointPara[6] = gJointPara[8] = 1.0;
  robotAxesGroup = nullptr;
  g_tagExcit_6Pos = nullptr;
  gIsHandGuiding = 0;
  gSysParams.controlType = 0;
  SetThresholds(1e30f, 1e30f, 1e30f, 1e30f);
  gIsCollisionDect = 1;
  gRobotEnableFlag = 1;
  gRobotPrfMode = kPrfExecute;
  gExcitMode = 0;
  for (int i = 0; i < 130; ++i) Dynamics(true);
  gExcitMode = 3;
  Dynamics(true);
  gExcitMode = 0;
  gRobotEnableFlag = 0;
  Dynamics(true);
  Dynamics(false);
  gIsCollisionDect = 0;
  gRobotPrfMode = kPrfIdle;
  SetThresholds(0, 0, 0, 0);
  gDynamicInfo = {};
  gCollisionPause = 0;
  g_tagExcit_6Pos_size = 0;
}

}  // namespace zelor::test
