// 4 x 4 inverses as the dynamics model uses them. Targets: lu_inv at most
// 0.3 µs, MatrixInv at most 5 µs.
#include <benchmark/benchmark.h>

#include "common/math/matrix_ops.h"

namespace {

// A well-conditioned inertia-like matrix.
double kMatrix[16] = {4.2, 1.1, 0.3, 0.7, 1.1, 3.9, 0.5, 0.2, 0.3, 0.5, 2.8, 0.4, 0.7, 0.2, 0.4, 1.9};

void BM_lu_inv_4x4(benchmark::State& state) {
  double inv[16];
  for (auto _ : state) {
    benchmark::DoNotOptimize(lu_inv(kMatrix, 4, inv));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_lu_inv_4x4);

void BM_MatrixInv_4x4(benchmark::State& state) {
  double inv[16];
  for (auto _ : state) {
    MatrixInv(4, 4, kMatrix, inv);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MatrixInv_4x4);

void BM_MatrixInv_4x4_singular(benchmark::State& state) {
  double a[16] = {1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 5, 1, 2, 0};
  double inv[16];
  for (auto _ : state) {
    MatrixInv(4, 4, a, inv);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MatrixInv_4x4_singular);

}  // namespace

BENCHMARK_MAIN();
