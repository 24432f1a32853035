// One pass of the remote control's engines: seven configured capture
// channels plus seven forced status outputs on bytes in ordinary memory, no
// channel firing. The engines poll every 4 ms; the target is p50 below 20 µs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "remote_control/capture_channel.h"
#include "remote_control/status_output.h"

namespace {

constexpr int kChannels = 7;

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto at = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1));
  return v[at];
}

struct Rig {
  Rig() {
    for (int i = 0; i < kChannels; ++i) {
      inputChannelCfg in;
      in.inputType = statusIutput_U8;
      in.captureType = CaptureRaising;
      in.src = &inputs[i];
      in.dst = &requests[i];
      in.lastVal = 0;
      captures.push_back(std::make_unique<CaptureOneChannel>(&in));
      tagoutputChannelCfg out;
      out.outputType = statusOutput_U8;
      out.src = &status[i];
      out.dst = &outputs[i];
      out.force = 1;
      outs.push_back(std::make_unique<statusOutput>(&out));
    }
    pass();  // the first pass logs the forced channels once
  }
  void pass() {
    for (auto& c : captures) c->CaptureStatus();
    for (auto& o : outs) o->OutputVal();
  }
  std::uint8_t inputs[kChannels] = {};
  std::int32_t requests[kChannels] = {};
  std::int32_t status[kChannels] = {};
  std::uint8_t outputs[kChannels] = {};
  std::vector<std::unique_ptr<CaptureOneChannel>> captures;
  std::vector<std::unique_ptr<statusOutput>> outs;
};

void BM_RemoteControlPass(benchmark::State& state) {
  static Rig rig;
  std::vector<double> us;
  us.reserve(1 << 20);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    rig.pass();
    const auto end = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(rig.outputs[0]);
    if (us.size() < us.capacity()) us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
  }
  state.counters["p50_us"] = percentile(us, 0.50);
  state.counters["p99_us"] = percentile(us, 0.99);
  state.counters["max_us"] = percentile(us, 1.0);
  std::fprintf(stderr, "remote control pass: p50 %.2f us p99 %.2f us max %.2f us (target: p50 < 20 us)\n",
               percentile(us, 0.50), percentile(us, 0.99), percentile(us, 1.0));
}
BENCHMARK(BM_RemoteControlPass)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
