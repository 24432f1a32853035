#include "common/kernel/kernel_queues.h"

namespace {

PackedBaseCmd gPackedCmdPool[kPackedCmdQueueSize];
PreDealData gPreDealDataPool[kPreDealDataQueueSize];
MulRobotConveyor::ObjectData gObjDataPool[kConveyorCount][kConveyorRobotSlots][kObjDataQueueSize];

}  // namespace

tagRingBuffer gPackedCmdQueue = {};
tagRingBuffer gPreDealDataQueue = {};
tagRingBuffer gObjDataQueue[kConveyorCount][kConveyorRobotSlots] = {};

PreDealData gPreDealData = {};
PreDealData gNextPreDealData = {};
PreDealData* gpNextPreDealData = nullptr;
PreDealData* gpThirdPreDealData = nullptr;

tagGPose gPreDealPos = {};
std::uint64_t gQueuedCmdCurrentIndex = 0;
std::uint64_t gQueuedCmdStartIndex = 0;

MulRobotConveyor::ObjectData gNextCnvObject[kConveyorCount] = {};
tagOutObj gOutObj = {};

void InitKernelQueues() {
  RingBufferInit(&gPackedCmdQueue, gPackedCmdPool, kPackedCmdQueueSize, sizeof(PackedBaseCmd));
  RingBufferInit(&gPreDealDataQueue, gPreDealDataPool, kPreDealDataQueueSize, sizeof(PreDealData));
  for (MulRobotConveyor::ObjectData& next : gNextCnvObject) next.available = 0;
  for (int c = 0; c < kConveyorCount; ++c) {
    for (int r = 0; r < kConveyorRobotSlots; ++r) {
      RingBufferInit(&gObjDataQueue[c][r], gObjDataPool[c][r], kObjDataQueueSize,
                     sizeof(MulRobotConveyor::ObjectData));
    }
  }
}
