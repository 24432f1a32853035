// The feedback streams' hot paths: formatting a customised packet with every
// field on (target under 5 us) and broadcasting one 1440-byte packet to ten
// loopback clients (target under 200 us).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "common/util/feedback_formats.h"
#include "realtime_data/realtime_data_formatter.h"
#include "realtime_data/tcp_dispenser.h"

namespace {

using namespace zelor::modules::realTimeData;

void BM_FormatCustomizedEveryFieldOn(benchmark::State& state) {
  tcpipRealTimeDataFormater all{};
  for (const auto& k : zelor::common::util::kFeedbackSwitchKeys) all.*k.flag = true;
  RealTimeData_t record{};
  auto* b = reinterpret_cast<unsigned char*>(&record);
  for (std::size_t i = 0; i < sizeof record; ++i) b[i] = static_cast<unsigned char>(i);
  unsigned char out[2048];
  for (auto _ : state) {
    benchmark::DoNotOptimize(tcpipRealTimeData::Instance().formatCustomizedPackets(all, &record, out));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FormatCustomizedEveryFieldOn);

void BM_Broadcast1440To10Clients(benchmark::State& state) {
  tcpDispenser dispenser;
  if (dispenser.init(0, 10, true) != 0) {
    state.SkipWithError("no port");
    return;
  }
  std::vector<int> fds;
  for (int i = 0; i < 10; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(dispenser.port());
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      state.SkipWithError("connect failed");
      return;
    }
    fds.push_back(fd);
  }
  while (dispenser.clientCount() < 10) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  // The clients drain their sockets as feedback clients do.
  std::atomic<bool> stop{false};
  std::thread drain([&] {
    std::vector<pollfd> polls;
    for (int fd : fds) polls.push_back({fd, POLLIN, 0});
    char buf[65536];
    while (!stop) {
      if (poll(polls.data(), polls.size(), 10) <= 0) continue;
      for (auto& p : polls) {
        if (p.revents & POLLIN) recv(p.fd, buf, sizeof buf, MSG_DONTWAIT);
      }
    }
  });
  std::vector<char> packet(1440, 0x5A);
  for (auto _ : state) {
    benchmark::DoNotOptimize(dispenser.sendMsg(packet.data(), 1440));
  }
  // A client dropped on the way would make later broadcasts cheaper.
  state.counters["clients_left"] = dispenser.clientCount();
  stop = true;
  drain.join();
  for (int fd : fds) close(fd);
}
BENCHMARK(BM_Broadcast1440To10Clients)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
