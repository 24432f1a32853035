// Velocity-profile planning and evaluation. Targets: TrajPlan7S at most
// 250 ns mean and 700 ns p99 over a randomised set that reaches every branch,
// and no class of moves (rest to rest reaching the top speed, rest to rest
// below it, from or to running speeds) slower than twice the fastest;
// JointCalc7S 25 ns; TimeCalc7S 150 ns; TrajPlan5S 60 ns; TrajPlanCos 300 ns;
// the TrajPlan dispatch with its log line 2.5 µs.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "PTP/profiles/traj_plan.h"
#include "PTP/profiles/traj_plan_cos.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"

namespace {

constexpr double kPeriod = 0.004;
constexpr std::size_t kSetSize = 4096;

// Mixed inputs: rest to rest, from and to speed, mirrored, low limit, short
// transitions, pure cruises, moves too short to plan.
std::vector<TrajPlanData> randomSet() {
  std::mt19937_64 rng(4242);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<TrajPlanData> set(kSetSize);
  for (TrajPlanData& p : set) {
    p = TrajPlanData{};
    p.dist = std::pow(10.0, -2 + 5 * u(rng));
    p.vMax = 1 + 999 * u(rng);
    p.aMax = 10 + 4990 * u(rng);
    p.aMaxDec = 10 + 4990 * u(rng);
    p.jerk = 100 + 49900 * u(rng);
    const double r1 = u(rng);
    p.vStart = r1 < 0.3 ? 0 : r1 < 0.45 ? p.vMax : r1 < 0.6 ? 2 * u(rng) * p.vMax : u(rng) * p.vMax;
    const double r2 = u(rng);
    p.vEnd = r2 < 0.4 ? 0 : r2 < 0.55 ? p.vMax : u(rng) * p.vMax;
    p.period = kPeriod;
  }
  return set;
}

TrajPlanData plannedMove() {
  TrajPlanData p{};
  p.dist = 250.3;
  p.vMax = 100;
  p.aMax = 500;
  p.aMaxDec = 400;
  p.jerk = 5000;
  p.vStart = 10;
  p.period = kPeriod;
  TrajPlan7S(&p);
  return p;
}

// Moves of one class: distance 1-500, top speed 50-800, acceleration
// 200-5000, jerk 2e3-1e5. Rest to rest split by whether the top speed is
// reached; running speeds start or end (or both) below the top speed.
enum class MoveClass { kRestTopSpeed, kRestBelowTop, kRunning };

// Whether a rest-to-rest move reaches vMax: both jerk-limited sides to vMax fit.
bool reachesTop(const TrajPlanData& p) {
  auto side = [&](double a) {
    const double t = p.vMax < a * a / p.jerk ? std::sqrt(p.vMax / p.jerk) : a / p.jerk + (p.vMax / a - a / p.jerk) / 2;
    return p.vMax * t;
  };
  return side(p.aMax) + side(p.aMaxDec) <= p.dist;
}

std::vector<TrajPlanData> classSet(MoveClass kind) {
  std::mt19937_64 rng(1717 + static_cast<int>(kind));
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<TrajPlanData> set;
  while (set.size() < kSetSize) {
    TrajPlanData p{};
    // Top-speed moves are rare in the plain ranges: shorter tops for them.
    p.vMax = kind == MoveClass::kRestTopSpeed ? 50 + 250 * u(rng) : 50 + 750 * u(rng);
    p.dist = 1 + 499 * u(rng);
    p.aMax = 200 + 4800 * u(rng);
    p.aMaxDec = 200 + 4800 * u(rng);
    p.jerk = 2e3 + 98e3 * u(rng);
    p.period = kPeriod;
    if (kind == MoveClass::kRunning) {
      const double r = u(rng);
      if (r < 1.0 / 3) {
        p.vStart = u(rng) * p.vMax;
      } else if (r < 2.0 / 3) {
        p.vEnd = u(rng) * p.vMax;
      } else {
        p.vStart = u(rng) * p.vMax;
        p.vEnd = u(rng) * p.vMax;
      }
    } else if (reachesTop(p) != (kind == MoveClass::kRestTopSpeed)) {
      continue;
    }
    set.push_back(p);
  }
  return set;
}

// Times each plan; reports mean and p99 in ns.
void timePlans(benchmark::State& state, const std::vector<TrajPlanData>& set) {
  std::vector<double> ns;
  ns.reserve(1 << 20);
  std::size_t i = 0;
  for (auto _ : state) {
    TrajPlanData p = set[i++ % set.size()];
    const auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(TrajPlan7S(&p));
    const auto t1 = std::chrono::steady_clock::now();
    benchmark::ClobberMemory();
    if (ns.size() < ns.capacity()) ns.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
  }
  if (!ns.empty()) {
    std::sort(ns.begin(), ns.end());
    double sum = 0;
    for (double x : ns) sum += x;
    state.counters["mean_ns"] = sum / static_cast<double>(ns.size());
    state.counters["p99_ns"] = ns[ns.size() * 99 / 100];
  }
}

void BM_TrajPlan7S(benchmark::State& state) { timePlans(state, randomSet()); }
BENCHMARK(BM_TrajPlan7S);

void BM_TrajPlan7S_RestToRestTopSpeed(benchmark::State& state) {
  timePlans(state, classSet(MoveClass::kRestTopSpeed));
}
BENCHMARK(BM_TrajPlan7S_RestToRestTopSpeed);

void BM_TrajPlan7S_RestToRestBelowTop(benchmark::State& state) {
  timePlans(state, classSet(MoveClass::kRestBelowTop));
}
BENCHMARK(BM_TrajPlan7S_RestToRestBelowTop);

void BM_TrajPlan7S_RunningSpeeds(benchmark::State& state) { timePlans(state, classSet(MoveClass::kRunning)); }
BENCHMARK(BM_TrajPlan7S_RunningSpeeds);

void BM_JointCalc7S(benchmark::State& state) {
  TrajPlanData p = plannedMove();
  double t = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(JointCalc7S(&p, t));
    t += kPeriod;
    if (t > p.tTotal) t = 0;
  }
}
BENCHMARK(BM_JointCalc7S);

void BM_TimeCalc7S(benchmark::State& state) {
  TrajPlanData p = plannedMove();
  double s = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TimeCalc7S(&p, s));
    s += 0.37;
    if (s > p.dist) s = 0;
  }
}
BENCHMARK(BM_TimeCalc7S);

void BM_TrajPlan5S(benchmark::State& state) {
  const std::vector<TrajPlanData> set = randomSet();
  std::size_t i = 0;
  for (auto _ : state) {
    TrajPlanData p = set[i++ % kSetSize];
    TrajPlan5S(&p);
    benchmark::DoNotOptimize(p.tTotal);
  }
}
BENCHMARK(BM_TrajPlan5S);

void BM_TrajPlanCos(benchmark::State& state) {
  const std::vector<TrajPlanData> set = randomSet();
  std::size_t i = 0;
  for (auto _ : state) {
    TrajPlanData p = set[i++ % kSetSize];
    benchmark::DoNotOptimize(TrajPlanCos(&p));
  }
}
BENCHMARK(BM_TrajPlanCos);

// The data server's log callback returns at once; formatting is the kernel's.
void BM_TrajPlanDispatch(benchmark::State& state) {
  core_interface table{};
  table.log = [](const char* text) { benchmark::DoNotOptimize(text); };
  core_interface* saved = gp_core_interface_inst;
  gp_core_interface_inst = &table;
  const std::int32_t savedType = gAccType;
  gAccType = 1;
  const std::vector<TrajPlanData> set = randomSet();
  std::size_t i = 0;
  for (auto _ : state) {
    TrajPlanData p = set[i++ % kSetSize];
    benchmark::DoNotOptimize(TrajPlan(&p));
  }
  gAccType = savedType;
  gp_core_interface_inst = saved;
}
BENCHMARK(BM_TrajPlanDispatch);

}  // namespace

BENCHMARK_MAIN();
