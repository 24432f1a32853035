// The vision text intake of one camera frame against the conveyor's previous
// frame, every point new and dealt, log lines included (kernel information
// queues open, nobody reading them). Target: a frame of 10 points against 10
// within 2 ms, half a control period; the 100 x 100 figure is printed.
#include <benchmark/benchmark.h>

#include <string>

#include "common/command/command_intake.h"
#include "common/interface/vision_intake.h"
#include "common/kernel/algs_logs.h"
#include "common/kernel/conveyor_state.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/ring_buffer.h"

namespace {

void dropLine(const char* text) { benchmark::DoNotOptimize(text); }
core_interface gCore = [] {
  core_interface c{};
  c.log = dropLine;
  return c;
}();

std::string frameOf(int points) {
  std::string text = "0";
  for (int i = 0; i < points; ++i) {
    // Appended piece by piece: no temporary string made from a literal.
    text += ';';
    text += std::to_string(100 + 37 * i);
    text += ".25,";
    text += std::to_string(80 + 11 * i);
    text += ".5,12.5,";
    text += std::to_string(i);
  }
  return text;
}

void BM_VisionIntake(benchmark::State& state) {
  const int points = static_cast<int>(state.range(0));
  gp_core_interface_inst = &gCore;
  AlgsLogs::Instance().Open();
  InitKernelQueues();
  gRobotId = 1;
  gRobotInLine = 10;
  Conveyor& c = gConveyor[0];
  c.visionMatrix[0] = 0.5f;
  c.visionMatrix[3] = 0.5f;
  c.visionMatrix[6] = 1e-8f;
  c.visionFrame[3] = 0.3f;
  c.conveyorFrame[3] = 0.1f;
  c.triggerDistance = 300.0f;
  c.cameraRepeatDistance = 5.0f;
  c.imageWidth = 1280;
  c.imageHeight = 960;
  const std::string frame = frameOf(points);
  OnTCPCmd(frame.c_str());  // the previous frame
  for (auto _ : state) {
    state.PauseTiming();
    for (int slot = 0; slot < kConveyorRobotSlots; ++slot) RingBufferClear(&gObjDataQueue[0][slot]);
    state.ResumeTiming();
    OnTCPCmd(frame.c_str());
  }
  state.counters["pairs"] = points * points;
}
BENCHMARK(BM_VisionIntake)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
