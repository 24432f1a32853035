// Script requests (id 246) from a client process through the request memory,
// the Lua sub-process and the core's mailbox into the kernel cycling every
// 4 ms, beside the same requests over queues 102/103 as the baseline.
// Target: p50 of the script road <= 1.5 x the baseline's p50; its p99 about
// one cycle plus a 3 ms idle pause, its max the 30 ms pause plus a cycle,
// never the 2 s time-out. Figures go to stderr as well.
#include <signal.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "axes_drive/sim_axes_group.h"
#include "common/ipc/key_file.h"
#include "common/ipc/semlib.h"
#include "common/protocol/queue_message.h"
#include "exchange/packet_exchange.h"
#include "install_paths.h"
#include "subProcess/core/core_sub_process.h"
#include "subProcess/factory_access.h"
#include "support/robot_param_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace ipc = zelor::common::ipc;

constexpr int kRequests = 2000;
constexpr int kClient = 3;
constexpr std::uint16_t kQueueIndexId = 246;
// AA AA, length field 2 (no parameters, framed), id 246, control 0.
constexpr std::uint8_t kQueueIndexPacket[] = {0xAA, 0xAA, 0x02, 0x00, 0xF6, 0x00, 0x00};

struct DataServerRig {
  DataServerRig() : drive(record) {
    factory = new SubProcessFactory();  // lives as long as the exchange thread
    setSubProcessFactory(factory);
    SubProcessParam param;
    param.packet_size = 20;
    param.rtsParam = &record;
    factory->start(ISubProcess::CORE, &param);
    static RobotParamBlock block = zelor::test::FixtureParamBlock();
    factory->interCall(ISubProcess::CORE, 6, &block, nullptr, nullptr);
    factory->start(ISubProcess::LUA, &param);
    cycle = std::thread([this] {
      sched_param rt{};
      rt.sched_priority = 80;
      if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &rt) != 0) {
        std::fprintf(stderr, "script requests: cycling with the normal policy (SCHED_FIFO not permitted)\n");
      }
      auto next = Clock::now();
      while (running) {
        drive.Step();
        factory->interCall(ISubProcess::CORE, 0, &record, nullptr, nullptr);
        next += std::chrono::milliseconds(4);
        std::this_thread::sleep_until(next);
      }
    });
    std::thread(packetExchangeProcess).detach();
  }
  ~DataServerRig() {
    running = false;
    cycle.join();
    factory->stop(ISubProcess::LUA);
  }

  alignas(8) AxesGroupRef record{};
  zelor::sim::SimAxesGroup drive;
  SubProcessFactory* factory;
  std::atomic<bool> running{true};
  std::thread cycle;
};

DataServerRig* rig() {
  static DataServerRig r;
  return &r;
}

struct Figures {
  double p50 = 0, p99 = 0, max = 0;
  int timeouts = 0;
};

Figures report(benchmark::State& state, std::vector<double>& ms, int timeouts, const char* road) {
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) { return ms.empty() ? 0.0 : ms[static_cast<std::size_t>(q * (ms.size() - 1))]; };
  Figures f{at(0.5), at(0.99), ms.empty() ? 0.0 : ms.back(), timeouts};
  state.counters["p50_ms"] = f.p50;
  state.counters["p99_ms"] = f.p99;
  state.counters["max_ms"] = f.max;
  state.counters["timeouts"] = f.timeouts;
  std::fprintf(stderr, "%s: n=%zu p50=%.3f ms p99=%.3f ms max=%.3f ms timeouts=%d\n", road, ms.size(), f.p50, f.p99,
               f.max, f.timeouts);
  return f;
}

Figures gBaseline;

bool haveKeyFile(benchmark::State& state) {
  if (ipc::ensureKeyFile(zelor::paths::kSemKeyFile)) return true;
  state.SkipWithError("no key file: the installation folder is missing");
  return false;
}

// Requests arrive at any point of the cycle: each after a random pause of up
// to one period.
std::chrono::microseconds pause(std::mt19937& random) {
  return std::chrono::microseconds(std::uniform_int_distribution<int>(0, 4000)(random));
}

void BM_QueueRoad(benchmark::State& state) {
  if (!haveKeyFile(state)) return;
  rig();
  const int in = msgget(ftok("/root/", kRequestQueueId), IPC_CREAT | 0666);
  const int out = msgget(ftok("/root/", kReplyQueueId), IPC_CREAT | 0666);
  QueueMessage request{};
  request.mtype = 1;
  std::memcpy(request.body, kQueueIndexPacket, sizeof kQueueIndexPacket);
  QueueMessage reply{};
  std::vector<double> ms;
  int timeouts = 0;
  std::mt19937 random(12345);
  for (auto _ : state) {
    std::this_thread::sleep_for(pause(random));
    const auto begin = Clock::now();
    msgsnd(in, &request, sizeof kQueueIndexPacket, 0);
    msgrcv(out, &reply, kQueueBodySize, 0, MSG_NOERROR);
    const std::chrono::duration<double> took = Clock::now() - begin;
    state.SetIterationTime(took.count());
    ms.push_back(took.count() * 1000.0);
    if (took.count() >= 2.0) ++timeouts;
  }
  gBaseline = report(state, ms, timeouts, "queue road (baseline)");
}
BENCHMARK(BM_QueueRoad)->UseManualTime()->Iterations(kRequests)->Unit(benchmark::kMillisecond);

// The script plug-in's side in its own process: on each byte from `go` it
// sends one request and answers the round trip in seconds (negative: no reply
// or a failure flag).
[[noreturn]] void scriptClient(int go, int done, int semid, semlib_shm* shm) {
  semlib_frame frame{};
  frame.client = kClient;
  frame.commandId = kQueueIndexId;
  frame.length = 8;
  std::memcpy(frame.packet, kQueueIndexPacket, sizeof kQueueIndexPacket);
  const auto* reply =
      reinterpret_cast<const semlib_frame*>(reinterpret_cast<const std::uint8_t*>(shm) + ipc::semlibReplyOffset(kClient));
  char byte;
  while (read(go, &byte, 1) == 1) {
    const auto begin = Clock::now();
    dsem_p(semid, ipc::kSemlibLockSem);
    std::memcpy(&shm->request, &frame, sizeof frame);
    dsem_v(semid, ipc::kSemlibRequestSem);
    dsem_p(semid, ipc::semlibReplySem(kClient));
    std::chrono::duration<double> took = Clock::now() - begin;
    double seconds = took.count();
    if (reply->status != 0) seconds = -seconds;
    if (write(done, &seconds, sizeof seconds) != sizeof seconds) break;
  }
  _exit(0);
}

void BM_ScriptRoad(benchmark::State& state) {
  if (!haveKeyFile(state)) return;
  rig();
  semlib_shm* shm = nullptr;
  const int semid = init_semlib(&shm);
  int go[2], done[2];
  if (pipe(go) != 0 || pipe(done) != 0) {
    state.SkipWithError("no pipes");
    return;
  }
  const pid_t client = fork();
  if (client == 0) {
    close(go[1]);
    close(done[0]);
    scriptClient(go[0], done[1], semid, shm);
  }
  close(go[0]);
  close(done[1]);
  std::vector<double> ms;
  int timeouts = 0;
  int failures = 0;
  std::mt19937 random(12345);
  for (auto _ : state) {
    std::this_thread::sleep_for(pause(random));
    double seconds = 0;
    if (write(go[1], "r", 1) != 1 || read(done[0], &seconds, sizeof seconds) != sizeof seconds) {
      state.SkipWithError("the client process ended");
      break;
    }
    if (seconds < 0) {
      ++failures;
      seconds = -seconds;
    }
    state.SetIterationTime(seconds);
    ms.push_back(seconds * 1000.0);
    if (seconds >= 2.0) ++timeouts;
  }
  close(go[1]);
  close(done[0]);
  waitpid(client, nullptr, 0);
  const Figures f = report(state, ms, timeouts, "script road");
  state.counters["failures"] = failures;
  if (gBaseline.p50 > 0) {
    const double ratio = f.p50 / gBaseline.p50;
    state.counters["p50_ratio"] = ratio;
    std::fprintf(stderr, "script road: p50 %.2f x the queue road's (target <= 1.5), failures=%d\n", ratio, failures);
  }
}
BENCHMARK(BM_ScriptRoad)->UseManualTime()->Iterations(kRequests)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
