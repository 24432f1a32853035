// The argument checks a move line goes through, in-process:
// "MovJ(200,0,0,0,SpeedJ=50,AccJ=20,CP=30)" has its four coordinates checked
// as numbers, the digits of its options extracted and its CP option read.
// Target: under 50 us per line. Their console lines go to /dev/null while
// measured, as brevan's go to its FIFO.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/checks/cp_setting.h"

namespace {

using namespace zelor::modules::rpcExecuteApis;

// Points standard output at /dev/null for the object's life.
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

void BM_MovJLineChecks(benchmark::State& state) {
  const Args args = {"200", "0", "0", "0", "SpeedJ=50", "AccJ=20", "CP=30"};
  QuietStdout quiet;
  for (auto _ : state) {
    std::string reply = "0,{},";
    bool ok = isDouble(args, 0, 4, reply);
    for (std::size_t i = 4; i < args.size(); ++i) benchmark::DoNotOptimize(getDigitsFromStr(args[i]));
    CPSetting cp;
    int value = 0;
    ok = cp.getInuputCpValue(&value, args, reply) && ok;
    if (!ok || value != 30) state.SkipWithError("the line did not pass its checks");
    benchmark::DoNotOptimize(reply);
  }
}
BENCHMARK(BM_MovJLineChecks)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
