#include "PTP/stopping/stop_request.h"

#include <cstdint>

#include "common/kernel/motion_state.h"

void SetStopParams(int kind) {
  gRobotPrfMode = kPrfStop;
  gStopMode = static_cast<std::uint8_t>(kind);
  gStopCmdPlanFlag = 0;
}
