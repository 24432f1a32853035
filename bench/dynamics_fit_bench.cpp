// The dynamics parameter fit on two identification runs of 30,000 samples
// each (the identification buffer's size). Targets: under 10 s per fit and a
// peak resident memory under 256 MiB (reported as peak_rss_MiB). Its console
// lines go to /dev/null while measured, as brevan's go to its FIFO.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "dynamics_fit/arm_reference.h"
#include "dynamics_fit/dynamics_identify.h"

namespace {

using namespace zelor::test::dynamics;

constexpr int kSamples = 30000;

class QuietStdout {
 public:
  QuietStdout() : saved_(dup(STDOUT_FILENO)) {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

void BM_FitTwoFullRuns(benchmark::State& state) {
  char pattern[] = "/tmp/dynamics_fit_bench_XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  const std::string dir = std::string(pattern) + "/";
  std::mt19937 rng(1);
  const ArmParameters arm = randomArm(rng);
  const Excitation first(rng), second(rng);
  const bool written = writeIdentificationFile(dir + "identify1.csv", arm, first, kSamples, 0.0) &&
                       writeIdentificationFile(dir + "identify2.csv", arm, second, kSamples, 0.0);
  bool ok = written;
  for (auto _ : state) {
    QuietStdout quiet;
    zelor::modules::dynamics::DynamicsIdentify fit;
    ok = ok && fit.caculateDynamicParams(dir, dir);
  }
  std::filesystem::remove_all(pattern);
  if (!ok) {
    state.SkipWithError("the fit failed");
    return;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_FitTwoFullRuns)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
