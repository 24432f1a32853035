#include "common/kernel/robot_moving.h"

#include <cmath>

#include "common/kernel/core_interface.h"
#include "common/kernel/motion_state.h"

namespace {
constexpr double kMovingSpeed = 1e-5;
}

bool IsRobotMoving() {
  bool moving = false;
  for (const double speed : gRobotAxisMove.nextVel) {
    if (std::fabs(speed) > kMovingSpeed) moving = true;
  }
  KernelLog("IsRobotMoving : %d \r\n ", moving ? 1 : 0);
  return moving;
}
