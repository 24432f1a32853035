// The handlers of this group that reach the slide rail, against a stand-in
// driver on the link's queue: the external-axis command and query, clearing
// the alarm map, and hand teaching switching the arm and the rail.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/kernel/alarms.h"
#include "common/kernel/drive_state.h"
#include "common/links/exter_axis_rtu.h"
#include "support/fake_slide_driver.h"
#include "support/queued_exec_fixture.h"
#include "support/slide_link_online.h"

namespace {

using namespace zelor::test;
namespace rtu = ExterAxisRTU;

constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWrite = 0x01;

struct AxisReply {
  std::uint32_t index;
  std::int32_t result;
};

Packet axisRequest(std::uint8_t ctrl, std::uint32_t cmd, std::uint32_t valueBits) {
  const std::uint32_t words[3] = {cmd, valueBits, 0};
  return makePacket(225, ctrl, words, sizeof words);
}
std::uint32_t bitsOf(float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

class SlideRailSafety : public QueuedExec {
 protected:
  void SetUp() override {
    QueuedExec::SetUp();
    // Builds the link (and its objects) while the driver is still offline.
    bool done = false;
    rtu::getCmdAllDone(&done);
    driver.emplace();
    ASSERT_TRUE(driver->opened());
    ASSERT_TRUE(setSlideDriverOnline(true));
    gEncoderResetFlag = gDriverResetFlag = gDriverAlarmFlag = 0;
    std::memset(gDriverEnbleFlag, 0, sizeof gDriverEnbleFlag);
  }
  void TearDown() override {
    FakeSlideDriver::setOnline(false);
    gEncoderResetFlag = gDriverResetFlag = gDriverAlarmFlag = 0;
    std::memset(gDriverEnbleFlag, 0, sizeof gDriverEnbleFlag);
    QueuedExec::TearDown();
  }
  AxisReply write(std::uint32_t cmd, std::uint32_t valueBits) {
    const Packet reply = exchange(axisRequest(kWrite, cmd, valueBits));
    EXPECT_EQ(reply.length, 10) << "operation " << cmd;
    AxisReply r;
    std::memcpy(&r, reply.params, sizeof r);
    return r;
  }
  std::vector<rtu::ExterAxisCmdMsg> drain() {
    std::vector<rtu::ExterAxisCmdMsg> all;
    while (auto msg = driver->receive()) all.push_back(*msg);
    return all;
  }
  std::optional<FakeSlideDriver> driver;
};

TEST_F(SlideRailSafety, WriteOperationsGoOutWithTheLinksIndex) {
  const AxisReply speed = write(9, bitsOf(50.0f));
  EXPECT_EQ(speed.result, 0);
  auto msg = driver->receive();
  ASSERT_TRUE(msg.has_value());
  EXPECT_EQ(msg->mtype, rtu::kMsgSetting);
  EXPECT_EQ(msg->body.cmd, 9);
  EXPECT_EQ(msg->body.value.f, 50.0f);
  EXPECT_EQ(msg->body.index, speed.index) << "the reply carries the index the link assigned";
  const AxisReply again = write(9, bitsOf(60.0f));
  EXPECT_EQ(again.index, speed.index + 1) << "each new command takes the next number";
  msg = driver->receive();
  ASSERT_TRUE(msg.has_value());
  EXPECT_EQ(msg->body.index, again.index);

  // The emergency stop keeps the current index.
  const AxisReply estop = write(3, 1);
  EXPECT_EQ(estop.result, 0);
  EXPECT_EQ(estop.index, again.index);
  msg = driver->receive();
  ASSERT_TRUE(msg.has_value());
  EXPECT_EQ(msg->mtype, rtu::kMsgImmediate);
  EXPECT_EQ(msg->body.cmd, 3);
  EXPECT_EQ(msg->body.value.i, 1);
  EXPECT_EQ(msg->body.index, again.index);

  // Each further operation reaches the link with its value as int or float.
  struct Case {
    std::uint32_t op;
    std::uint32_t bits;
    long type;
  };
  const Case cases[] = {{5, 0, rtu::kMsgSetting},          {6, static_cast<std::uint32_t>(-1), rtu::kMsgMotion},
                        {7, bitsOf(2.5f), rtu::kMsgMotion}, {10, bitsOf(80.0f), rtu::kMsgSetting},
                        {18, 1, rtu::kMsgImmediate},        {19, 1, rtu::kMsgImmediate},
                        {20, 1, rtu::kMsgImmediate},        {21, bitsOf(0.5f), rtu::kMsgSetting},
                        {22, 0, rtu::kMsgSetting}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    EXPECT_EQ(write(c.op, c.bits).result, 0);
    msg = driver->receive();
    ASSERT_TRUE(msg.has_value());
    EXPECT_EQ(msg->mtype, c.type);
    EXPECT_EQ(static_cast<std::uint32_t>(msg->body.cmd), c.op);
    if (c.op != 5 && c.op != 22) {
      EXPECT_EQ(static_cast<std::uint32_t>(msg->body.value.i), c.bits);
    }
  }
  EXPECT_EQ(write(8, bitsOf(120.0f)).result, 0);
  msg = driver->receive();
  ASSERT_TRUE(msg.has_value());
  EXPECT_EQ(msg->body.cmd, rtu::kCmdPosition);
  EXPECT_EQ(msg->body.value.f, 120.0f);
}

TEST_F(SlideRailSafety, UnknownOperationsAndShortWritesSendNothing) {
  for (std::uint32_t op : {0u, 1u, 4u, 11u, 13u, 17u, 23u}) {
    const AxisReply r = write(op, 1);
    EXPECT_EQ(r.index, 0u) << "operation " << op;
    EXPECT_EQ(r.result, -1) << "operation " << op;
  }
  const std::uint32_t speedOnly = 9;
  const Packet cut = exchange(makePacket(225, kWrite, &speedOnly, sizeof speedOnly));
  ASSERT_EQ(cut.length, 10);
  AxisReply r;
  std::memcpy(&r, cut.params, sizeof r);
  EXPECT_EQ(r.index, 0u);
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(driver->pending(), 0u);
}

TEST_F(SlideRailSafety, WithoutTheDriverTheLinkRefuses) {
  ASSERT_TRUE(setSlideDriverOnline(false));
  const AxisReply r = write(9, bitsOf(50.0f));
  EXPECT_EQ(r.index, 0xFFFFFFFFu);
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(driver->pending(), 0u);
}

TEST_F(SlideRailSafety, QueriesReplyTheDriversStatus) {
  rtu::ExterAxisStatus status{};
  status.cmdIndex = 7;
  status.reachedIndex = 8;
  status.position = 321.5f;
  status.alarmCode = 0x1234;
  status.alarmFlags = 0x0056;
  status.statusWord = rtu::kStateReady;
  driver->writeStatus(status);

  Packet reply = exchange(axisRequest(kRead, 13, 0));
  ASSERT_EQ(reply.length, 10);
  float position;
  std::int32_t result;
  std::memcpy(&position, reply.params, sizeof position);
  std::memcpy(&result, reply.params + 4, sizeof result);
  EXPECT_EQ(position, 321.5f);
  EXPECT_EQ(result, 0);

  reply = exchange(axisRequest(kRead, 14, 0));
  ASSERT_EQ(reply.length, 10);
  std::uint16_t words[2];
  std::memcpy(words, reply.params, sizeof words);
  EXPECT_EQ(words[0], 0x1234);
  EXPECT_EQ(words[1], 0x0056);

  reply = exchange(axisRequest(kRead, 16, 0));
  ASSERT_EQ(reply.length, 10);
  std::uint32_t index;
  std::memcpy(&index, reply.params, sizeof index);
  EXPECT_EQ(index, 7u);

  EXPECT_EQ(exchange(axisRequest(kRead, 15, 0)).length, 10);
  reply = exchange(axisRequest(kRead, 17, 0));
  ASSERT_EQ(reply.length, 7) << "one byte, then the result";
  std::memcpy(&result, reply.params + 1, sizeof result);
  EXPECT_EQ(result, 0);

  for (std::uint32_t op : {12u, 0u, 9u, 18u}) {
    EXPECT_EQ(exchange(axisRequest(kRead, op, 0)).length, 2) << "operation " << op;
  }
  EXPECT_EQ(driver->pending(), 0u) << "queries send nothing";
}

TEST_F(SlideRailSafety, ClearingAlarmsClearsTheWholeMapAndAsksForTheResets) {
  for (std::uint8_t driveAlarm : {0, 1}) {
    SCOPED_TRACE(static_cast<int>(driveAlarm));
    std::memset(gAlarmSysState, 0xA5, sizeof gAlarmSysState);
    gAlarmSysState[0] = 0xFF;
    gDriverAlarmFlag = driveAlarm;
    gDriverResetFlag = 0;
    gEncoderResetFlag = 0;

    const Packet read = exchange(makePacket(20, kRead, {}));
    ASSERT_EQ(read.length, 34);
    EXPECT_EQ(read.params[0], 0xFF);
    EXPECT_EQ(read.params[31], 0xA5);

    EXPECT_EQ(exchange(makePacket(20, kWrite, {})).length, 2);
    const std::uint8_t zeros[kAlarmMapBytes] = {};
    EXPECT_EQ(std::memcmp(gAlarmSysState, zeros, sizeof zeros), 0) << "alarms 0-7 too";
    EXPECT_EQ(gEncoderResetFlag, 1);
    EXPECT_EQ(gDriverResetFlag, driveAlarm) << "a drive reset only while a drive reports an alarm";
    const auto msgs = drain();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].mtype, rtu::kMsgSetting);
    EXPECT_EQ(msgs[0].body.cmd, rtu::kCmdClearAlarm);
    const Packet after = exchange(makePacket(20, kRead, {}));
    EXPECT_EQ(std::memcmp(after.params, zeros, sizeof zeros), 0);
  }
  EXPECT_TRUE(logged("Command OnAlarmsState(get) \r\n"));
  EXPECT_TRUE(logged("Command OnAlarmsState(clear) \r\n"));
}

TEST_F(SlideRailSafety, ServoAlarmClearAsksForADriveReset) {
  for (std::uint8_t ctrl : {kRead, kWrite}) {
    gDriverResetFlag = 0;
    EXPECT_EQ(exchange(makePacket(21, ctrl, {})).length, 2);
    EXPECT_EQ(gDriverResetFlag, 1);
  }
  EXPECT_TRUE(logged("Command OnClearServoAlarms \r\n"));
}

TEST_F(SlideRailSafety, HandTeachingOnByMotionMode) {
  struct Case {
    std::uint8_t mode;
    std::uint8_t modeAfter;
    std::uint8_t flagAfter;
    bool cleared;
  };
  const Case cases[] = {
      {kPrfIdle, kPrfIdle, 1, true},       {kPrfJogJoint, kPrfStop, 1, true},  {kPrfJogCartesian, kPrfStop, 1, true},
      {kPrfExecute, kPrfStop, 1, true},    {kPrfStop, kPrfStop, 1, true},      {kPrfHoming, kPrfHoming, 0, false},
      {kPrfPoseReset, kPrfPoseReset, 0, false}, {kPrfEnableCheck, kPrfEnableCheck, 0, false},
      {kPrfWait, kPrfIdle, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    ResetMotionKernel();
    if (c.mode == kPrfExecute) {
      RunEntry(kPackedPTP);
    } else {
      gRobotPrfMode = c.mode;
    }
    gStopMode = kStopPath;
    gSysParams.eCPFlag = 1;
    QueueCommands(2);
    PlanEntries({kPackedPTP});
    const Packet reply = exchange(makePacket(41, kWrite, {1}));
    ASSERT_EQ(reply.length, 3);
    EXPECT_EQ(reply.params[0], c.flagAfter) << "the reply is the flag";
    EXPECT_EQ(gHandTeachFlag, c.flagAfter);
    EXPECT_EQ(gRobotPrfMode, c.modeAfter);
    if (c.mode == kPrfExecute || c.mode == kPrfJogJoint) {
      EXPECT_EQ(gStopMode, kStopEmergency);
    }
    EXPECT_EQ(+gPackedCmdQueue.count == 0 && +gPreDealDataQueue.count == 0, c.cleared) << "both rings";
    EXPECT_EQ(gSysParams.eCPFlag, c.cleared ? 0 : 1);
    const auto msgs = drain();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].body.cmd, rtu::kCmdEnable);
    EXPECT_EQ(msgs[0].body.value.i, 0) << "the rail is disabled";
  }
  EXPECT_TRUE(logged("[OnHHTTrigOutputEnabled],get tempHandTeachFlag 1\r\n"));
  EXPECT_TRUE(logged("[OnHHTTrigOutputEnabled], gRobotPrfMode 6\r\n"));
}

TEST_F(SlideRailSafety, HandTeachingOffOnlyAtRestWithTheDrivesOff) {
  struct Case {
    const char* what;
    std::uint8_t mode;
    std::uint8_t enabled[4];
    std::uint8_t flagAfter;
    const char* line;
  };
  const Case cases[] = {
      {"at rest, drives off", kPrfIdle, {1, 1, 1, 0}, 0, nullptr},
      {"jogging", kPrfJogJoint, {0, 0, 0, 0}, 1, "[OnHHTTrigOutputEnabled],motor gHandTeachFlag 1, not standstill\r\n"},
      {"at rest, drives on", kPrfIdle, {1, 1, 1, 1}, 1,
       "[OnHHTTrigOutputEnabled],motor gHandTeachFlag 1, standstill but enable\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    core.logs.clear();
    gHandTeachFlag = 1;
    gRobotPrfMode = c.mode;
    std::memcpy(gDriverEnbleFlag, c.enabled, sizeof gDriverEnbleFlag);
    const Packet reply = exchange(makePacket(41, kWrite, {0}));
    ASSERT_EQ(reply.length, 3);
    EXPECT_EQ(reply.params[0], c.flagAfter);
    EXPECT_EQ(gHandTeachFlag, c.flagAfter);
    EXPECT_EQ(gRobotPrfMode, c.mode) << "nothing is stopped";
    if (c.line != nullptr) {
      EXPECT_TRUE(logged(c.line));
    }
    EXPECT_TRUE(logged("[OnHHTTrigOutputEnabled],motor gHandTeachFlag " + std::to_string(c.flagAfter) + "\r\n"));
    const auto msgs = drain();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].body.cmd, rtu::kCmdEnable);
    EXPECT_EQ(msgs[0].body.value.i, 1) << "the rail is enabled";

    const Packet read = exchange(makePacket(41, kRead, {}));
    ASSERT_EQ(read.length, 3);
    EXPECT_EQ(read.params[0], c.flagAfter);
  }
  gRobotPrfMode = kPrfIdle;
}

TEST_F(SlideRailSafety, HandTeachingRequestWithoutItsByteChangesNothing) {
  gHandTeachFlag = 1;
  const Packet reply = exchange(makePacket(41, kWrite, {}));
  ASSERT_EQ(reply.length, 3);
  EXPECT_EQ(reply.params[0], 1);
  EXPECT_EQ(gHandTeachFlag, 1);
  EXPECT_EQ(driver->pending(), 0u);
}

}  // namespace
