// Cost of one control cycle (vantrel_run) on the simulated axes group,
// against the 4 ms period: one CLOCK_MONOTONIC sample per cycle, 100,000
// cycles per scenario, log lines copied into a fixed ring. Reports median,
// p99, p99.9 and maximum beside the kernel's own gAlgsMaxTime/gAveAlgsTime.

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "axes_drive/sim_axes_group.h"
#include "common/cycle/vantrel_cycle.h"
#include "common/kernel/alarms.h"
#include "common/kernel/axes_group.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/kinematics.h"
#include "common/plugin/plugin_base.h"
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

void Report(benchmark::State& state, std::vector<double>& us) {
  std::sort(us.begin(), us.end());
  const auto at = [&](double q) { return us[static_cast<std::size_t>(q * static_cast<double>(us.size() - 1))]; };
  state.counters["median_us"] = at(0.5);
  state.counters["p99_us"] = at(0.99);
  state.counters["p999_us"] = at(0.999);
  state.counters["max_us"] = us.back();
  state.counters["kernel_max_us"] = gAlgsMaxTime;
  state.counters["kernel_avg_us"] = gAveAlgsTime;
  state.counters["alarms"] = AlarmSysCheck();
}

// Runs `cycles` cycles, timing each; `between` runs before each cycle (outside the timing).
void Measure(benchmark::State& state, Kernel& k, const std::function<void(int)>& between) {
  std::vector<double> us;
  us.reserve(kCycles);
  for (auto _ : state) {
    for (int n = 0; n < kCycles; ++n) {
      between(n);
      k.sim->Step();
      timespec t0, t1;
      clock_gettime(CLOCK_MONOTONIC, &t0);
      vantrel_run();
      clock_gettime(CLOCK_MONOTONIC, &t1);
      us.push_back(static_cast<double>(t1.tv_sec - t0.tv_sec) * 1e6 +
                   static_cast<double>(t1.tv_nsec - t0.tv_nsec) / 1e3);
    }
  }
  Report(state, us);
}

void BM_IdleEnabled(benchmark::State& state) {
  Kernel k;
  k.Load();
  k.Enable();
  Measure(state, k, [](int) {});
}

void QueuedProgram(benchmark::State& state, bool trueMotion, bool dynamicOptimal) {
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
  });
}

void BM_QueuedProgram(benchmark::State& state) { QueuedProgram(state, false, false); }
void BM_QueuedProgramTrueMotion(benchmark::State& state) { QueuedProgram(state, true, false); }
void BM_QueuedProgramTrueMotionDynamicOptimal(benchmark::State& state) { QueuedProgram(state, true, true); }

void BM_CartesianJog(benchmark::State& state) {
  Kernel k;
  k.Load();
  k.Enable();
  Measure(state, k, [&](int n) {
    // x+ and x- in turns, each held for 250 cycles with a release between.
    const int phase = n % 600;
    if (phase == 0 || phase == 250 || phase == 300 || phase == 550) {
      const std::uint8_t cmd = phase == 0 ? 1 : (phase == 300 ? 2 : 0);
      const tagJOGCmd jog{0, cmd};
      k.Post(Built([&](PluginBase& c) { return c.alloc_SetJOGCmd(&jog, 0); }));
    }
  });
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
BENCHMARK(BM_CartesianJog)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreePacketsPerCycle)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
