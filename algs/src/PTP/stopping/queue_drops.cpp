#include "PTP/stopping/queue_drops.h"

#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/ring_buffer.h"
#include "common/kernel/sys_params.h"
#include "common/links/mul_robot_conveyor.h"

namespace {

// Trigger kind of the tracked conveyor after a conveyor stop.
constexpr std::uint8_t kStoppedTriggerKind = 2;

}  // namespace

void AlarmStopDeal() {
  gCmdFinishFlag = 1;
  gPauseCmdFlag = 0;
  gSysParams.runQueuedCmd = 0;
  RingBufferClear(&gPackedCmdQueue);
  RingBufferClear(&gPreDealDataQueue);
  gQueuedMotionCmdCurrentIndex = 0;
}

void ConveyorStopDeal() {
  for (auto& conveyor : gObjDataQueue) {
    for (tagRingBuffer& ring : conveyor) RingBufferClear(&ring);
  }
  for (MulRobotConveyor::ObjectData& next : gNextCnvObject) next.available = 0;
  MulRobotConveyor::ClearAllCache();
  gCnvTimeCompensation = 0;
  gSysParams.stopClearedFlags[0] = 0;
  gOutObj.newObject = 0;
  for (tagEncoderChannel& channel : encoder) channel.inUse = 0;
  gConveyor0.dataSource = kStoppedTriggerKind;
}
