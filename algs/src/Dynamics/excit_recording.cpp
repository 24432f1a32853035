#include "Dynamics/excit_recording.h"

#include <atomic>
#include <cstdint>

#include "common/kernel/core_interface.h"
#include "common/kernel/dynamics_state.h"
#include "common/kernel/motion_state.h"
#include "common/protocol/excit_record.h"

namespace {

constexpr std::uint8_t kExcitRecording = 33;
constexpr std::uint8_t kExcitRestart = 3;
constexpr int kCyclesPerSample = 5;

}  // namespace

void RecordExcitSample(const float* tm) {
  static int cycle = 0;
  static std::uint32_t index = 0;

  ++cycle;
  if (gExcitMode == kExcitRecording && gRobotPrfMode == kPrfExecute) {
    cycle %= kCyclesPerSample;
    // Published and released by the data server's identification work.
    tagExcit6Pos* const buffer = std::atomic_ref<tagExcit6Pos*>(g_tagExcit_6Pos).load(std::memory_order_acquire);
    if (cycle == 0 && buffer != nullptr && index < kExcitRecordCapacity) {
      tagExcit6Pos& record = buffer[index];
      for (int j = 0; j < 4; ++j) {
        record.q[j] = gDynamicInfo.q[j];
        record.torque[j] = tm[j];
        record.zero[j] = 0;
      }
      // The size counts the records written.
      std::atomic_ref<std::uint32_t>(g_tagExcit_6Pos_size).store(index + 1, std::memory_order_release);
      ++index;
    }
  } else if (gExcitMode == kExcitRestart && gRobotPrfMode == kPrfExecute) {
    index = 0;
    KernelLog("gExcitMode : %d \r\n", gExcitMode);
    cycle %= kCyclesPerSample;
  } else {
    cycle %= kCyclesPerSample;
  }
}
