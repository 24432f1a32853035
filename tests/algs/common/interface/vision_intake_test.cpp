// The vision text intake: frames of text become conveyor objects dealt to the
// robots along the conveyor.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/command/command_intake.h"
#include "common/interface/vision_intake.h"
#include "common/kernel/conveyor_state.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/kinematics_constants.h"
#include "support/kernel_log_capture.h"

namespace {

using MulRobotConveyor::ObjectData;

constexpr float kTrigger = 300.0f;
constexpr float kTolerance = 5.0f;

class VisionIntake : public KernelLogCapture {
 protected:
  void SetUp() override {
    KernelLogCapture::SetUp();
    reset();
    gRobotId = 1;
    gRobotInLine = 1;
    for (Conveyor& c : gConveyor) {
      c.visionMatrix[0] = 1.0f;  // pixels taken as millimetres
      c.visionMatrix[3] = 1.0f;
      c.triggerDistance = kTrigger;
      c.cameraRepeatDistance = kTolerance;
      c.imageWidth = 1280;
      c.imageHeight = 960;
    }
  }
  void TearDown() override {
    reset();
    KernelLogCapture::TearDown();
  }

  static void reset() {
    gVisionIntake = {};
    std::memset(pixelPointXY, 0, sizeof pixelPointXY);
    std::memset(cameraPointXY, 0, sizeof cameraPointXY);
    std::memset(gConveyor, 0, sizeof gConveyor);
    std::memset(gCurrentEncoder, 0, sizeof gCurrentEncoder);
    InitKernelQueues();
    gRobotId = 0;
    gRobotInLine = 0;
  }

  static int take(const std::string& text) { return OnTCPCmd(text.c_str()); }

  static std::uint32_t ringCount(int conveyor, int slot) { return gObjDataQueue[conveyor][slot].count; }
  static ObjectData ringEntry(int conveyor, int slot, std::uint32_t offset) {
    ObjectData obj;
    std::memcpy(&obj, RingBufferAt(&gObjDataQueue[conveyor][slot], offset), sizeof obj);
    return obj;
  }
  // Objects in all rings of a conveyor.
  static std::uint32_t dealt(int conveyor) {
    std::uint32_t n = 0;
    for (int slot = 0; slot < kConveyorRobotSlots; ++slot) n += ringCount(conveyor, slot);
    return n;
  }
  static std::uint32_t dealtEverywhere() { return dealt(0) + dealt(1) + dealt(2); }

  static bool logged(const std::string& line) {
    return std::find(lines().begin(), lines().end(), line) != lines().end();
  }
  static std::size_t loggedCount(const std::string& prefix) { return linesStartingWith(prefix).size(); }
};

TEST_F(VisionIntake, OnlyTheMasterRobotDeals) {
  gRobotId = 2;
  const std::string text = "0;812.5,403,37.2,1;1620,95.5,-12,2";
  EXPECT_EQ(take(text), 0);
  EXPECT_EQ(lines(), std::vector<std::string>{"enter test tcp : " + text + "\r\n"});
  EXPECT_EQ(dealtEverywhere(), 0u);
  EXPECT_EQ(pixelPointXY[0].x, 0.0f);
  EXPECT_EQ(gVisionIntake.lastCaptureCount[0], 0);
}

TEST_F(VisionIntake, NoObjectMarkerAbandonsTheFrame) {
  // A previous frame, so that "changes nothing" covers the last capture too.
  take("0;10,20,0,1");
  lines().clear();
  const ObjectData lastBefore = gVisionIntake.lastCameraPointXY[0][0];

  take("0;9999,1,2,3;5,6,7,8");
  EXPECT_EQ(loggedCount("test Count:"), 0u);
  EXPECT_EQ(pixelPointXY[0].x, 10.0f) << "entry 0 untouched";
  EXPECT_EQ(dealtEverywhere(), 1u);
  EXPECT_EQ(gVisionIntake.lastCaptureCount[0], 1);
  EXPECT_EQ(gVisionIntake.lastCameraPointXY[0][0].x, lastBefore.x);

  take("0;1,2,3,4;5,6,7,8;9999.000001,0,0,0;11,12,13,14");
  EXPECT_EQ(loggedCount("test Count:"), 0u);
  EXPECT_EQ(pixelPointXY[0].x, 1.0f) << "written before the marker";
  EXPECT_EQ(pixelPointXY[1].x, 5.0f) << "written before the marker";
  EXPECT_EQ(pixelPointXY[2].x, 0.0f) << "nothing from the marker on";
  EXPECT_EQ(pixelPointXY[3].x, 0.0f);
  EXPECT_EQ(dealtEverywhere(), 1u);
  EXPECT_EQ(gVisionIntake.lastCaptureCount[0], 1);
}

TEST_F(VisionIntake, ConveyorNumberAloneForgetsTheLastCapture) {
  take("1;10,20,0,1;30,40,0,2");
  ASSERT_EQ(gVisionIntake.lastCaptureCount[1], 2);
  lines().clear();
  take("1");
  EXPECT_TRUE(logged("test Count:0\r\n"));
  EXPECT_TRUE(logged("tcp objCount:2 \r\n")) << "the total stays";
  EXPECT_EQ(gVisionIntake.lastCaptureCount[1], 0);
  EXPECT_EQ(gVisionIntake.lastCameraPointXY[1][0].x, 0.0f);
  // The same objects moved by the trigger distance count as new again.
  take("1;310,20,0,1");
  EXPECT_EQ(dealt(1), 3u);
}

TEST_F(VisionIntake, EmptyTextIsAnEmptyFrameOfConveyorZero) {
  take("0;10,20,0,1");
  lines().clear();
  take("");
  EXPECT_TRUE(logged("test Count:-1\r\n"));
  EXPECT_EQ(loggedCount("comNum:"), 0u);
  EXPECT_EQ(gVisionIntake.lastCaptureCount[0], -1);
  take("0;310,20,0,1");
  EXPECT_EQ(dealt(0), 2u) << "no previous frame to have seen it";
}

TEST_F(VisionIntake, SeenBeforeOnlyWhenMovedByTheTriggerDistance) {
  struct Case {
    const char* why;
    float dx;  // along the conveyor, vision frame = conveyor frame
    float dy;
    bool dealtAgain;
  };
  const Case cases[] = {
      {"moved by the trigger distance", kTrigger, 0, false},
      {"within the tolerance above", kTrigger + kTolerance * 0.9f, 0, false},
      {"within the tolerance below", kTrigger - kTolerance * 0.9f, 0, false},
      {"y is not compared", kTrigger, 250, false},
      {"just beyond the tolerance", kTrigger + kTolerance * 1.1f, 0, true},
      {"did not move", 0, 0, true},
      {"moved backwards", -kTrigger, 0, true},
      {"moved across only", 0, kTrigger, true},
  };
  for (const Case& c : cases) {
    reset();
    SetUp();
    take("0;100,50,0,1");
    ASSERT_EQ(dealt(0), 1u);
    lines().clear();
    take("0;" + std::to_string(100 + c.dx) + "," + std::to_string(50 + c.dy) + ",0,1");
    EXPECT_EQ(dealt(0), c.dealtAgain ? 2u : 1u) << c.why;
    EXPECT_EQ(logged("tcp sameCapture\r\n"), !c.dealtAgain) << c.why;
  }
}

TEST_F(VisionIntake, SeenBeforeTestUsesTheVisionAndConveyorFrames) {
  // The camera looks across: its frame is turned by 90 degrees (stored in
  // radians), so the conveyor's travel is along the image's negative y.
  gConveyor[0].visionFrame[0] = 500.0f;
  gConveyor[0].visionFrame[3] = static_cast<float>(kKinPi / 2);
  gConveyor[0].conveyorFrame[1] = -40.0f;
  take("0;100,50,0,1");
  take("0;100," + std::to_string(50 - kTrigger) + ",0,1");
  EXPECT_EQ(dealt(0), 1u) << "moved along the travel in the conveyor frame";
  take("0;" + std::to_string(100 + 2 * kTrigger) + "," + std::to_string(50 - kTrigger) + ",0,1");
  EXPECT_EQ(dealt(0), 2u) << "a move along the image x is across the conveyor";
}

TEST_F(VisionIntake, RoundRobinOverTheRobotsAcrossConveyors) {
  gRobotInLine = 3;
  take("0;0,0,0,0;1000,0,0,1;2000,0,0,2");
  take("0;5000,0,0,3;6000,0,0,4;7000,0,0,5");
  for (int slot = 0; slot < 3; ++slot) {
    ASSERT_EQ(ringCount(0, slot), 2u) << "slot " << slot;
    EXPECT_EQ(ringEntry(0, slot, 0).attribute, slot);
    EXPECT_EQ(ringEntry(0, slot, 1).attribute, slot + 3);
  }
  take("1;10,10,0,9");
  EXPECT_EQ(ringCount(1, 0), 1u);
  EXPECT_EQ(ringEntry(1, 0, 0).attribute, 9);
  EXPECT_TRUE(logged("RingBufferEnqueue: comNum = 1 assignedCount = 0\r\n"));
}

TEST_F(VisionIntake, RobotsInLineKeptWithinTheSlots) {
  struct Case {
    int robotsInLine;
    int slots;
  };
  for (const Case c : {Case{0, 1}, Case{-4, 1}, Case{25, 10}}) {
    reset();
    SetUp();
    gRobotInLine = c.robotsInLine;
    std::string text = "0";
    for (int i = 0; i < 12; ++i) text += ";" + std::to_string(i * 1000) + ",0,0," + std::to_string(i);
    take(text);
    std::uint32_t total = 0;
    for (int slot = 0; slot < kConveyorRobotSlots; ++slot) {
      total += ringCount(0, slot);
      if (slot >= c.slots) {
        EXPECT_EQ(ringCount(0, slot), 0u) << c.robotsInLine << " robots, slot " << slot;
      }
    }
    EXPECT_EQ(total, 12u) << c.robotsInLine << " robots";
  }
}

TEST_F(VisionIntake, FullRingDropsAndOffersTheNextToTheSameSlot) {
  gRobotInLine = 3;
  const ObjectData filler{};
  for (std::uint32_t i = 0; i < kObjDataQueueSize; ++i) RingBufferEnqueue(&gObjDataQueue[0][1], &filler);
  take("0;0,0,0,0;1000,0,0,1");
  EXPECT_EQ(ringCount(0, 0), 1u);
  EXPECT_EQ(ringCount(0, 1), kObjDataQueueSize) << "dropped";
  EXPECT_TRUE(logged("tcp objCount:2 \r\n")) << "the dropped object is counted";
  EXPECT_EQ(loggedCount("RingBufferEnqueue:"), 1u) << "no line for the drop";

  RingBufferDequeue(&gObjDataQueue[0][1], nullptr);
  take("0;50000,0,0,7");
  EXPECT_EQ(ringCount(0, 1), kObjDataQueueSize) << "offered to slot 1 again";
  EXPECT_EQ(ringEntry(0, 1, kObjDataQueueSize - 1).attribute, 7);
  EXPECT_EQ(ringCount(0, 2), 0u);
}

TEST_F(VisionIntake, RingEntryCarriesThePointAsReceived) {
  // A correction that moves every point, so converted and received differ.
  gConveyor[2].visionMatrix[0] = 0.5f;
  gConveyor[2].visionMatrix[4] = 10.0f;
  gCurrentEncoder[2].captureValue = 123456789.123;
  take("2;812.5,403,37.2,300");
  ASSERT_EQ(ringCount(2, 0), 1u);
  const ObjectData obj = ringEntry(2, 0, 0);
  EXPECT_EQ(obj.x, 812.5f);
  EXPECT_EQ(obj.y, 403.0f);
  EXPECT_EQ(obj.r, 37.2f);
  EXPECT_EQ(obj.encCount, static_cast<float>(123456789.123));
  EXPECT_EQ(obj.attribute, 44);
  EXPECT_EQ(obj.available, 1);
  // The last capture holds the converted point.
  EXPECT_EQ(gVisionIntake.lastCameraPointXY[2][0].x, static_cast<float>((812.5 - 10.0) * 0.5));
  EXPECT_EQ(gVisionIntake.lastCameraPointXY[2][0].attribute, 44);
}

TEST_F(VisionIntake, MalformedPiecesAreNotObjects) {
  struct Case {
    const char* text;
    int count;  // well-formed objects
    int malformedLines;
  };
  const Case cases[] = {
      {"0;1,2,3,4;", 1, 1},
      {"0;1,2,3,4;;5,6,7,8", 2, 1},
      {"0;1,2,3;5,6,7,8", 1, 1},
      {"0;1,,3,4;5,6,7,8;9,10,11,12,", 1, 2},
      {"0;", 0, 1},
  };
  for (const Case& c : cases) {
    reset();
    SetUp();
    take(c.text);
    EXPECT_EQ(dealt(0), static_cast<std::uint32_t>(c.count)) << c.text;
    EXPECT_TRUE(logged("test Count:" + std::to_string(c.count) + "\r\n")) << c.text;
    EXPECT_EQ(loggedCount("[ERROR]object piece"), static_cast<std::size_t>(c.malformedLines)) << c.text;
    EXPECT_EQ(gVisionIntake.lastCaptureCount[0], c.count) << c.text;
  }
  // Well-formed pieces fill the entries in order.
  reset();
  SetUp();
  take("0;1,,3,4;5,6,7,8;9,10,11,12");
  EXPECT_EQ(pixelPointXY[0].x, 5.0f);
  EXPECT_EQ(pixelPointXY[1].x, 9.0f);
}

TEST_F(VisionIntake, NumbersOutsideTheGrammarOrRange) {
  take("0;nan,5,6,1");
  ASSERT_EQ(dealt(0), 1u);
  EXPECT_EQ(ringEntry(0, 0, 0).x, 0.0f) << "\"nan\" reads 0";

  for (const char* text : {"0;1e40,1,2,3", "0;1,1e400,2,3", "0;1,2,-1e39,3", "3;1,2,3,4", "-1;1,2,3,4",
                           "99999999999999999999;1,2,3,4"}) {
    reset();
    SetUp();
    const ObjectData lastBefore = gVisionIntake.lastCameraPointXY[0][0];
    take(text);
    EXPECT_EQ(dealtEverywhere(), 0u) << text;
    EXPECT_EQ(gVisionIntake.lastCameraPointXY[0][0].x, lastBefore.x) << text;
    EXPECT_EQ(loggedCount("[ERROR]"), 1u) << text;
  }
  reset();
  SetUp();
  take("3;1,2,3,4");
  EXPECT_EQ(lines().size(), 3u) << "enter, comNum and one error line";
  EXPECT_TRUE(logged("comNum: 3 \r\n"));
}

TEST_F(VisionIntake, OnlyTheFirstHundredPiecesAreRead) {
  gRobotInLine = 10;
  std::string text = "0";
  for (int i = 0; i < 130; ++i) text += ";" + std::to_string(i * 1000) + ",0,0,1";
  take(text);
  EXPECT_EQ(dealt(0), 100u);
  EXPECT_EQ(gVisionIntake.lastCaptureCount[0], 100);
  EXPECT_EQ(loggedCount("[ERROR]130 object pieces"), 1u);
}

TEST_F(VisionIntake, LinesOfOneObject) {
  take("0;812.5,403,37.2,1");
  const std::vector<std::string> expected = {
      "enter test tcp : 0;812.5,403,37.2,1\r\n",
      "comNum: 0 \r\n",
      "test tcp:812.500 403.000 37.200 1 \r\n",
      "test Count:1\r\n",
      "visM_Out:1.000 0.000 0.000 1.000 0.000 0.000 0.000 0.000 0.000 1280 960\r\n",
      "test tcp cameraPoint:0 812.500 403.000\r\n",
      "test lastCaptureCount:0\r\n",
      "RingBufferEnqueue: comNum = 0 assignedCount = 0\r\n",
      "pixelPointXY[i].encCount = 0.000\r\n",
      "tcp objCount:1 \r\n",
  };
  EXPECT_EQ(lines(), expected);
}

}  // namespace
