// The conveyor object query (15) through the mailbox.
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "common/command/conveyor_object_handlers.h"
#include "common/kernel/conveyor_state.h"
#include "common/kinematics/kinematics_constants.h"
#include "support/kernel_commands.h"

namespace zelor::test {
namespace {

constexpr float kResolution = 20.0f;  // counts per mm
constexpr float kWindowStart = 100.0f;
constexpr float kWindowEnd = 400.0f;
constexpr float kCapture = 5000.0f;

class ConveyorObjectQuery : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    std::memset(gConveyor, 0, sizeof gConveyor);
    std::memset(gCurrentEncoder, 0, sizeof gCurrentEncoder);
    std::memset(&gConveyor0, 0, sizeof gConveyor0);
    gOutObj = {};
    for (Conveyor& c : gConveyor) {
      c.encoderResolution = kResolution;
      c.workArea[0] = kWindowStart;
      c.workArea[1] = 250.0f;
      c.workArea[2] = kWindowEnd;
      c.imageWidth = 1280;
      c.imageHeight = 960;
      c.visionMatrix[0] = 0.5f;
      c.visionMatrix[3] = 0.25f;
      c.visionMatrix[4] = 40.0f;
    }
  }
  void TearDown() override {
    std::memset(gConveyor, 0, sizeof gConveyor);
    std::memset(gCurrentEncoder, 0, sizeof gCurrentEncoder);
    KernelCommands::TearDown();
  }

  static void place(int conveyor, float x, float y, float r, std::uint8_t attribute) {
    gNextCnvObject[conveyor] = MulRobotConveyor::ObjectData{x, y, r, kCapture, attribute, 1, {0, 0}};
  }
  // Puts the conveyor's encoder `travel` mm past the capture.
  static void travel(int conveyor, double mm) {
    gCurrentEncoder[conveyor].position = kCapture + mm * gConveyor[conveyor].encoderResolution;
  }

  Packet query(std::uint8_t conveyor, std::uint8_t ctrl = 0) {
    const std::uint8_t request[2] = {conveyor, 0x5A};
    return exchange(makePacket(15, ctrl, request, sizeof request));
  }

  static bool noObject(const Packet& reply) {
    static const std::uint8_t zeros[16] = {};
    return reply.length == 16 + 2 && std::memcmp(reply.params, zeros, sizeof zeros) == 0;
  }
};

TEST_F(ConveyorObjectQuery, PickWindowDecides) {
  struct Case {
    const char* why;
    double travel;
    bool handedOver;
    bool stays;
  };
  const Case cases[] = {
      {"before the window", 50.0, false, true},
      {"exactly at the window start", kWindowStart, false, true},
      {"just inside", kWindowStart + 0.01, true, false},
      {"at the window end", kWindowEnd, true, false},
      {"just past the window end", kWindowEnd + 0.01, false, false},
      {"travelled backwards", -20.0, false, true},
  };
  for (const Case& c : cases) {
    gOutObj = {};
    place(0, 12.5f, -3.0f, 30.0f, 7);
    travel(0, c.travel);
    const Packet reply = query(0);
    ASSERT_EQ(reply.length, 16 + 2) << c.why;
    EXPECT_EQ(reply.params[0], c.handedOver ? 1 : 0) << c.why;
    EXPECT_EQ(noObject(reply), !c.handedOver) << c.why;
    EXPECT_EQ(gNextCnvObject[0].available, c.stays ? 1 : 0) << c.why;
    EXPECT_EQ(gOutObj.newObject, c.handedOver ? 1 : 0) << c.why;
  }
}

TEST_F(ConveyorObjectQuery, SensorObjectHandedOverAsCaptured) {
  gConveyor[0].dataSource = 0;
  gConveyor[0].encoderChannel = 2;  // a field that marks the copy
  place(0, 12.5f, -3.0f, 30.0f, 7);
  travel(0, 200.0);
  gOutObj.reached = 1;
  const Packet reply = query(0);
  const stConveyorObj got = replyRecord<stConveyorObj>(reply);
  EXPECT_EQ(got.objGetFlag, 1);
  EXPECT_EQ(got.attribute, 7);
  EXPECT_EQ(got.reserved[0], 0);
  EXPECT_EQ(got.reserved[1], 0);
  EXPECT_EQ(got.x, 12.5f);
  EXPECT_EQ(got.y, -3.0f);
  EXPECT_EQ(got.r, 30.0f);
  EXPECT_EQ(gOutObj.newObject, 1);
  EXPECT_EQ(gOutObj.reached, 0);
  EXPECT_EQ(gOutObj.captureCount, kCapture);
  EXPECT_EQ(gOutObj.pose[0], 12.5);
  EXPECT_EQ(gOutObj.pose[1], -3.0);
  EXPECT_EQ(gOutObj.pose[2], 0.0);
  EXPECT_DOUBLE_EQ(gOutObj.pose[3], 30.0 / 180.0 * kKinPi);
  EXPECT_EQ(std::memcmp(&gConveyor0, &gConveyor[0], sizeof gConveyor0), 0);
  EXPECT_TRUE(noObject(query(0))) << "a second query at once finds none";
}

TEST_F(ConveyorObjectQuery, CameraObjectIsCorrected) {
  gConveyor[2].dataSource = 1;
  place(2, 640.0f, 480.0f, -45.0f, 3);
  travel(2, 150.0);
  const stConveyorObj got = replyRecord<stConveyorObj>(query(2));
  EXPECT_EQ(got.objGetFlag, 1);
  EXPECT_FLOAT_EQ(got.x, (640.0f - 40.0f) * 0.5f);
  EXPECT_FLOAT_EQ(got.y, 480.0f * 0.25f);
  EXPECT_EQ(got.r, -45.0f);
  EXPECT_DOUBLE_EQ(gOutObj.pose[0], 300.0);
  EXPECT_EQ(std::memcmp(&gConveyor0, &gConveyor[2], sizeof gConveyor0), 0);
}

TEST_F(ConveyorObjectQuery, OtherTriggerKindsEchoAndKeepTheObject) {
  gConveyor[0].dataSource = 2;
  place(0, 1, 2, 3, 4);
  travel(0, 200.0);
  const Packet reply = query(0);
  EXPECT_EQ(reply.length, 2 + 2);
  EXPECT_EQ(reply.params[0], 0);
  EXPECT_EQ(reply.params[1], 0x5A);
  EXPECT_EQ(gNextCnvObject[0].available, 1);
}

TEST_F(ConveyorObjectQuery, NothingToHandOver) {
  struct Case {
    const char* why;
    std::uint8_t conveyor;
    float resolution;
    bool placed;
  };
  const Case cases[] = {
      {"conveyor 1 never filled", 1, kResolution, false},
      {"conveyor 2 never filled", 2, kResolution, false},
      {"conveyor 3 does not exist", 3, kResolution, true},
      {"conveyor 255 does not exist", 255, kResolution, true},
      {"resolution 0", 0, 0.0f, true},
      {"resolution not a number", 0, NAN, true},
      {"resolution infinite", 0, INFINITY, true},
  };
  for (const Case& c : cases) {
    InitKernelQueues();
    if (c.placed) place(0, 1, 2, 3, 4);
    gConveyor[0].encoderResolution = c.resolution;
    travel(0, 0.0);
    gOutObj = {};
    core.logs.clear();
    const Packet reply = query(c.conveyor);
    EXPECT_TRUE(noObject(reply)) << c.why;
    EXPECT_EQ(gOutObj.newObject, 0) << c.why;
    if (c.placed) {
      EXPECT_EQ(gNextCnvObject[0].available, 1) << c.why << ": the object stays";
    }
    EXPECT_FALSE(core.logs.empty()) << c.why;
  }
}

TEST_F(ConveyorObjectQuery, QueuedBitRunsAndRepliesTheIndex) {
  place(0, 1, 2, 3, 4);
  travel(0, 200.0);
  const std::uint64_t before = enqueued();
  const Packet reply = query(0, kCtrlQueued);
  EXPECT_EQ(reply.length, 8 + 2);
  EXPECT_EQ(replyIndex(reply), before);
  EXPECT_EQ(gOutObj.newObject, 1) << "ran all the same";
  EXPECT_TRUE(logged("GetCnvObjectCount " + std::to_string(triggerCount) + "\r\n"));
}

}  // namespace
}  // namespace zelor::test
