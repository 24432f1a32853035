// The whole kernel on the PLC-runtime stand-in, driven by command packets
// alone: hand teaching off enables the simulated drives, queued programs run
// and move the simulated arm, pause, resume and stop-and-clear act on them,
// and hand teaching on takes the drives away again.
#include <cmath>
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "common/protocol/command_records.h"
#include "hosted_client.h"

namespace zelor::sim::test {
namespace {

constexpr key_t kSegmentKey = 0x5A40;
constexpr std::uint8_t kPtpJointTarget = 4;
constexpr std::uint8_t kPtpLinear = 2;
constexpr const char* kEnabledLine = "run ERR_OTHER_ENBLE_sucess!!!!!!\r\n";
constexpr const char* kUserFrameLine = "PreDealDataRunning: PackedLocalParamsCmdType- gLocalIndex:1 \r\n";

class PacketOnlyRun : public HostedClient {
 protected:
  void SetUp() override { StartHost(kSegmentKey); }

  // Hand teaching off: the enable check runs and the drives come up.
  void enable() {
    ASSERT_EQ(byteReply(41, kWrite), 1) << "an empty write is refused and replies the flag";
    const std::uint8_t off = 0;
    const Packet reply = call(41, kWrite, off);
    ASSERT_EQ(reply.length, 3);
    ASSERT_EQ(reply.params[0], 0);
    // The cycle that took the command is the first of the check.
    cycles(49);
    ASSERT_FALSE(logged(kEnabledLine)) << "not before the 51st cycle";
    cycles(1);
    ASSERT_TRUE(logged(kEnabledLine));
    for (const AxesGroupJoint& joint : group().m_Joints) ASSERT_GT(joint.m_State, 2u) << "drive enabled";
    ASSERT_EQ(byteReply(41), 0);
  }

  std::uint64_t jointMove(float j1, float j2, float j3, float j4) {
    const tagPTPCmd move{kPtpJointTarget, j1, j2, j3, j4};
    return IndexOf(call(84, kWriteQueued, move));
  }
  void expectJoints(const float (&want)[4]) {
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(actual(j), want[j], 0.01) << "joint " << j + 1;
  }
  void pose(float (&out)[8]) {
    host->WithKernel([&](const VantrelApi& api) { api.get_pose(out); });
  }
};

TEST_F(PacketOnlyRun, EnableRunProgramsPauseStopAndDisable) {
  enable();

  // One joint move.
  call(240, kWrite);
  const float first[4] = {5.0f, 85.0f, 95.0f, 5.0f};
  const std::uint64_t firstIndex = jointMove(first[0], first[1], first[2], first[3]);
  ASSERT_GE(firstIndex, 2u);
  ASSERT_TRUE(runUntilDone(firstIndex, 600)) << "the move finishes within 2.4 s of cycles";
  expectJoints(first);

  // A program of a linear move, an arc, a wait, an output, a user frame and a
  // joint move, sent while execution still runs.
  // Cartesian targets are solved with the hand the arm now has (elbow at a
  // positive joint 2).
  const std::uint8_t hand = 1;
  call(50, kWrite, hand);
  call(240, kWrite);
  float at[8];
  pose(at);
  const tagPTPCmd line{kPtpLinear, at[0] + 20.0f, at[1], at[2], at[3]};
  const tagARCCmd arc{{at[0] + 30.0f, at[1] + 10.0f, at[2], at[3]}, {at[0] + 40.0f, at[1], at[2], at[3]}};
  const tagWAITCmd wait{100};
  const tagIO_DO output{3, 1, {}};
  const tagCoordParamsFull user{1, 0.0f, 0.0f, 0.0f, 0.0f};
  const std::uint64_t lineIndex = IndexOf(call(84, kWriteQueued, line));
  EXPECT_EQ(lineIndex, firstIndex + 1);
  EXPECT_EQ(IndexOf(call(101, kWriteQueued, arc)), lineIndex + 1);
  EXPECT_EQ(IndexOf(call(110, kWriteQueued, wait)), lineIndex + 2);
  EXPECT_EQ(IndexOf(call(131, kWriteQueued, output)), lineIndex + 3);
  EXPECT_EQ(IndexOf(call(250, kWriteQueued, user)), lineIndex + 4);
  const float home[4] = {0.0f, 90.0f, 100.0f, 0.0f};
  const std::uint64_t lastIndex = jointMove(home[0], home[1], home[2], home[3]);
  EXPECT_EQ(lastIndex, lineIndex + 5);
  EXPECT_EQ(host->records().dout[2], 0) << "the output waits for its turn";
  EXPECT_FALSE(logged(kUserFrameLine)) << "the frame waits for its turn";
  ASSERT_TRUE(runUntilDone(lineIndex, 400)) << alarms() << tail(20);
  ASSERT_TRUE(runUntilDone(lastIndex, 1500)) << "the program runs to its end\n" << alarms() << tail();
  EXPECT_EQ(currentIndex(), lastIndex);
  EXPECT_EQ(host->records().dout[2], 1);
  EXPECT_TRUE(logged(kUserFrameLine));
  expectJoints(home);

  // Two joint moves; a pause during the first holds the arm short of it.
  const std::uint64_t longIndex = jointMove(30.0f, 90.0f, 100.0f, 0.0f);
  const std::uint64_t nextIndex = jointMove(40.0f, 90.0f, 100.0f, 0.0f);
  cycles(25);
  ASSERT_GT(actual(0), 0.5) << "the first move has begun";
  call(241, kWrite);
  cycles(100);
  const double held = actual(0);
  cycles(10);
  EXPECT_EQ(actual(0), held) << "at rest";
  EXPECT_LT(held, 29.0) << "short of the first target";
  EXPECT_LT(currentIndex(), longIndex);
  EXPECT_EQ(byteReply(27), 0) << "the second move still waits";
  call(240, kWrite);
  ASSERT_TRUE(runUntilDone(nextIndex, 1000));
  expectJoints({40.0f, 90.0f, 100.0f, 0.0f});

  // Stop and clear during a move.
  jointMove(0.0f, 90.0f, 100.0f, 0.0f);
  jointMove(10.0f, 90.0f, 100.0f, 0.0f);
  cycles(25);
  ASSERT_LT(actual(0), 39.5) << "moving";
  const std::uint8_t plain = 0;
  EXPECT_EQ(call(242, kWrite, plain).length, 2);
  cycles(100);
  std::uint32_t left = 0;
  std::memcpy(&left, call(247, kRead).params, sizeof left);
  EXPECT_EQ(left, 64u) << "the queue is empty";
  EXPECT_EQ(byteReply(28), 1) << "at rest";
  const double stopped = actual(0);
  cycles(10);
  EXPECT_EQ(actual(0), stopped);
  EXPECT_GT(stopped, 0.5) << "stopped short of the target, the next move dropped";

  // Hand teaching on: the drives leave motion control after 101 idle cycles.
  const std::uint8_t on = 1;
  const Packet handTeach = call(41, kWrite, on);
  ASSERT_EQ(handTeach.length, 3);
  EXPECT_EQ(handTeach.params[0], 1);
  cycles(100);
  EXPECT_EQ(group().m_EnableRequest, 0u) << "after 101 idle cycles at most";
  cycles(10);
  for (const AxesGroupJoint& joint : group().m_Joints) EXPECT_EQ(joint.m_State, 0u);
  EXPECT_EQ(byteReply(41), 1);

  // The alarm map round trip.
  std::uint8_t kernelMap[32];
  host->WithKernel([&](const VantrelApi& api) { api.get_alarms(kernelMap); });
  const Packet before = call(20, kRead);
  ASSERT_EQ(before.length, 34);
  EXPECT_EQ(std::memcmp(before.params, kernelMap, 32), 0);
  EXPECT_EQ(call(20, kWrite).length, 2);
  const Packet after = call(20, kRead);
  ASSERT_EQ(after.length, 34);
  const std::uint8_t zeros[32] = {};
  EXPECT_EQ(std::memcmp(after.params, zeros, 32), 0);
}

}  // namespace
}  // namespace zelor::sim::test
