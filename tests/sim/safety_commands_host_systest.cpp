// The alarm, collision, drag-teach and hand-teach commands on the
// PLC-runtime stand-in, by packets: what they ask of the drives shows in the
// host's record, the collision switch in the kernel's exported symbol.
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "common/protocol/command_records.h"
#include "hosted_client.h"

namespace zelor::sim::test {
namespace {

constexpr key_t kSegmentKey = 0x5A41;
constexpr std::uint32_t kTorqueMode = 10;
constexpr std::uint32_t kPositionMode = 8;
constexpr const char* kCollisionSettings = "/zelor/userdata/project/settings/function/collisionDect.json";

class SafetyCommands : public HostedClient {
 protected:
  void SetUp() override { StartHost(kSegmentKey); }

  // Hand teaching off and the enable check through.
  void enable() {
    const std::uint8_t off = 0;
    ASSERT_EQ(call(41, kWrite, off).params[0], 0);
    cycles(60);
    for (const AxesGroupJoint& joint : group().m_Joints) ASSERT_GT(joint.m_State, 2u) << "drive enabled";
  }
  std::uint8_t collisionSwitch() {
    return host->WithKernel([](const VantrelApi& api) { return *api.gIsCollisionDect; });
  }
  tagTorDiffParams thresholds() {
    const Packet reply = call(201, kRead);
    EXPECT_EQ(reply.length, sizeof(tagTorDiffParams) + 2);
    tagTorDiffParams t;
    std::memcpy(&t, reply.params, sizeof t);
    return t;
  }
};

TEST_F(SafetyCommands, ClearingAlarmsRaisesTheEncoderResetWordsInThatCycle) {
  EXPECT_EQ(group().m_EncoderReset[0], 0u);
  EXPECT_EQ(call(20, kWrite).length, 2);
  EXPECT_EQ(group().m_EncoderReset[0], 1u);
  EXPECT_EQ(group().m_EncoderReset[1], 1u);
}

TEST_F(SafetyCommands, TorqueModeForCollisionDragThenBackToPosition) {
  enable();
  for (const AxesGroupJoint& joint : group().m_Joints) ASSERT_EQ(joint.m_OpMode, kPositionMode);
  const std::uint8_t torque = 0;
  EXPECT_EQ(call(45, kWrite, torque).length, 2) << "accepted";
  cycles(10);
  for (int j = 0; j < 4; ++j) EXPECT_EQ(group().m_Joints[j].m_OpMode, kTorqueMode) << "joint " << j + 1;

  const std::uint8_t position = 1;
  EXPECT_EQ(call(45, kWrite, position).length, 2) << tail(8);
  cycles(10);
  for (int j = 0; j < 4; ++j) EXPECT_EQ(group().m_Joints[j].m_OpMode, kPositionMode) << "joint " << j + 1;
}

TEST_F(SafetyCommands, DragTeachingOffNeedsEveryJointInPositionModeToShowAStatusWord) {
  enable();
  host->drive().SetAxisStatus(0, 1);
  host->drive().SetAxisStatus(1, 1);
  cycles(1);
  const std::uint8_t off = 1;
  const Packet refused = call(43, kWrite, off);
  ASSERT_EQ(refused.length, 3) << "echoed";
  EXPECT_TRUE(logged("Command OnDragTeachEnabled executed ERROR...gActualServoMode[2]=CP_MODE \r\n")) << tail(10);
  host->drive().SetAxisStatus(2, 1);
  host->drive().SetAxisStatus(3, 1);
  cycles(1);
  EXPECT_EQ(call(43, kWrite, off).length, 2) << "accepted";
  EXPECT_TRUE(logged("Command OnDragTeachEnabled executed(write)...protocolParams[0]:1 \r\n"));
}

// The installed project with collision level 2 in its settings, so that the
// reader loads the threshold table (it reads it only for levels 1-5).
class CollisionSettings : public SafetyCommands {
 protected:
  void SetUp() override {
    std::FILE* in = std::fopen(kCollisionSettings, "rb");
    ASSERT_NE(in, nullptr);
    char buffer[4096];
    saved.assign(buffer, std::fread(buffer, 1, sizeof buffer, in));
    std::fclose(in);
    writeSettings(R"({"value": false, "mode": 0, "level": 2, "resumeType": 0, "stopType": 0})");
    StartHost(kSegmentKey);
  }
  void TearDown() override {
    SafetyCommands::TearDown();
    writeSettings(saved);
  }
  static void writeSettings(const std::string& text) {
    std::FILE* out = std::fopen(kCollisionSettings, "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
  }
  std::string saved;
};

TEST_F(CollisionSettings, LevelsAgainstTheProjectsThresholds) {
  ASSERT_EQ(collisionSwitch(), 0) << "detection off in the settings";
  // The default project's level-2 thresholds are 5, 5, 2, 0.25.
  const tagTorDiffParams sent{{1.0f, 2.0f, 3.0f, 4.0f}};
  call(201, kWrite, sent);

  call(193, kWrite, std::uint32_t{6});
  EXPECT_EQ(collisionSwitch(), 0) << "level 6 changes nothing";
  const tagTorDiffParams after6 = thresholds();
  EXPECT_EQ(std::memcmp(&sent, &after6, sizeof sent), 0) << "level 6 changes nothing";

  call(193, kWrite, std::uint32_t{2});
  EXPECT_EQ(collisionSwitch(), 1);
  const tagTorDiffParams level2 = thresholds();
  const float want[4] = {5.0f, 5.0f, 2.0f, 0.25f};
  for (int j = 0; j < 4; ++j) EXPECT_EQ(level2.torDiff[j], want[j]) << "joint " << j + 1;

  EXPECT_EQ(call(193, kWrite).length, 2);
  EXPECT_EQ(collisionSwitch(), 1) << "a request without its level changes nothing";

  call(193, kWrite, std::uint32_t{0});
  EXPECT_EQ(collisionSwitch(), 0);
  const tagTorDiffParams after0 = thresholds();
  EXPECT_EQ(std::memcmp(&level2, &after0, sizeof level2), 0) << "level 0 keeps the thresholds";
}

TEST_F(SafetyCommands, HandTeachingDuringAQueuedMoveStopsItAndClearsTheQueue) {
  enable();
  call(240, kWrite);
  const tagPTPCmd far{4, 30.0f, 90.0f, 100.0f, 0.0f};
  const tagPTPCmd further{4, 40.0f, 90.0f, 100.0f, 0.0f};
  const std::uint64_t first = IndexOf(call(84, kWriteQueued, far));
  call(84, kWriteQueued, further);
  cycles(25);
  ASSERT_GT(actual(0), 0.5) << "moving";
  const std::uint8_t on = 1;
  const Packet reply = call(41, kWrite, on);
  ASSERT_EQ(reply.length, 3);
  EXPECT_EQ(reply.params[0], 1);
  std::uint32_t left = 0;
  std::memcpy(&left, call(247, kRead).params, sizeof left);
  EXPECT_EQ(left, 64u) << "both rings emptied";
  cycles(60);
  EXPECT_EQ(byteReply(28), 1) << "at rest";
  EXPECT_LT(actual(0), 29.0);
  EXPECT_LT(currentIndex(), first + 1);
}

}  // namespace
}  // namespace zelor::sim::test
