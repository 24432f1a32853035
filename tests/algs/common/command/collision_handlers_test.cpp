// Collision commands through packets: the level switches detection and takes
// the level's thresholds from the project's collision settings; thresholds
// are stored and read back; values that are not finite, empty level
// requests and unknown levels change nothing.
#include "common/command/collision_handlers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "common/kernel/collision_detection.h"
#include "common/kernel/dynamics_state.h"
#include "json/parameter_globals.h"
#include "support/kernel_commands.h"

namespace {

using zelor::test::KernelCommands;
using zelor::test::makePacket;
using zelor::test::replyIndex;
using zelor::test::replyRecord;

constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWrite = 0x01;
constexpr std::uint8_t kWriteQueued = 0x03;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class CollisionCommands : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    saved = m_st_collisionParams;
    // Joint j, level L: 10 j + L.
    for (int j = 0; j < 6; ++j) {
      for (int l = 0; l < 5; ++l) m_st_collisionParams.torDiff[j][l] = static_cast<float>(10 * j + l + 1);
    }
    gTorDiffParams = kBefore;
    gIsCollisionDect = 1;
  }
  void TearDown() override {
    m_st_collisionParams = saved;
    gTorDiffParams = {};
    gIsCollisionDect = 0;
    KernelCommands::TearDown();
  }
  bool thresholdsAre(const tagTorDiffParams& want) const {
    return std::memcmp(&gTorDiffParams, &want, sizeof want) == 0;
  }

  static constexpr tagTorDiffParams kBefore{{0.5f, 0.25f, 0.125f, 2.0f}};
  st_collisionParams saved{};
};

TEST_F(CollisionCommands, LevelSwitchesDetectionAndTakesThatLevelsThresholds) {
  struct Case {
    std::uint8_t level;
    std::uint8_t detection;
    tagTorDiffParams thresholds;
  };
  const Case cases[] = {
      {1, 1, {{1, 11, 21, 31}}}, {5, 1, {{5, 15, 25, 35}}}, {0, 0, kBefore},
      {6, 1, kBefore},           {255, 1, kBefore},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.level));
    gTorDiffParams = kBefore;
    gIsCollisionDect = 1;
    for (std::uint8_t ctrl : {kWrite, kRead}) {
      const Packet reply = exchange(makePacket(193, ctrl, {c.level, 8, 9, 10}));
      ASSERT_EQ(reply.length, 6) << "the reply repeats the request";
      EXPECT_EQ(reply.params[0], c.level);
      EXPECT_EQ(reply.params[3], 10);
      EXPECT_EQ(gIsCollisionDect, c.detection);
      EXPECT_TRUE(thresholdsAre(c.thresholds));
    }
  }
}

TEST_F(CollisionCommands, LevelTwoAlsoLogsTheSixJoints) {
  exchange(makePacket(193, kWrite, {2, 0, 0, 0}));
  EXPECT_TRUE(logged("Command OnSetTorDiffLevel params:2.000 12.000 22.000 32.000  42.000 52.000;\r\n"));
  EXPECT_TRUE(logged("Command OnSetTorDiffLevel params:2.000 12.000 22.000 32.000;gIsCollisionDect:1;level:2\r\n"));
}

TEST_F(CollisionCommands, ALevelRequestWithoutItsByteChangesNothing) {
  for (std::uint8_t ctrl : {kWrite, kRead}) {
    core.logs.clear();
    const Packet reply = exchange(makePacket(193, ctrl, {}));
    EXPECT_EQ(reply.length, 2);
    EXPECT_EQ(gIsCollisionDect, 1) << "not taken as level 0";
    EXPECT_TRUE(thresholdsAre(kBefore));
    EXPECT_EQ(core.logs.size(), 1u);
  }
}

TEST_F(CollisionCommands, ThresholdsAreStoredWhenFiniteAndNeverQueued) {
  const tagTorDiffParams sent{{3.0f, -1.0f, 0.5f, 7.25f}};
  EXPECT_EQ(replyIndex(exchange(makePacket(201, kWriteQueued, &sent, sizeof sent))), 1u);
  EXPECT_TRUE(thresholdsAre(sent)) << "negative thresholds are taken as sent";
  EXPECT_TRUE(logged("Command OnCollisionThreshold params:3.000 -1.000 0.500 7.250 \r\n"));
  EXPECT_TRUE(thresholdsAre(replyRecord<tagTorDiffParams>(exchange(makePacket(201, kRead, {})))));

  for (int j = 0; j < 4; ++j) {
    tagTorDiffParams bad = sent;
    bad.torDiff[j] = (j % 2 == 0) ? kNaN : std::numeric_limits<float>::infinity();
    bad.torDiff[(j + 1) % 4] = 99.0f;
    EXPECT_EQ(exchange(makePacket(201, kWrite, &bad, sizeof bad)).length, 2);
    EXPECT_TRUE(thresholdsAre(sent)) << "joint " << j;
  }
  EXPECT_EQ(exchange(makePacket(201, kWrite, &sent, 12)).length, 2);
  EXPECT_TRUE(thresholdsAre(sent));
}

}  // namespace
