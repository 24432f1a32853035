#include "subProcess/business/hmi_points.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "install_paths.h"

TEST(HmiPoints, PointFileOnlyForPlainProjectNames) {
  std::string path;
  ASSERT_TRUE(hmi_points::pointFile("demo", path));
  EXPECT_EQ(path, std::string(zelor::paths::kProjectDir) + "/project/demo/point.json");
  ASSERT_TRUE(hmi_points::pointFile("a..b", path));
  EXPECT_EQ(path, std::string(zelor::paths::kProjectDir) + "/project/a..b/point.json");
  for (const char* name : {"", ".", "..", "../x", "a/b", "/etc", "x/", "a/../../b"}) {
    path = "unchanged";
    EXPECT_FALSE(hmi_points::pointFile(name, path)) << name;
    EXPECT_EQ(path, "unchanged") << name;
  }
}

TEST(HmiPoints, PointNumbersP1ToP16Only) {
  for (int n = 1; n <= 16; ++n) {
    int got = 0;
    EXPECT_TRUE(hmi_points::pointNumber(("P" + std::to_string(n)).c_str(), got)) << n;
    EXPECT_EQ(got, n);
  }
  for (const char* name : {"", "P", "P0", "P17", "P01", "p1", "P1x", "Q1", "P-1", "P100", " P1"}) {
    int got = 99;
    EXPECT_FALSE(hmi_points::pointNumber(name, got)) << name;
    EXPECT_EQ(got, 99) << name;
  }
  int got = 0;
  EXPECT_FALSE(hmi_points::pointNumber(nullptr, got));
}

TEST(HmiPoints, RecordsAndRegisterBlocks) {
  std::uint16_t block[hmi_reg::kPointStride] = {};
  // 1.0f as libmodbus stores it: the low half first.
  HMIPoint p{};
  std::strcpy(p.name, "P7");
  std::strcpy(p.armOrientation, "right");
  p.x = 1.0f;
  p.y = -250.5f;
  p.z = 12.25f;
  p.r = 90.0f;
  p.user = 3;
  p.tool = 9;
  block[8] = 0x1234;  // a register the record does not hold
  hmi_points::blockFrom(p, block);
  EXPECT_EQ(block[0], 0x0000);
  EXPECT_EQ(block[1], 0x3F80);
  EXPECT_EQ(block[8], 0x1234);
  EXPECT_EQ(block[hmi_reg::kPointArm], 1);
  EXPECT_EQ(block[hmi_reg::kPointUser], 3);
  EXPECT_EQ(block[hmi_reg::kPointTool], 9);

  const HMIPoint back = hmi_points::recordFrom(7, block);
  EXPECT_STREQ(back.name, "P7");
  EXPECT_STREQ(back.armOrientation, "right");
  EXPECT_EQ(back.x, 1.0f);
  EXPECT_EQ(back.y, -250.5f);
  EXPECT_EQ(back.z, 12.25f);
  EXPECT_EQ(back.r, 90.0f);
  EXPECT_EQ(back.user, 3);
  EXPECT_EQ(back.tool, 9);

  // Arm registers: 0 left, 1 right, anything else no text.
  struct Arm {
    std::uint16_t reg;
    const char* text;
  };
  for (const Arm& arm : {Arm{0, "left"}, Arm{1, "right"}, Arm{2, ""}, Arm{0xFFFF, ""}}) {
    block[hmi_reg::kPointArm] = arm.reg;
    EXPECT_STREQ(hmi_points::recordFrom(16, block).armOrientation, arm.text) << arm.reg;
  }
  std::strcpy(p.armOrientation, "left");
  hmi_points::blockFrom(p, block);
  EXPECT_EQ(block[hmi_reg::kPointArm], 0);
}

TEST(HmiPoints, RunToModes) {
  const int rows[][2] = {{0, 1}, {1, 2}, {2, 2}, {3, 3}, {7, 7}};
  for (const auto& row : rows) EXPECT_EQ(hmi_points::runToMode(row[0]), row[1]) << row[0];
}
