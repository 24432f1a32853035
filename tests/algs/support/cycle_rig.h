#pragma once

// The kernel on a simulated axes group, as the host runs it: the drives
// step, then one vantrel_run. The rig loads the fixture block (or a variant)
// through vantrel_init_params on a record of its own and never opens the
// kernel's IPC objects, so unit tests may use it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "Dynamics/dynamic_optimal.h"
#include "PTP/path/input_shaping.h"
#include "axes_drive/sim_axes_group.h"
#include "common/command/command_intake.h"
#include "common/cycle/profile.h"
#include "common/cycle/vantrel_cycle.h"
#include "common/kernel/axes_group.h"
#include "common/kernel/conveyor_state.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/run_data.h"
#include "support/kernel_commands.h"
#include "support/robot_param_fixture.h"

namespace zelor::test {

inline void ResetDriveState() {
  gActualServoMode = 0;
  gServoMode = 0;
  gServoModeSwitch = 0;
  gEncoderResetFlag = 0;
  gLatchEnable = 0;
  gLatchType = 0;
  gstLatchPose = {};
  homeOffset = 0.0;
  gHomeCmdCount = 0;
  gEnableCheckCount = 0;
  gDisableCount = 0;
  gServoModeStep = 0;
  std::memset(gEnableComp, 0, sizeof gEnableComp);
  std::memset(gConveyor, 0, sizeof gConveyor);
  std::memset(gSensorState, 0, sizeof gSensorState);
  std::memset(gCurrentEncoder, 0, sizeof gCurrentEncoder);
  for (tagEncoderChannel& channel : encoder) channel.inUse = 0;
  std::memset(gCouplFlag, 0, sizeof gCouplFlag);
  gRatioCompToThreeFromFour = 0.0;
  gDriverAlarmFlag = 0;
  gDriverResetFlag = 0;
  gEmergencyStop = 0;
  gRobotEnableFlag = 0;
  std::memset(gDriverEnbleFlag, 0, sizeof gDriverEnbleFlag);
  gSafeGuardStop = 0;
  gExcitMode = 0;
  gOutObj = {};
  gRobotId = 0;
  gRobotInLine = 0;
  gAlgsRunData = {};
  gProfileMotion = {};
  gTorqueFeedforward = 0;
  gDynamicOptimal = 0;
  gUsingTrueMotion = 0;
}

class CycleRig : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    ResetDriveState();
    record_ = std::make_unique<AxesGroupRef>();
    std::memset(record_.get(), 0, sizeof(AxesGroupRef));
    robotAxesGroup = record_.get();
    block = FixtureParamBlock();
  }
  void TearDown() override {
    robotAxesGroup = nullptr;
    ResetDriveState();
    KernelCommands::TearDown();
  }

  // Builds the drives and loads `block`.
  void Start(const zelor::sim::SimAxesGroup::Config& config = {}) {
    sim = std::make_unique<zelor::sim::SimAxesGroup>(*record_, config);
    vantrel_init_params(&block);
  }
  void Reload() { vantrel_init_params(&block); }

  void Cycle(int n = 1) {
    for (int i = 0; i < n; ++i) {
      sim->Step();
      vantrel_run();
    }
  }

  // Drives under motion control: the enable check runs to its end.
  void Enable() {
    gHandTeachFlag = 0;
    Cycle(52);
  }

  AxesGroupRef& rec() { return *record_; }
  AxesGroupJoint& joint(int j) { return record_->m_Joints[j]; }

  std::size_t Count(const std::string& line) const {
    return static_cast<std::size_t>(std::count(core.logs.begin(), core.logs.end(), line));
  }

  alignas(8) RobotParamBlock block{};
  std::unique_ptr<zelor::sim::SimAxesGroup> sim;

 private:
  std::unique_ptr<AxesGroupRef> record_;
};

}  // namespace zelor::test
