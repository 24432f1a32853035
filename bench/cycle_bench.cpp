// Cost of one control cycle (vantrel_run) on the simulated axes group,
// against the 4 ms period: one CLOCK_MONOTONIC sample per cycle, 100,000
// cycles per scenario, log lines copied into a fixed ring. Reports median,
// p99, p99.9 and maximum beside the kernel's own gAlgsMaxTime/gAveAlgsTime,
// and the alarms set during the run (a scenario that stops on an alarm no
// longer measures what it names).

#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/sem.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "axes_drive/sim_axes_group.h"
#include "common/cycle/vantrel_cycle.h"
#include "common/kernel/alarms.h"
#include "common/kernel/axes_group.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/command/conveyor_object_handlers.h"
#include "common/kernel/conveyor_state.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/kinematics.h"
#include "common/links/exter_axis_rtu.h"
#include "common/plugin/plugin_base.h"
#include "support/fake_slide_driver.h"
#include "support/fixed_core.h"
#include "support/robot_param_fixture.h"

namespace {

using zelor::test::FixedCore;

constexpr int kCycles = 100000;

Packet Built(const std::function<Packet*(PluginBase&)>& build) {
  struct Capture : PluginBase {
    Packet packet{};
    int processTranslate(Packet* p) override {
      PluginBase::processTranslate(p);
      std::memcpy(&packet, p, sizeof packet);
      return 1;
    }
  } capture;
  capture.freePluginPacket(build(capture));
  return capture.packet;
}

WCSPosition PoseOf(const JointTheta& joints) {
  WCSPosition pose;
  ForwardCal(&joints, &pose);
  return pose;
}

tagARCPoint Point(const JointTheta& joints) {
  const WCSPosition p = PoseOf(joints);
  return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z), static_cast<float>(p.r)};
}

struct Kernel {
  FixedCore core;
  std::unique_ptr<AxesGroupRef> record = std::make_unique<AxesGroupRef>();
  std::unique_ptr<zelor::sim::SimAxesGroup> sim;
  alignas(8) RobotParamBlock block = zelor::test::FixtureParamBlock();

  Kernel() {
    std::memset(record.get(), 0, sizeof(AxesGroupRef));
    sim = std::make_unique<zelor::sim::SimAxesGroup>(*record);
    static bool initialised = false;
    if (!initialised) {
      vantrel_init(record.get(), gp_core_interface_inst);
      initialised = true;
    }
    // Each scenario runs on its own record.
    robotAxesGroup = record.get();
  }
  ~Kernel() { robotAxesGroup = nullptr; }
  void Load() {
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
    vantrel_init_params(&block);
    ResetTimeStatistics();
    // Nothing queued by the scenario before carries over into this one.
    Post(Built([](PluginBase& c) { return c.alloc_SetQueuedCmdStopExec(); }));
    Post(Built([](PluginBase& c) { return c.alloc_SetQueuedCmdClear(); }));
  }
  void Post(const Packet& p) { core.post(p); }
  void Step() {
    sim->Step();
    vantrel_run();
  }
  void Enable() {
    gHandTeachFlag = 0;
    for (int i = 0; i < 60; ++i) Step();
  }
};

// The program of the queued scenarios, with transition 50 and a speed-ratio
// change in its middle; it ends where it starts.
void PostProgram(Kernel& k, bool slow) {
  const WCSPosition a = PoseOf({20.0, 70.0, 80.0, 10.0});
  const WCSPosition b = PoseOf({-10.0, 100.0, 120.0, -20.0});
  const tagPTPCmd moveJ{1, static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z),
                        static_cast<float>(a.r)};
  const tagPTPCmd moveL{2, static_cast<float>(b.x), static_cast<float>(b.y), static_cast<float>(b.z),
                        static_cast<float>(b.r)};
  const tagARCCmd arc{Point({5.0, 95.0, 110.0, 0.0}), Point({0.0, 90.0, 100.0, 0.0})};
  const tagCircleCmd circle{Point({10.0, 80.0, 100.0, 0.0}), Point({-5.0, 85.0, 100.0, 0.0}), 1};
  k.Post(Built([&](PluginBase& c) { return c.alloc_SetPTPCmd(&moveJ, 1); }));
  k.Post(Built([&](PluginBase& c) { return c.alloc_SetPTPCmd(&moveL, 1); }));
  k.Post(Built([&](PluginBase& c) { return c.alloc_SetSpeedFactorParams(slow ? 60 : 100, false); }));
  k.Post(Built([&](PluginBase& c) { return c.alloc_SetARCCmd(&arc, 1); }));
  k.Post(Built([&](PluginBase& c) { return c.alloc_SetCircleCmd(&circle, 1); }));
}

// The cycle runs at a real-time priority where the system allows it, as the
// host runs it; other load on the machine then does not preempt it. It rests
// briefly every few cycles (outside the timing) so that the system's limit
// on real-time CPU time is never reached, which would stall it far longer.
bool gRealTime = false;
constexpr int kRestEvery = 10;
constexpr long kRestNs = 50000;

bool MakeRealTime() {
  sched_param rt{};
  rt.sched_priority = 50;
  return pthread_setschedparam(pthread_self(), SCHED_FIFO, &rt) == 0;
}

void Report(benchmark::State& state, std::vector<double>& us, const Kernel& k) {
  std::sort(us.begin(), us.end());
  const auto at = [&](double q) { return us[static_cast<std::size_t>(q * static_cast<double>(us.size() - 1))]; };
  state.counters["median_us"] = at(0.5);
  state.counters["p99_us"] = at(0.99);
  state.counters["p999_us"] = at(0.999);
  state.counters["max_us"] = us.back();
  state.counters["kernel_max_us"] = gAlgsMaxTime;
  state.counters["kernel_avg_us"] = gAveAlgsTime;
  state.counters["realtime"] = gRealTime ? 1 : 0;
  state.counters["timeout_lines"] = static_cast<double>(k.core.watchedLines());
  state.counters["alarms"] = AlarmSysCheck();
  int first = -1;
  for (unsigned i = 0; i < 8 * sizeof gAlarmSysState && first < 0; ++i) {
    if (AlarmIsSet(i)) first = static_cast<int>(i);
  }
  state.counters["first_alarm"] = first;
}

// Runs `cycles` cycles, timing each; `between` runs before each cycle (outside
// the timing), `inCycle` right after vantrel_run (inside it).
void Measure(benchmark::State& state, Kernel& k, const std::function<void(int)>& between,
             void (*inCycle)() = nullptr) {
  std::vector<double> us;
  us.reserve(kCycles);
  // The kernel's own over-run line, over the measured cycles.
  k.core.watch("elapsed ERR_ALGS_TIMEOUT\r\n");
  for (auto _ : state) {
    for (int n = 0; n < kCycles; ++n) {
      if (gRealTime && n % kRestEvery == 0) {
        const timespec rest{0, kRestNs};
        clock_nanosleep(CLOCK_MONOTONIC, 0, &rest, nullptr);
      }
      between(n);
      k.sim->Step();
      timespec t0, t1;
      clock_gettime(CLOCK_MONOTONIC, &t0);
      vantrel_run();
      if (inCycle != nullptr) inCycle();
      clock_gettime(CLOCK_MONOTONIC, &t1);
      us.push_back(static_cast<double>(t1.tv_sec - t0.tv_sec) * 1e6 +
                   static_cast<double>(t1.tv_nsec - t0.tv_nsec) / 1e3);
    }
  }
  Report(state, us, k);
}

void BM_IdleEnabled(benchmark::State& state) {
  Kernel k;
  k.Load();
  k.Enable();
  Measure(state, k, [](int) {});
}

// The bench runs with a /tmp of its own (see main), so the slide-rail
// driver's online marker can be put in place without touching the host's.
bool gPrivateTmp = false;

bool MakePrivateTmp() {
  return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777") == 0;
}

// A slide-rail driver that stalled while it held its status semaphore, for
// the whole run: this program started again (a fork's copy-on-write faults
// would slow the cycles measured after it), which takes the semaphore, says
// so through a pipe and waits to be killed.
constexpr const char* kDriverReadyEnv = "ZELOR_BENCH_STALLED_DRIVER_READY_FD";

[[noreturn]] void RunStalledDriver(int ready) {
  zelor::test::FakeSlideDriver driver;
  sembuf take{0, -1, SEM_UNDO};
  const char held = driver.opened() && semop(driver.semaphoreId(), &take, 1) == 0 ? 1 : 0;
  if (write(ready, &held, 1) != 1) _exit(1);
  for (;;) pause();
}

class StalledSlideDriver {
 public:
  StalledSlideDriver() {
    int ready[2];
    if (pipe(ready) != 0) return;
    const std::string readyVar = std::string(kDriverReadyEnv) + "=" + std::to_string(ready[1]);
    char self[] = "/proc/self/exe";
    char* argv[] = {self, nullptr};
    char* envp[] = {const_cast<char*>(readyVar.c_str()), nullptr};
    if (posix_spawn(&pid_, self, nullptr, nullptr, argv, envp) != 0) pid_ = -1;
    close(ready[1]);
    char held = 0;
    held_ = pid_ > 0 && read(ready[0], &held, 1) == 1 && held == 1;
    close(ready[0]);
  }
  ~StalledSlideDriver() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  StalledSlideDriver(const StalledSlideDriver&) = delete;
  StalledSlideDriver& operator=(const StalledSlideDriver&) = delete;
  bool held() const { return held_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

// Every status getter of the link, as the cycle's external-axis handlers call them.
void ReadSlideStatus() {
  float position = 0.0f;
  bool flag = false;
  std::uint16_t alarm[2] = {};
  int ready = 0;
  std::uint32_t index = 0;
  ExterAxisRTU::getPosition(&position);
  ExterAxisRTU::getStopState(&flag);
  ExterAxisRTU::getAlarm(alarm);
  ExterAxisRTU::getReady(&ready);
  ExterAxisRTU::getCmdIndex(&index);
  ExterAxisRTU::getCmdAllDone(&flag);
}

bool SlideDriverOnline() {
  zelor::test::FakeSlideDriver::setOnline(true);
  for (int i = 0; i < 100; ++i) {
    if (ExterAxisRTU::exterAxisRTU::instance().driverOnline()) return true;
    usleep(10000);
  }
  return false;
}

void QueuedProgram(benchmark::State& state, bool trueMotion, bool dynamicOptimal,
                   void (*inCycle)() = nullptr) {
  Kernel k;
  k.block.inputShapingFreq = 8;
  k.block.inputShapingDamp = 0.1;
  k.block.usingTrueMotion = trueMotion ? 1 : 0;
  k.block.dynamicOptimal = dynamicOptimal ? 1 : 0;
  k.Load();
  k.Enable();
  k.Post(Built([](PluginBase& c) { return c.alloc_SetArmOrientation(1, 0); }));
  k.Post(Built([](PluginBase& c) { return c.alloc_SetTransitionCmd(50, false); }));
  k.Post(Built([](PluginBase& c) { return c.alloc_SetQueuedCmdStartExec(); }));
  k.Step();
  bool slow = false;
  Measure(state, k, [&](int) {
    if (gPackedCmdQueue.count < 2 && k.core.pending() == 0) {
      if (gSysParams.runQueuedCmd == 0) k.Post(Built([](PluginBase& c) { return c.alloc_SetQueuedCmdStartExec(); }));
      PostProgram(k, slow);
      slow = !slow;
    }
  }, inCycle);
}

void BM_QueuedProgram(benchmark::State& state) { QueuedProgram(state, false, false); }
void BM_QueuedProgramTrueMotion(benchmark::State& state) { QueuedProgram(state, true, false); }
void BM_QueuedProgramTrueMotionDynamicOptimal(benchmark::State& state) { QueuedProgram(state, true, true); }

// The plain program with the slide-rail driver online but stalled, holding its
// status semaphore throughout: each sample is the cycle and every status
// getter, which must answer from the last status without waiting.
void BM_QueuedProgramStalledSlideDriver(benchmark::State& state) {
  if (!gPrivateTmp) {
    state.SkipWithError("no private /tmp for the driver's online marker (needs root)");
    return;
  }
  if (!SlideDriverOnline()) {
    state.SkipWithError("the slide-rail link does not see its driver");
    return;
  }
  StalledSlideDriver driver;
  if (!driver.held()) {
    state.SkipWithError("the stand-in driver could not take the status semaphore");
    return;
  }
  const std::uint32_t missesBefore = ExterAxisRTU::exterAxisRTU::instance().statusMisses();
  QueuedProgram(state, false, false, &ReadSlideStatus);
  state.counters["status_misses"] = ExterAxisRTU::exterAxisRTU::instance().statusMisses() - missesBefore;
}

void BM_CartesianJog(benchmark::State& state) {
  Kernel k;
  k.Load();
  k.Enable();
  // x+ and x- in turns, each held for 250 cycles; a jog is refused while the
  // arm still moves, so the next one starts once the last has come to rest.
  int held = 0;
  bool plus = true;
  Measure(state, k, [&](int) {
    if (held == 0 && gRobotPrfMode != kPrfIdle) return;
    if (held == 0) {
      const tagJOGCmd jog{0, static_cast<std::uint8_t>(plus ? 1 : 2)};
      k.Post(Built([&](PluginBase& c) { return c.alloc_SetJOGCmd(&jog, 0); }));
      plus = !plus;
    }
    if (++held == 250) {
      const tagJOGCmd release{0, 0};
      k.Post(Built([&](PluginBase& c) { return c.alloc_SetJOGCmd(&release, 0); }));
      held = 0;
    }
  });
}

// A linear move that tracks an object on a running conveyor (50 mm/s), then
// the conveyor stop and a plain line back, over and over. The bus that
// hands objects between robots has no master here, so each round puts this
// robot's next object in place itself, 10 mm past its capture.
void BM_ConveyorTrackingLine(benchmark::State& state) {
  constexpr float kCountsPerMm = 10.0f;
  Kernel k;
  k.Load();
  k.sim->SetConveyorRamp(0, 2);
  Conveyor conveyor{};
  conveyor.conveyorIndex = 0;
  conveyor.dataSource = 0;
  conveyor.encoderResolution = kCountsPerMm;
  conveyor.workArea[0] = 0.0f;
  conveyor.workArea[1] = 1.0e6f;
  conveyor.workArea[2] = 1.0e6f;
  k.Post(Built([&](PluginBase& c) { return c.alloc_SetConveyorParams(&conveyor, false); }));
  k.Enable();
  k.Post(Built([](PluginBase& c) { return c.alloc_SetArmOrientation(1, 0); }));
  k.Post(Built([](PluginBase& c) { return c.alloc_SetQueuedCmdStartExec(); }));
  k.Step();
  const WCSPosition home = PoseOf({0.0, 90.0, 100.0, 0.0});
  const tagPTPCmd back{2, static_cast<float>(home.x), static_cast<float>(home.y), static_cast<float>(home.z),
                       static_cast<float>(home.r)};
  // The target in the object's frame: the object sits at the conveyor frame's
  // origin, which here is the base's.
  const tagPTPCmd onObject{2, static_cast<float>(home.x) + 20.0f, static_cast<float>(home.y) - 30.0f,
                           static_cast<float>(home.z) - 20.0f, static_cast<float>(home.r)};
  const stConveyorObj request{0, 0, {0, 0}, 0.0f, 0.0f, 0.0f};
  const unsigned char conveyorNumber = 0;
  long rounds = 0;
  bool tracked = false;
  Measure(state, k, [&](int) {
    if (gPackedCmdQueue.count != 0 || k.core.pending() != 0 || gPreDealDataQueue.isEmpty == 0 ||
        gCmdFinishFlag == 0 || gRobotPrfMode == kPrfConveyorStop) {
      return;
    }
    if (gSysParams.runQueuedCmd == 0) k.Post(Built([](PluginBase& c) { return c.alloc_SetQueuedCmdStartExec(); }));
    // The move back is queued once the conveyor stop has ended: planned
    // earlier, it would start from where the tracked move was planned to end.
    if (tracked) {
      k.Post(Built([&](PluginBase& c) { return c.alloc_SetPTPCmd(&back, 1); }));
      tracked = false;
      return;
    }
    tracked = true;
    gNextCnvObject[0] = {};
    gNextCnvObject[0].encCount = static_cast<float>(gCurrentEncoder[0].position - 10.0 * kCountsPerMm);
    gNextCnvObject[0].available = 1;
    k.Post(Built([&](PluginBase& c) { return c.alloc_GetCnvObject(&request, false); }));
    k.Post(Built([&](PluginBase& c) { return c.alloc_syncCnv(&conveyorNumber, true); }));
    k.Post(Built([&](PluginBase& c) { return c.alloc_SetPTPCmd(&onObject, 1); }));
    k.Post(Built([](PluginBase& c) { return c.alloc_stopsyncCnv(true); }));
    ++rounds;
  });
  state.counters["rounds"] = static_cast<double>(rounds);
  state.counters["objects_taken"] = triggerCount;
}

void BM_ThreePacketsPerCycle(benchmark::State& state) {
  Kernel k;
  k.Load();
  k.Enable();
  const Packet read = Built([](PluginBase& c) { return c.alloc_GetSpeedFactorParams(); });
  Measure(state, k, [&](int) {
    for (int i = 0; i < 3; ++i) k.Post(read);
  });
}

BENCHMARK(BM_IdleEnabled)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueuedProgram)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueuedProgramTrueMotion)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueuedProgramTrueMotionDynamicOptimal)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueuedProgramStalledSlideDriver)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CartesianJog)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConveyorTrackingLine)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreePacketsPerCycle)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (const char* ready = std::getenv(kDriverReadyEnv)) RunStalledDriver(std::atoi(ready));
  // Before the kernel starts any thread, so that all of them share the mount.
  gPrivateTmp = MakePrivateTmp();
  gRealTime = MakeRealTime();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
