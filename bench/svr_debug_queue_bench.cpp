// The kernel's debug line hand-over, DebugSubProcess::debug(), with an empty
// queue and with a full one, beside a bare msgsnd(IPC_NOWAIT) of the same
// 264-byte message on a queue of the same limit as the baseline.
// Target: p50 of each case <= 1.5 x the baseline's p50; no call waits (every
// full-queue call returns -1 with EAGAIN). Figures go to stderr as well.
#include <sys/ipc.h>
#include <sys/msg.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include <benchmark/benchmark.h>

#include "subProcess/debug/debug_sub_process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSamples = 20000;
constexpr int kSize = 50;
constexpr const char* kLine = "Command OnSpeedFactorParams executed(read) ... sysParams->speedFactorRatio: 100.000000 \r\n";

struct Message {
  long type;
  char text[DebugSubProcess::kLineBytes];
};

struct Figures {
  double p50 = 0, p99 = 0, max = 0;
};

Figures figures(std::vector<double> ns) {
  std::sort(ns.begin(), ns.end());
  Figures f;
  f.p50 = ns[ns.size() / 2];
  f.p99 = ns[ns.size() * 99 / 100];
  f.max = ns.back();
  return f;
}

// Times call kSamples times; between calls (untimed) runs between.
std::vector<double> sample(const std::function<int()>& call, const std::function<void()>& between) {
  std::vector<double> ns;
  ns.reserve(kSamples);
  for (int i = 0; i < kSamples; ++i) {
    const auto begin = Clock::now();
    benchmark::DoNotOptimize(call());
    ns.push_back(std::chrono::duration<double, std::nano>(Clock::now() - begin).count());
    between();
  }
  return ns;
}

void drain(int queue) {
  Message m;
  while (msgrcv(queue, &m, sizeof m.text, 0, IPC_NOWAIT | MSG_NOERROR) >= 0) {
  }
}

void report(benchmark::State& state, const char* name, const Figures& f, const Figures& base) {
  const double ratio = f.p50 / base.p50;
  state.counters[std::string(name) + "_p50_ns"] = f.p50;
  state.counters[std::string(name) + "_p99_ns"] = f.p99;
  state.counters[std::string(name) + "_max_ns"] = f.max;
  std::fprintf(stderr, "%-10s p50=%.0f ns p99=%.0f ns max=%.0f ns  p50/baseline=%.2f %s\n", name, f.p50, f.p99, f.max,
               ratio, ratio <= 1.5 ? "(target met)" : "(TARGET MISSED)");
}

void BM_DebugLine(benchmark::State& state) {
  for (auto _ : state) {
    DebugSubProcess debug(11000, kSize);
    const int debugQueue = msgget(DebugSubProcess::kQueueKey, 0);
    const int baseQueue = msgget(IPC_PRIVATE, IPC_CREAT | 0600);
    msqid_ds info{};
    msgctl(baseQueue, IPC_STAT, &info);
    info.msg_qbytes = kSize * DebugSubProcess::kLineBytes;
    msgctl(baseQueue, IPC_SET, &info);

    Message message{1, {}};
    std::strncpy(message.text, kLine, sizeof message.text);
    const auto base = figures(sample([&] { return msgsnd(baseQueue, &message, sizeof message.text, IPC_NOWAIT); },
                                     [&] { drain(baseQueue); }));
    const auto empty = figures(sample([&] { return debug.debug(kLine); }, [&] { drain(debugQueue); }));

    while (debug.debug(kLine) == 0) {
    }
    int waited = 0;
    const auto full = figures(sample(
        [&] {
          const int rc = debug.debug(kLine);
          if (rc != -1 || errno != EAGAIN) ++waited;
          return rc;
        },
        [] {}));

    std::fprintf(stderr, "debug line hand-over, %d samples each:\n", kSamples);
    std::fprintf(stderr, "%-10s p50=%.0f ns p99=%.0f ns max=%.0f ns\n", "baseline", base.p50, base.p99, base.max);
    report(state, "empty", empty, base);
    report(state, "full", full, base);
    std::fprintf(stderr, "full-queue calls that did not return -1/EAGAIN: %d\n", waited);
    state.counters["baseline_p50_ns"] = base.p50;
    state.counters["full_not_eagain"] = waited;
    msgctl(baseQueue, IPC_RMID, nullptr);
  }
}

}  // namespace

BENCHMARK(BM_DebugLine)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
