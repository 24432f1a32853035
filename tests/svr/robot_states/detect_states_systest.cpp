// The state-detection thread: after its first 10 s it publishes joints and
// the alarm into the Modbus tables, writes no record without the data
// sub-process, logs a missing Lua sub-process once, idles without a slave,
// and never runs twice.
#include <dirent.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "json/project_structure.h"
#include "modbus/modbus_srv.h"
#include "robot_states/robot_states.h"
#include "stdout_capture.h"
#include "support/core_rig.h"
#include "support/modbus_master.h"
#include "wait_for.h"

using namespace std::chrono_literals;
using zelor::test::CoreRig;
using zelor::test::ModbusMaster;

namespace {

ModbusSrv& startTcpSlave() {
  static ModbusSrv* slave = [] {
    auto* s = new ModbusSrv(stModbusConf{1, "tcp"});
    s->init();
    return s;
  }();
  return *slave;
}

int countOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Threads of this process named like the snapshot thread.
int snapshotThreads() {
  int n = 0;
  DIR* dir = opendir("/proc/self/task");
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
    std::string name;
    std::getline(comm, name);
    if (name == "DetectStates") ++n;
  }
  closedir(dir);
  return n;
}

std::uint16_t input(int n) {
  std::uint16_t v;
  std::memcpy(&v, robotMap::instance().entry() + robot_map::inputRegister(n), sizeof v);
  return v;
}

void setInput(int n, std::uint16_t v) {
  std::memcpy(robotMap::instance().entry() + robot_map::inputRegister(n), &v, sizeof v);
}

st_structure structureWith(double bits, double den) {
  st_structure s{};
  for (st_motor& m : s.motors) {
    m.bitNum = bits;
    m.gearBoxDen = den;
  }
  return s;
}

}  // namespace

TEST(DetectStates, PublishesJointsAndAlarmAfterItsFirstWaitAndWritesNoRecordWithoutTheDataSubProcess) {
  CoreRig rig;
  rig.registerCore();
  startTcpSlave();
  ModbusMaster master;
  ASSERT_TRUE(master.connected());
  setInput(999, 7);
  setInput(202, 0);
  st_structure structure = structureWith(17, 1);
  RobotStates states;
  zelor::test::StdoutCapture out;
  const auto startedAt = std::chrono::steady_clock::now();
  states.start(&startTcpSlave(), &structure, nullptr);
  states.GetJoint(0, 12.5f);
  states.GetRunSpeed(3, -4.0f);
  states.SetAlarm(0x33);
  const bool published = zelor::test::waitFor([] { return input(0) == 0x33; }, 20s);
  const auto publishedAfter = std::chrono::steady_clock::now() - startedAt;
  std::uint16_t regs[230] = {};
  const bool read = zelor::test::waitFor(
      [&] { return master.readInputs(0, 230, regs) && modbus_get_float(regs + 228) == -4.0f; }, 3s);
  const std::uint16_t flag = input(999);
  states.SetAlarm(0);
  const bool cleared = zelor::test::waitFor([] { return input(0) == 0; }, 3s);
  const bool scriptRunning = states.isScriptRunning();
  const auto stopAt = std::chrono::steady_clock::now();
  states.stop();
  const auto stopTook = std::chrono::steady_clock::now() - stopAt;
  const int threadsLeft = snapshotThreads();
  const std::string printed = out.finish();
  EXPECT_EQ(countOf(printed, "Can't find ISubProcess:1\n"), 1) << printed;
  EXPECT_EQ(countOf(printed, "[CRTCL|"), 1) << "the core is there" << printed;
  EXPECT_EQ(countOf(printed, "[start], start\n"), 1) << printed;
  EXPECT_EQ(countOf(printed, "[DetectStatesLoop], into ...\n"), 1) << printed;
  ASSERT_TRUE(published);
  EXPECT_GE(publishedAfter, 9500ms) << "published before the first 10 s";
  ASSERT_TRUE(read);
  EXPECT_EQ(modbus_get_float(regs + 202), 12.5f);
  EXPECT_EQ(modbus_get_float(regs + 228), -4.0f);
  EXPECT_EQ(regs[0], 0x33);
  EXPECT_EQ(flag, 7) << "no data sub-process: the record and its flag stay";
  EXPECT_TRUE(cleared) << "the alarm code follows";
  EXPECT_FALSE(scriptRunning);
  EXPECT_LT(stopTook, 100ms);
  EXPECT_EQ(threadsLeft, 0);
}

TEST(DetectStates, WithoutAModbusSlaveTheLoopOnlyIdles) {
  robotMap::instance();
  setInput(0, 0xEEEE);
  setInput(202, 0xEEEE);
  RobotStates states;
  zelor::test::StdoutCapture out;
  states.start(nullptr, nullptr, nullptr);
  states.SetAlarm(5);
  states.GetJoint(0, 1.0f);
  // Past the first 10 s, when a loop with a slave would publish.
  EXPECT_TRUE(zelor::test::staysFalse([] { return input(0) != 0xEEEE || input(202) != 0xEEEE; }, 11500ms, 50ms));
  const bool running = states.isRunning();
  const int threads = snapshotThreads();
  const std::uint16_t alarm = input(0);
  const std::uint16_t joint = input(202);
  states.stop();
  const std::string printed = out.finish();
  EXPECT_TRUE(running);
  EXPECT_EQ(threads, 1);
  EXPECT_EQ(alarm, 0xEEEE);
  EXPECT_EQ(joint, 0xEEEE);
  EXPECT_EQ(countOf(printed, "into ..."), 1) << printed;
  EXPECT_EQ(countOf(printed, "Can't find ISubProcess"), 0) << "nothing is asked without a slave\n" << printed;
}

TEST(DetectStates, AStartRightAfterAStopLeavesOneThreadAndStopEndsTheFirstWait) {
  robotMap::instance();
  RobotStates states;
  std::vector<int> threads;
  zelor::test::StdoutCapture quiet;
  for (int round = 0; round < 3; ++round) {
    states.start(&startTcpSlave(), nullptr, nullptr);
    states.stop();
    states.start(&startTcpSlave(), nullptr, nullptr);
    threads.push_back(snapshotThreads());
  }
  states.start(nullptr, nullptr, nullptr);  // a start without a stop replaces the thread too
  threads.push_back(snapshotThreads());
  const auto stopAt = std::chrono::steady_clock::now();
  states.stop();
  const auto stopTook = std::chrono::steady_clock::now() - stopAt;
  threads.push_back(snapshotThreads());
  quiet.finish();
  EXPECT_EQ(threads, (std::vector<int>{1, 1, 1, 1, 0}));
  EXPECT_LT(stopTook, 100ms) << "stop waited out the first 10 s";
  EXPECT_FALSE(states.isRunning());
}

TEST(DetectStates, ServoValuesScaleByEncoderBitsAndGearBox) {
  robotMap::instance();
  RobotStates states;
  st_structure structure = structureWith(17, 1);
  structure.motors[2].bitNum = 20;
  structure.motors[2].gearBoxDen = 2;
  {
    zelor::test::StdoutCapture quiet;
    states.start(nullptr, &structure, nullptr);
  }
  stModbusServo servo[4] = {{90.0f, 0.0f, 0.0f}, {}, {0.0f, 180.0f, 0.0f}, {}};
  EXPECT_EQ(states.GetServoStatus(0, servo, 2, 3, 1000), 131072.0);
  EXPECT_EQ(states.servoValues(0).first, 32768.0f);
  EXPECT_FLOAT_EQ(states.servoValues(0).third, 0.006f);
  EXPECT_EQ(states.GetServoStatus(2, servo, 0, 0, 1), 2097152.0);
  EXPECT_EQ(states.servoValues(2).second, 1048576.0f);
  EXPECT_EQ(states.GetServoStatus(1, servo, 1, 1, 0), 131072.0);
  EXPECT_EQ(states.servoValues(1).third, 0.0f) << "a zero divisor publishes 0, not infinity";
  EXPECT_EQ(states.GetServoStatus(4, servo, 1, 1, 1), 0.0);
  EXPECT_EQ(states.GetServoStatus(-1, servo, 1, 1, 1), 0.0);
  EXPECT_EQ(states.GetServoStatus(0, nullptr, 1, 1, 1), 0.0);
  states.stop();
}
