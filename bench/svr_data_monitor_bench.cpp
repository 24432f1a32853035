// The data sub-process with the real core and kernel cycling every 4 ms on a
// simulated axes group:
//  - one cyclic monitor call on the host's record (past the hardware stop, so
//    the alarm decision and the per-axis scan run); target under 50 us, and
//    never blocking (the maximum is reported);
//  - GET /properties/axis on one keep-alive connection at 50 requests/s while
//    the kernel cycles; target p99 <= 2 ms.
// It starts the data sub-process on the installation tree, port 12345 and
// fixed IPC keys: run it through tests/harness/isolate.sh, which provides
// them privately; elsewhere it skips.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "subProcess/data/data_sub_process.h"
#include "support/core_rig.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPort = 12345;

int connectLoopback() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(kPort);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

// One request on the connection and its whole reply (headers and the body
// of Content-Length); the status, or -1.
int request(int fd, const std::string& method, const std::string& path, const std::string& body) {
  const std::string text = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n" + body;
  if (send(fd, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size())) return -1;
  std::string reply;
  char buffer[4096];
  for (;;) {
    const std::size_t end = reply.find("\r\n\r\n");
    if (end != std::string::npos) {
      std::size_t length = 0;
      const std::size_t field = reply.find("Content-Length: ");
      if (field != std::string::npos && field < end) length = std::strtoul(reply.c_str() + field + 16, nullptr, 10);
      if (reply.size() >= end + 4 + length) break;
    }
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return -1;
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  return reply.size() > 12 ? std::atoi(reply.c_str() + 9) : -1;
}

// The rig, built once for the program.
struct Rig {
  Rig() {
    rig.startExchange();
    rig.registerCore();
    rig.startCycling();
    SubProcessParam param;
    param.data_port = kPort;
    param.version = "bench";
    rig.factory().start(ISubProcess::DATA, &param);
    for (int i = 0; i < 3000 && fd < 0; ++i) {
      fd = connectLoopback();
      if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Waits until the event loop dispatches (the kernel took its thresholds),
    // then clears the hardware stop so the monitor runs its whole path.
    ready = fd >= 0 && request(fd, "POST", "/interface/hardware", "{\"enable\": false}") == 200;
  }

  zelor::test::CoreRig rig;
  int fd = -1;
  bool ready = false;
};

Rig* rigOrSkip(benchmark::State& state) {
  if (std::getenv("ZELOR_HOST_TOOLS_LOG") == nullptr) {
    state.SkipWithError("needs the private installation tree: run it through tests/harness/isolate.sh");
    return nullptr;
  }
  static Rig rig;
  if (!rig.ready) {
    state.SkipWithError("the data sub-process did not answer on port 12345");
    return nullptr;
  }
  return &rig;
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

void BM_MonitorCall(benchmark::State& state) {
  Rig* rig = rigOrSkip(state);
  if (rig == nullptr) return;
  // The monitor runs on the PLC thread between kernel cycles: no cycle runs
  // beside it here either.
  rig->rig.stopCycling();
  double maxUs = 0.0;
  std::int64_t over = 0;  // calls of 50 us or more: preemption or blocking
  for (auto _ : state) {
    const auto begin = Clock::now();
    rig->rig.factory().interCall(ISubProcess::DATA, 0, &zelor::test::CoreRig::record(), nullptr, nullptr);
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
    maxUs = std::max(maxUs, us);
    if (us >= 50.0) ++over;
  }
  rig->rig.startCycling();
  state.counters["max_us"] = maxUs;
  state.counters["calls_over_50us"] = static_cast<double>(over);
  std::fprintf(stderr, "monitor call: max %.1f us, %lld of %lld calls at 50 us or more (target: under 50 us)\n",
               maxUs, static_cast<long long>(over), static_cast<long long>(state.iterations()));
}
BENCHMARK(BM_MonitorCall)->Unit(benchmark::kMicrosecond);

void BM_GetAxisAt50PerSecond(benchmark::State& state) {
  Rig* rig = rigOrSkip(state);
  if (rig == nullptr) return;
  constexpr int kRequests = 250;  // 5 s at 50 requests/s
  std::vector<double> us;
  int failed = 0;
  for (auto _ : state) {
    us.clear();
    auto next = Clock::now();
    for (int i = 0; i < kRequests; ++i) {
      std::this_thread::sleep_until(next);
      next += std::chrono::milliseconds(20);
      const auto begin = Clock::now();
      const int status = request(rig->fd, "GET", "/properties/axis", "");
      us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
      if (status != 200) ++failed;
    }
  }
  state.counters["p50_us"] = percentile(us, 0.50);
  state.counters["p99_us"] = percentile(us, 0.99);
  state.counters["max_us"] = percentile(us, 1.0);
  state.counters["failed"] = failed;
  std::fprintf(stderr,
               "GET /properties/axis at 50/s: p50 %.0f us p99 %.0f us max %.0f us, %d failed "
               "(target: p99 <= 2000 us)\n",
               percentile(us, 0.50), percentile(us, 0.99), percentile(us, 1.0), failed);
}
BENCHMARK(BM_GetAxisAt50PerSecond)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
