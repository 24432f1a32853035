#include "axes_drive/sim_axes_group.h"

#include <cstring>

namespace zelor::sim {

namespace {

constexpr std::uint32_t kStateOff = 0;
constexpr std::uint32_t kStateFault = 1;
constexpr std::uint32_t kStateEnabled = 4;
constexpr std::uint32_t kOpPosition = 8;
constexpr std::uint32_t kOpTorque = 10;
constexpr std::uint32_t kGroupHandGuiding = 10;

}  // namespace

SimAxesGroup::SimAxesGroup(AxesGroupRef& record) : SimAxesGroup(record, Config{}) {}

SimAxesGroup::SimAxesGroup(AxesGroupRef& record, const Config& config) : g_(record), config_(config) {
  for (int j = 0; j < kJoints; ++j) {
    AxesGroupJoint& joint = g_.m_Joints[j];
    joint.m_Operational = 1;
    joint.m_OpMode = kOpPosition;
    joint.m_ActPosition = config_.startJoints[j];
  }
  g_.m_StopInput = kStopInputReleased;
}

void SimAxesGroup::Step() {
  if (g_.m_EnableRequest != 0) {
    ++enableCycles_;
  } else {
    enableCycles_ = 0;
  }
  StepModeSwitch();
  for (int j = 0; j < kJoints; ++j) StepDrive(j);
  StepHoming();
  StepEncoders();
  if (g_.m_ParamWriteRequest != 0) g_.m_ParamWriteRequest = 0;

  bool allTorque = true;
  for (const AxesGroupJoint& joint : g_.m_Joints) allTorque = allTorque && joint.m_OpMode == kOpTorque;
  for (AxesGroupJoint& joint : g_.m_Joints) joint.m_GroupState = allTorque ? kGroupHandGuiding : 0;
}

void SimAxesGroup::StepDrive(int j) {
  AxesGroupJoint& joint = g_.m_Joints[j];
  if (injectedError_[j] != 0 && g_.m_DriveCmd.ResetFlag == 1) injectedError_[j] = 0;
  joint.m_ErrorCode = injectedError_[j];

  std::uint32_t state = kStateOff;
  if (injectedError_[j] != 0) {
    state = kStateFault;
  } else if (g_.m_EnableRequest != 0 && enableCycles_ > config_.enableDelayCycles) {
    state = kStateEnabled;
  }
  if (held_[j]) state = heldState_[j];
  joint.m_State = state;

  const double before = joint.m_ActPosition;
  const bool enabled = state > 2;
  // The set position the kernel wrote in its last cycle is reached at once.
  if (enabled && joint.m_OpMode != kOpTorque) joint.m_ActPosition = joint.m_NewSetValues.m_Position;
  joint.m_ActVelocity = (joint.m_ActPosition - before) / config_.period;

  if (joint.m_LatchEnable == 1 && latchTrigger_) {
    joint.m_LatchedPos = joint.m_ActPosition;
    joint.m_LatchDone = 1;
  }
  if (j == kJoints - 1) latchTrigger_ = false;
}

void SimAxesGroup::StepModeSwitch() {
  for (AxesGroupJoint& joint : g_.m_Joints) joint.m_ModeChangeDone = 0;
  const bool rising = g_.m_ModeExecute == 1 && lastModeExecute_ == 0;
  lastModeExecute_ = g_.m_ModeExecute;
  if (!rising) return;
  std::uint32_t target = 0;
  if (g_.m_ModeWord == 1) {
    target = kOpTorque;
  } else if (g_.m_ModeWord == 0) {
    target = kOpPosition;
  } else {
    return;
  }
  for (AxesGroupJoint& joint : g_.m_Joints) {
    if (joint.m_OpMode == target) continue;
    joint.m_OpMode = target;
    joint.m_ModeChangeDone = 1;
    joint.m_PosAtModeChange = joint.m_ActPosition;
  }
}

void SimAxesGroup::StepHoming() {
  const std::uint32_t mask = g_.m_DriveCmd.HomeFlag;
  if (mask == 0) {
    homingCycles_ = 0;
    for (AxesGroupJoint& joint : g_.m_Joints) joint.m_HomingDone = 0;
    return;
  }
  ++homingCycles_;
  if (config_.homingCycles == kNever || homingCycles_ < config_.homingCycles) return;
  for (int j = 0; j < kJoints; ++j) {
    if ((mask & (1u << j)) == 0) continue;
    AxesGroupJoint& joint = g_.m_Joints[j];
    if (joint.m_HomingDone == 1) continue;
    joint.m_HomingDone = 1;
    joint.m_ActPosition = joint.m_HomePosition;
  }
}

void SimAxesGroup::StepEncoders() {
  for (int c = 0; c < 2; ++c) {
    if (g_.m_EncoderReset[c] != 0) {
      g_.m_EncoderCount[c] = 0;
      g_.m_EncoderReset[c] = 0;
      continue;
    }
    g_.m_EncoderCount[c] += ramp_[c];
  }
}

void SimAxesGroup::HoldState(int joint, std::uint32_t state) {
  held_[joint] = true;
  heldState_[joint] = state;
}
void SimAxesGroup::ReleaseState(int joint) { held_[joint] = false; }
void SimAxesGroup::InjectFault(int joint, std::uint32_t errorCode) { injectedError_[joint] = errorCode; }
void SimAxesGroup::SetOperational(int joint, bool operational) {
  g_.m_Joints[joint].m_Operational = operational ? 1 : 0;
}
void SimAxesGroup::SetTorque(int joint, double torque) { g_.m_Joints[joint].m_ActTorque = torque; }
void SimAxesGroup::MoveTo(int joint, double position) {
  g_.m_Joints[joint].m_ActPosition = position;
}
void SimAxesGroup::TriggerLatch() { latchTrigger_ = true; }
void SimAxesGroup::SetStopInput(bool asserted) { g_.m_StopInput = asserted ? kStopInputAsserted : kStopInputReleased; }
void SimAxesGroup::SetGroupError(std::uint32_t error) { g_.m_GroupErrorId = error; }
void SimAxesGroup::SetConveyorRamp(int channel, std::int32_t countsPerCycle) { ramp_[channel] = countsPerCycle; }
void SimAxesGroup::SetConveyorCount(int channel, std::int32_t count) { g_.m_EncoderCount[channel] = count; }
void SimAxesGroup::SetAxisStatus(int joint, std::uint32_t status) { g_.m_Joints[joint].m_AxisStatus = status; }
void SimAxesGroup::SetVersions(std::uint32_t servoA, std::uint32_t servoB, std::uint32_t ioBoard) {
  g_.m_ServoVersion[0] = servoA;
  g_.m_ServoVersion[1] = servoB;
  g_.m_IoBoardVersion = ioBoard;
}
void SimAxesGroup::SetJointPair(double value) { std::memcpy(g_.m_JointPair, &value, sizeof value); }
void SimAxesGroup::SetRatedTorque(int joint, double torque) { g_.m_Joints[joint].m_RatedTorque = torque; }
void SimAxesGroup::SetModes(std::uint32_t autoMode, std::uint32_t enableState) {
  g_.m_AutoMode = autoMode;
  g_.m_EnableState = enableState;
}

}  // namespace zelor::sim
