// Identification samples: one record every fifth cycle of mode 33 in profile
// mode 4, restarted by mode 3, the record's layout, the cap, no buffer.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "dynamics_stage_fixture.h"

using namespace zelor::test;

namespace {

class ExcitRecording : public DynamicsStage {
 protected:
  void SetUp() override {
    DynamicsStage::SetUp();
    records_.assign(kExcitRecordCapacity + 1, tagExcit6Pos{});
    std::memset(records_.data(), 0xA5, records_.size() * sizeof(tagExcit6Pos));
    g_tagExcit_6Pos = records_.data();
    gRobotPrfMode = kPrfExecute;
  }
  void TearDown() override {
    g_tagExcit_6Pos = nullptr;
    DynamicsStage::TearDown();
  }

  static void cycles(int n, std::uint8_t mode) {
    gExcitMode = mode;
    for (int i = 0; i < n; ++i) Dynamics(true);
  }
  // The record at `index` still holds the fill pattern.
  bool untouched(std::size_t index) const {
    tagExcit6Pos fill;
    std::memset(&fill, 0xA5, sizeof fill);
    return std::memcmp(&records_[index], &fill, sizeof fill) == 0;
  }

  std::vector<tagExcit6Pos> records_;
};

TEST_F(ExcitRecording, OneRecordEveryFifthCycleAfterModeThree) {
  cycles(1, 3);
  EXPECT_EQ(logCount("gExcitMode : 3 \r\n"), 1);
  cycles(100, 33);
  // The size counts the records written.
  EXPECT_EQ(g_tagExcit_6Pos_size, 20u);
  for (std::size_t i = 0; i < 20; ++i) EXPECT_FALSE(untouched(i)) << "record " << i;
  EXPECT_TRUE(untouched(20));
  // One sample every fifth cycle: the next four cycles hold at most one more.
  cycles(4, 33);
  EXPECT_LE(g_tagExcit_6Pos_size, 21u);
  cycles(1, 33);
  EXPECT_EQ(g_tagExcit_6Pos_size, 21u);
}

TEST_F(ExcitRecording, RecordHoldsPositionsAndMeasuredTorques) {
  gJointPara[5] = 1.0;
  gJointPara[6] = 2.0;
  gJointPara[8] = 4.0;
  SetFeedback(0, 90.0, 0.0, 5000.0);
  SetFeedback(1, -30.0, 0.0, 3000.0);
  SetFeedback(2, 42.5, 0.0, 100.0);
  SetFeedback(3, 180.0, 0.0, -800.0);
  cycles(1, 3);
  for (int i = 0; i < 10 && g_tagExcit_6Pos_size < 2; ++i) cycles(1, 33);
  ASSERT_EQ(g_tagExcit_6Pos_size, 2u);

  // Read back as the data server does: 48-byte records of 12 four-byte values.
  const auto* bytes = reinterpret_cast<const unsigned char*>(records_.data());
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    float f[8];
    std::uint32_t zeros[4];
    std::memcpy(f, bytes + 48 * k, sizeof f);
    std::memcpy(zeros, bytes + 48 * k + 32, sizeof zeros);
    EXPECT_EQ(f[0], 1.5707964f);
    EXPECT_FLOAT_EQ(f[1], -0.52359879f);
    EXPECT_EQ(f[2], 42.5f);
    EXPECT_FLOAT_EQ(f[3], 3.1415927f);
    EXPECT_EQ(f[4], 5.0f);
    EXPECT_EQ(f[5], 1.5f);
    EXPECT_FLOAT_EQ(f[6], 31.416f);
    EXPECT_EQ(f[7], -0.2f);
    for (std::uint32_t z : zeros) EXPECT_EQ(z, 0u);
  }
  EXPECT_TRUE(untouched(2));
}

TEST_F(ExcitRecording, FullBufferIsNeverWrittenPastItsEnd) {
  cycles(1, 3);
  cycles(5 * static_cast<int>(kExcitRecordCapacity) + 50, 33);
  EXPECT_EQ(g_tagExcit_6Pos_size, kExcitRecordCapacity);
  EXPECT_FALSE(untouched(kExcitRecordCapacity - 1));
  EXPECT_TRUE(untouched(kExcitRecordCapacity));
}

TEST_F(ExcitRecording, RecordsOnlyInModeThirtyThreeWhileExecuting) {
  const struct {
    const char* name;
    std::uint8_t excit;
    std::uint8_t prfMode;
  } cases[] = {
      {"mode 33 jogging", 33, kPrfJogJoint},
      {"mode 33 idle", 33, kPrfIdle},
      {"mode 32", 32, kPrfExecute},
      {"mode 1", 1, kPrfExecute},
  };
  cycles(1, 3);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    gRobotPrfMode = c.prfMode;
    cycles(20, c.excit);
    EXPECT_EQ(g_tagExcit_6Pos_size, 0u);
    EXPECT_TRUE(untouched(0));
  }
}

TEST_F(ExcitRecording, NullBufferRecordsNothing) {
  g_tagExcit_6Pos = nullptr;
  cycles(1, 3);
  cycles(50, 33);
  EXPECT_EQ(g_tagExcit_6Pos_size, 0u);
  // Published later, the buffer takes records from the index reached: none
  // were written, so it starts at record 0.
  g_tagExcit_6Pos = records_.data();
  cycles(5, 33);
  EXPECT_EQ(g_tagExcit_6Pos_size, 1u);
  EXPECT_FALSE(untouched(0));
}

TEST_F(ExcitRecording, IndexHoldsUntilModeThreeRestartsIt) {
  cycles(1, 3);
  cycles(50, 33);
  ASSERT_EQ(g_tagExcit_6Pos_size, 10u);
  // A pause in the run keeps the index.
  cycles(7, 0);
  gRobotPrfMode = kPrfIdle;
  cycles(7, 3);  // mode 3 only counts while executing
  EXPECT_EQ(logCount("gExcitMode : 3 \r\n"), 1) << "mode 3 logs only in profile mode 4";
  gRobotPrfMode = kPrfExecute;
  cycles(10, 33);
  EXPECT_EQ(g_tagExcit_6Pos_size, 12u);
  EXPECT_FALSE(untouched(11));

  // Mode 3 while executing restarts at record 0, logging in every such cycle.
  core.logs.clear();
  cycles(3, 3);
  EXPECT_EQ(logCount("gExcitMode : 3 \r\n"), 3);
  std::memset(records_.data(), 0xA5, 12 * sizeof(tagExcit6Pos));
  cycles(5, 33);
  EXPECT_EQ(g_tagExcit_6Pos_size, 1u);
  EXPECT_FALSE(untouched(0));
  EXPECT_TRUE(untouched(1));
}

}  // namespace
