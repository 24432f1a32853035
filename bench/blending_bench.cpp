// Blend set-up and the per-period blend set point, and evaluation of an arc
// record. Targets: getBlendingSeg at most 300 µs (line-line, line-arc);
// getCartPos at most 50 µs per period for ordinary blends and at most 1 ms in
// the worst period of a sharp arc-arc blend; arc position, tangent and
// curvature together at most 0.2 µs.
#include <chrono>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include <benchmark/benchmark.h>

#include "PTP/path/blending.h"
#include "PTP/path/path.h"
#include "common/kernel/kernel_state.h"

namespace {

MotionCmd moveCmd(std::int32_t kind, std::initializer_list<double> start, std::initializer_list<double> middle,
                  std::initializer_list<double> end) {
  MotionCmd cmd;
  std::memset(&cmd, 0, sizeof cmd);
  cmd.kind = kind;
  std::copy(start.begin(), start.end(), cmd.start);
  std::copy(middle.begin(), middle.end(), cmd.middle);
  std::copy(end.begin(), end.end(), cmd.end);
  const double lin[4] = {500, 5000, 5000, 50000};
  const double rot[4] = {360, 3600, 3600, 36000};
  std::copy(lin, lin + 4, cmd.linear);
  std::copy(rot, rot + 4, cmd.rotation);
  return cmd;
}

PathInfo path(std::int32_t kind, std::initializer_list<double> start, std::initializer_list<double> middle,
              std::initializer_list<double> end) {
  PathInfo p;
  std::memset(&p, 0, sizeof p);
  getPath(moveCmd(kind, start, middle, end), p);
  return p;
}

struct Corner {
  PathInfo first;
  PathInfo second;
  double d;
};

Corner lineLine() {
  return {path(kPathLine, {0, 0, 0, 0}, {}, {100, 0, 0, 0}), path(kPathLine, {100, 0, 0, 0}, {}, {100, 40, 0, 30}),
          50.0};
}

Corner lineArc() {
  return {path(kPathLine, {0, 0, 0, 0}, {}, {100, 0, 0, 0}),
          path(kPathArc, {100, 0, 0, 0}, {150, 50, 0, 0}, {100, 100, 0, 45}), 30.0};
}

// Two small arcs meeting almost head-on: the curve folds tightly and its
// arc-length steps need the most refinement.
Corner sharpArcArc() {
  return {path(kPathArc, {0, 0, 0, 0}, {5, 5, 0, 0}, {10, 0, 0, 0}),
          path(kPathArc, {10, 0, 0, 0}, {8, 3, 0, 10}, {4, 0.5, 0, 20}), 10.0};
}

// Two semicircles of 1 mm meeting at a cusp: the first ends heading -y, the
// second starts heading almost +y.
Corner cuspArcArc() {
  return {path(kPathArc, {0, 0, 0, 0}, {1, 1, 0, 0}, {2, 0, 0, 0}),
          path(kPathArc, {2, 0, 0, 0}, {2.5, 0.9, 0, 0}, {3, 0, 0, 0}), 10.0};
}

void BM_getBlendingSeg(benchmark::State& state, Corner (*make)()) {
  gPeriodTime = 0.004;
  const Corner corner = make();
  Blending b;
  for (auto _ : state) {
    PathInfo first = corner.first;
    PathInfo second = corner.second;
    b.getBlendingSeg(first, second, corner.d, 0.0);
    benchmark::DoNotOptimize(first);
    benchmark::DoNotOptimize(second);
  }
  state.counters["blendTime_s"] = b.getAllTime();
}
BENCHMARK_CAPTURE(BM_getBlendingSeg, LineLine, lineLine)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_getBlendingSeg, LineArc, lineArc)->Unit(benchmark::kMicrosecond);

Blending planned(Corner (*make)()) {
  gPeriodTime = 0.004;
  Corner corner = make();
  Blending b;
  b.getBlendingSeg(corner.first, corner.second, corner.d, 0.0);
  return b;
}

// Every period of the blend in turn, as the kernel runs it.
void BM_getCartPosPeriods(benchmark::State& state, Corner (*make)()) {
  Blending b = planned(make);
  const int periods = static_cast<int>(std::floor(b.getAllTime() / 0.004 + 0.5));
  if (periods < 1) {
    state.SkipWithError("corner did not blend");
    return;
  }
  int k = 0;
  double out[6];
  for (auto _ : state) {
    k = k % periods + 1;
    b.getCartPos(k * 0.004, out);
    benchmark::DoNotOptimize(out);
  }
  state.counters["periods"] = periods;
}
BENCHMARK_CAPTURE(BM_getCartPosPeriods, LineLine, lineLine)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_getCartPosPeriods, LineArc, lineArc)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_getCartPosPeriods, SharpArcArc, sharpArcArc)->Unit(benchmark::kMicrosecond);

// The slowest single period of a blend, found by timing each once, then
// repeated from the same last parameter.
void BM_getCartPosWorstPeriod(benchmark::State& state, Corner (*make)()) {
  Blending b = planned(make);
  const int periods = static_cast<int>(std::floor(b.getAllTime() / 0.004 + 0.5));
  if (periods < 1) {
    state.SkipWithError("corner did not blend");
    return;
  }
  double out[6];
  int worst = 1;
  double worstLastU = 0.0;
  double worstTime = -1.0;
  for (int pass = 0; pass < 3; ++pass) {
    b.initLastU();
    for (int k = 1; k <= periods; ++k) {
      const double lastU = b.lastU;
      const auto t0 = std::chrono::steady_clock::now();
      b.getCartPos(k * 0.004, out);
      const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      if (took > worstTime) {
        worstTime = took;
        worst = k;
        worstLastU = lastU;
      }
    }
  }
  for (auto _ : state) {
    b.lastU = worstLastU;
    b.getCartPos(worst * 0.004, out);
    benchmark::DoNotOptimize(out);
  }
  state.counters["period"] = worst;
}
BENCHMARK_CAPTURE(BM_getCartPosWorstPeriod, LineArc, lineArc)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_getCartPosWorstPeriod, SharpArcArc, sharpArcArc)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_getCartPosWorstPeriod, CuspArcArc, cuspArcArc)->Unit(benchmark::kMicrosecond);

void BM_ArcEvaluation(benchmark::State& state) {
  const PathInfo p = path(kPathArc, {100, 0, 0, 0}, {150, 50, 0, 0}, {100, 100, 0, 45});
  double pos[6], tangent[6], curvature[6];
  double u = 0.0;
  for (auto _ : state) {
    getPos(p, u, pos);
    getTangent(u, tangent, p);
    getCurvature(u, curvature, p);
    benchmark::DoNotOptimize(pos);
    benchmark::DoNotOptimize(tangent);
    benchmark::DoNotOptimize(curvature);
    u = u < 1.0 ? u + 0.001 : 0.0;
  }
}
BENCHMARK(BM_ArcEvaluation);

}  // namespace

BENCHMARK_MAIN();
