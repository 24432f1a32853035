// Starting (and resuming) queued execution: id 240.
#include <cstdint>
#include <cstring>

#include "PTP/stopping/queue_drops.h"
#include "common/command/command_log.h"
#include "common/command/queued_exec_handlers.h"
#include "common/kernel/alarms.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/ring_buffer.h"
#include "common/kernel/speed_ratio_change.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/kinematics.h"

namespace {

// Input shaping settings of the robot parameter block, as the set-up hands
// them to the shaper: the shaping value (int) and the shaper parameter (double).
constexpr std::size_t kShapingValueAt = 652;
constexpr std::size_t kShapingParamAt = 656;
static_assert(kShapingParamAt + sizeof(double) <= kRobotParamBlockSize);

template <typename T>
T paramBlockValue(std::size_t at) {
  T value;
  std::memcpy(&value, gScaraParams + at, sizeof value);
  return value;
}

// Whether a planned entry (newest first) is a motion still to be executed.
bool motionPlanned() {
  for (std::uint32_t i = gPreDealDataQueue.count; i-- > 0;) {
    std::uint32_t type;
    std::memcpy(&type, RingBufferAt(&gPreDealDataQueue, i) + offsetof(PreDealData, type), sizeof type);
    if (type >= kPackedPTP && type <= kPackedCircle) return true;
  }
  return false;
}

// Planning starts where the arm stands: its joints, no frames, the flange pose.
void planFromCurrentJoints() {
  JointTheta joints;
  std::memcpy(&joints, &gSysParams.joint, sizeof joints);
  gPreDealPos = tagGPose{};
  gPreDealPos.joint = joints;
  W7ForwardCal(&joints, &gPreDealPos.pose);
  gbModifySpeedRatio = 0;
  CMD_LOG("Command OnQueuedCmdStartExec jointAngle%1.3f %1.3f %1.3f %1.3f\r\n", joints.j1, joints.j2, joints.j3,
          joints.j4);
  CMD_LOG(
      "Command OnQueuedCmdStartExec AdvancedFunction gUsingTrueMotion:%d, gDynamicOptimal:%d, gAccType:%d, "
      "gTorqueFeedforward:%d, gInputECP:%d, gInputShapingFreq:%d, gInputShapingDamp:%lf, gInputShaping:%d \r\n",
      gUsingTrueMotion, gDynamicOptimal, gAccType, gTorqueFeedforward, gInputECP,
      paramBlockValue<std::int32_t>(kShapingValueAt), paramBlockValue<double>(kShapingParamAt), gInputShaping);
}

}  // namespace

// A refused start replies as a successful one: clients poll 27, 28 and 246.
std::uint32_t OnQueuedCmdStartExec(tagSysParams* sysParams, std::uint8_t, std::uint8_t*, std::uint32_t& len, bool) {
  len = 0;
  const int alarmed = AlarmSysCheck();
  CMD_LOG("3364:runQueuedCmd:%d, gRobotPrfMode:%d, AlarmSysCheckAll:%d gCmdFinishFlag:%d \r\n",
          sysParams->runQueuedCmd, gRobotPrfMode, alarmed, gCmdFinishFlag);
  if (sysParams->runQueuedCmd != 0 || gRobotPrfMode == kPrfStop) return 0;
  if (AlarmSysCheck() != 0 || gCmdFinishFlag == 0) return 0;

  sysParams->runQueuedCmd = 1;
  ConveyorStopDeal();
  if (gPauseCmdFlag != 0) {
    CMD_LOG("Command OnQueuedCmdStartExec gPauseCmdFlag \r\n");
  } else if (gPreDealDataQueue.count == 0) {
    planFromCurrentJoints();
  } else if (motionPlanned()) {
    // Planned moves continue from where they were planned; their counters stay.
    CMD_LOG("Command OnQueuedCmdStartExec RingBufferIsEmpty == false \r\n");
    return 0;
  }
  gPeriodCount1 = 0;
  gPeriodCount = 0;
  gCollisionPause = 0;
  return 0;
}
