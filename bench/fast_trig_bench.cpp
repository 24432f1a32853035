// The library's trigonometry against the C library on the same arguments.
// Targets: sinQ/cosQ at most 1.25x libm for |x| < 1e5, the table reduction at
// most 150 ns, acosQ/asinQ at most 2x libm.
#include <cmath>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "common/math/fast_trig.h"
#include "common/math/trig_reduction.h"

namespace {

constexpr int kPoints = 4096;

std::vector<double> arguments(double lo, double hi, bool logScale) {
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> linear(lo, hi);
  std::uniform_real_distribution<double> exponent(std::log(lo), std::log(hi));
  std::vector<double> xs(kPoints);
  for (double& x : xs) {
    x = logScale ? std::exp(exponent(rng)) : linear(rng);
    if (rng() & 1) x = -x;
  }
  return xs;
}

template <double (*F)(double)>
void run(benchmark::State& state, const std::vector<double>& xs) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(F(xs[i]));
    i = (i + 1) & (kPoints - 1);
  }
}

const std::vector<double>& kinematic() {  // |x| < 1e5, as joint angles and path parameters give
  static const std::vector<double> xs = arguments(1e-3, 1e5, true);
  return xs;
}
const std::vector<double>& huge() {
  static const std::vector<double> xs = arguments(1e6, 1e308, true);
  return xs;
}
const std::vector<double>& unit() {
  static const std::vector<double> xs = arguments(0.0, 1.0, false);
  return xs;
}

double libmSin(double x) { return std::sin(x); }
double libmCos(double x) { return std::cos(x); }
double libmAcos(double x) { return std::acos(x); }
double libmAsin(double x) { return std::asin(x); }

void BM_sinQ(benchmark::State& s) { run<sinQ>(s, kinematic()); }
void BM_libm_sin(benchmark::State& s) { run<libmSin>(s, kinematic()); }
void BM_cosQ(benchmark::State& s) { run<cosQ>(s, kinematic()); }
void BM_libm_cos(benchmark::State& s) { run<libmCos>(s, kinematic()); }
void BM_sinQ_huge(benchmark::State& s) { run<sinQ>(s, huge()); }
void BM_libm_sin_huge(benchmark::State& s) { run<libmSin>(s, huge()); }
void BM_acosQ(benchmark::State& s) { run<acosQ>(s, unit()); }
void BM_libm_acos(benchmark::State& s) { run<libmAcos>(s, unit()); }
void BM_asinQ(benchmark::State& s) { run<asinQ>(s, unit()); }
void BM_libm_asin(benchmark::State& s) { run<libmAsin>(s, unit()); }

void BM_ReduceFull(benchmark::State& state) {
  const std::vector<double>& xs = huge();
  std::size_t i = 0;
  for (auto _ : state) {
    double r;
    int q;
    ReduceFull(&r, &q, xs[i]);
    benchmark::DoNotOptimize(r);
    benchmark::DoNotOptimize(q);
    i = (i + 1) & (kPoints - 1);
  }
}

BENCHMARK(BM_sinQ);
BENCHMARK(BM_libm_sin);
BENCHMARK(BM_cosQ);
BENCHMARK(BM_libm_cos);
BENCHMARK(BM_ReduceFull);
BENCHMARK(BM_sinQ_huge);
BENCHMARK(BM_libm_sin_huge);
BENCHMARK(BM_acosQ);
BENCHMARK(BM_libm_acos);
BENCHMARK(BM_asinQ);
BENCHMARK(BM_libm_asin);

}  // namespace

BENCHMARK_MAIN();
