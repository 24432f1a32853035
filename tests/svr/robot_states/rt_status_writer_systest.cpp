// The record writer against the real core sub-process and motion kernel: a
// Modbus master reads the record it wrote behind the validity flag.
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "wait_for.h"

#include "common/ipc/robot_map.h"
#include "json/parameter_globals.h"
#include "modbus/modbus_srv.h"
#include "robot_states/robot_states.h"
#include "stdout_capture.h"
#include "support/core_rig.h"
#include "support/modbus_master.h"

using namespace std::chrono_literals;
using zelor::test::CoreRig;
using zelor::test::ModbusMaster;

namespace {

constexpr int kFirst = 999;
constexpr int kCount = 721;  // registers 999..1719

ModbusSrv& startTcpSlave() {
  static ModbusSrv* slave = [] {
    auto* s = new ModbusSrv(stModbusConf{1, "tcp"});
    s->init();
    return s;
  }();
  return *slave;
}

// As the snapshot thread does it: flag 0, rewrite, flag 1.
void writeRecord(RobotStates& states, AxesGroupRef* ref) {
  robotMap& map = robotMap::instance();
  std::atomic_ref<std::uint16_t> flag(*map.recordValid());
  flag.store(0);
  states.UpdateRtStatus(ref, map.record());
  flag.store(1);
}

std::uint16_t reg(const std::uint16_t* regs, int n) { return regs[n - kFirst]; }

std::uint64_t timeStamp(const std::uint16_t* regs) {
  std::uint64_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 16) | reg(regs, 1016 + i);
  return v;
}

class RtStatusWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.registerCore();
    rig_.giveParameters();
    rig_.startCycling();
    ASSERT_TRUE(zelor::test::waitFor([this] { return rig_.cycles() >= 40; }, 10s)) << "the kernel does not cycle";
    std::uint32_t image[16] = {};
    auto* bytes = reinterpret_cast<std::uint8_t*>(image);
    bytes[0] = 1;
    bytes[63] = 1;
    rig_.factory().interCall(ISubProcess::CORE, 2, image, nullptr, nullptr);
    rig_.stopCycling();  // run data holds still from here
    m_st_loadParams = {10.0f, 20.0f, 30.0f, 2.5f, 0.0f};
    startTcpSlave();
    master_ = std::make_unique<ModbusMaster>();
    ASSERT_TRUE(master_->connected());
  }

  CoreRig rig_;
  std::unique_ptr<ModbusMaster> master_;
  RobotStates states_;
};

}  // namespace

TEST_F(RtStatusWriter, AMasterReadsTheRecordTheWriterBuilt) {
  const double planted = 1234.5;
  std::memcpy(&robotMap::instance().record()->LinearMomentumNorm, &planted, sizeof planted);
  robotMap::instance().record()->MessageSize = 0x5A5A;
  std::uint8_t run[960] = {};
  rig_.factory().interCall(ISubProcess::CORE, 19, nullptr, run, nullptr);

  writeRecord(states_, &CoreRig::record());
  std::uint16_t regs[kCount];
  ASSERT_TRUE(master_->readInputs(kFirst, kCount, regs));

  EXPECT_EQ(reg(regs, 999), 1) << "validity flag";
  EXPECT_EQ(reg(regs, 1000), 0x5A5A) << "MessageSize is never written";
  EXPECT_EQ(reg(regs, 1024), 0xCDEF);
  EXPECT_EQ(reg(regs, 1025), 0x89AB);
  EXPECT_EQ(reg(regs, 1026), 0x4567);
  EXPECT_EQ(reg(regs, 1027), 0x0123);
  EXPECT_EQ(reg(regs, 1515) >> 8, 2) << "RobotType";
  EXPECT_EQ(reg(regs, 1515) & 0xFF, run[953]) << "JogStatus";
  // DigitalInputs: inputs 0 and 63.
  EXPECT_EQ(reg(regs, 1004), 0x0001);
  EXPECT_EQ(reg(regs, 1005), 0x0000);
  EXPECT_EQ(reg(regs, 1006), 0x0000);
  EXPECT_EQ(reg(regs, 1007), 0x8000);
  // Load 2.5 and centre 10, 20, 30 as doubles.
  EXPECT_EQ(reg(regs, 1584), 0x0000);
  EXPECT_EQ(reg(regs, 1585), 0x0000);
  EXPECT_EQ(reg(regs, 1586), 0x0000);
  EXPECT_EQ(reg(regs, 1587), 0x4004);
  EXPECT_EQ(reg(regs, 1591), 0x4024);
  EXPECT_EQ(reg(regs, 1595), 0x4034);
  EXPECT_EQ(reg(regs, 1599), 0x403E);
  // QActual carries run data 240..287 bit for bit.
  EXPECT_EQ(std::memcmp(&regs[1216 - kFirst], run + 240, 48), 0);
  double q1;
  std::memcpy(&q1, run + 248, sizeof q1);
  EXPECT_NE(q1, 0.0) << "the kernel filled the actual joints (joint 2 starts at 90)";
  EXPECT_EQ(std::memcmp(&regs[1036 - kFirst], &planted, 8), 0) << "record offset 72 is never written";

  // The other blocks, byte for byte: {record offset, run-data offset, bytes}.
  const struct {
    int rec;
    int run;
    int size;
  } blocks[] = {{192, 0, 432}, {624, 528, 48}, {672, 576, 192}, {1120, 432, 48}, {1200, 768, 96},
                {64, 864, 8},  {1008, 945, 4}, {1012, 949, 4},  {1016, 936, 9},  {1030, 953, 1}};
  const auto* record = reinterpret_cast<const std::uint8_t*>(&regs[1000 - kFirst]);
  for (const auto& b : blocks) {
    EXPECT_EQ(std::memcmp(record + b.rec, run + b.run, b.size), 0) << "record " << b.rec << " <- run " << b.run;
  }
  EXPECT_EQ(robotMap::instance().loadWord(robot_map::kPauseCopy), static_cast<std::int8_t>(run[952]));
  EXPECT_EQ(robotMap::instance().loadWord(robot_map::kIsErr), 0);
}

TEST_F(RtStatusWriter, TimeStampFollowsTheWallClockAndThePauseCopyIsSignExtended) {
  timespec before{};
  clock_gettime(CLOCK_REALTIME, &before);
  writeRecord(states_, &CoreRig::record());
  std::uint16_t first[kCount];
  ASSERT_TRUE(master_->readInputs(kFirst, kCount, first));
  // The wall clock at least 50 ms past the first stamp.
  ASSERT_TRUE(zelor::test::waitFor([&] {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000000 >=
           timeStamp(first) + 50;
  }, 3s, 1ms));
  writeRecord(states_, &CoreRig::record());
  std::uint16_t second[kCount];
  ASSERT_TRUE(master_->readInputs(kFirst, kCount, second));
  const std::uint64_t t0 = timeStamp(first);
  const std::uint64_t t1 = timeStamp(second);
  const std::uint64_t wall = static_cast<std::uint64_t>(before.tv_sec) * 1000 + before.tv_nsec / 1000000;
  EXPECT_GE(t0, wall);
  EXPECT_LT(t0 - wall, 1000u);
  EXPECT_GE(t1 - t0, 50u);
  EXPECT_LT(t1 - t0, 1000u);

  // The data server rewrites these words at every update, whoever wrote them.
  robotMap::instance().storeWord(robot_map::kPauseCopy, 77);
  robotMap::instance().storeWord(robot_map::kIsErr, 77);
  states_.SetAlarm(3);
  writeRecord(states_, &CoreRig::record());
  EXPECT_EQ(robotMap::instance().loadWord(robot_map::kIsErr), 1);
  EXPECT_EQ(robotMap::instance().record()->RobotMode, 9u);
  EXPECT_EQ(robotMap::instance().record()->ErrorStatus, 1);
  EXPECT_NE(robotMap::instance().loadWord(robot_map::kPauseCopy), 77);
}

TEST_F(RtStatusWriter, NullPointersEndTheCallWithTheirLine) {
  RealTimeData_t rec;
  std::memset(&rec, 0xA5, sizeof rec);
  zelor::test::StdoutCapture out;
  states_.UpdateRtStatus(&CoreRig::record(), nullptr);
  states_.UpdateRtStatus(nullptr, &rec);
  const std::string printed = out.finish();
  EXPECT_NE(printed.find("[UpdateRtStatus] has a nullptr of pRtData !!!!\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("[UpdateRtStatus] has a nullptr of pRobot  !!!!\n"), std::string::npos) << printed;
  EXPECT_EQ(rec.TestValue, 0xA5A5A5A5A5A5A5A5u) << "nothing written";
}

TEST(RtStatusWriterWithoutCore, WritesNothingAndReportsEveryHundredthCall) {
  SubProcessFactory empty;
  setSubProcessFactory(&empty);
  RobotStates states;
  alignas(8) static AxesGroupRef ref{};
  RealTimeData_t rec;
  std::memset(&rec, 0xA5, sizeof rec);
  zelor::test::StdoutCapture out;
  for (int i = 0; i < 250; ++i) states.UpdateRtStatus(&ref, &rec);
  const std::string printed = out.finish();
  int lines = 0;
  for (std::size_t at = printed.find("has a nullptr of inter !!!!\n"); at != std::string::npos;
       at = printed.find("has a nullptr of inter !!!!\n", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(lines, 2) << printed;
  EXPECT_EQ(rec.TestValue, 0xA5A5A5A5A5A5A5A5u);
  setSubProcessFactory(nullptr);
}
