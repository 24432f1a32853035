// Parallel outputs of a move. Targets: ParallelIOControl with 8 outputs <= 50
// ns per cycle; ParallelIOPredeal with 8 outputs (25 log lines formatted) <= 20 µs.
#include <benchmark/benchmark.h>

#include "PTP/planners/parallel_outputs.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

namespace {

void dropLine(const char* text) { benchmark::DoNotOptimize(text); }
core_interface gCore = [] {
  core_interface c{};
  c.log = dropLine;
  return c;
}();

PreDealData entryWithOutputs() {
  gp_core_interface_inst = &gCore;
  gAccType = 1;
  gPeriodTime = 0.004;
  PreDealData e{};
  e.trajPlan.dist = 100.0;
  e.trajPlan.vMax = 200.0;
  e.trajPlan.aMax = 2000.0;
  e.trajPlan.aMaxDec = 2000.0;
  e.trajPlan.jerk = 20000.0;
  e.trajPlan.period = 0.004;
  TrajPlan(&e.trajPlan);
  e.parallel.poFlag = 1;
  e.parallel.count = 8;
  for (int i = 0; i < 8; ++i) {
    e.parallel.outputs[i].type = static_cast<std::uint8_t>(i & 1);
    e.parallel.outputs[i].ratio = static_cast<std::uint8_t>(12 * i);
    e.parallel.outputs[i].distance = -10.0 * i;
    e.parallel.outputs[i].address = static_cast<std::uint16_t>(i + 1);
    e.parallel.outputs[i].level = 1;
  }
  return e;
}

void BM_ParallelIOPredeal(benchmark::State& state) {
  PreDealData e = entryWithOutputs();
  for (auto _ : state) {
    ParallelIOPredeal(&e.trajPlan, &e, 100.0);
    benchmark::DoNotOptimize(e.poTriggerCycles);
  }
}
BENCHMARK(BM_ParallelIOPredeal);

// Eight outputs, none due: the cycle's usual case.
void BM_ParallelIOControl(benchmark::State& state) {
  PreDealData e = entryWithOutputs();
  for (std::uint32_t& c : e.poTriggerCycles) c = 1000000;
  gPauseCmdFlag = 0;
  gPeriodCount = 10;
  for (auto _ : state) {
    ParallelIOControl(&e);
    benchmark::DoNotOptimize(e.parallel.done);
  }
}
BENCHMARK(BM_ParallelIOControl);

}  // namespace

BENCHMARK_MAIN();
