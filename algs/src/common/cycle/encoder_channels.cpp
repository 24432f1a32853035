#include <sys/time.h>

#include <cmath>

#include "common/command/command_intake.h"
#include "common/cycle/cycle_steps.h"
#include "common/cycle/run_scara.h"
#include "common/kernel/conveyor_state.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/ring_buffer.h"
#include "common/kinematics/conveyor_track_filter.h"

namespace {

constexpr std::uint32_t kCameraBurstCycles = 10;
constexpr std::uint32_t kSensorFilterCycles = 5;
constexpr std::uint8_t kTriggerSensor = 0;
constexpr std::uint8_t kTriggerCamera = 1;
// A resolution this small counts as none: the camera travel would be infinite.
constexpr double kMinResolution = 1e-9;

std::int64_t NowUs() {
  timeval tv;
  gettimeofday(&tv, nullptr);
  return static_cast<std::int64_t>(tv.tv_sec) * 1000000 + tv.tv_usec;
}

bool UsableResolution(double resolution) { return std::isfinite(resolution) && std::fabs(resolution) >= kMinResolution; }

void CameraTrigger(int i, const Conveyor& conveyor, double value) {
  tagSensorState& s = gSensorState[i];
  const double resolution = conveyor.encoderResolution;
  // Without a usable resolution the travel counts as zero: no trigger.
  bool reached = false;
  if (UsableResolution(resolution)) {
    reached = (value - s.lastCaptureValue) / resolution >= static_cast<double>(conveyor.triggerDistance);
  } else if (s.warnedResolution == 0) {
    s.warnedResolution = 1;
    KernelLog("conveyor %d: encoder resolution %f unusable, no camera trigger\r\n", i, resolution);
  }
  const int output = conveyor.cameraTriggerOutput;
  if (output == 0 && s.warnedInput == 0) {
    s.warnedInput = 1;
    KernelLog("conveyor %d: no camera trigger output set\r\n", i);
  }
  if (s.captureCount == 0) {
    if (!reached) return;
    gCurrentEncoder[i].captureValue = value;
    KernelLog("gCurrentEncoder[i].captureCount: %.3f \r\n", value);
    if (output != 0) gPhyDOs[output - 1] = 1;
    gCameraTriggerSendUs = NowUs();
    s.captureCount = 1;
    return;
  }
  if (s.captureCount < kCameraBurstCycles) {
    ++s.captureCount;
    return;
  }
  s.captureCount = 0;
  s.lastCaptureValue = gCurrentEncoder[i].captureValue;
  if (output != 0) gPhyDOs[output - 1] = 0;
}

void SensorCheck(int i, const Conveyor& conveyor, double value) {
  tagSensorState& s = gSensorState[i];
  const int input = conveyor.sensorInput;
  if (input == 0) {
    if (s.warnedInput == 0) {
      s.warnedInput = 1;
      KernelLog("conveyor %d: no sensor input set\r\n", i);
    }
    return;
  }
  const std::uint8_t level = gPhyDIs[input - 1];
  if (s.checkStarted == 0) {
    if (level != 0 && s.lastInput == 0) {
      s.checkStarted = 1;
      s.filterCount = 0;
      s.object[0] = s.object[1] = s.object[2] = 0.0f;
      s.object[3] = static_cast<float>(value);
      KernelLog("sensor trigger %1.3f\r\n", value);
    }
  } else {
    ++s.filterCount;
    if (s.filterCount < kSensorFilterCycles) {
      if (level == 0) {
        s.checkStarted = 0;
        KernelLog("sensor down \r\n");
      }
    } else if (s.filterCount == kSensorFilterCycles) {
      const int slot = gRobotId - 1;
      if (slot >= 0 && slot < kConveyorRobotSlots && gObjDataQueue[i][slot].isFull == 0) {
        MulRobotConveyor::ObjectData obj{};
        obj.x = s.object[0];
        obj.y = s.object[1];
        obj.r = s.object[2];
        obj.encCount = s.object[3];
        obj.available = 1;
        RingBufferEnqueue(&gObjDataQueue[i][slot], &obj);
        KernelLog("sensor enqueue %1.3f %d\r\n", static_cast<double>(obj.encCount),
                  static_cast<int>(gObjDataQueue[i][slot].count));
      }
    } else {
      const double moved = (value - static_cast<double>(s.object[3])) / static_cast<double>(conveyor.encoderResolution);
      if (moved > static_cast<double>(conveyor.sensorRepeatDistance)) {
        s.checkStarted = 0;
        KernelLog("sensor end \r\n");
      }
    }
  }
  s.lastInput = level;
}

}  // namespace

void HandleEncoderReset(AxesGroupRef& g) {
  if (gEncoderResetFlag == 0) return;
  gEncoderResetFlag = 0;
  g.m_EncoderReset[0] = 1;
  g.m_EncoderReset[1] = 1;
  KernelLog("gEncoderResetFlag \r\n");
}

void UpdateEncoderChannels(const AxesGroupRef& g) {
  for (int i = 0; i < kEncoderChannels; ++i) {
    const double raw = i < 2 ? static_cast<double>(g.m_EncoderCount[i]) : 0.0;
    CEncoderFilter& filter = gEncoderFilter[i];
    filter.feed(raw);
    double value = 0.0;
    double velocity = 0.0;
    filter.getFiltered(&value, &velocity);
    gCurrentEncoder[i].position = value;
    gCurrentEncoder[i].velocity = velocity;

    tagSensorState& s = gSensorState[i];
    if (encoder[i].inUse == 0) {
      // The once-per-activation lines come again when the channel is next used.
      s.warnedInput = 0;
      s.warnedResolution = 0;
      continue;
    }
    KernelLog("Encoder active: %d \r\n", i);
    const Conveyor& conveyor = gConveyor[i];
    if (conveyor.dataSource == kTriggerCamera) {
      CameraTrigger(i, conveyor, value);
    } else if (conveyor.dataSource == kTriggerSensor) {
      SensorCheck(i, conveyor, value);
    }
  }
}

void resetLastCaptureEncoderCount() {
  for (int i = 0; i < kEncoderChannels; ++i) {
    gCurrentEncoder[i].captureValue = gCurrentEncoder[i].position;
    gSensorState[i].lastCaptureValue = gCurrentEncoder[i].position;
  }
}
