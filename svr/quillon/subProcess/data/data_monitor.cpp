#include <atomic>
#include <cstring>

#include "common/protocol/axes_group_ref.h"
#include "robot_states/robot_states.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"

namespace {

constexpr int kScanPeriod = 5;
constexpr int kJoints = 4;

// Mode changes noted by the monitor for the 200 ms duty's log.
constexpr std::uint8_t kNoteAuto = 1u << 0;
constexpr std::uint8_t kNoteManual = 1u << 1;
constexpr std::uint8_t kNoteSwitchEnable = 1u << 2;
constexpr std::uint8_t kNoteSwitchDisable = 1u << 3;

template <typename T>
T load(T& field) {
  return std::atomic_ref<T>(field).load(std::memory_order_relaxed);
}

template <typename T>
void store(T& field, T value) {
  std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}

}  // namespace

// The cyclic monitor, on the host's cycle thread before the kernel's cycle:
// nothing here waits for the kernel or a data-server thread, and nothing is
// logged here: mode changes are noted for the 200 ms duty.
void DataSubProcess::monitor(AxesGroupRef* record) {
  if (record == nullptr) return;
  robotData_ = record;
  RobotStates& states = RobotStates::Instance();
  const bool pcMode = states.GetPCMode() != 0;

  if (jointPairs_ != nullptr) {
    const std::uint32_t pair[2] = {load(record->m_JointPair[0]), load(record->m_JointPair[1])};
    std::memcpy(jointPairs_, pair, sizeof pair);
  }
  store(record->m_LightCode, static_cast<std::int32_t>(lightCode_.load()));

  const std::uint8_t stop = load(record->m_StopInput);
  if (stop == kStopInputAsserted) {
    stopInput_ = 1;
    releaseHandled_ = 0;
  } else if (stop == kStopInputReleased) {
    stopInput_ = 0;
    stopHandled_ = 0;
  }

  const std::uint32_t signature = ((0xAB00u | signatureHigh_.load()) << 16) | signatureLow_.load();
  store(record->m_Signature, signature);

  const std::uint32_t autoMode = pcMode ? states.GetAutoMode() : load(record->m_AutoMode);
  const bool enabled = pcMode ? states.GetEnableStatus() != 0 : load(record->m_EnableState) != 0;

  if (param_.hardware.load()) return;

  if (load(record->m_AppMode) == 2) store(record->m_AppModeDone, 1u);

  scanAxes(record);

  if (autoMode == 2) {
    if (controlType_.exchange(kControlAuto) != kControlAuto) {
      monitorNotes_.fetch_or(kNoteAuto);
      controlTypeChanged_ = 1;
    }
  } else if (controlType_.exchange(kControlManual) != kControlManual) {
    monitorNotes_.fetch_or(kNoteManual);
    controlTypeChanged_ = 1;
    enablingAllowed_ = load(record->m_HoldWord) != 0 ? 0 : 1;
  }

  if (controlType_.load() == kControlManual && enablingAllowed_.load() != 0) {
    if (enabled && !inAlarmNow()) {
      if (switchState_.exchange(kSwitchEnabled) != kSwitchEnabled) {
        monitorNotes_.fetch_or(kNoteSwitchEnable);
        switchChanged_ = 1;
      }
    } else if (!enabled) {
      if (switchState_.exchange(kSwitchDisabled) != kSwitchDisabled) {
        monitorNotes_.fetch_or(kNoteSwitchDisable);
        switchChanged_ = 1;
      }
    }
  }

  forwardScriptAlarm();
}

void DataSubProcess::scanAxes(AxesGroupRef* record) {
  const int turn = scanCounter_;
  scanCounter_ = (scanCounter_ + 1) % kScanPeriod;
  if (turn != 0) return;
  RobotStates& states = RobotStates::Instance();
  stModbusServo servo[kJoints] = {};
  for (int j = 0; j < kJoints; ++j) {
    AxesGroupJoint& joint = record->m_Joints[j];
    const double position = load(joint.m_ActPosition);
    const double speed = load(joint.m_ActVelocity);
    axisPosition_[j] = position;
    axisSpeed_[j] = speed;
    states.GetJoint(j, static_cast<float>(position));
    states.GetRunSpeed(j, static_cast<float>(speed));
    servo[j].first = static_cast<float>(load(joint.m_NewSetValues.m_Position));
    servo[j].second = static_cast<float>(position);
    states.GetServoStatus(j, servo, load(joint.m_ActTorque), load(joint.m_RatedTorque), 1000.0);
    if (load(joint.m_Operational) == 0) {
      stopInput_ = 1;
      return;
    }
  }
  stopInput_ = 0;
  stopHandled_ = 0;
}

void DataSubProcess::forwardScriptAlarm() {
  if (semShm_ == nullptr) return;
  std::atomic_ref<std::uint8_t> flag(semShm_->alarmFlag);
  if (flag.load() == 0) return;
  std::int32_t code = 0;
  std::memcpy(&code, semShm_->alarmCode, sizeof code);
  if (code == 0) return;
  setAlarm(code);
  flag.store(0);
}

void DataSubProcess::logMonitorChanges() {
  const std::uint8_t notes = monitorNotes_.exchange(0);
  if ((notes & kNoteAuto) != 0) DATA_LOG(kInfo, "monitor: controlType change to auto");
  if ((notes & kNoteManual) != 0) DATA_LOG(kInfo, "monitor: controlType change to manual");
  if ((notes & kNoteSwitchEnable) != 0) DATA_LOG(kInfo, "monitor: three position switch change to enable");
  if ((notes & kNoteSwitchDisable) != 0) DATA_LOG(kInfo, "monitor: three position switch change to disable");
}
