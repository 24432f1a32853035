#include "common/cycle_clock.h"

#include <ctime>
#include <limits>

#include "common/core_interface.h"
#include "common/kernel_state.h"

std::int64_t gCycleStartUs = 0;

std::int64_t CycleClockNowUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

std::int32_t CycleElapsedUs() {
  const std::int64_t us = CycleClockNowUs() - gCycleStartUs;
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(us < 0 ? 0 : (us > kMax ? kMax : us));
}

void AlgsDataPrint(const void* data8, int stage) {
  const auto* b = static_cast<const unsigned char*>(data8);
  const long us = (stage >= 0 && stage < kStageStampCount) ? elapsed[stage] : 0;
  KernelLog("elapsed[%d] timeout %ld\r\n", stage, us);
  KernelLog("input:0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X\r\n", b[0], b[1], b[2], b[3], b[4],
            b[5], b[6], b[7]);
}
