// Motion parameter commands through packets: clamps on write, whole records on
// read, the placeholder entries of queued writes, the common-ratio refusals,
// the global speed ratio's range and the refusal of values that are not
// finite or records that are cut short.
#include "common/command/motion_param_handlers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "common/kernel/packed_cmd.h"
#include "support/kernel_commands.h"

namespace {

using zelor::test::KernelCommands;
using zelor::test::makePacket;
using zelor::test::replyIndex;
using zelor::test::replyRecord;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWriteQueued = 0x03;

class MotionParams : public KernelCommands {};

template <typename Record>
bool sameBytes(const Record& a, const Record& b) {
  return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

TEST_F(MotionParams, JogAndInchWritesAreClampedAndNeverQueued) {
  const tagJOGJointParams joint{{80.0f, 0.5f, 25.0f, -3.0f}, {0.5f, 250.0f, 100.0f, 1.0f}};
  const tagJOGCoordinateParams coord{{150.0f, 0.0f, 100.0f, 50.0f}, {0.0f, 201.0f, 2.0f, 3.0f}};
  const tagJOGCommonParams common{0.0f, 101.0f};
  const tagINCHParams inch{1, -1.0f, 12.0f};

  // Sent queued: none of them takes a place in the queue.
  for (const Packet& reply : {exchange([&](PluginBase& c) { return c.alloc_SetJOGJointParams(&joint, 1); }),
                              exchange([&](PluginBase& c) { return c.alloc_SetJOGCoordinateParams(&coord, 1); }),
                              exchange([&](PluginBase& c) { return c.alloc_SetJOGCommonParams(&common, 1); }),
                              exchange([&](PluginBase& c) { return c.alloc_SetINCHParams(&inch, true); })}) {
    EXPECT_EQ(replyIndex(reply), 1u) << "id " << reply.cmdId << " queued nothing";
  }
  EXPECT_EQ(queuedCount(), 0u);

  const auto gotJoint =
      replyRecord<tagJOGJointParams>(exchange([](PluginBase& c) { return c.alloc_GetJOGJointParams(); }));
  const tagJOGJointParams wantJoint{{50.0f, 1.0f, 25.0f, 1.0f}, {1.0f, 200.0f, 100.0f, 1.0f}};
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(+gotJoint.velocity[j], wantJoint.velocity[j]) << "jog joint velocity " << j;
    EXPECT_EQ(+gotJoint.acceleration[j], wantJoint.acceleration[j]) << "jog joint acceleration " << j;
  }
  const auto gotCoord =
      replyRecord<tagJOGCoordinateParams>(exchange([](PluginBase& c) { return c.alloc_GetJOGCoordinateParams(); }));
  const tagJOGCoordinateParams wantCoord{{100.0f, 1.0f, 100.0f, 50.0f}, {1.0f, 200.0f, 2.0f, 3.0f}};
  EXPECT_TRUE(sameBytes(gotCoord, wantCoord));
  const auto gotCommon =
      replyRecord<tagJOGCommonParams>(exchange([](PluginBase& c) { return c.alloc_GetJOGCommonParams(); }));
  EXPECT_EQ(+gotCommon.velocityRatio, 1.0f);
  EXPECT_EQ(+gotCommon.accelerationRatio, 100.0f);
  const auto gotInch = replyRecord<tagINCHParams>(exchange(makePacket(74, kRead, {})));
  EXPECT_EQ(+gotInch.isInch, 1u);
  EXPECT_EQ(+gotInch.distanceANG, 0.0f);
  EXPECT_EQ(+gotInch.distanceMM, 10.0f);
  EXPECT_TRUE(logged("jog jointParams:50.000 1.000 \r\n"));
  EXPECT_TRUE(logged("Command OnINCHParams executed...isInch:1,distanceANG:0.000000,distanceMM:10.000000  \r\n"));
}

TEST_F(MotionParams, PointToPointWritesAreRaisedToOneAndLeavePlaceholders) {
  const tagPTPJointParams joint{{500.0f, 0.2f, 1.0f, 2.0f}, {0.0f, 3.0f, -1.0f, 4.0f}, {0.5f, 5.0f, 6.0f, 0.9f}};
  const tagPTPCoordinateParams coord{0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
  const tagPTPJumpParams jump{-5.0f, 0.25f, -7};
  const tagPTPJump2Params jump2{-1.0f, 0.0f, 0.5f};

  const std::vector<Packet> replies = {
      exchange([&](PluginBase& c) { return c.alloc_SetPTPJointParams(&joint, 1); }),
      exchange([&](PluginBase& c) { return c.alloc_SetPTPCoordinateParams(&coord, 1); }),
      exchange([&](PluginBase& c) { return c.alloc_SetPTPJumpParams(&jump, 1); }),
      exchange([&](PluginBase& c) { return c.alloc_SetPTPJump2Params(&jump2, true); }),
  };
  for (std::size_t i = 0; i < replies.size(); ++i) {
    EXPECT_EQ(replyIndex(replies[i]), 2u + i) << "id " << replies[i].cmdId << " leaves one placeholder";
    EXPECT_EQ(entryType(static_cast<std::uint32_t>(i)), kPackedParamPlaceholder);
    EXPECT_EQ(entryIndex(static_cast<std::uint32_t>(i)), 2u + i);
  }

  const auto gotJoint =
      replyRecord<tagPTPJointParams>(exchange([](PluginBase& c) { return c.alloc_GetPTPJointParams(); }));
  const tagPTPJointParams wantJoint{{500.0f, 1.0f, 1.0f, 2.0f}, {1.0f, 3.0f, 1.0f, 4.0f}, {1.0f, 5.0f, 6.0f, 1.0f}};
  EXPECT_TRUE(sameBytes(gotJoint, wantJoint));
  const auto gotCoord =
      replyRecord<tagPTPCoordinateParams>(exchange([](PluginBase& c) { return c.alloc_GetPTPCoordinateParams(); }));
  EXPECT_EQ(+gotCoord.xyzVelocity, 0.5f) << "the linear velocity is taken as sent";
  for (float value :
       {gotCoord.rVelocity, gotCoord.xyzAcceleration, gotCoord.rAcceleration, gotCoord.xyzJerk, gotCoord.rJerk}) {
    EXPECT_EQ(value, 1.0f);
  }
  EXPECT_TRUE(sameBytes(
      replyRecord<tagPTPJumpParams>(exchange([](PluginBase& c) { return c.alloc_GetPTPJumpParams(); })), jump));
  EXPECT_TRUE(sameBytes(
      replyRecord<tagPTPJump2Params>(exchange([](PluginBase& c) { return c.alloc_GetPTPJump2Params(); })), jump2));

  // Not queued: applied, nothing enqueued.
  const tagPTPJumpParams other{1.0f, 2.0f, 3};
  EXPECT_EQ(exchange([&](PluginBase& c) { return c.alloc_SetPTPJumpParams(&other, 0); }).length, 2);
  EXPECT_EQ(enqueued(), 5u);
  EXPECT_TRUE(sameBytes(gSysParams.ptpParams.jump, other));
}

TEST_F(MotionParams, CommonRatiosOutOfRangeChangeNothingInCheckOrder) {
  const tagPTPCommonParams before{50, 50, 50, 50, 50, 50, 50, 50, 50};
  struct Case {
    tagPTPCommonParams sent;
    std::uint32_t result;
    const char* name;
  };
  const Case cases[] = {
      {{100, 0, 2, 50, 2, 50, 2, 2, 2}, 2, "accelerationRatio"},
      {{0.5f, 0, 2, 101, 2, 0, 2, 2, 2}, 1, "velocityRatio"},
      {{100, 1, 2, 101, 2, 50, 2, 2, 2}, 3, "xyzVelocityRatio"},
      {{1, 100, 2, 100, 2, 100.5f, 2, 2, 2}, 4, "xyzAccelerationRatio"},
      {{kNaN, 50, 2, 50, 2, 50, 2, 2, 2}, 1, "velocityRatio"},
      {{50, 50, 2, 50, 2, -kInf, 2, 2, 2}, 4, "xyzAccelerationRatio"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gSysParams.ptpParams.common = before;
    core.logs.clear();
    const std::uint64_t previous = enqueued();
    const Packet reply = exchange([&](PluginBase& p) { return p.alloc_SetPTPCommonParams(&c.sent, 1); });
    EXPECT_EQ(replyIndex(reply), previous) << "a refused queued write is answered with the previous index";
    EXPECT_EQ(enqueued(), previous);
    const std::string line = std::string(" CommonParams  ") + c.name + " <1 || CommonParams  " + c.name +
                             " > 100, index:" + std::to_string(previous + 1) + "\r\n";
    EXPECT_TRUE(logged(line)) << line;
    EXPECT_TRUE(sameBytes(gSysParams.ptpParams.common, before));

    std::uint8_t params[kKernelParamBytes] = {};
    std::memcpy(params, &c.sent, sizeof c.sent);
    std::uint32_t len = sizeof c.sent;
    EXPECT_EQ(OnPTPCommonParams(&gSysParams, 1, params, len, false), c.result);
  }
}

TEST_F(MotionParams, CommonRatiosStoreJerkAndRatiosFromTheFourUsed) {
  const tagPTPCommonParams sent{10, 20, 99, 30, 99, 40, 99, 99, 99};
  const Packet write = exchange([&](PluginBase& c) { return c.alloc_SetPTPCommonParams(&sent, 1); });
  EXPECT_EQ(replyIndex(write), 2u);
  EXPECT_EQ(entryType(0), kPackedParamPlaceholder);
  const auto got =
      replyRecord<tagPTPCommonParams>(exchange([](PluginBase& c) { return c.alloc_GetPTPCommonParams(); }));
  const tagPTPCommonParams want{10, 20, 20, 30, 30, 40, 40, 40, 40};
  EXPECT_TRUE(sameBytes(got, want));
  EXPECT_TRUE(logged("CommonParams 10.000 20.000 30.000  40.000\r\n"));
}

TEST_F(MotionParams, SpeedRatioOutsideOneToHundredOrUnchangedTouchesNothing) {
  gSysParams.speedFactorRatio = 40.7f;
  gSysParams.speedFactorRatioCopy = 40.7f;
  guiModdifyCount = 7;
  for (unsigned char ratio : {0, 101, 255}) {
    SCOPED_TRACE(static_cast<int>(ratio));
    core.logs.clear();
    const Packet reply = exchange([&](PluginBase& c) { return c.alloc_SetSpeedFactorParams(ratio, false); });
    EXPECT_EQ(reply.length, 2);
    EXPECT_TRUE(logged(" sysParams->speedFactorRatio <1 or sysParams->speedFactorRatio >100!!!\r\n"));
    EXPECT_EQ(+gSysParams.speedFactorRatio, 40.7f);
  }
  // The whole-number part is what a read reports.
  const Packet read = exchange([](PluginBase& c) { return c.alloc_GetSpeedFactorParams(); });
  ASSERT_EQ(read.length, 3);
  EXPECT_EQ(read.params[0], 40);

  gSysParams.speedFactorRatio = 40.0f;
  exchange([](PluginBase& c) { return c.alloc_SetSpeedFactorParams(40, true); });
  EXPECT_EQ(gbModifySpeedRatio, 0) << "the ratio in force starts no re-plan";
  EXPECT_EQ(guiModdifyCount, 7u);
  EXPECT_EQ(enqueued(), 1u) << "the speed ratio never takes a place in the queue";
}

// A stored ratio outside the byte's range reads clamped into 0..255.
TEST_F(MotionParams, SpeedRatioReadIsClampedIntoAByte) {
  struct Case {
    float stored;
    std::uint8_t read;
  };
  const Case cases[] = {{37.9f, 37},   {255.0f, 255}, {256.0f, 255}, {1e9f, 255},
                        {INFINITY, 255}, {-5.0f, 0},  {-INFINITY, 0}, {NAN, 0}};
  for (const Case& c : cases) {
    gSysParams.speedFactorRatio = c.stored;
    const Packet read = exchange([](PluginBase& pb) { return pb.alloc_GetSpeedFactorParams(); });
    ASSERT_EQ(read.length, 3) << c.stored;
    EXPECT_EQ(read.params[0], c.read) << c.stored;
  }
}

TEST_F(MotionParams, ArmOrientationTransitionControlTypeAndManualSpeed) {
  exchange([](PluginBase& c) { return c.alloc_SetArmOrientation(1, 1); });
  const Packet ignored = exchange([](PluginBase& c) { return c.alloc_SetArmOrientation(2, 1); });
  EXPECT_EQ(replyIndex(ignored), 3u) << "an ignored orientation still leaves its placeholder";
  const Packet arm = exchange([](PluginBase& c) { return c.alloc_GetArmOrientation(); });
  ASSERT_EQ(arm.length, 3);
  EXPECT_EQ(arm.params[0], 1);

  exchange([](PluginBase& c) { return c.alloc_SetTransitionCmd(250, true); });
  EXPECT_EQ(enqueued(), 4u);
  const Packet transition = exchange([](PluginBase& c) { return c.alloc_GetTransitionCmd(); });
  ASSERT_EQ(transition.length, 3);
  EXPECT_EQ(transition.params[0], 100);

  // Control type: the first byte whatever the direction bit; the reply echoes.
  for (std::uint8_t ctrl : {std::uint8_t{0x00}, std::uint8_t{0x01}}) {
    const Packet reply = exchange(makePacket(47, ctrl, {2, 9}));
    EXPECT_EQ(+gSysParams.controlType, 2u);
    EXPECT_EQ(reply.length, 4);
    EXPECT_EQ(reply.params[0], 2);
    EXPECT_EQ(reply.params[1], 9);
    gSysParams.controlType = 0;
  }
  const tagSysParams before = gSysParams;
  const Packet manual = exchange([](PluginBase& c) { return c.alloc_SetManualSpeedParams(33, false); });
  EXPECT_EQ(manual.length, 3);
  EXPECT_EQ(manual.params[0], 33);
  EXPECT_EQ(std::memcmp(&before, &gSysParams, sizeof before), 0);
}

// A value that is not finite passes every clamp, so such writes are refused whole.
TEST_F(MotionParams, WritesWithValuesThatAreNotFiniteChangeNothing) {
  struct Case {
    const char* what;
    std::function<Packet*(PluginBase&)> write;
  };
  const tagJOGJointParams jogJoint{{10, 10, 10, kNaN}, {10, 10, 10, 10}};
  const tagJOGCoordinateParams jogCoord{{10, 10, 10, 10}, {kInf, 10, 10, 10}};
  const tagJOGCommonParams jogCommon{kNaN, 50};
  const tagINCHParams inch{1, 2, -kInf};
  const tagPTPJointParams ptpJoint{{10, 10, 10, 10}, {10, 10, 10, 10}, {10, 10, kNaN, 10}};
  const tagPTPCoordinateParams ptpCoord{kNaN, 10, 10, 10, 10, 10};
  const tagPTPJumpParams jump{10, kInf, 3};
  const tagPTPJump2Params jump2{10, 10, kNaN};
  const Case cases[] = {
      {"70", [&](PluginBase& c) { return c.alloc_SetJOGJointParams(&jogJoint, 1); }},
      {"71", [&](PluginBase& c) { return c.alloc_SetJOGCoordinateParams(&jogCoord, 1); }},
      {"72", [&](PluginBase& c) { return c.alloc_SetJOGCommonParams(&jogCommon, 1); }},
      {"74", [&](PluginBase& c) { return c.alloc_SetINCHParams(&inch, true); }},
      {"80", [&](PluginBase& c) { return c.alloc_SetPTPJointParams(&ptpJoint, 1); }},
      {"81", [&](PluginBase& c) { return c.alloc_SetPTPCoordinateParams(&ptpCoord, 1); }},
      {"82", [&](PluginBase& c) { return c.alloc_SetPTPJumpParams(&jump, 1); }},
      {"87", [&](PluginBase& c) { return c.alloc_SetPTPJump2Params(&jump2, true); }},
  };
  std::memset(&gSysParams, 0x11, sizeof gSysParams);
  const tagSysParams before = gSysParams;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    core.logs.clear();
    const Packet reply = exchange(c.write);
    EXPECT_EQ(replyIndex(reply), 1u) << "no placeholder";
    ASSERT_EQ(core.logs.size(), 1u);
    EXPECT_NE(core.logs[0].find("not finite"), std::string::npos) << core.logs[0];
  }
  EXPECT_EQ(std::memcmp(&before, &gSysParams, sizeof before), 0);
}

TEST_F(MotionParams, WritesShorterThanTheirRecordChangeNothing) {
  const tagSysParams before = gSysParams;
  for (std::uint16_t id : {50, 51, 52, 70, 71, 72, 74, 80, 81, 82, 83, 87}) {
    SCOPED_TRACE(id);
    const std::vector<std::uint8_t> cut = id <= 52 ? std::vector<std::uint8_t>{} : std::vector<std::uint8_t>(7, 0x42);
    const Packet reply = exchange(makePacket(id, kWriteQueued, cut));
    EXPECT_EQ(replyIndex(reply), 1u);
  }
  EXPECT_EQ(std::memcmp(&before, &gSysParams, sizeof before), 0);
}

}  // namespace
