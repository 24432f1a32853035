// libvantrel loaded by the PLC-runtime stand-in and reached only through its
// C interface and the core mailbox, cycling freely in process.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "common/protocol/command_records.h"
#include "common/protocol/packet.h"
#include "common/protocol/robot_param_block.h"
#include "plc_host/plc_host.h"
#include "support/robot_param_fixture.h"

namespace zelor::sim {
namespace {

constexpr key_t kSegmentKey = 0x5A01;

Packet makePacket(std::uint16_t id, std::uint8_t ctrl, const void* params, std::size_t size) {
  Packet packet{};
  packet.header[0] = packet.header[1] = kPacketHeaderByte;
  packet.length = static_cast<std::uint16_t>(size + 2);
  packet.cmdId = id;
  packet.ctrl = ctrl;
  if (size > 0) std::memcpy(packet.params, params, size);
  return packet;
}

class HostedKernel : public ::testing::Test {
 protected:
  void SetUp() override {
    PlcHostOptions options;
    options.segmentKey = kSegmentKey;
    options.block = FixtureBlock();
    options.libraries = {test::built::kUtils, test::built::kExcitBufferStandIn, test::built::kVantrel};
    host = std::make_unique<PlcHost>(options);
    std::string error;
    ASSERT_TRUE(host->Start(error)) << error;
    for (int i = 0; i < 20; ++i) host->Cycle();
  }
  void TearDown() override { host.reset(); }

  std::uint8_t ready() {
    return host->WithKernel([](const VantrelApi& api) {
      std::uint8_t out = 0xEE;
      api.get_ready_status(&out);
      return out;
    });
  }
  bool alarm(unsigned index) {
    std::uint8_t alarms[32];
    host->WithKernel([&](const VantrelApi& api) { api.get_alarms(alarms); });
    return (alarms[index >> 3] & (1u << (index & 7))) != 0;
  }
  Packet call(std::uint16_t id, const void* params, std::size_t size, std::uint8_t ctrl = 0) {
    Packet reply{};
    EXPECT_TRUE(host->Call(makePacket(id, ctrl, params, size), reply)) << "id " << id << " answered";
    return reply;
  }

  static const RobotParamBlock& fixture() {
    static const RobotParamBlock block = test::FixtureParamBlock();
    return block;
  }

  std::unique_ptr<PlcHost> host;
};

TEST_F(HostedKernel, Version) {
  int v[3] = {};
  host->WithKernel([&](const VantrelApi& api) { api.get_version(&v[0], &v[1], &v[2]); });
  EXPECT_EQ(v[0], 3);
  EXPECT_EQ(v[1], 3);
  EXPECT_EQ(v[2], 4);
}

TEST_F(HostedKernel, ReadyFollowsTheOperationalAlarm) {
  std::uint8_t stopped = 0, stepIn = 0;
  host->WithKernel([&](const VantrelApi& api) {
    api.get_stop_status(&stopped);
    api.get_stepin_enable(&stepIn);
  });
  EXPECT_EQ(stopped, 1) << "at rest";
  EXPECT_EQ(stepIn, 1) << "both rings empty";
  EXPECT_EQ(ready(), 1);

  host->drive().SetOperational(1, false);
  host->Cycle();
  ASSERT_TRUE(alarm(85));
  EXPECT_EQ(ready(), 0);

  host->drive().SetOperational(1, true);
  host->Cycle();
  std::uint8_t before[32];
  host->WithKernel([&](const VantrelApi& api) {
    api.get_alarms(before);
    api.clear_alarm_by_index(85);
  });
  EXPECT_FALSE(alarm(85));
  std::uint8_t after[32];
  host->WithKernel([&](const VantrelApi& api) { api.get_alarms(after); });
  before[85 >> 3] &= static_cast<std::uint8_t>(~(1u << (85 & 7)));
  EXPECT_EQ(std::memcmp(before, after, 32), 0) << "only bit 5 of byte 10 cleared";
  host->Cycle();
  EXPECT_EQ(ready(), 1);

  // Index 256 changes nothing; 255 clears bit 7 of byte 31 only.
  host->WithKernel([](const VantrelApi& api) {
    std::uint8_t before[32];
    api.get_alarms(before);
    api.clear_alarm_by_index(256);
    std::uint8_t after[32];
    api.get_alarms(after);
    EXPECT_EQ(std::memcmp(before, after, 32), 0);
  });
}

TEST_F(HostedKernel, ImagesThroughTheExports) {
  host->WithKernel([](const VantrelApi& api) {
    std::memset(api.gPhyDIs + 64, 0xA5, 36);
    std::memset(api.gPhyDOs + 64, 0x5A, 36);
    std::vector<std::uint8_t> modbus(900, 0);
    modbus[0] = 1;
    modbus[899] = 1;
    api.update_modbusdi(modbus.data());
    EXPECT_EQ(api.gPhyDIs[100], 1) << "Modbus point 1 is byte 100";
    EXPECT_EQ(api.gPhyDIs[999], 1);
    api.gPhyDOs[100] = 1;
    std::vector<std::uint8_t> out(900, 0xEE);
    api.update_modbusdo(out.data());
    EXPECT_EQ(out[0], 1);
    void* di = nullptr;
    api.get_di_ptr(&di);
    EXPECT_EQ(di, api.gPhyDIs);
  });
  // The host's input image reaches the kernel, its output image comes back.
  host->records().di[3] = 1;
  host->Cycle();
  host->WithKernel([](const VantrelApi& api) {
    std::uint32_t words[16];
    api.get_di(words);
    std::uint8_t bytes[64];
    std::memcpy(bytes, words, 64);
    EXPECT_EQ(bytes[3], 1);
    for (int i = 64; i < 100; ++i) {
      EXPECT_EQ(api.gPhyDIs[i], 0xA5) << "input byte " << i;
      EXPECT_EQ(api.gPhyDOs[i], 0x5A) << "output byte " << i;
    }
  });
}

TEST_F(HostedKernel, NullTextAndCycleTimes) {
  host->mailbox().log().Clear();
  host->WithKernel([](const VantrelApi& api) {
    api.recv_visiondata(nullptr);
    int maxUs = -7;
    float average = -7.0f;
    api.get_AlgsTime(&maxUs, nullptr);
    EXPECT_EQ(maxUs, -7);
    api.get_AlgsTime(nullptr, &average);
    EXPECT_EQ(average, -7.0f);
    api.get_AlgsTime(&maxUs, &average);
    EXPECT_GT(maxUs, 0);
  });
  EXPECT_EQ(host->mailbox().log().Lines(), std::vector<std::string>{"pVisiondata == NULL!!!\r\n"});
}

TEST_F(HostedKernel, PoseMatchesTheDriveAtRest) {
  float pose[8];
  int arm = -1;
  host->WithKernel([&](const VantrelApi& api) {
    api.get_pose(pose);
    api.get_armOrientation(&arm);
  });
  const AxesGroupRef& g = host->records().axesGroup;
  for (int j = 0; j < 4; ++j) EXPECT_NEAR(pose[4 + j], g.m_Joints[j].m_ActPosition, 1e-3) << "joint " << j + 1;
  EXPECT_EQ(arm, pose[5] >= 0 ? 1 : 0);
}

TEST_F(HostedKernel, PointConversionThroughTheMailbox) {
  const double L = fixture().mechanism[0] + fixture().mechanism[1];
  const double zOffset = fixture().mechanism[3];
  struct Case {
    const char* why;
    float user[4];
    float tool[4];
    double x;
  };
  const Case cases[] = {
      {"no frames", {0, 0, 0, 0}, {0, 0, 0, 0}, L},
      {"user frame at x 100", {100, 0, 0, 0}, {0, 0, 0, 0}, L - 100},
      {"tool of x 50", {0, 0, 0, 0}, {50, 0, 0, 0}, L + 50},
  };
  for (const Case& c : cases) {
    KinematicsPose kp{};
    std::memcpy(kp.user, c.user, sizeof kp.user);
    std::memcpy(kp.tool, c.tool, sizeof kp.tool);
    kp.handType = 1;
    kp.reserved1[2] = 9;
    const Packet reply = call(8, &kp, sizeof kp);
    ASSERT_EQ(reply.length, 60 + 2) << c.why;
    KinematicsPose got;
    std::memcpy(&got, reply.params, sizeof got);
    EXPECT_NEAR(got.position[0], c.x, 1e-3) << c.why;
    EXPECT_NEAR(got.position[1], 0.0, 1e-3) << c.why;
    EXPECT_NEAR(got.position[2], zOffset, 1e-4) << c.why;
    EXPECT_NEAR(got.position[3], 0.0, 1e-4) << c.why;
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.handType, 1);
    EXPECT_EQ(got.reserved1[2], 9);

    // Back through id 9 with the same frames: the joints of a stretched arm.
    KinematicsPose back = got;
    back.result = 0;
    const Packet inverse = call(9, &back, sizeof back);
    ASSERT_EQ(inverse.length, 60 + 2) << c.why;
    std::memcpy(&back, inverse.params, sizeof back);
    EXPECT_EQ(back.result, 0) << c.why;
    for (float joint : back.position) EXPECT_NEAR(joint, 0.0, 0.05) << c.why;
  }
  // Beyond reach, and the wrong lengths.
  KinematicsPose far{};
  far.position[0] = static_cast<float>(L + 50);
  const Packet unreachable = call(9, &far, sizeof far);
  KinematicsPose got;
  std::memcpy(&got, unreachable.params, sizeof got);
  EXPECT_EQ(got.result, 17);
  EXPECT_FALSE(alarm(17));
  std::uint8_t longer[61] = {};
  std::memcpy(longer, &far, sizeof far);
  EXPECT_EQ(call(8, longer, 59).length, 2);
  EXPECT_EQ(call(9, longer, 61).length, 2);
}

TEST_F(HostedKernel, FrameCompositionAndObjectQueryThroughTheMailbox) {
  CorrectParams_t cp{};
  cp.coordinate[0] = 100;
  cp.coordinate[3] = 90;
  cp.diff[0] = 10;
  const Packet frame = call(228, &cp, sizeof cp);
  ASSERT_EQ(frame.length, 24 + 2);
  float f[6];
  std::memcpy(f, frame.params, sizeof f);
  EXPECT_NEAR(f[0], 100, 1e-3);
  EXPECT_NEAR(f[1], 10, 1e-3);
  EXPECT_NEAR(f[3], 90, 1e-3);

  const Packet queued = call(228, &cp, sizeof cp, kCtrlQueued);
  EXPECT_EQ(queued.length, 8 + 2) << "a queued request replies its queue index";

  for (std::uint8_t conveyor : {1, 2, 3}) {
    const std::uint8_t request[2] = {conveyor, 0};
    const Packet reply = call(15, request, sizeof request);
    ASSERT_EQ(reply.length, 16 + 2) << "conveyor " << int(conveyor);
    const std::uint8_t zeros[16] = {};
    EXPECT_EQ(std::memcmp(reply.params, zeros, 16), 0) << "conveyor " << int(conveyor);
  }
}

}  // namespace
}  // namespace zelor::sim
