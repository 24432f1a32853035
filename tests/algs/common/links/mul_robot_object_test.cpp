// Conveyor objects in the master's registers, the publish queue's bound, and
// the bus configuration file.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/links/mul_robot_config.h"
#include "common/links/mul_robot_object.h"
#include "common/links/mul_robot_queue.h"

namespace {

using namespace MulRobotConveyor;

TEST(MulRobotRegisters, FloatsAreTwoRegistersLowWordFirst) {
  struct Row {
    float value;
    std::uint16_t low;
    std::uint16_t high;
  };
  // IEEE-754 bit patterns: 1.0 = 0x3F800000, -2.5 = 0xC0200000, 123456.789 = 0x47F12065.
  const std::vector<Row> rows = {{1.0f, 0x0000, 0x3F80}, {-2.5f, 0x0000, 0xC020}, {123456.789f, 0x2065, 0x47F1}};
  for (const Row& row : rows) {
    ObjectData obj{};
    obj.x = row.value;
    obj.encCount = row.value;
    const SlotRegisters regs = ToRegisters(obj);
    EXPECT_EQ(regs.x[0], row.low) << row.value;
    EXPECT_EQ(regs.x[1], row.high) << row.value;
    EXPECT_EQ(regs.encCount[0], row.low) << row.value;
    EXPECT_EQ(regs.encCount[1], row.high) << row.value;
  }
}

TEST(MulRobotRegisters, ObjectSurvivesTheRoundTripAndTheTailStaysZero) {
  ObjectData obj{};
  obj.x = 10.25f;
  obj.y = -3.5f;
  obj.r = 179.9f;
  obj.encCount = 65537.0f;
  obj.attribute = 200;
  obj.available = 1;
  const SlotRegisters regs = ToRegisters(obj);
  EXPECT_EQ(regs.attribute, 200);
  EXPECT_EQ(regs.available, 1);
  for (std::uint16_t word : regs.zero) EXPECT_EQ(word, 0);
  const ObjectData back = FromRegisters(regs);
  EXPECT_EQ(back.x, obj.x);
  EXPECT_EQ(back.y, obj.y);
  EXPECT_EQ(back.r, obj.r);
  EXPECT_EQ(back.encCount, obj.encCount);
  EXPECT_EQ(back.attribute, obj.attribute);
  EXPECT_EQ(back.available, obj.available);
}

TEST(MulRobotRegisters, AnyNonzeroFlagRegisterMeansAvailable) {
  SlotRegisters regs{};
  for (std::uint16_t flag : {1, 0xFF, 0x100, 0xFFFF}) {
    regs.available = flag;
    EXPECT_NE(FromRegisters(regs).available, 0) << "flag register " << flag;
  }
  regs.available = 0;
  EXPECT_EQ(FromRegisters(regs).available, 0);
}

TEST(MulRobotRegisters, SlotsStartEveryTwentyRegistersFrom2009) {
  EXPECT_EQ(GetStartAddr(0), 2009);
  EXPECT_EQ(GetStartAddr(1), 2029);
  EXPECT_EQ(GetStartAddr(9), 2189);
  EXPECT_EQ(GetStartAddr(0) + kAvailableRegister, 2018);
}

TEST(MulRobotQueue, KeepsOrderAcrossTheWrapAndRefusesBeyondCapacity) {
  ObjectQueue queue;
  ObjectData obj{};
  for (std::size_t i = 0; i < ObjectQueue::kCapacity; ++i) {
    obj.encCount = static_cast<float>(i);
    ASSERT_TRUE(queue.push(obj));
  }
  EXPECT_FALSE(queue.push(obj));
  EXPECT_EQ(queue.size(), ObjectQueue::kCapacity);
  // Take some, add as many again: the ring wraps and order holds.
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(queue.front().encCount, static_cast<float>(i));
    queue.pop();
  }
  for (std::size_t i = ObjectQueue::kCapacity; i < ObjectQueue::kCapacity + 10; ++i) {
    obj.encCount = static_cast<float>(i);
    ASSERT_TRUE(queue.push(obj));
  }
  for (std::size_t i = 10; i < ObjectQueue::kCapacity + 10; ++i) {
    ASSERT_FALSE(queue.empty());
    EXPECT_EQ(queue.front().encCount, static_cast<float>(i));
    queue.pop();
  }
  EXPECT_TRUE(queue.empty());
  queue.pop();  // popping an empty queue changes nothing
  EXPECT_EQ(queue.size(), 0u);
}

class MulRobotConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "mulrobotXXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write(const std::string& text) {
    const std::string path = (dir_ / "multiRobotConf.json").string();
    std::ofstream(path) << text;
    return path;
  }

  std::filesystem::path dir_;
};

TEST_F(MulRobotConfigFile, ValuesAndFallbacks) {
  struct Row {
    const char* text;
    int id;
    int inLine;
    const char* addr;  // nullptr: the built-in address
  };
  const std::vector<Row> rows = {
      {R"({"RobotID": 3, "RobotInLine": 4, "MasterAddr": "10.0.0.7"})", 3, 4, "10.0.0.7"},
      {R"({"RobotID": 10, "RobotInLine": 10, "MasterAddr": "10.0.0.7"})", 10, 10, "10.0.0.7"},
      {R"({"RobotID": 11, "RobotInLine": 4, "MasterAddr": "10.0.0.7"})", 1, 4, "10.0.0.7"},
      {R"({"RobotID": 0, "RobotInLine": 4, "MasterAddr": "10.0.0.7"})", 1, 4, "10.0.0.7"},
      {R"({"RobotID": "2", "RobotInLine": 4, "MasterAddr": "10.0.0.7"})", 1, 4, "10.0.0.7"},
      {R"({"RobotInLine": 4, "MasterAddr": "10.0.0.7"})", 1, 4, "10.0.0.7"},
      // A robot count out of range also makes this robot the master.
      {R"({"RobotID": 3, "RobotInLine": 12, "MasterAddr": "10.0.0.7"})", 1, 1, "10.0.0.7"},
      {R"({"RobotID": 3, "RobotInLine": 0, "MasterAddr": "10.0.0.7"})", 1, 1, "10.0.0.7"},
      {R"({"RobotID": 3, "MasterAddr": "10.0.0.7"})", 1, 1, "10.0.0.7"},
      // Without a usable master address everything takes its default.
      {R"({"RobotID": 3, "RobotInLine": 4})", 1, 1, nullptr},
      {R"({"RobotID": 3, "RobotInLine": 4, "MasterAddr": ""})", 1, 1, nullptr},
      {R"({"RobotID": 3, "RobotInLine": 4, "MasterAddr": 17})", 1, 1, nullptr},
      {R"({"RobotID": 3, "RobotInLine": 4, "MasterAddr": "master.local"})", 1, 1, nullptr},
      {R"({"RobotID": 3, "RobotInLine": 4, "MasterAddr": "10.0.0.7")", 1, 1, nullptr},
      {R"([3, 4, "10.0.0.7"])", 1, 1, nullptr},
      {"", 1, 1, nullptr},
  };
  for (const Row& row : rows) {
    const MulRobotConfig config = LoadMulRobot(write(row.text));
    EXPECT_EQ(config.robotId, row.id) << row.text;
    EXPECT_EQ(config.robotInLine, row.inLine) << row.text;
    EXPECT_EQ(config.masterAddr, row.addr != nullptr ? row.addr : kDefaultMasterAddr) << row.text;
  }
}

TEST_F(MulRobotConfigFile, MissingFileGivesTheDefaults) {
  const MulRobotConfig config = LoadMulRobot((dir_ / "absent.json").string());
  EXPECT_EQ(config.robotId, 1);
  EXPECT_EQ(config.robotInLine, 1);
  EXPECT_EQ(config.masterAddr, kDefaultMasterAddr);
  EXPECT_TRUE(config.isMaster());
}

}  // namespace
