// Drive operations of the slide-rail driver against the simulated drive.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "slide_drive/slide_drive_sim.h"
#include "tramlet/limit_state.h"
#include "tramlet/slide_drive.h"

using tramlet_detail::SlideDrive;
using zelor::sim::SlideDriveSim;

namespace {

struct Rig {
  SlideDriveSim sim;
  SlideDrive drive{("/dev/" + sim.slaveName()).c_str()};
  // Every register written so far, in order.
  std::size_t writes() {
    std::size_t n = 0;
    for (int r = 0; r < SlideDriveSim::kRegisters; ++r) n += sim.writesTo(r).size();
    return n;
  }
};

}  // namespace

TEST(TramletDrive, BadArgumentsWriteNothing) {
  Rig rig;
  ASSERT_TRUE(rig.sim.ok());
  testing::internal::CaptureStdout();
  EXPECT_EQ(rig.drive.halt(true, 5), -2);
  EXPECT_EQ(rig.drive.halt(false, -1), -2);
  EXPECT_EQ(rig.drive.setTrackType(3), -2);
  EXPECT_EQ(rig.drive.setTrackType(-1), -2);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("halt[108]haltMode 5 is wrong!!\n"), std::string::npos) << out;
  EXPECT_NE(out.find("setTrackType[104]trackType 3 is wrong!!\n"), std::string::npos) << out;
  EXPECT_EQ(rig.writes(), 0u);
}

TEST(TramletDrive, ControlWordOperations) {
  Rig rig;
  ASSERT_TRUE(rig.sim.ok());
  ASSERT_EQ(rig.drive.writeControlWord(0x0200 | 7), 1);
  // Track type: bit 5 follows bit 0 of the type, bit 9 is cleared.
  struct Case {
    int type;
    std::uint16_t want;
  };
  for (const Case& c : {Case{1, 0x27}, Case{2, 0x07}, Case{1, 0x27}, Case{0, 0x07}}) {
    ASSERT_EQ(rig.drive.setTrackType(c.type), 0);
    EXPECT_EQ(rig.sim.holding(65), c.want) << c.type;
  }
  // Halt writes its mode first when switched on; quick stop its mode when active.
  ASSERT_EQ(rig.drive.halt(true, 2), 0);
  EXPECT_EQ(rig.sim.writesTo(67), std::vector<std::uint16_t>{2});
  EXPECT_EQ(rig.sim.holding(65), 0x107);
  ASSERT_EQ(rig.drive.halt(false, 4), 0);
  EXPECT_EQ(rig.sim.writesTo(67).size(), 1u);
  ASSERT_EQ(rig.drive.quickStop(false, 9), 0);
  EXPECT_EQ(rig.sim.holding(66), 9);
  EXPECT_EQ(rig.sim.holding(65), 0x003);
  ASSERT_EQ(rig.drive.quickStop(true, 9), 0);
  EXPECT_EQ(rig.sim.writesTo(66).size(), 1u);
  EXPECT_EQ(rig.sim.holding(65), 0x007);
  // Another register is read, changed and written back.
  rig.sim.setHolding(120, 0x8001);
  ASSERT_EQ(rig.drive.setRegisterBit(120, 4, true), 0);
  EXPECT_EQ(rig.sim.holding(120), 0x8011);
  EXPECT_EQ(rig.drive.controlWord(), 0x007);
}

TEST(TramletDrive, EnableAndSetPointHandshake) {
  Rig rig;
  ASSERT_TRUE(rig.sim.ok());
  rig.drive.writeControlWord(6);
  rig.drive.writeRegister(68, 1);
  rig.drive.writeControlWord(7);
  EXPECT_EQ(rig.drive.isEnable(), 0);
  ASSERT_EQ(rig.drive.setEnable(true), 0);
  EXPECT_EQ(rig.drive.isEnable(), 1);

  testing::internal::CaptureStdout();
  ASSERT_EQ(rig.drive.setPosition(-70000), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "posi = -70000, hex=0xEE90 0xFFFE\n");
  EXPECT_EQ(rig.sim.holding32(74), -70000);
  rig.drive.writeRegister32(89, 1000000);
  rig.drive.writeRegister32(93, 10000000);
  ASSERT_EQ(rig.drive.updatePosition(20), 0);
  // Bit 4 was set until the drive acknowledged it, then cleared.
  const auto cw = rig.sim.writesTo(65);
  ASSERT_GE(cw.size(), 2u);
  EXPECT_EQ(cw[cw.size() - 2], 0x1F);
  EXPECT_EQ(cw.back(), 0x0F);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (rig.sim.input32(4) != -70000 && std::chrono::steady_clock::now() < deadline) {
  }
  EXPECT_EQ(rig.sim.input32(4), -70000);
  EXPECT_NE(rig.sim.input(2) & 0x400, 0);

  ASSERT_EQ(rig.drive.setEnable(false), 0);
  EXPECT_EQ(rig.drive.isEnable(), 0);
}

TEST(TramletDrive, FailedTransfersAreReported) {
  Rig rig;
  ASSERT_TRUE(rig.sim.ok());
  rig.sim.setMuted(true);
  testing::internal::CaptureStdout();
  EXPECT_EQ(rig.drive.setEnable(true), -1);
  EXPECT_EQ(rig.drive.isEnable(), -1);
  // A failed read during the handshake leaves bit 4 set.
  EXPECT_EQ(rig.drive.updatePosition(1), -1);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("setEnable[102] comm failed!!\n"), std::string::npos) << out;
  EXPECT_NE(out.find("[101] comm failed!!\n"), std::string::npos) << out;
  EXPECT_EQ(rig.drive.controlWord() & 0x18, 0x18);
}

TEST(TramletDrive, HandshakeTimeOutStillSucceeds) {
  Rig rig;
  ASSERT_TRUE(rig.sim.ok());
  // Not enabled: the drive never acknowledges a set-point.
  testing::internal::CaptureStdout();
  EXPECT_EQ(rig.drive.updatePosition(1), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("updatePosition[116]time out\n"), std::string::npos);
  EXPECT_EQ(rig.sim.holding(65) & 0x10, 0);
}

TEST(TramletLimits, HysteresisRules) {
  using tramlet_detail::applyLimitRules;
  struct Step {
    std::int32_t pos;
    bool enabled;
    std::int32_t state;
    std::uint16_t flags;
  };
  // limitNeg 0, limitPos 500.
  const std::vector<Step> walk = {
      {509, true, 0, 0},  {510, true, 1, 1},   {491, true, 1, 1},   {490, true, 0, 0},
      {-9, true, 0, 0},   {-10, true, -1, 2},  {9, true, -1, 2},    {10, true, 0, 0},
      {600, true, 1, 1},  {600, false, 1, 0},  {600, true, 1, 0},   {400, true, 0, 0},
      {-50, true, -1, 2}, {600, true, 1, 3},   {-50, true, -1, 2},  {100, true, 0, 0},
  };
  std::int32_t state = 0;
  std::uint16_t flags = 0x1C;  // other bits are left alone
  for (std::size_t i = 0; i < walk.size(); ++i) {
    applyLimitRules(walk[i].pos, 500, 0, walk[i].enabled, state, flags);
    EXPECT_EQ(state, walk[i].state) << "step " << i;
    EXPECT_EQ(flags & 3, walk[i].flags) << "step " << i;
    EXPECT_EQ(flags & 0x1C, 0x1C) << "step " << i;
  }
  // Limits at the ends of the int32 range do not overflow.
  state = 0;
  flags = 0;
  applyLimitRules(INT32_MAX, INT32_MAX, INT32_MIN, true, state, flags);
  applyLimitRules(INT32_MIN, INT32_MAX, INT32_MIN, true, state, flags);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(flags, 0);
}
