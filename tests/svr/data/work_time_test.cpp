#include "subProcess/data/work_time.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace {

class WorkTime : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/work_time_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/runTimeInfo.bin";
  }
  void TearDown() override {
    unlink(path_.c_str());
    rmdir(dir_.c_str());
  }
  std::string bytes() {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string dir_;
  std::string path_;
};

TEST(WorkTimeText, SplitsThePowerOnTotal) {
  EXPECT_EQ(work_time::powerOnText(90061), "PowerOnTime:1Day1:1:1");
  EXPECT_EQ(work_time::powerOnText(0), "PowerOnTime:0Day0:0:0");
  EXPECT_EQ(work_time::powerOnText(86399), "PowerOnTime:0Day23:59:59");
}

TEST_F(WorkTime, WritesBothTotalsLittleEndianAsANewReadableFile) {
  std::int32_t totals[2] = {90000, 0x01020304};
  std::time_t start = 1000;
  std::time_t enabled = 1050;
  ASSERT_TRUE(work_time::save(path_, totals, start, &enabled, 1061));
  EXPECT_EQ(totals[0], 90061);
  EXPECT_EQ(totals[1], 0x01020304 + 11);
  const std::string b = bytes();
  ASSERT_EQ(b.size(), 8u);
  EXPECT_EQ(static_cast<unsigned char>(b[0]), 90061 & 0xff);
  EXPECT_EQ(static_cast<unsigned char>(b[1]), (90061 >> 8) & 0xff);
  EXPECT_EQ(static_cast<unsigned char>(b[2]), (90061 >> 16) & 0xff);
  EXPECT_EQ(static_cast<unsigned char>(b[3]), 0);
  EXPECT_EQ(static_cast<unsigned char>(b[4]), 0x0f);  // 0x01020304 + 11
  EXPECT_EQ(static_cast<unsigned char>(b[7]), 0x01);
  struct stat st {};
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(WorkTime, ASecondSaveCountsEachSpanOnce) {
  std::int32_t totals[2] = {0, 0};
  std::time_t start = 100;
  std::time_t enabled = 100;
  ASSERT_TRUE(work_time::save(path_, totals, start, &enabled, 110));
  ASSERT_TRUE(work_time::save(path_, totals, start, &enabled, 112));
  EXPECT_EQ(totals[0], 12);
  EXPECT_EQ(totals[1], 12);
  EXPECT_EQ(start, 112);
  // Not enabled: only the power-on total grows.
  ASSERT_TRUE(work_time::save(path_, totals, start, nullptr, 115));
  EXPECT_EQ(totals[0], 15);
  EXPECT_EQ(totals[1], 12);
  // A clock set back adds nothing.
  ASSERT_TRUE(work_time::save(path_, totals, start, nullptr, 50));
  EXPECT_EQ(totals[0], 15);
}

TEST_F(WorkTime, AFolderThatCannotBeWrittenIsReported) {
  std::int32_t totals[2] = {0, 0};
  std::time_t start = 0;
  EXPECT_FALSE(work_time::save(dir_ + "/missing/runTimeInfo.bin", totals, start, nullptr, 1));
}

}  // namespace
