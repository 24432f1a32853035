// The input/output, conveyor and latch commands through the
// PLC-runtime stand-in: packets through the core mailbox, images through the
// host's records, the cycle on the simulated drives.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "common/protocol/command_records.h"
#include "common/protocol/packet.h"
#include "plc_host/plc_host.h"

namespace zelor::sim {
namespace {

constexpr key_t kSegmentKey = 0x5A30;
constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWrite = 0x01;
constexpr std::uint8_t kWriteQueued = 0x03;
constexpr unsigned kConveyorPauseAlarm = 106;

Packet makePacket(std::uint16_t id, std::uint8_t ctrl, const void* params, std::size_t size) {
  Packet packet{};
  packet.header[0] = packet.header[1] = kPacketHeaderByte;
  packet.length = static_cast<std::uint16_t>(size + 2);
  packet.cmdId = id;
  packet.ctrl = ctrl;
  if (size > 0) std::memcpy(packet.params, params, size);
  return packet;
}

std::uint64_t indexOf(const Packet& reply) {
  std::uint64_t index = 0;
  std::memcpy(&index, reply.params, sizeof index);
  return index;
}

class HostedCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    PlcHostOptions options;
    options.segmentKey = kSegmentKey;
    options.block = FixtureBlock();
    options.libraries = {test::built::kUtils, test::built::kExcitBufferStandIn, test::built::kVantrel};
    host = std::make_unique<PlcHost>(options);
    std::string error;
    ASSERT_TRUE(host->Start(error)) << error;
    // Past the enable check: the drives under motion control.
    cycles(80);
  }
  void TearDown() override { host.reset(); }

  void cycles(int n) {
    for (int i = 0; i < n; ++i) host->Cycle();
  }
  Packet call(std::uint16_t id, std::uint8_t ctrl, const void* params, std::size_t size) {
    Packet reply{};
    EXPECT_TRUE(host->Call(makePacket(id, ctrl, params, size), reply)) << "id " << id << " answered";
    return reply;
  }
  template <typename Record>
  Packet call(std::uint16_t id, std::uint8_t ctrl, const Record& record) {
    return call(id, ctrl, &record, sizeof record);
  }
  std::uint8_t* kernelOutputs() {
    return host->WithKernel([](const VantrelApi& api) {
      void* image = nullptr;
      api.get_do_ptr(&image);
      return static_cast<std::uint8_t*>(image);
    });
  }
  bool alarm(unsigned index) {
    std::uint8_t alarms[32];
    host->WithKernel([&](const VantrelApi& api) { api.get_alarms(alarms); });
    return (alarms[index >> 3] & (1u << (index & 7))) != 0;
  }
  std::vector<std::uint8_t> outputs() {
    const std::uint8_t* dout = host->records().dout;
    return {dout, dout + sizeof host->records().dout};
  }
  // Starts queued execution and lets it run.
  void runQueued() {
    call(240, kWrite, nullptr, 0);
    cycles(20);
  }

  std::unique_ptr<PlcHost> host;
};

TEST_F(HostedCommands, OutputsAtOnceAndInProgramOrder) {
  const tagIO_DO first{1, 1, {}};
  const Packet reply = call(131, kWrite, first);
  EXPECT_EQ(reply.length, sizeof first + 2);
  EXPECT_EQ(kernelOutputs()[0], 1) << "set in the cycle that took the packet";
  EXPECT_EQ(host->records().dout[0], 1) << "and handed out by that cycle's output update";

  const tagIO_DO read{2, 1, {}};
  call(131, kRead, read);
  EXPECT_EQ(host->records().dout[1], 1) << "a read sets the output too";

  const tagIO_DO queued{3, 1, {}};
  const std::uint64_t index = indexOf(call(131, kWriteQueued, queued));
  EXPECT_GE(index, 2u);
  cycles(10);
  EXPECT_EQ(host->records().dout[2], 0) << "nothing before the execution";

  const Group_IO_DO group{{{4, 1, 0, {}}, {5, 1, 1, {}}, {6, 1, 0, {}}}, 3};
  call(144, kWrite, group);
  EXPECT_EQ(host->records().dout[3], 1);
  EXPECT_EQ(host->records().dout[4], 0);
  EXPECT_EQ(host->records().dout[5], 1);
  std::uint32_t leftBefore = 0;
  std::memcpy(&leftBefore, call(247, kRead, nullptr, 0).params, sizeof leftBefore);

  runQueued();
  EXPECT_EQ(host->records().dout[2], 1);
  EXPECT_EQ(host->records().dout[4], 1);
  std::uint32_t leftAfter = 0;
  std::memcpy(&leftAfter, call(247, kRead, nullptr, 0).params, sizeof leftAfter);
  EXPECT_EQ(leftAfter, leftBefore + 2) << "the output and the group: one entry each";
}

TEST_F(HostedCommands, InputsThroughTheImage) {
  host->records().di[0] = 1;
  host->records().di[4] = 1;
  host->records().di[9] = 1;
  cycles(1);
  const tagIO_DI input{5, 0, {}};
  tagIO_DI got;
  std::memcpy(&got, call(133, kRead, input).params, sizeof got);
  EXPECT_EQ(got.level, 1);

  host->records().di[4] = 0;
  cycles(1);
  tagIODIEx all{};
  all.count = 0;
  const Packet reply = call(137, kRead, all);
  ASSERT_EQ(reply.length, 18 + 2);
  std::vector<std::uint8_t> want(18, 0);
  want[1] = 0x40;
  want[2] = 0x01;
  want[3] = 0x02;
  EXPECT_TRUE(std::equal(want.begin(), want.end(), reply.params));
}

TEST_F(HostedCommands, AnalogAndExtendedOutputsReadZeroAndSetNothing) {
  for (std::uint8_t channel : {1, 2}) {
    const tagIODAC read{channel, 999};
    tagIODAC got;
    std::memcpy(&got, call(132, kRead, read).params, sizeof got);
    EXPECT_EQ(+got.value, 0u) << "channel " << int{channel};
  }
  const tagIODACEx readEx{0, 2, {7, 8}};
  tagIODACEx gotEx;
  std::memcpy(&gotEx, call(139, kRead, readEx).params, sizeof gotEx);
  EXPECT_EQ(+gotEx.value[0], 0u);
  EXPECT_EQ(+gotEx.value[1], 0u);

  const std::vector<std::uint8_t> before = outputs();
  const tagIODAC dac{1, 500};
  const tagIODOEx doEx{0, 8, {0xFF, 0, 0}};
  const tagIODACEx dacEx{0, 2, {100, 200}};
  const std::uint64_t first = indexOf(call(132, kWriteQueued, dac));
  EXPECT_EQ(indexOf(call(136, kWriteQueued, doEx)), first + 1);
  EXPECT_EQ(indexOf(call(139, kWriteQueued, dacEx)), first + 2);
  runQueued();
  EXPECT_EQ(outputs(), before) << "executed, no image byte changed";
}

TEST_F(HostedCommands, PointsOutsideTheImagesAndShortWritesChangeNothing) {
  const std::vector<std::uint8_t> before = outputs();
  for (std::uint32_t address : {0u, 1001u}) {
    const tagIO_DO output{address, 1, {}};
    call(131, kWrite, output);
    const std::uint64_t previous = indexOf(call(131, kWriteQueued, output));
    const tagIO_DI input{address, 0, {}};
    tagIO_DI got;
    std::memcpy(&got, call(133, kRead, input).params, sizeof got);
    EXPECT_EQ(got.level, 0);
    const Group_IO_DO group{{{address, 1, 0, {}}}, 1};
    call(144, kWrite, group);
    EXPECT_EQ(indexOf(call(131, kWriteQueued, output)), previous) << "nothing queued";
  }
  const tagIO_DO whole{1, 1, {}};
  call(131, kWrite, &whole, 4);
  runQueued();
  EXPECT_EQ(outputs(), before);
}

TEST_F(HostedCommands, PauseRightAfterAConveyorWasConfiguredRunsTheConveyorStop) {
  Conveyor conveyor{};
  conveyor.conveyorIndex = 1;
  conveyor.dataSource = 2;
  conveyor.encoderResolution = 10.0f;
  EXPECT_EQ(call(14, kWrite, conveyor).length, 2);
  call(241, kWrite, nullptr, 0);
  cycles(2);
  EXPECT_TRUE(alarm(kConveyorPauseAlarm));
}

TEST_F(HostedCommands, LatchedPoseIsTheForwardKinematicsOfTheLatchedJoints) {
  const std::uint8_t on = 1;
  EXPECT_EQ(call(33, kWrite, on).length, 3);
  cycles(2);
  host->drive().TriggerLatch();
  cycles(2);
  const Packet reply = call(34, kRead, nullptr, 0);
  ASSERT_EQ(reply.length, 22);
  std::uint32_t flag = 0;
  float pose[4];
  std::memcpy(&flag, reply.params, sizeof flag);
  std::memcpy(pose, reply.params + 4, sizeof pose);
  EXPECT_EQ(flag, 1u);
  const tagGetPoseInput noFrames{};
  tagGetPoseOutput expected;
  std::memcpy(&expected, call(10, kRead, noFrames).params, sizeof expected);
  // The drives stand still, so the latched joints are the current ones.
  EXPECT_NEAR(pose[0], expected.x, 1e-3);
  EXPECT_NEAR(pose[1], expected.y, 1e-3);
  EXPECT_NEAR(pose[2], expected.z, 1e-3);
  EXPECT_NEAR(pose[3], expected.r, 1e-3);
}

}  // namespace
}  // namespace zelor::sim
