#include "common/command/command_intake.h"
#include "common/cycle/cycle_steps.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/ring_buffer.h"
#include "common/links/mul_robot_conveyor.h"

namespace {

// Robots along the conveyor are slots 0..kConveyorRobotSlots - 1; a robot
// without a configuration (id 0) has no slot and leaves the bus alone.
bool ValidSlot(int slot) { return slot >= 0 && slot < kConveyorRobotSlots; }

}  // namespace

void UpdateTrack() {
  const int robots = gRobotInLine < kConveyorRobotSlots ? gRobotInLine : kConveyorRobotSlots;
  for (int i = 0; i < robots; ++i) {
    tagRingBuffer& ring = gObjDataQueue[0][i];
    if (ring.isEmpty != 0) continue;
    auto* obj = reinterpret_cast<MulRobotConveyor::ObjectData*>(RingBufferAt(&ring, 0));
    const int result = MulRobotConveyor::UpdateObj(i, *obj);
    KernelLog("UpdateTrack: comNum = %d robotiD = %d result = %d\r\n", 0, i, result);
    if (result == 0) RingBufferDequeue(&ring, nullptr);
  }
}

void RefillNextConveyorObject() {
  MulRobotConveyor::ObjectData& next = gNextCnvObject[0];
  const int slot = gRobotId - 1;
  if (next.available != 0 || !ValidSlot(slot)) return;
  MulRobotConveyor::ObjectData obj{};
  if (MulRobotConveyor::ReadObj(slot, obj) != 0) return;
  next.x = obj.x;
  next.y = obj.y;
  next.r = obj.r;
  next.encCount = obj.encCount;
  next.attribute = obj.attribute;
  next.available = obj.available;
  KernelLog("gNextCnvObject: x = %.2f y = %.2f r = %.2f encCount = %.2f available = %d\r\n",
            static_cast<double>(next.x), static_cast<double>(next.y), static_cast<double>(next.r),
            static_cast<double>(next.encCount), next.available);
  MulRobotConveyor::ClearObj(slot);
}
