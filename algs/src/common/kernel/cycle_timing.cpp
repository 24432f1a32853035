#include "common/kernel/cycle_timing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

struct timespec tStart = {};
std::int32_t gAlgsMaxTime = 0;
float gAveAlgsTime = 0.0f;
std::int32_t DivCount = 5000;
double gMaxTorque[4] = {};

namespace {

constexpr std::int32_t kStampLogThresholdUs = 1500;

// Cycles counted into the running window (starts at 1), their summed totals,
// the windows completed since load and the sum of their averages.
std::int32_t gWindowCycles = 1;
double gWindowSum = 0.0;
std::int32_t gWindowsDone = 0;
double gWindowAverageSum = 0.0;

}  // namespace

void CycleStartNow() { clock_gettime(CLOCK_MONOTONIC, &tStart); }

std::int32_t ElapsedSinceCycleStart() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const std::int64_t ns = (static_cast<std::int64_t>(now.tv_sec) - tStart.tv_sec) * 1000000000 +
                          (static_cast<std::int64_t>(now.tv_nsec) - tStart.tv_nsec);
  const std::int64_t us = ns / 1000;
  // Saturate: a stamp taken before the first cycle start must not wrap negative
  // and hide an overrun.
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(us, 0, INT32_MAX));
}

void StampStage(int stage) {
  if (stage < 0 || stage >= kStageStampCount) return;
  elapsed[stage] = ElapsedSinceCycleStart();
}

void TimeStatistics() {
  const std::int32_t total = elapsed[kStageStampCount - 1];
  if (total > gAlgsMaxTime) {
    gAlgsMaxTime = total;
    if (total > kStampLogThresholdUs) {
      for (int i = 0; i < kStageStampCount; ++i) KernelLog("elapsed[%d] %ld\r\n", i, static_cast<long>(elapsed[i]));
    }
  }

  for (int j = 0; j < 4; ++j) {
    const double torque = std::fabs(gServoFeedBack[j].torque);
    if (torque > gMaxTorque[j]) gMaxTorque[j] = torque;
  }

  gWindowSum += total;
  if (gWindowCycles < DivCount) {
    ++gWindowCycles;
    return;
  }

  ++gWindowsDone;
  const double windowAverage = gWindowSum / DivCount;
  gWindowAverageSum += windowAverage;
  const double average = gWindowAverageSum / gWindowsDone;
  if (gExcitMode != 1) {
    KernelLog("gMaxTorque %1.3f %1.3f %1.3f %1.3f\r\n", gMaxTorque[0], gMaxTorque[1], gMaxTorque[2], gMaxTorque[3]);
    KernelLog("TimeStatistics maxT: %ld us  AveT: %1.3f us CurAveT %1.3f us\r\n", static_cast<long>(gAlgsMaxTime),
              average, windowAverage);
  }
  gWindowCycles = 1;
  gWindowSum = 0.0;
  gAveAlgsTime = static_cast<float>(average);
}

void ResetTimeStatistics() {
  gAlgsMaxTime = 0;
  gAveAlgsTime = 0.0f;
  for (double& t : gMaxTorque) t = 0.0;
  gWindowCycles = 1;
  gWindowSum = 0.0;
  gWindowsDone = 0;
  gWindowAverageSum = 0.0;
}
