// The multi-robot conveyor bus against a stand-in of the master robot's Modbus
// slave on 127.0.0.1:502: objects published into the register block, cached
// by the reader, freed by the consumer, queued while the master is away, and
// cleared all at once; the bus's threads end cleanly with the process.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "common/links/mul_robot_config.h"
#include "common/links/mul_robot_conveyor.h"
#include "modbus_slave/modbus_slave.h"

namespace {

using namespace MulRobotConveyor;
using namespace std::chrono_literals;

constexpr const char* kMasterIp = "127.0.0.1";

void writeConfig(const std::string& json) {
  const std::filesystem::path path = MulRobotConfigPath();
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << json;
}

template <typename Pred>
bool eventually(Pred pred, std::chrono::milliseconds limit = 10s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return pred();
}

ObjectData object(float x, float y, float r, float encCount, std::uint8_t attribute) {
  ObjectData obj{};
  obj.x = x;
  obj.y = y;
  obj.r = r;
  obj.encCount = encCount;
  obj.attribute = attribute;
  obj.available = 1;
  return obj;
}

float registerFloat(zelor::sim::ModbusSlave& slave, int address) {
  const std::uint32_t bits = slave.holding(address) | (static_cast<std::uint32_t>(slave.holding(address + 1)) << 16);
  float value = 0.0f;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

// Waits for the reader to cache an object in the slot and returns it.
bool waitForObject(int slot, ObjectData& obj) {
  return eventually([&] { return ReadObj(slot, obj) == 0; });
}

}  // namespace

TEST(MulRobotBus, MasterPublishesReaderCachesConsumerFreesTheSlot) {
  writeConfig(R"({"RobotID": 4, "RobotInLine": 12, "MasterAddr": "127.0.0.1"})");
  zelor::sim::ModbusSlave slave(kMasterIp, kMasterPort);
  ASSERT_TRUE(slave.start());

  int id = 0;
  int count = 0;
  ASSERT_EQ(GetConfig(id, count), 1);
  EXPECT_EQ(id, 1) << "a robot count out of range makes this robot the master";
  EXPECT_EQ(count, 1);

  ObjectData first = object(1.0f, -2.5f, 90.25f, 123456.789f, 7);
  ASSERT_EQ(UpdateObj(0, first), 0);
  ASSERT_TRUE(eventually([&] { return slave.holding(2018) != 0; })) << "object never reached the master";
  EXPECT_EQ(slave.holding(2009), 0x0000);  // 1.0 = 0x3F800000, low word first
  EXPECT_EQ(slave.holding(2010), 0x3F80);
  EXPECT_EQ(slave.holding(2011), 0x0000);  // -2.5 = 0xC0200000
  EXPECT_EQ(slave.holding(2012), 0xC020);
  EXPECT_FLOAT_EQ(registerFloat(slave, 2013), 90.25f);
  EXPECT_EQ(slave.holding(2015), 0x2065);  // 123456.789 = 0x47F12065
  EXPECT_EQ(slave.holding(2016), 0x47F1);
  EXPECT_EQ(slave.holding(2017), 7);
  EXPECT_EQ(slave.holding(2018), 1);

  ObjectData got{};
  ASSERT_TRUE(waitForObject(0, got)) << "reader never cached the object";
  EXPECT_EQ(got.x, first.x);
  EXPECT_EQ(got.y, first.y);
  EXPECT_EQ(got.r, first.r);
  EXPECT_EQ(got.encCount, first.encCount);
  EXPECT_EQ(got.attribute, 7);
  EXPECT_NE(got.available, 0);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(ReadObj(0, got), 0) << "the cached object stays until the consumer clears it";

  slave.setHolding(2019, 0x55);
  ASSERT_EQ(ClearObj(0), 0);
  ObjectData untouched = object(0, 0, 0, -1.0f, 0);
  EXPECT_EQ(ReadObj(0, untouched), 1);
  EXPECT_EQ(untouched.encCount, -1.0f) << "a failed read leaves the caller's object alone";
  ASSERT_TRUE(eventually([&] { return slave.holding(2018) == 0 && slave.holding(2019) == 0; }))
      << "the reader never freed the slot on the master";
  std::this_thread::sleep_for(300ms);  // several passes: the taken object must not come back
  EXPECT_EQ(ReadObj(0, got), 1);

  ObjectData second = object(5.0f, 6.0f, 7.0f, 8.0f, 9);
  ASSERT_EQ(UpdateObj(0, second), 0);
  ASSERT_TRUE(waitForObject(0, got)) << "the freed slot did not take the next object";
  EXPECT_EQ(got.encCount, 8.0f);
  EXPECT_EQ(got.attribute, 9);
}

TEST(MulRobotBus, QueuesWhileTheMasterIsAwayAndPublishesWhenItIsBack) {
  writeConfig(R"({"RobotID": 1, "RobotInLine": 1, "MasterAddr": "127.0.0.1"})");
  zelor::sim::ModbusSlave slave(kMasterIp, kMasterPort);
  ASSERT_TRUE(slave.start());
  int id = 0;
  int count = 0;
  ASSERT_EQ(GetConfig(id, count), 1);
  ASSERT_TRUE(eventually([&] { return slave.requests() > 0; })) << "the bus never reached the master";
  slave.stop();

  for (int i = 0; i < 1001; ++i) {
    ObjectData obj = object(0, 0, 0, static_cast<float>(i), 0);
    ASSERT_EQ(UpdateObj(0, obj), 0) << "object " << i;
  }
  ObjectData extra = object(0, 0, 0, 5000.0f, 0);
  EXPECT_EQ(UpdateObj(0, extra), -1) << "the queue holds at most 1,001 objects";

  ASSERT_TRUE(slave.start());
  ASSERT_TRUE(eventually([&] { return slave.holding(2018) != 0; })) << "nothing published after the return";
  EXPECT_EQ(registerFloat(slave, 2015), 0.0f) << "the oldest object goes first";
  // One object left the queue: room for exactly one more.
  EXPECT_EQ(UpdateObj(0, extra), 0);
  EXPECT_EQ(UpdateObj(0, extra), -1);

  for (int i = 0; i < 3; ++i) {
    ObjectData got{};
    ASSERT_TRUE(eventually([&] { return ReadObj(0, got) == 0 && got.encCount == static_cast<float>(i); }))
        << "object " << i << " not handed over in order";
    ClearObj(0);
  }
}

TEST(MulRobotBus, ClearAllCacheOnTheMasterZeroesEverySlotAndDropsTheQueues) {
  writeConfig(R"({"RobotID": 1, "RobotInLine": 3, "MasterAddr": "127.0.0.1"})");
  zelor::sim::ModbusSlave slave(kMasterIp, kMasterPort);
  for (int reg = GetStartAddr(0); reg < GetStartAddr(kSlotCount); ++reg) slave.setHolding(reg, 0x1111);
  ASSERT_TRUE(slave.start());

  ObjectData got{};
  ASSERT_TRUE(waitForObject(0, got)) << "reader never cached the occupied slot";
  // Slot 1 is occupied, so this waits in the queue.
  ObjectData waiting = object(1, 2, 3, 4, 5);
  ASSERT_EQ(UpdateObj(1, waiting), 0);

  ASSERT_EQ(ClearAllCache(), 0);
  EXPECT_EQ(ReadObj(0, got), 1) << "this robot's own cache is emptied at once";
  ASSERT_TRUE(eventually([&] {
    for (int reg = GetStartAddr(0); reg < GetStartAddr(kSlotCount); ++reg) {
      if (slave.holding(reg) != 0) return false;
    }
    return true;
  })) << "not every slot of the master was zeroed";
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(slave.holding(GetStartAddr(1) + kAvailableRegister), 0) << "a queued object survived the clear";
  EXPECT_EQ(ReadObj(0, got), 1);
}

TEST(MulRobotBus, ARobotDownTheLineReadsAndFreesItsSlotButNeverPublishes) {
  writeConfig(R"({"RobotID": 2, "RobotInLine": 2, "MasterAddr": "127.0.0.1"})");
  zelor::sim::ModbusSlave slave(kMasterIp, kMasterPort);
  const SlotRegisters regs = ToRegisters(object(3.0f, 4.0f, 5.0f, 6.0f, 2));
  std::uint16_t words[kSlotRegisterCount];
  std::memcpy(words, &regs, sizeof(words));
  for (int i = 0; i < kSlotRegisterCount; ++i) slave.setHolding(GetStartAddr(1) + i, words[i]);
  ASSERT_TRUE(slave.start());

  int id = 0;
  int count = 0;
  ASSERT_EQ(GetConfig(id, count), 1);
  EXPECT_EQ(id, 2);
  EXPECT_EQ(count, 2);
  ObjectData mine = object(1, 1, 1, 1, 1);
  ASSERT_EQ(UpdateObj(0, mine), 0);

  ObjectData got{};
  ASSERT_TRUE(waitForObject(1, got));
  EXPECT_EQ(got.encCount, 6.0f);
  ASSERT_EQ(ClearAllCache(), 0);  // a robot other than the master clears its own slot only
  EXPECT_EQ(ReadObj(1, got), 1);
  ASSERT_TRUE(eventually([&] { return slave.holding(GetStartAddr(1) + kAvailableRegister) == 0; }));
  EXPECT_EQ(slave.holding(GetStartAddr(1)), regs.x[0]) << "the rest of the slot is the master's business";
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(slave.holding(GetStartAddr(0) + kAvailableRegister), 0) << "only the master publishes";
}

TEST(MulRobotBus, SlotsOutsideTheLineAreRefused) {
  // No configuration file: robot 1 of 1, master at the built-in address
  // (unreachable here; the reader keeps retrying meanwhile).
  int id = 0;
  int count = 0;
  ASSERT_EQ(GetConfig(id, count), 1);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(count, 1);
  for (int slot : {-1, kSlotCount, kSlotCount + 1, 1000}) {
    ObjectData obj = object(1, 2, 3, 4, 5);
    EXPECT_EQ(UpdateObj(slot, obj), -1) << slot;
    EXPECT_EQ(ReadObj(slot, obj), 1) << slot;
    EXPECT_EQ(obj.encCount, 4.0f) << slot;
    EXPECT_EQ(ClearObj(slot), -1) << slot;
  }
  ObjectData obj = object(1, 2, 3, 4, 5);
  EXPECT_EQ(UpdateObj(kSlotCount - 1, obj), 0);
}

// The process ends while the bus's threads run: connected, or still retrying
// an absent master. The exit must be prompt and clean (a sanitizer finding
// fails the child's exit status).
TEST(MulRobotBus, ProcessExitsCleanlyWithTheThreadsRunning) {
  for (const bool masterPresent : {true, false}) {
    SCOPED_TRACE(masterPresent ? "master present" : "master absent");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // The slave lives in the child so that nothing of another process's
      // threads is left behind in it.
      writeConfig(R"({"RobotID": 1, "RobotInLine": 2, "MasterAddr": "127.0.0.1"})");
      static auto* slave = new zelor::sim::ModbusSlave(kMasterIp, kMasterPort);
      if (masterPresent && !slave->start()) _exit(3);
      int id = 0;
      int count = 0;
      GetConfig(id, count);
      ObjectData obj = object(1, 2, 3, 4, 5);
      UpdateObj(0, obj);
      if (masterPresent && !eventually([&] { return slave->holding(2018) != 0; }, 5s)) _exit(4);
      std::this_thread::sleep_for(100ms);
      std::exit(0);
    }
    int status = 0;
    const bool ended = eventually([&] { return waitpid(child, &status, WNOHANG) == child; }, 15s);
    if (!ended) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
    }
    ASSERT_TRUE(ended) << "the process hung at exit";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}
