#include "Dynamics/dynamics_stage.h"

#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

bool IsFullyEnable(double delay) {
  static bool enabled = false;
  static int count = 0;
  if (enabled) {
    if (gRobotEnableFlag != 0) return true;
    enabled = false;
    count = 0;
    return false;
  }
  if (gRobotEnableFlag != 0) {
    ++count;
    if (count > delay / gPeriodTime) enabled = true;
    return enabled;
  }
  count = 0;
  return false;
}
