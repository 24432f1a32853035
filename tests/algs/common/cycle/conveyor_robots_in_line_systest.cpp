// A sensor capture on a conveyor with several robots in line: the object
// goes into this robot's slot (gRobotId - 1) of the channel's rings, and the
// next cycle's track update hands it to the multi-robot bus and dequeues it;
// the other robots' slots stay empty. (The bus is a fixed IPC/network
// object, hence a system test.)

#include <gtest/gtest.h>

#include "common/kernel/kernel_queues.h"
#include "support/cycle_rig.h"

namespace zelor::test {
namespace {

class ConveyorRobotsInLine : public CycleRig {
 protected:
  void SetUp() override {
    CycleRig::SetUp();
    Start();
    encoder[0].inUse = 1;
    gConveyor[0].dataSource = 0;  // sensor
    gConveyor[0].encoderResolution = 10.0f;
    gConveyor[0].sensorInput = 3;
    gConveyor[0].sensorRepeatDistance = 50.0f;
    sim->SetConveyorRamp(0, 100);
    for (auto& slots : gObjDataQueue) {
      for (tagRingBuffer& ring : slots) RingBufferClear(&ring);
    }
    // This robot's next object is taken: the refill reads nothing from the bus.
    gNextCnvObject[0].available = 1;
  }
  void TearDown() override {
    for (auto& slots : gObjDataQueue) {
      for (tagRingBuffer& ring : slots) RingBufferClear(&ring);
    }
    gNextCnvObject[0] = {};
    CycleRig::TearDown();
  }
  // The rings are packed records: their count is read by value.
  static std::uint32_t SlotCount(int slot) { return gObjDataQueue[0][slot].count; }
  void Capture() {
    Cycle(12);  // filter window full
    gPhyDIs[2] = 1;
    Cycle(5);
    gPhyDIs[2] = 0;
  }
};

TEST_F(ConveyorRobotsInLine, CaptureGoesToThisRobotsSlotAndOnToTheBus) {
  struct Case {
    int robotId;
    int inLine;
  };
  for (const Case c : {Case{2, 3}, Case{3, 3}, Case{1, 2}}) {
    SCOPED_TRACE("robot " + std::to_string(c.robotId) + " of " + std::to_string(c.inLine));
    TearDown();
    SetUp();
    gRobotId = c.robotId;
    gRobotInLine = c.inLine;
    const int slot = c.robotId - 1;
    const auto handedLine = [](int s) { return "UpdateTrack: comNum = 0 robotiD = " + std::to_string(s) + " result = 0\r\n"; };
    std::size_t handedBefore[kConveyorRobotSlots];
    for (int s = 0; s < kConveyorRobotSlots; ++s) handedBefore[s] = Count(handedLine(s));
    bool seenInSlot = false;
    Cycle(12);
    for (int i = 0; i < 8; ++i) {
      gPhyDIs[2] = i < 5 ? 1 : 0;
      Cycle();
      seenInSlot = seenInSlot || SlotCount(slot) == 1;
    }
    EXPECT_TRUE(seenInSlot) << "the capture was queued in slot " << slot;
    EXPECT_EQ(Count(handedLine(slot)) - handedBefore[slot], 1u) << "handed to the bus once";
    for (int s = 0; s < kConveyorRobotSlots; ++s) {
      EXPECT_EQ(SlotCount(s), 0u) << "slot " << s;
    }
    for (int s = 0; s < kConveyorRobotSlots; ++s) {
      if (s == slot) continue;
      EXPECT_EQ(Count(handedLine(s)), handedBefore[s]) << "slot " << s;
    }
  }
}

// A robot placed beyond the robots in line has its captures queued, but no
// track update reaches its slot: they wait in the ring.
TEST_F(ConveyorRobotsInLine, SlotBeyondTheRobotsInLineIsNotHandedOver) {
  gRobotId = 3;
  gRobotInLine = 2;
  Capture();
  Cycle(2);
  EXPECT_EQ(SlotCount(2), 1u);
  EXPECT_EQ(Count("UpdateTrack: comNum = 0 robotiD = 2 result = 0\r\n"), 0u);
}

}  // namespace
}  // namespace zelor::test
