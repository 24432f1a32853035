// Conveyor encoder channels in the cycle: camera trigger bursts and sensor
// captures on the simulated counts, and the channels set up without an
// output, input or resolution.

#include <gtest/gtest.h>

#include <algorithm>

#include "common/kernel/kernel_queues.h"
#include "support/cycle_rig.h"

namespace zelor::test {
namespace {

class ConveyorChannels : public CycleRig {
 protected:
  void SetUp() override {
    CycleRig::SetUp();
    Start();
    encoder[0].inUse = 1;
    gConveyor[0].encoderResolution = 10.0f;  // counts per mm
    sim->SetConveyorRamp(0, 100);            // 10 mm per cycle
    gRobotId = 1;
    // This robot's next object is taken: the cycle reads nothing from the bus.
    gNextCnvObject[0].available = 1;
  }
  bool ImageUntouched() const {
    return std::all_of(std::begin(gPhyDOs), std::end(gPhyDOs), [](std::uint8_t b) { return b == 0; }) &&
           std::all_of(std::begin(gPhyDIs), std::end(gPhyDIs), [](std::uint8_t b) { return b == 0; });
  }
  std::uint32_t RingCount() const { return gObjDataQueue[0][0].count; }
};

TEST_F(ConveyorChannels, CameraTriggerAtDistanceHeldTenCycles) {
  gConveyor[0].dataSource = 1;
  gConveyor[0].cameraTriggerOutput = 5;
  gConveyor[0].triggerDistance = 50.0f;
  int firstOn = -1;
  double travelAtTrigger = 0.0;
  double travelBefore = 0.0;
  for (int n = 1; n <= 40 && firstOn < 0; ++n) {
    travelBefore = gCurrentEncoder[0].position / gConveyor[0].encoderResolution;
    Cycle();
    if (gPhyDOs[4] == 1) {
      firstOn = n;
      travelAtTrigger = gCurrentEncoder[0].position / gConveyor[0].encoderResolution;
    }
  }
  ASSERT_GT(firstOn, 0);
  EXPECT_GE(travelAtTrigger, gConveyor[0].triggerDistance);
  EXPECT_LT(travelBefore, gConveyor[0].triggerDistance);
  EXPECT_DOUBLE_EQ(gCurrentEncoder[0].captureValue, travelAtTrigger * gConveyor[0].encoderResolution);
  Cycle(9);
  EXPECT_EQ(gPhyDOs[4], 1) << "held for ten cycles";
  Cycle();
  EXPECT_EQ(gPhyDOs[4], 0);
  EXPECT_DOUBLE_EQ(gSensorState[0].lastCaptureValue, gCurrentEncoder[0].captureValue);
}

TEST_F(ConveyorChannels, CameraWithoutOutputTouchesNoImage) {
  gConveyor[0].dataSource = 1;
  gConveyor[0].cameraTriggerOutput = 0;
  gConveyor[0].triggerDistance = 20.0f;
  Cycle(40);
  EXPECT_TRUE(ImageUntouched());
  EXPECT_EQ(Count("conveyor 0: no camera trigger output set\r\n"), 1u);
  EXPECT_GT(gCurrentEncoder[0].captureValue, 0.0) << "capture values go on";
}

TEST_F(ConveyorChannels, CameraWithoutResolutionNeverTriggers) {
  for (float resolution : {0.0f, 1e-12f}) {
    gConveyor[0].dataSource = 1;
    gConveyor[0].cameraTriggerOutput = 5;
    gConveyor[0].triggerDistance = 20.0f;
    gConveyor[0].encoderResolution = resolution;
    gSensorState[0] = {};
    core.logs.clear();
    Cycle(60);
    EXPECT_EQ(gPhyDOs[4], 0);
    EXPECT_EQ(gSensorState[0].captureCount, 0u);
    EXPECT_EQ(std::count_if(core.logs.begin(), core.logs.end(),
                            [](const std::string& l) { return l.find("unusable, no camera trigger") != l.npos; }),
              1);
  }
}

TEST_F(ConveyorChannels, SensorHeldFiveCyclesCapturesOneObject) {
  struct Case {
    int held;
    std::uint32_t objects;
  };
  for (const Case c : {Case{4, 0}, Case{5, 1}, Case{8, 1}}) {
    gConveyor[0].dataSource = 0;
    gConveyor[0].sensorInput = 3;
    gConveyor[0].sensorRepeatDistance = 50.0f;
    RingBufferClear(&gObjDataQueue[0][0]);
    gSensorState[0] = {};
    Cycle(12);  // filter window full
    gPhyDIs[2] = 1;
    Cycle(c.held);
    gPhyDIs[2] = 0;
    Cycle(2);
    EXPECT_EQ(RingCount(), c.objects) << "held " << c.held;
    if (c.objects == 0) {
      EXPECT_TRUE(logged("sensor down \r\n"));
    }
    Cycle(10);
    EXPECT_EQ(gSensorState[0].checkStarted, 0) << "ended past the release distance";
  }
  EXPECT_TRUE(logged("sensor end \r\n"));
  MulRobotConveyor::ObjectData obj;
  std::memcpy(&obj, RingBufferAt(&gObjDataQueue[0][0], 0), sizeof obj);
  EXPECT_GT(obj.encCount, 0.0f);
  EXPECT_EQ(obj.x, 0.0f);
}

TEST_F(ConveyorChannels, SensorWithoutInputTouchesNoImage) {
  gConveyor[0].dataSource = 0;
  gConveyor[0].sensorInput = 0;
  Cycle(20);
  EXPECT_TRUE(ImageUntouched());
  EXPECT_EQ(Count("conveyor 0: no sensor input set\r\n"), 1u);
  EXPECT_EQ(RingCount(), 0u);
}

TEST_F(ConveyorChannels, InactiveChannelOnlyFilters) {
  encoder[0].inUse = 0;
  gConveyor[0].dataSource = 1;
  gConveyor[0].cameraTriggerOutput = 5;
  Cycle(30);
  EXPECT_EQ(gPhyDOs[4], 0);
  EXPECT_GT(gCurrentEncoder[0].position, 0.0);
  EXPECT_GT(gCurrentEncoder[0].velocity, 0.0);
  EXPECT_FALSE(logged("Encoder active: 0 \r\n"));
}

}  // namespace
}  // namespace zelor::test
