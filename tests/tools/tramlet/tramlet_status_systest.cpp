// The axis status tramlet publishes every 30 ms: limits with hysteresis,
// alarms, position and the jog stop at a limit.
#include <string>

#include <gtest/gtest.h>

#include "support/tramlet_rig.h"

using namespace zelor::test;
using namespace ExterAxisRTU;

namespace {

// Forces the drive's position and waits until a pass has published it.
bool forceAndPublish(TramletRig& rig, std::int32_t pulses) {
  rig.drive().forcePosition(pulses);
  return rig.waitStatus([pulses](const auto& s) { return s.position == static_cast<float>(pulses); });
}

}  // namespace

TEST(TramletStatus, SoftwareLimitsWithHysteresis) {
  AxisFiles::unit().write();
  TramletRig rig;
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(rig.enable(1));

  struct Step {
    std::int32_t pos;
    std::uint16_t bits;
  };
  for (const Step& s : {Step{509, 0}, Step{510, 1}, Step{491, 1}, Step{490, 0}, Step{-10, 2}, Step{10, 0}}) {
    ASSERT_TRUE(forceAndPublish(rig, s.pos)) << s.pos;
    // One more pass at the same position settles the flags.
    const std::uint32_t reads = static_cast<std::uint32_t>(rig.drive().statusReads());
    ASSERT_TRUE(waitFor([&] { return rig.drive().statusReads() >= reads + 2; }, 1s));
    EXPECT_EQ(rig.status().alarmFlags & 3, s.bits) << "at " << s.pos;
  }

  // Disabling beyond a limit clears the flag at the next pass.
  ASSERT_TRUE(forceAndPublish(rig, 600));
  ASSERT_TRUE(rig.waitStatus([](const auto& s) { return (s.alarmFlags & 1) != 0; }));
  ASSERT_TRUE(rig.send(kMsgSetting, kCmdEnable, 0, 2));
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return (s.statusWord & 4) == 0 && (s.alarmFlags & 3) == 0; }));
}

TEST(TramletStatus, JogIntoTheLimitIsStopped) {
  AxisFiles::unit().write();
  TramletRig rig;
  auto& drive = rig.drive();
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(rig.enable(1));

  ASSERT_TRUE(forceAndPublish(rig, 480));
  ASSERT_TRUE(rig.send(kMsgMotion, kCmdJog, 1, 2));
  ASSERT_TRUE(waitFor([&] { return drive.holding(68) == 3; }, 2s));
  // Stopped by the status worker within a pass of entering the limit zone.
  ASSERT_TRUE(waitFor([&] { return drive.holding(68) == 1; }, 3s)) << rig.output();
  EXPECT_EQ(drive.holding32(116), 0);
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return (s.alarmFlags & 1) != 0; }));
  ASSERT_TRUE(waitFor([&] { return drive.input32(6) == 0; }, 2s));
  EXPECT_LE(drive.input32(4), 520);

  // A jog out of the limit runs on.
  ASSERT_TRUE(rig.send(kMsgMotion, kCmdJog, -1, 3));
  ASSERT_TRUE(waitFor([&] { return drive.input32(4) < 470; }, 3s)) << rig.output();
  EXPECT_EQ(drive.holding(68), 3);
  EXPECT_EQ(drive.holding32(116), -100);
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return (s.alarmFlags & 3) == 0; }));
}

TEST(TramletStatus, AlarmsStayUntilFaultReset) {
  AxisFiles::unit().write();
  TramletRig rig;
  auto& drive = rig.drive();
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(rig.enable(1));

  drive.setMuted(true);
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return (s.alarmFlags & 4) != 0; }, 3s));
  drive.setMuted(false);
  const long reads = drive.statusReads();
  ASSERT_TRUE(waitFor([&] { return drive.statusReads() >= reads + 3; }, 2s));
  EXPECT_NE(rig.status().alarmFlags & 4, 0) << "communication failure is kept";

  drive.setStatusBit14(true);
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return (s.alarmFlags & 0x10) != 0 && (s.statusWord & 0x4000) != 0; }));
  ASSERT_TRUE(rig.send(kMsgSetting, kCmdClearAlarm, 0, 2));
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return s.alarmFlags == 0; }, 3s)) << rig.output();
}

TEST(TramletStatus, PolarityAndPollRate) {
  AxisFiles{}.write();  // inverted motor, 18204 pulses per degree
  TramletRig rig;
  auto& drive = rig.drive();
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  drive.forcePosition(36408);
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return s.position == -2.0f; })) << rig.status().position;

  const long before = drive.statusReads();
  std::this_thread::sleep_for(1s);  // the measured interval
  EXPECT_GE(drive.statusReads() - before, 10);
}
