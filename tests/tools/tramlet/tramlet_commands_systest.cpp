// Slide commands put on the queue as the motion library does, carried out by
// tramlet on the simulated drive.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "support/tramlet_rig.h"

using namespace zelor::test;
using namespace ExterAxisRTU;

namespace {

bool contains(const std::vector<std::uint16_t>& v, std::uint16_t mask, bool set) {
  for (std::uint16_t w : v) {
    if (((w & mask) != 0) == set) return true;
  }
  return false;
}

}  // namespace

TEST(TramletCommands, EnableAndAbsoluteMove) {
  AxisFiles::upright().write();
  TramletRig rig;
  auto& drive = rig.drive();
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(rig.send(kMsgSetting, kCmdEnable, 1, 1));
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return (s.statusWord & 4) != 0; }, 1s)) << rig.output();
  EXPECT_NE(drive.holding(65) & 8, 0);

  ASSERT_TRUE(rig.sendFloat(kMsgMotion, kCmdPosition, 2.0f, 7));
  EXPECT_TRUE(rig.waitStatus([](const auto& s) {
    return s.cmdIndex == 8 && s.reachedIndex == 8 && s.position == 2.0f && (s.statusWord & 0x400) != 0;
  }, 3s)) << rig.output();
  EXPECT_EQ(drive.holding(74), 36408);
  EXPECT_EQ(drive.holding(75), 0);
  EXPECT_EQ(drive.holding32(89), 6553440);
  EXPECT_EQ(drive.holding32(93), 18204000);
  const auto cw = drive.writesTo(65);
  EXPECT_TRUE(contains(cw, 0x10, true)) << "set-point bit pulsed";
  EXPECT_EQ(cw.back() & 0x10, 0);
  EXPECT_NE(rig.output().find("targetPosition:36408, yes:1024\n"), std::string::npos) << rig.output();
}

TEST(TramletCommands, AbsoluteMoveTrackingAndLimits) {
  AxisFiles::kilo().write();
  TramletRig rig;
  auto& drive = rig.drive();
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(rig.enable(1));
  auto waitIndex = [&](std::uint32_t index) {
    return rig.waitStatus([index](const auto& s) { return s.cmdIndex == index; }, 3s);
  };

  // A negative value moves to its absolute value and is not tracked.
  ASSERT_TRUE(rig.sendFloat(kMsgMotion, kCmdPosition, -5.0f, 10));
  EXPECT_TRUE(waitFor([&] { return drive.input32(4) == 5000; }, 3s));
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return s.position == 5.0f; }));
  EXPECT_EQ(rig.status().cmdIndex, 10u);

  // +0.0 is tracked, -0.0 is not.
  ASSERT_TRUE(rig.sendFloat(kMsgMotion, kCmdPosition, 0.0f, 20));
  EXPECT_TRUE(waitIndex(21)) << rig.output();
  EXPECT_EQ(drive.input32(4), 0);
  ASSERT_TRUE(rig.sendFloat(kMsgMotion, kCmdPosition, -0.0f, 30));
  EXPECT_TRUE(waitIndex(30));
  std::this_thread::sleep_for(200ms);  // several completion polls
  EXPECT_EQ(rig.status().cmdIndex, 30u);
  // Moves in a row write the profile only once.
  EXPECT_EQ(drive.writesTo(89).size(), 1u);
  EXPECT_EQ(drive.writesTo(93).size(), 1u);

  // Targets beyond the limits, too large or not a number: refused, flagged.
  const std::size_t targets = drive.writesTo(74).size();
  std::uint32_t index = 40;
  for (const float value : {200.0f, 1e30f, std::numeric_limits<float>::quiet_NaN()}) {
    ASSERT_TRUE(rig.sendFloat(kMsgMotion, kCmdPosition, value, index));
    // The resting axis reports its target reached: index + 1.
    EXPECT_TRUE(rig.waitStatus([index](const auto& s) { return (s.alarmFlags & 8) != 0 && s.cmdIndex == index + 1; }, 3s))
        << value;
    ASSERT_TRUE(rig.send(kMsgSetting, kCmdClearAlarm, 0, index + 2));
    EXPECT_TRUE(rig.waitStatus([](const auto& s) { return s.alarmFlags == 0; }, 3s)) << value;
    index += 10;
  }
  EXPECT_EQ(drive.writesTo(74).size(), targets) << "nothing moved";
  EXPECT_EQ(drive.input32(4), 0);
}

TEST(TramletCommands, PauseAndContinueCompleteTheMove) {
  AxisFiles::kilo().write();
  TramletRig rig;
  auto& drive = rig.drive();
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(rig.enable(1));
  ASSERT_TRUE(rig.sendFloat(kMsgMotion, kCmdPosition, 90.0f, 10));
  ASSERT_TRUE(waitFor([&] { return drive.input32(4) > 10000; }, 3s));
  ASSERT_TRUE(rig.send(kMsgImmediate, kCmdPause, 0, 11));
  ASSERT_TRUE(rig.waitOutput("get emegency order[19]\n", 2s));
  ASSERT_TRUE(rig.waitOutput("actualSpeed=", 3s)) << rig.output();
  ASSERT_TRUE(waitFor([&] { return rig.waitingForCommand(); }, 3s));
  const std::int32_t stoppedAt = drive.input32(4);
  EXPECT_LT(stoppedAt, 90000);
  EXPECT_EQ(drive.input32(6), 0);
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return s.stopState == 1; }));
  EXPECT_EQ(rig.status().cmdIndex, 10u);

  // The continue is taken by the normal read and resumes the move.
  ASSERT_TRUE(rig.send(kMsgImmediate, kCmdContinue, 0, 11));
  ASSERT_TRUE(rig.waitOutput("get order[20]\n", 2s)) << rig.output();
  EXPECT_EQ(rig.status().cmdIndex, 10u);
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return s.cmdIndex == 11 && s.position == 90.0f; }, 5s))
      << rig.output();
  EXPECT_EQ(drive.input32(4), 90000);
}

TEST(TramletCommands, JogRules) {
  AxisFiles::kilo().write();
  TramletRig rig;
  auto& drive = rig.drive();
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(rig.enable(1));

  ASSERT_TRUE(rig.send(kMsgMotion, kCmdJog, 1, 2));
  ASSERT_TRUE(waitFor([&] { return drive.holding(68) == 3 && drive.holding32(116) == 10000; }, 2s)) << rig.output();
  ASSERT_TRUE(rig.send(kMsgMotion, kCmdJog, 1, 3));
  EXPECT_TRUE(rig.waitOutput("need stop jog before\n", 2s));
  ASSERT_TRUE(rig.send(kMsgMotion, kCmdJog, 0, 4));
  ASSERT_TRUE(waitFor([&] { return drive.holding(68) == 1 && drive.holding32(116) == 0; }, 3s));
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return s.cmdIndex == 4; }));

  // At the positive limit a jog further in does nothing.
  drive.forcePosition(100500);
  ASSERT_TRUE(rig.waitStatus([](const auto& s) { return (s.alarmFlags & 1) != 0; }));
  const int jogs = rig.countOutput("jog speed = ");
  ASSERT_TRUE(rig.send(kMsgMotion, kCmdJog, 1, 5));
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return s.cmdIndex == 5; }));
  EXPECT_EQ(rig.countOutput("jog speed = "), jogs);
  EXPECT_EQ(drive.holding(68), 1);
}

TEST(TramletCommands, SetZeroAndFaultReset) {
  AxisFiles::kilo().write();
  TramletRig rig;
  auto& drive = rig.drive();
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(rig.enable(1));

  drive.forcePosition(12345);
  ASSERT_TRUE(rig.send(kMsgSetting, kCmdZeroPos, 0, 2));
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return s.cmdIndex == 2 && s.position == 0.0f; }, 3s));
  const auto modes = drive.writesTo(68);
  ASSERT_GE(modes.size(), 3u);
  EXPECT_EQ(modes[modes.size() - 2], 6);
  EXPECT_EQ(modes.back(), 1);

  // Alarm code, drive state bit, refused target and a silent drive...
  drive.setAlarmCode(33);
  drive.setStatusBit14(true);
  ASSERT_TRUE(rig.sendFloat(kMsgMotion, kCmdPosition, 500.0f, 3));
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return (s.alarmFlags & 0x18) == 0x18 && s.alarmCode == 33; }, 3s));
  drive.setMuted(true);
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return (s.alarmFlags & 4) != 0; }, 3s));
  drive.setMuted(false);
  EXPECT_TRUE(rig.waitStatus(
      [](const auto& s) { return (s.alarmFlags & 0x1C) == 0x1C && s.alarmCode == 33; }, 3s));
  // ...all cleared by one fault reset.
  ASSERT_TRUE(rig.send(kMsgSetting, kCmdClearAlarm, 0, 4));
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return s.alarmFlags == 0 && s.alarmCode == 0; }, 3s))
      << rig.output();
}

TEST(TramletCommands, RateAndReload) {
  AxisFiles files = AxisFiles::kilo();
  files.write();
  TramletRig rig;
  auto& drive = rig.drive();
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(rig.enable(1));

  ASSERT_TRUE(rig.sendFloat(kMsgSetting, kCmdRate, 0.5f, 2));
  EXPECT_TRUE(rig.waitOutput("ptpSpeed = 25000\npspAccel = 500000\n", 2s)) << rig.output();
  ASSERT_TRUE(rig.sendFloat(kMsgMotion, kCmdPosition, 1.0f, 3));
  EXPECT_TRUE(rig.waitStatus([](const auto& s) { return s.cmdIndex == 4; }, 3s));
  EXPECT_EQ(drive.holding32(89), 25000);
  EXPECT_EQ(drive.holding32(93), 500000);

  EXPECT_EQ(drive.holding32(85), 50000);
  files.playback = R"({"velocity":[20],"acceleration":[1000]})";
  files.write();
  ASSERT_TRUE(rig.send(kMsgSetting, kCmdReload, 0, 5));
  EXPECT_TRUE(waitFor([&] { return drive.holding32(85) == 20000; }, 3s)) << rig.output();
}

TEST(TramletCommands, OversizedMessageIsDiscarded) {
  AxisFiles::kilo().write();
  TramletRig rig;
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  struct {
    long type = kMsgSetting;
    char body[20] = {};
  } longMsg;
  ASSERT_EQ(msgsnd(rig.msqId(), &longMsg, sizeof longMsg.body, IPC_NOWAIT), 0);
  EXPECT_TRUE(rig.enable(1)) << rig.output();
  EXPECT_EQ(rig.countOutput("discarded an oversized message"), 1) << rig.output();
  EXPECT_EQ(rig.queued(), 0u);
}
