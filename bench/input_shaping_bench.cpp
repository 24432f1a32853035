// One shaped sample per control cycle. Target: at most 10 ns per sample.
#include <benchmark/benchmark.h>

#include "PTP/path/input_shaping.h"

namespace {

void BM_vCalcInputShaping(benchmark::State& state) {
  vInitShape(0, {0.05, 8.0, 0.004});
  vInitHistoryData(0, 0.0);
  double x = 0.0;
  double y = 0.0;
  for (auto _ : state) {
    vCalcInputShaping(0, x, &y);
    benchmark::DoNotOptimize(y);
    x += 1e-3;
  }
}
BENCHMARK(BM_vCalcInputShaping);

}  // namespace

BENCHMARK_MAIN();
