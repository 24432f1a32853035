#include <cmath>
#include <cstring>

#include "common/interface/vantrel_interface.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/run_data.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr int kVersion[3] = {3, 3, 4};
constexpr double kAtRestSpeed = 1e-5;

// The pose block of the system parameters: x, y, z, r, then joints 1-4.
void poseBlock(double (&values)[8]) {
  static_assert(offsetof(tagSysParams, joint) == offsetof(tagSysParams, pose) + sizeof(WCSPosition));
  std::memcpy(values, reinterpret_cast<const std::uint8_t*>(&gSysParams) + offsetof(tagSysParams, pose),
              sizeof values);
}

}  // namespace

void vantrel_get_pose(float out[8]) {
  double values[8];
  poseBlock(values);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<float>(values[i]);
}

void vantrel_get_armOrientation(int* out) {
  double values[8];
  poseBlock(values);
  *out = values[5] >= 0.0 ? 1 : 0;
}

void vantrel_get_version(int* major, int* minor, int* patch) {
  *major = kVersion[0];
  *minor = kVersion[1];
  *patch = kVersion[2];
}

void vantrel_get_alarms(std::uint8_t out[32]) { std::memcpy(out, gAlarmSysState, kAlarmMapBytes); }

void vantrel_clear_alarm_by_index(unsigned index) {
  if (index < 256) AlarmSysSetBit(index, false);
}

void vantrel_get_AlgsTime(int* maxUs, float* averageUs) {
  if (maxUs == nullptr || averageUs == nullptr) return;
  *maxUs = gAlgsMaxTime;
  *averageUs = gAveAlgsTime;
}

void vantrel_get_stepin_enable(std::uint8_t* out) {
  *out = gPackedCmdQueue.isEmpty != 0 && gPreDealDataQueue.isEmpty != 0 && gCmdFinishFlag != 0 ? 1 : 0;
}

void vantrel_get_ready_status(std::uint8_t* out) {
  // The alarm check always runs, so its last-seen copy and lines do not depend
  // on the other conditions.
  const int alarmed = AlarmSysCheck();
  const std::uint8_t ready = gSysParams.runQueuedCmd == 0 && alarmed == 0 && gCmdFinishFlag != 0 ? 1 : 0;
  *out = ready;
  // Called under the host's kernel-call lock: the status line goes through
  // the log callback, which only copies it, never straight to a stream.
  KernelLog("ready_status %d : gSysParams.runQueuedCmd%d,AlarmSysCheckAll()%d,gCmdFinishFlag%d,gRobotPrfMode:%d\r\n",
            ready, gSysParams.runQueuedCmd, AlarmSysCheck(), gCmdFinishFlag, gRobotPrfMode);
}

void vantrel_get_stop_status(std::uint8_t* out) {
  bool atRest = true;
  for (double speed : gRobotAxisMove.nextVel) atRest = atRest && std::fabs(speed) < kAtRestSpeed;
  *out = atRest ? 1 : 0;
}

void vantrel_get_run_data(void* out) { std::memcpy(out, &gAlgsRunData, sizeof gAlgsRunData); }
