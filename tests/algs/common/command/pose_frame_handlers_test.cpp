// Pose and frame commands through packets: the pose in given frames, the
// joint angles, the pose reset, the planning values and the user and tool
// frame writes at once or queued.
#include "common/command/pose_frame_handlers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/kernel/packed_cmd.h"
#include "support/io_conveyor_state.h"
#include "support/kernel_commands.h"

namespace {

using namespace zelor::test;

constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWrite = 0x01;
constexpr std::uint8_t kWriteQueued = 0x03;
// The kinematics convert with the single-precision value of pi.
constexpr double kDeg = 3.1415927410125732 / 180.0;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class PoseFrames : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    ResetIOConveyorState();
    SetTestArm();
  }
  void TearDown() override {
    ResetIOConveyorState();
    KernelCommands::TearDown();
  }
  static void setJoints(double j1, double j2, double j3, double j4) {
    const JointTheta joints{j1, j2, j3, j4};
    std::memcpy(&gSysParams.joint, &joints, sizeof joints);
  }
  tagGetPoseOutput pose(const tagGetPoseInput& input) {
    return replyRecord<tagGetPoseOutput>(exchange([&](PluginBase& p) { return p.alloc_GetPose(input); }));
  }
};

bool sameFrame(const tagCoordParamsFull& a, const tagCoordParamsFull& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST_F(PoseFrames, PoseIsCarriedToTheToolAndIntoTheUserFrame) {
  setJoints(30.0, 45.0, 50.0, 0.0);
  const double fx = 225.0 * std::cos(30 * kDeg) + 175.0 * std::cos(75 * kDeg);
  const double fy = 225.0 * std::sin(30 * kDeg) + 175.0 * std::sin(75 * kDeg);
  struct Case {
    const char* what;
    tagGetPoseInput input;
    double x, y, z, r;
  };
  // A tool of 100 mm along x, with joint 4 at 0, lies along the outer arm.
  const double tx = fx + 100.0 * std::cos(75 * kDeg);
  const double ty = fy + 100.0 * std::sin(75 * kDeg);
  const Case cases[] = {
      {"flange in the base frame", {{0, 0, 0, 0, 9, 9}, {0, 0, 0, 0, 9, 9}}, fx, fy, 50.0, 75.0},
      {"tool of 100 mm", {{}, {100, 0, 0, 0, 0, 0}}, tx, ty, 50.0, 75.0},
      {"tool and a shifted user frame", {{10, 20, 5, 0, 0, 0}, {100, 0, 0, 0, 0, 0}}, tx - 10, ty - 20, 45.0, 75.0},
      {"user frame turned by 90 degrees", {{10, 20, 5, 90, 0, 0}, {100, 0, 0, 0, 0, 0}}, ty - 20, -(tx - 10), 45.0,
       -15.0},
      {"tool along y", {{}, {0, 30, 12, 0, 0, 0}}, fx - 30 * std::sin(75 * kDeg), fy + 30 * std::cos(75 * kDeg), 62.0,
       165.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const tagGetPoseOutput got = pose(c.input);
    EXPECT_STREQ(got.hand, "Right");
    EXPECT_NEAR(got.x, c.x, 1e-4);
    EXPECT_NEAR(got.y, c.y, 1e-4);
    EXPECT_NEAR(got.z, c.z, 1e-4);
    EXPECT_NEAR(got.r, c.r, 1e-4);
    for (std::uint8_t byte : got.reserved) EXPECT_EQ(byte, 0);
  }
}

TEST_F(PoseFrames, HandednessFollowsTheSignOfJointTwo) {
  struct Case {
    double j2;
    const char* hand;
  };
  for (const Case& c : {Case{0.0, "Right"}, Case{-0.0, "Right"}, Case{1e-9, "Right"}, Case{-1e-9, "Left"},
                        Case{-120.0, "Left"}}) {
    core.logs.clear();
    setJoints(10.0, c.j2, 0.0, 0.0);
    const Packet reply = exchange([](PluginBase& p) { return p.alloc_GetPose(tagGetPoseInput{}); });
    ASSERT_EQ(reply.length, 58);
    char text[8];
    std::memcpy(text, reply.params, sizeof text);
    const std::string hand(c.hand);
    EXPECT_EQ(std::string(text, 8), hand + std::string(8 - hand.size(), '\0')) << "j2 " << c.j2;
    EXPECT_TRUE(logged("Command OnGetPose " + hand + "\r\n"));
  }
}

TEST_F(PoseFrames, PoseQueryLogsItsInputsAndResult) {
  setJoints(0.0, 0.0, 0.0, 0.0);
  pose({{1, 2, 3, 4, 5, 6}, {0, 0, 0, 0, 0, 0}});
  EXPECT_TRUE(logged("Command OnGetPose Right\r\n"));
  EXPECT_TRUE(logged("Command OnGetPose getPoseInput user 1.000,2.000,3.000,4.000\r\n"));
  EXPECT_TRUE(logged("Command OnGetPose getPoseInput tool 0.000,0.000,0.000,0.000\r\n"));
  EXPECT_TRUE(logged("Command OnGetPose getPoseOutput user 397.889,-29.828,-3.000,-4.000\r\n"));
}

TEST_F(PoseFrames, PoseResetTakesJointTwoHomeOnlyWithItsFlag) {
  struct Case {
    const char* what;
    std::uint8_t flag;
    float a, b;
    bool started;
    double homeOffset;
  };
  const Case cases[] = {
      {"flag 0 keeps the offset", 0, 10.0f, 20.0f, true, 7.5},
      {"flag 0 ignores values that are not numbers", 0, kNaN, kInf, true, 7.5},
      {"flag 1 takes joint 2 less the mean", 1, 10.0f, 20.0f, true, 40.0 - 15.0},
      {"flag 2 too", 2, -4.0f, 0.0f, true, 42.0},
      {"a not a number", 1, kNaN, 20.0f, false, 7.5},
      {"b infinite", 1, 10.0f, -kInf, false, 7.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMotionKernel();
    core.logs.clear();
    setJoints(5.0, 40.0, 0.0, 0.0);
    homeOffset = 7.5;
    const Packet reply = exchange([&](PluginBase& p) { return p.alloc_ResetPose(static_cast<char>(c.flag), c.a, c.b); });
    EXPECT_EQ(reply.length, 2);
    EXPECT_EQ(homeOffset, c.homeOffset);
    EXPECT_EQ(gRobotPrfMode, c.started ? kPrfPoseReset : kPrfIdle);
    char line[64];
    std::snprintf(line, sizeof line, "Command OnResetPose %1.3f\r\n", c.homeOffset);
    EXPECT_EQ(logged(line), c.started);
  }
}

TEST_F(PoseFrames, JointAnglesAsFloatsThenZeros) {
  setJoints(12.5, -33.25, 100.125, 270.0);
  const Packet reply = exchange([](PluginBase& p) { return p.alloc_GetJointAngle(); });
  ASSERT_EQ(reply.length, 34);
  float got[8];
  std::memcpy(got, reply.params, sizeof got);
  const float want[8] = {12.5f, -33.25f, 100.125f, 270.0f, 0, 0, 0, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i], want[i]) << "value " << i;
  EXPECT_TRUE(logged("Command OnGetAngle 12.500,-33.250,100.125,270.000\r\n"));
}

TEST_F(PoseFrames, UserParametersAreTheTimesOfTheEntriesThenConstants) {
  gPreDealData.entryTime = 1.25;
  gPreDealData.blendTime = 0.5;
  gNextPreDealData.entryTime = 2.75;
  gNextPreDealData.blendTime = 0.125;
  const Packet reply = exchange([](PluginBase& p) { return p.alloc_GetUserParams(); });
  ASSERT_EQ(reply.length, 34);
  float got[8];
  std::memcpy(got, reply.params, sizeof got);
  const float want[8] = {1.25f, 0.5f, 2.75f, 0.125f, 5.0f, 6.0f, 7.0f, 8.0f};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i], want[i]) << "value " << i;
}

struct FrameId {
  std::uint16_t id;
  const char* name;
  const char* error;
  tagCoordParamsFull tagSysParams::*requested;
  tagCoordParamsFull* inForce;
  std::uint32_t queuedType;
};
const FrameId kUser{250, "user", "LocalParams error!\r\n", &tagSysParams::localParams, &gLocalParams,
                    kPackedLocalParams};
const FrameId kTool{251, "tool", "ToolParams error!\r\n", &tagSysParams::toolParams, &gToolParams,
                    kPackedToolParams};

TEST_F(PoseFrames, FrameWritesAboveTheLimitOrNotNumbersAreRefused) {
  struct Case {
    const char* what;
    tagCoordParamsFull frame;
    bool accepted;
  };
  const Case cases[] = {
      {"x just above 1000", {1, 1000.001f, 0, 0, 0}, false},
      {"x at 1000", {1, 1000.0f, 0, 0, 0}, true},
      {"x far below", {1, -5000.0f, -1e30f, -3000.0f, -720.0f}, true},
      {"y above", {1, 0, 1001.0f, 0, 0}, false},
      {"z above", {1, 0, 0, 2000.0f, 0}, false},
      {"r above", {1, 0, 0, 0, 1000.5f}, false},
      {"x not a number", {1, kNaN, 0, 0, 0}, false},
      {"r not a number", {1, 0, 0, 0, kNaN}, false},
      {"y minus infinity", {1, 0, -kInf, 0, 0}, false},
      {"z infinity", {1, 0, 0, kInf, 0}, false},
  };
  for (const FrameId& f : {kUser, kTool}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(f.name) + ": " + c.what);
      ResetMotionKernel();
      core.logs.clear();
      const tagCoordParamsFull before{9, 1, 2, 3, 4};
      gSysParams.*f.requested = before;
      *f.inForce = before;
      const Packet reply = exchange(makePacket(f.id, kWrite, &c.frame, sizeof c.frame));
      EXPECT_EQ(reply.length, 2);
      EXPECT_EQ(logged(f.error), !c.accepted);
      const tagCoordParamsFull& want = c.accepted ? c.frame : before;
      EXPECT_TRUE(sameFrame(gSysParams.*f.requested, want)) << "requested frame";
      EXPECT_TRUE(sameFrame(*f.inForce, want)) << "frame in force";
      EXPECT_EQ(queuedCount(), 0u);
    }
  }
}

TEST_F(PoseFrames, FrameWritesLogTheirValuesAndIndex) {
  const tagCoordParamsFull frame{3, 1.5f, -2.0f, 3.25f, 45.0f};
  exchange([&](PluginBase& p) { return p.alloc_SetUserCoordParams(&frame, false); });
  EXPECT_TRUE(logged("Command OnLocalParams::1.500 -2.000 3.250 45.000 \r\n"));
  EXPECT_TRUE(logged("Command OnLocalParams user:3\r\n"));
  exchange([&](PluginBase& p) { return p.alloc_SetToolCoordParams(&frame, false); });
  EXPECT_TRUE(logged("Command OnToolParams::1.500 -2.000 3.250 45.000\r\n"));
  EXPECT_TRUE(logged("Command OnToolParams tool:3\r\n"));
}

TEST_F(PoseFrames, QueuedFrameWriteSwitchesTheFrameInForceOnlyWhenExecuted) {
  for (const FrameId& f : {kUser, kTool}) {
    SCOPED_TRACE(f.name);
    ResetMotionKernel();
    const tagCoordParamsFull frame{2, 10.0f, 20.0f, -30.0f, 90.0f};
    const Packet reply = exchange(makePacket(f.id, kWriteQueued, &frame, sizeof frame));
    EXPECT_EQ(replyIndex(reply), 2u);
    ASSERT_EQ(queuedCount(), 1u);
    EXPECT_EQ(entryType(0), f.queuedType);
    tagCoordParamsFull packed;
    const PackedBaseCmd cmd = entry(0);
    std::memcpy(&packed, cmd.body.bytes, sizeof packed);
    EXPECT_TRUE(sameFrame(packed, frame)) << "the entry carries the record";

    const auto readBack = replyRecord<tagCoordParamsFull>(exchange(makePacket(f.id, kRead, {})));
    EXPECT_TRUE(sameFrame(readBack, frame)) << "the requested frame changes at once";
    EXPECT_TRUE(sameFrame(*f.inForce, tagCoordParamsFull{})) << "the frame in force waits";
    ASSERT_TRUE(ExecuteQueued());
    EXPECT_TRUE(sameFrame(*f.inForce, frame));
  }
}

TEST_F(PoseFrames, FrameReadsReplyTheRequestedFrame) {
  const tagCoordParamsFull user{4, 1, 2, 3, 4};
  const tagCoordParamsFull tool{5, 6, 7, 8, 9};
  gSysParams.localParams = user;
  gSysParams.toolParams = tool;
  gLocalParams = tool;
  EXPECT_TRUE(sameFrame(
      replyRecord<tagCoordParamsFull>(exchange([](PluginBase& p) { return p.alloc_GetUserCoordParams(); })), user));
  EXPECT_TRUE(sameFrame(
      replyRecord<tagCoordParamsFull>(exchange([](PluginBase& p) { return p.alloc_GetToolCoordParams(); })), tool));
}

}  // namespace
