#include "common/cycle/cycle_steps.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/motion_state.h"
#include "json/parameter_globals.h"

namespace {

constexpr std::uint32_t kCompensationCycles = 62;  // 0.25 s

double FirstOffset(int j) {
  if (j == 1) {
    KernelLog("gRobotAxisMove.nextPos[1]:%1.8lf \r\n", gRobotAxisMove.nextPos[1]);
    return ((gRobotAxisMove.nextPos[1] / 30.0 + 0.2) * 0.32 / 4.6) * 1000.0;
  }
  if (j == 2) {
    const double load = static_cast<double>(m_st_loadParams.loadValue);
    KernelLog("m_st_loadParams.loadValue:%1.8lf \r\n", load);
    const double p = gRobotAxisMove.nextPos[2];
    const double s = p < 0.0 ? 1.0 : (p == 0.0 ? 0.0 : -1.0);
    return (s * (load * 2.2 + 1.5) * 0.32 / 4.6) * 1000.0;
  }
  return 0.0;
}

}  // namespace

void EnableCompensation(AxesGroupRef& g) {
  for (int j = 0; j < 4; ++j) {
    AxesGroupJoint& joint = g.m_Joints[j];
    tagEnableCompensation& c = gEnableComp[j];
    if (!DriveEnabled(joint)) {
      c.firstCycle = 1;
      c.count = 0;
      continue;
    }
    if (c.firstCycle != 0) {
      c.firstCycle = 0;
      c.count = 0;
      joint.m_NewSetValues.m_TorqueOffset = FirstOffset(j);
    } else if (c.count < kCompensationCycles) {
      if (++c.count == kCompensationCycles) joint.m_NewSetValues.m_TorqueOffset = 0.0;
    } else {
      continue;
    }
    KernelLog("axesGroup->m_Joints[%d].m_NewSetValues.m_TorqueOffset:%1.8lf \r\n", j,
              joint.m_NewSetValues.m_TorqueOffset);
  }
}
