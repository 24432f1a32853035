#pragma once

// Percentiles and target lines of the load report.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace zelor::bench {

struct Percentiles {
  std::size_t count = 0;
  double p50 = 0, p95 = 0, p99 = 0, max = 0;
};

inline Percentiles percentiles(std::vector<double> values) {
  Percentiles p;
  p.count = values.size();
  if (values.empty()) return p;
  std::sort(values.begin(), values.end());
  auto at = [&](double q) { return values[std::min(values.size() - 1, static_cast<std::size_t>(q * values.size()))]; };
  p.p50 = at(0.50);
  p.p95 = at(0.95);
  p.p99 = at(0.99);
  p.max = values.back();
  return p;
}

// Targets met and missed over the whole run.
struct Verdicts {
  int met = 0;
  int missed = 0;
  void check(bool ok, const std::string& what) {
    ok ? ++met : ++missed;
    std::printf("    %-70s %s\n", what.c_str(), ok ? "ok" : "MISSED");
  }
};

}  // namespace zelor::bench
