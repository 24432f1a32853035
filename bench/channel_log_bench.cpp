// Cost of one channel-log line: with a reader keeping the queue drained, and
// on a full queue, where the line is dropped without waiting.
#include <sys/ipc.h>
#include <sys/msg.h>

#include <benchmark/benchmark.h>

#include "install_paths.h"
#include "log/ombrel.h"
#include "log_reader/log_queue_reader.h"

namespace {

void BM_LineWithReader(benchmark::State& state) {
  spdlog::ombrel::Instance();
  zelor::sim::drainLogChannel(15);
  const int queue = msgget(ftok(zelor::paths::kLogKeyPath, 15), 0);
  spdlog::LogLine line;
  for (auto _ : state) {
    spdlog::ombrel::basicLog(-16, __LINE__, __func__, spdlog::level::info, "cycle {} axis {:.3f}", 42,
                             1.5);
    state.PauseTiming();
    msgrcv(queue, &line, sizeof line.text, 0, IPC_NOWAIT);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LineWithReader);

void BM_LineOnFullQueue(benchmark::State& state) {
  spdlog::ombrel::Instance();
  for (int i = 0; i < 6; ++i) spdlog::ombrel::basicLog(-16, 1, "fill", spdlog::level::info, "x");
  for (auto _ : state) {
    spdlog::ombrel::basicLog(-16, __LINE__, __func__, spdlog::level::info, "cycle {} axis {:.3f}", 42,
                             1.5);
  }
  zelor::sim::drainLogChannel(15);
}
BENCHMARK(BM_LineOnFullQueue);

}  // namespace

BENCHMARK_MAIN();
