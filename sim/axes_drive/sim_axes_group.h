#pragma once

#include <cstdint>

#include "common/protocol/axes_group_ref.h"

namespace zelor::sim {

// Stand-in for the PLC runtime's axes group: the drives as they show in the
// host's record. Step() once per 4 ms cycle, before the kernel's cycle. It
// writes only what the host writes; the kernel's and the data server's
// fields are read, never written.
class SimAxesGroup {
 public:
  static constexpr int kJoints = 4;
  static constexpr int kNever = -1;

  struct Config {
    int enableDelayCycles = 5;  // request to state 4
    int homingCycles = 25;      // kNever: homing never reports done
    double period = 0.004;
    double startJoints[kJoints] = {0.0, 90.0, 100.0, 0.0};
  };

  explicit SimAxesGroup(AxesGroupRef& record);
  SimAxesGroup(AxesGroupRef& record, const Config& config);

  void Step();

  // Test controls.
  void HoldState(int joint, std::uint32_t state);  // joint 0..3
  void ReleaseState(int joint);
  void InjectFault(int joint, std::uint32_t errorCode);
  void SetOperational(int joint, bool operational);
  void SetTorque(int joint, double torque);
  void MoveTo(int joint, double position);  // holds while disabled or in torque mode
  void TriggerLatch();
  void SetStopInput(bool asserted);
  void SetGroupError(std::uint32_t error);
  // Conveyor counts rising by `countsPerCycle` on channel 0 or 1.
  void SetConveyorRamp(int channel, std::int32_t countsPerCycle);
  void SetConveyorCount(int channel, std::int32_t count);
  void SetAxisStatus(int joint, std::uint32_t status);
  void SetVersions(std::uint32_t servoA, std::uint32_t servoB, std::uint32_t ioBoard);
  void SetJointPair(double value);
  void SetRatedTorque(int joint, double torque);
  void SetModes(std::uint32_t autoMode, std::uint32_t enableState);

  AxesGroupRef& record() { return g_; }

 private:
  void StepDrive(int j);
  void StepModeSwitch();
  void StepHoming();
  void StepEncoders();

  AxesGroupRef& g_;
  Config config_;
  int enableCycles_ = 0;
  int homingCycles_ = 0;
  std::uint32_t lastModeExecute_ = 0;
  bool held_[kJoints] = {};
  std::uint32_t heldState_[kJoints] = {};
  std::uint32_t injectedError_[kJoints] = {};
  std::int32_t ramp_[2] = {};
  bool latchTrigger_ = false;
};

}  // namespace zelor::sim
