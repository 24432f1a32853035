// Alarm map: setting, clearing, the check that logs each new byte once.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"

namespace {

std::vector<std::string> logged;
void captureLog(const char* text) { logged.emplace_back(text); }

class AlarmMap : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
    std::memset(gAlarmSysStateBK, 0, sizeof gAlarmSysStateBK);
    table_.log = captureLog;
    saved_ = gp_core_interface_inst;
    gp_core_interface_inst = &table_;
    logged.clear();
  }
  void TearDown() override { gp_core_interface_inst = saved_; }
  core_interface table_{};
  core_interface* saved_ = nullptr;
};

}  // namespace

TEST_F(AlarmMap, OutOfRangeIndexChangesAndLogsNothing) {
  AlarmSysSetBit(256, true);
  for (std::uint8_t b : gAlarmSysState) EXPECT_EQ(b, 0);
  EXPECT_TRUE(logged.empty());
}

TEST_F(AlarmMap, SetLogsEveryTimeClearIsSilent) {
  AlarmSysSetBit(17, true);
  AlarmSysSetBit(17, true);
  EXPECT_EQ(gAlarmSysState[2], 0x02);
  EXPECT_TRUE(AlarmIsSet(17));
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_EQ(logged[0], "AlarmSysSetBit(index=17,isOn=1) executed \r\n");
  AlarmSysSetBit(17, false);
  EXPECT_EQ(gAlarmSysState[2], 0);
  EXPECT_EQ(logged.size(), 2u);
}

TEST_F(AlarmMap, CheckIgnoresByteZeroAndLogsNewBytesOnce) {
  AlarmSysSetBit(3, true);
  logged.clear();
  EXPECT_EQ(AlarmSysCheck(), 0);
  EXPECT_TRUE(logged.empty());

  AlarmSysSetBit(8, true);
  logged.clear();
  EXPECT_EQ(AlarmSysCheck(), 1);
  EXPECT_EQ(AlarmSysCheck(), 1);
  EXPECT_EQ(logged, std::vector<std::string>{"[ALARM]ID Occur:1\r\n"});

  AlarmSysSetBit(9, true);  // the byte changes: logged again
  logged.clear();
  AlarmSysCheck();
  EXPECT_EQ(logged, std::vector<std::string>{"[ALARM]ID Occur:1\r\n"});
}

TEST_F(AlarmMap, DetectReportsFirstNonZeroByte) {
  detectAlarm(5);
  EXPECT_TRUE(logged.empty());
  AlarmSysSetBit(70, true);
  AlarmSysSetBit(100, true);
  logged.clear();
  detectAlarm(42);
  EXPECT_EQ(logged, std::vector<std::string>{"[detectAlarm], alarmsState[8] = 0x40, line = 42\r\n"});
}

TEST(MotionTypeClass, TableOfMembership) {
  const struct {
    int type, cls, expected;
  } cases[] = {{1, 0, 1}, {4, 0, 1}, {6, 0, 1}, {8, 0, 1}, {2, 0, 0}, {2, 1, 1},
               {7, 1, 1}, {5, 1, 0}, {1, 1, 0}, {1, 2, 0}, {9, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(IsMotiontypeBelongto(c.type, c.cls), c.expected) << c.type << "/" << c.cls;
  }
}
