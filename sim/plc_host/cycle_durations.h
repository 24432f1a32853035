#pragma once

#include <array>
#include <cstdint>

namespace zelor::sim {

// Durations of one call per cycle, kept as a histogram of 1 µs bins up to
// 20 ms (longer ones fall in the last bin; the maximum is kept exactly), so a
// run of any length records every call without allocating.
class CycleDurations {
 public:
  static constexpr int kBins = 20000;

  void Add(std::int64_t ns);
  std::uint64_t count() const { return count_; }
  // The duration in µs below which the given share of the calls lies.
  double PercentileUs(double share) const;
  double MaxUs() const { return static_cast<double>(maxNs_) / 1000.0; }

 private:
  std::array<std::uint32_t, kBins> bins_{};
  std::uint64_t count_ = 0;
  std::int64_t maxNs_ = 0;
};

}  // namespace zelor::sim
