#include "plc_host/cycle_durations.h"

#include <algorithm>
#include <cmath>

namespace zelor::sim {

void CycleDurations::Add(std::int64_t ns) {
  if (ns < 0) ns = 0;
  const std::int64_t bin = std::min<std::int64_t>(ns / 1000, kBins - 1);
  ++bins_[static_cast<std::size_t>(bin)];
  ++count_;
  maxNs_ = std::max(maxNs_, ns);
}

double CycleDurations::PercentileUs(double share) const {
  if (count_ == 0) return 0.0;
  const auto wanted = static_cast<std::uint64_t>(std::ceil(share * static_cast<double>(count_)));
  std::uint64_t seen = 0;
  for (int i = 0; i < kBins; ++i) {
    seen += bins_[static_cast<std::size_t>(i)];
    // The upper edge of the bin, but never beyond the longest call seen.
    if (seen >= std::max<std::uint64_t>(wanted, 1)) return std::min(static_cast<double>(i + 1), MaxUs());
  }
  return MaxUs();
}

}  // namespace zelor::sim
