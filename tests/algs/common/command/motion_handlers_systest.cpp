// The handlers that reach the slide rail, against a stand-in driver on the
// link's queue: homing with the external axis zeroes it, a changed global
// speed ratio passes its rate on.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "common/links/exter_axis_rtu.h"
#include "support/fake_slide_driver.h"
#include "support/kernel_commands.h"
#include "support/slide_link_online.h"

namespace {

using zelor::test::FakeSlideDriver;
using zelor::test::KernelCommands;

class SlideRailCommands : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    // Builds the link (and its objects) while the driver is still offline.
    bool done = false;
    ExterAxisRTU::getCmdAllDone(&done);
    driver.emplace();
    ASSERT_TRUE(driver->opened());
    ASSERT_TRUE(zelor::test::setSlideDriverOnline(true));
  }
  void TearDown() override {
    FakeSlideDriver::setOnline(false);
    KernelCommands::TearDown();
  }
  std::optional<FakeSlideDriver> driver;
};

TEST_F(SlideRailCommands, HomingWithBitFourStoresTheJointsAndZeroesTheExternalAxis) {
  const unsigned char mode = 17;
  const Packet reply = exchange([&](PluginBase& c) { return c.alloc_SetHOMECmd(&mode, 0); });
  EXPECT_EQ(g_single_joint_mode, 1);
  EXPECT_EQ(gRobotPrfMode, kPrfHoming);
  EXPECT_EQ(reply.length, 3);
  EXPECT_EQ(reply.params[0], 17);
  const auto msg = driver->receive();
  ASSERT_TRUE(msg.has_value()) << "a zeroing command on the slide-rail queue";
  EXPECT_EQ(msg->mtype, ExterAxisRTU::kMsgSetting);
  EXPECT_EQ(msg->body.cmd, ExterAxisRTU::kCmdZeroPos);
  EXPECT_EQ(driver->pending(), 0u);
}

TEST_F(SlideRailCommands, AChangedSpeedRatioIsStoredAndPassedOnAsARate) {
  gSysParams.speedFactorRatio = 40.0f;
  guiModdifyCount = 3;
  const Packet reply = exchange([](PluginBase& c) { return c.alloc_SetSpeedFactorParams(60, false); });
  EXPECT_EQ(reply.length, 2);
  EXPECT_EQ(+gSysParams.speedFactorRatio, 60.0f);
  EXPECT_EQ(+gSysParams.speedFactorRatioCopy, 60.0f);
  EXPECT_EQ(gbModifySpeedRatio, 1) << "queued execution stopped: the queued moves are re-planned";
  EXPECT_EQ(guiModdifyCount, 0u);
  auto msg = driver->receive();
  ASSERT_TRUE(msg.has_value());
  EXPECT_EQ(msg->mtype, ExterAxisRTU::kMsgSetting);
  EXPECT_EQ(msg->body.cmd, ExterAxisRTU::kCmdRate);
  EXPECT_FLOAT_EQ(msg->body.value.f, 0.6f);

  // While queued execution runs the re-plan is not asked for.
  gbModifySpeedRatio = 0;
  gSysParams.runQueuedCmd = 1;
  exchange([](PluginBase& c) { return c.alloc_SetSpeedFactorParams(100, false); });
  EXPECT_EQ(gbModifySpeedRatio, 0);
  msg = driver->receive();
  ASSERT_TRUE(msg.has_value());
  EXPECT_FLOAT_EQ(msg->body.value.f, 1.0f);

  // The ratio in force again: nothing is sent.
  exchange([](PluginBase& c) { return c.alloc_SetSpeedFactorParams(100, false); });
  EXPECT_EQ(driver->pending(), 0u);
}

}  // namespace
