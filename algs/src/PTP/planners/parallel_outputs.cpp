#include "PTP/planners/parallel_outputs.h"

#include <algorithm>
#include <cstdint>

#include "PTP/profiles/traj_plan.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

namespace {

constexpr std::uint8_t kPlaceByRatio = 0;
constexpr std::uint8_t kPlaceByDistance = 1;

// Fraction of the path at which an output is switched.
double fractionOf(const tagParallelOutputCmd& output, double L) {
  switch (output.type) {
    case kPlaceByRatio:
      return output.ratio / 100.0;
    case kPlaceByDistance: {
      const double d = output.distance;
      if (d >= L) return 1.0;
      if (d <= -L) return 0.0;
      if (d >= 0.0) return d / L;
      if (d < 0.0) return 1.0 + d / L;
      return 0.0;
    }
    default:
      return 0.0;
  }
}

// Client data bounded to the path: a ratio above 100 switches at the end, a
// distance that is not a number at the start.
double placeOf(const tagParallelOutputCmd& output, double L) {
  const double f = fractionOf(output, L);
  if (!(f > 0.0)) return 0.0;
  return f < 1.0 ? f : 1.0;
}

// Whole cycles in t, truncated; a time that is not a finite count of cycles
// (NaN, negative, beyond the counter) is held at the nearest end.
std::uint32_t cyclesIn(double t) {
  const double cycles = t / gPeriodTime;
  if (!(cycles > 0.0)) return 0;
  if (cycles >= 4294967295.0) return UINT32_MAX;
  return static_cast<std::uint32_t>(cycles);
}

int outputsOf(const PreDealData& entry) {
  return std::min<int>(entry.parallel.count, kMaxPackedParallelOutputs);
}

}  // namespace

void ParallelIOPredeal(TrajPlanData* profile, PreDealData* entry, double L) {
  PackedParallelOutputs& block = entry->parallel;
  KernelLog("poCmdW parallelCmdCount:%d poFlag:%u\r\n", static_cast<int>(block.count),
            static_cast<unsigned>(block.poFlag));
  if (!block.poFlag || block.count == 0) return;
  const int count = outputsOf(*entry);
  for (int i = 0; i < count; ++i) {
    const tagParallelOutputCmd output = block.outputs[i];
    const double f = placeOf(output, L);
    const double t = TimeCalc(profile, f * profile->dist);
    entry->poTriggerCycles[i] = cyclesIn(t);
    KernelLog("poCmdW Lenth : %lf, IoCount : %u, trig_time : %lf\r\n", L, static_cast<unsigned>(count), t);
    KernelLog("poCmdW IOPeriodCount:%u i:%d type:%u\r\n", static_cast<unsigned>(entry->poTriggerCycles[i]), i,
              static_cast<unsigned>(output.type));
    KernelLog("poCmdW poCmd[%d],ratio:%lf,address:%u,level:%u\r\n", i, f, static_cast<unsigned>(output.address),
              static_cast<unsigned>(output.level));
  }
}

void ParallelIOControl(PreDealData* entry) {
  PackedParallelOutputs& block = entry->parallel;
  if (!block.poFlag || block.count == 0 || gPauseCmdFlag != 0) return;
  const int count = outputsOf(*entry);
  for (int i = 0; i < count; ++i) {
    if (block.done[i] != 0 || entry->poTriggerCycles[i] > gPeriodCount) continue;
    const unsigned address = block.outputs[i].address;
    if (address >= 1 && address <= static_cast<unsigned>(kDigitalImageSize)) {
      gPhyDOs[address - 1] = block.outputs[i].level;
    } else {
      KernelLog("ParallelIOControl poCmd[%d] address:%u outside 1..%d, not switched\r\n", i, address,
                kDigitalImageSize);
    }
    block.done[i] = 1;
  }
}
