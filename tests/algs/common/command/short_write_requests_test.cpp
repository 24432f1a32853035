// Writes of the input/output, pose and frame, conveyor and latch commands
// whose request is shorter than the record they read: nothing changes, one
// line is logged, and the reply is the one the command gives anyway.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/io_conveyor_state.h"
#include "support/kernel_commands.h"

namespace {

using namespace zelor::test;

constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWrite = 0x01;
constexpr std::uint8_t kReadQueued = 0x02;
constexpr std::uint8_t kWriteQueued = 0x03;

// Everything these commands may store or switch.
struct Snapshot {
  std::uint8_t outputs[kDigitalImageSize];
  tagSysParams sys;
  tagLocalParams local;
  tagToolParams tool;
  Conveyor conveyors[kEncoderChannels];
  tagEncoderChannel channels[kEncoderChannels];
  stConvPointOffset offset;
  std::uint16_t compensation;
  std::uint8_t latchType;
  std::uint8_t latchEnable;
  float poseTemplate[8];
  double home;
  std::uint8_t prfMode;
  std::uint64_t enqueuedTotal;

  static Snapshot take() {
    Snapshot s;
    std::memset(&s, 0, sizeof s);
    std::memcpy(s.outputs, gPhyDOs, sizeof s.outputs);
    std::memcpy(&s.sys, &gSysParams, sizeof s.sys);
    s.local = gLocalParams;
    s.tool = gToolParams;
    std::memcpy(s.conveyors, gConveyor, sizeof s.conveyors);
    std::memcpy(s.channels, encoder, sizeof s.channels);
    s.offset = gConvPointOffset;
    s.compensation = gCnvTimeCompensation;
    s.latchType = gLatchType;
    s.latchEnable = gLatchEnable;
    std::memcpy(s.poseTemplate, gPoseTemplate, sizeof s.poseTemplate);
    s.home = homeOffset;
    s.prfMode = gRobotPrfMode;
    s.enqueuedTotal = gPackedCmdQueue.enqueuedTotal;
    return s;
  }
  bool operator==(const Snapshot& other) const { return std::memcmp(this, &other, sizeof *this) == 0; }
};

class ShortWrites : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    ResetIOConveyorState();
  }
  void TearDown() override {
    ResetIOConveyorState();
    KernelCommands::TearDown();
  }
};

TEST_F(ShortWrites, ChangeNothingAndReplyAsTheCommandDoes) {
  enum class Reply { kEcho, kEmpty, kPreviousIndex };
  struct Case {
    const char* what;
    std::uint16_t id;
    std::uint8_t ctrl;
    std::vector<std::uint8_t> params;
    Reply reply;
  };
  // Each request would change something if it were whole.
  const std::vector<std::uint8_t> doAddress1Level1{1, 0, 0, 0};  // the level byte is missing
  std::vector<std::uint8_t> group(515, 0);
  group[0] = 1;
  group[4] = 1;
  group[512] = 1;  // count 1, its last byte cut
  std::vector<std::uint8_t> conveyor(139, 0);
  conveyor[0] = 1;
  const std::vector<Case> cases = {
      {"131 write", 131, kWrite, doAddress1Level1, Reply::kEcho},
      {"131 read", 131, kRead, doAddress1Level1, Reply::kEcho},
      {"131 queued", 131, kWriteQueued, doAddress1Level1, Reply::kPreviousIndex},
      {"131 queued read", 131, kReadQueued, doAddress1Level1, Reply::kPreviousIndex},
      {"132 queued", 132, kWriteQueued, {1, 5}, Reply::kPreviousIndex},
      {"132 not queued", 132, kWrite, {1, 5}, Reply::kEcho},
      {"136 queued", 136, kWriteQueued, {0, 2, 3, 0}, Reply::kPreviousIndex},
      {"139 queued, two values announced, one sent", 139, kWriteQueued, {0, 2, 5, 0, 6}, Reply::kPreviousIndex},
      {"139 not queued", 139, kWrite, {0, 1, 5}, Reply::kEmpty},
      {"144", 144, kWrite, group, Reply::kEcho},
      {"144 queued", 144, kWriteQueued, group, Reply::kPreviousIndex},
      {"11 with its flag", 11, kWrite, {1, 0, 0, 0x20, 0x41, 0, 0, 0x20}, Reply::kEmpty},
      {"11 empty", 11, kWrite, {}, Reply::kEmpty},
      {"250", 250, kWrite, std::vector<std::uint8_t>(19, 0), Reply::kEmpty},
      {"250 queued", 250, kWriteQueued, std::vector<std::uint8_t>(19, 0), Reply::kPreviousIndex},
      {"251", 251, kWrite, std::vector<std::uint8_t>(19, 0), Reply::kEmpty},
      {"14", 14, kWrite, conveyor, Reply::kEmpty},
      {"19", 19, kWrite, {0, 0, 0x20, 0x41, 0, 0, 0x20}, Reply::kEmpty},
      {"23", 23, kWrite, {40}, Reply::kEmpty},
      {"32", 32, kWrite, {}, Reply::kEcho},
      {"33", 33, kWrite, {}, Reply::kEcho},
      {"35", 35, kWrite, std::vector<std::uint8_t>(31, 0x40), Reply::kEcho},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMotionKernel();
    ResetIOConveyorState();
    homeOffset = 3.0;
    gLatchType = 9;
    gLatchEnable = 9;
    core.logs.clear();
    const Snapshot before = Snapshot::take();
    const Packet reply = exchange(makePacket(c.id, c.ctrl, c.params));
    EXPECT_TRUE(Snapshot::take() == before) << "nothing changed";
    EXPECT_EQ(core.logs.size(), 1u) << "one line";
    if (!core.logs.empty()) {
      EXPECT_NE(core.logs[0].find("params length"), std::string::npos) << core.logs[0];
    }
    switch (c.reply) {
      case Reply::kEcho:
        ASSERT_EQ(reply.length, c.params.size() + 2);
        EXPECT_TRUE(std::equal(c.params.begin(), c.params.end(), reply.params));
        break;
      case Reply::kEmpty:
        EXPECT_EQ(reply.length, 2);
        break;
      case Reply::kPreviousIndex:
        EXPECT_EQ(replyIndex(reply), 1u);
        break;
    }
  }
}

}  // namespace
