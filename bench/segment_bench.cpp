// One 1 KB frame written and read back on an uncontended channel of segment
// 12: the cost of one message-router exchange, to hold against the 3.9 ms
// status period.
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "common/ipc/key_file.h"
#include "common/transport/segment.h"
#include "install_paths.h"

namespace {

using zelor::common::transport::Segment;

void BM_WriteReadFrame1K(benchmark::State& state) {
  if (!zelor::common::ipc::ensureKeyFile(zelor::paths::kSemKeyFile)) {
    state.SkipWithError("no key file: the installation folder is missing");
    return;
  }
  Segment seg(12);
  constexpr unsigned kPayload = 1024;
  std::vector<uint8_t> frame(kPayload + 2, 0x5A);
  frame[0] = kPayload >> 8;
  frame[1] = kPayload & 0xFF;
  std::vector<uint8_t> out(seg.Conf().GetBlockBufSize());
  for (auto _ : state) {
    seg.Write(20, frame.data(), static_cast<unsigned short>(frame.size()));
    benchmark::DoNotOptimize(seg.Read(20, out.data()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPayload);
}
BENCHMARK(BM_WriteReadFrame1K);

}  // namespace

BENCHMARK_MAIN();
