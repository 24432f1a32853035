// ModbusMaster's register operations against the slave stand-in.
#include <chrono>
#include <cstdint>
#include <future>

#include <gtest/gtest.h>

#include "modbus_slave/modbus_slave.h"
#include "remote_io/modbus_master.h"

namespace zelor::modules::router {
namespace {

constexpr int kPort = 1502;

TEST(ModbusMasterOps, FloatsTravelByteSwappedLowHalfFirst) {
  zelor::sim::ModbusSlave slave("127.0.0.1", kPort);
  ASSERT_TRUE(slave.start());
  ModbusMaster master;
  ASSERT_TRUE(master.Start("127.0.0.1", kPort, 1));
  EXPECT_EQ(master.IsOnline(), 1);

  EXPECT_EQ(master.WriteFloat(10, 1.5f), 0);
  EXPECT_EQ(slave.holding(10), 0x0000);
  EXPECT_EQ(slave.holding(11), 0xC03F);

  slave.setInput(20, 0x0000);
  slave.setInput(21, 0xC03F);
  float value = 0;
  EXPECT_EQ(master.ReadInputRegToFloat(20, value), 2);
  EXPECT_EQ(value, 1.5f);

  EXPECT_EQ(master.WriteReg(5, 77), 77);
  std::uint16_t registers[2] = {};
  EXPECT_EQ(master.ReadRegs(5, 2, registers), 2);
  EXPECT_EQ(registers[0], 77);
  const std::uint16_t written[2] = {9, 8};
  EXPECT_EQ(master.WriteRegs(30, 2, written), 2);
  EXPECT_EQ(slave.holding(31), 8);
  std::uint16_t one = 0;
  slave.setInput(3, 4242);
  EXPECT_EQ(master.ReadInputReg(3, one), 1);
  EXPECT_EQ(one, 4242);

  slave.setCoil(2, true);
  std::uint8_t coils[3] = {};
  EXPECT_EQ(master.readCoils(1, 3, coils), 3);
  EXPECT_EQ(coils[1], 1);

  slave.stop();
  EXPECT_EQ(master.ReadRegs(5, 1, registers), 65535);
}

TEST(ModbusMasterOps, WithoutAConnectionNothingIsSent) {
  ModbusMaster master;
  EXPECT_FALSE(master.Start("127.0.0.1", kPort, 1));  // refused
  EXPECT_EQ(master.IsOnline(), 0);
  std::uint16_t registers[1] = {};
  std::uint8_t bits[1] = {};
  float value = 0;
  EXPECT_EQ(master.ReadRegs(0, 1, registers), 0);
  EXPECT_EQ(master.ReadInputRegToFloat(0, value), -1);
  EXPECT_EQ(master.WriteFloat(0, 1.0f), -1);
  EXPECT_EQ(master.readInputBits(0, 1, bits), -1);
  EXPECT_EQ(master.writeCoils(0, 1, bits), -1);

  zelor::sim::ModbusSlave slave("127.0.0.1", kPort);
  ASSERT_TRUE(slave.start());
  ASSERT_TRUE(master.Start("127.0.0.1", kPort, 1));
  master.UpdateOnline(false);
  EXPECT_EQ(master.IsOnline(), 0);
  EXPECT_EQ(master.writeCoils(0, 1, bits), -1);
  EXPECT_TRUE(master.Start("127.0.0.1", kPort, 1));
  EXPECT_EQ(master.writeCoils(0, 1, bits), 1);
}

TEST(ModbusMasterOps, TransfersOnABrokenConnectionFailAtOnce) {
  using namespace std::chrono_literals;
  zelor::sim::ModbusSlave slave("127.0.0.1", kPort);
  ASSERT_TRUE(slave.start());
  ModbusMaster master;
  ASSERT_TRUE(master.Start("127.0.0.1", kPort, 1));
  slave.stop();
  // Both loops may use a device between a failed transfer and its going
  // offline: none of these transfers may wait for the device to return.
  auto transfers = std::async(std::launch::async, [&] {
    std::uint8_t bits[4] = {};
    int failed = 0;
    for (int i = 0; i < 3; ++i) {
      failed += master.readInputBits(0, 4, bits) == -1;
      failed += master.writeCoils(0, 4, bits) == -1;
    }
    return failed;
  });
  const bool returned = transfers.wait_for(3s) == std::future_status::ready;
  if (!returned) {
    ASSERT_TRUE(slave.start());  // lets a retrying transfer end
  }
  EXPECT_TRUE(returned) << "a transfer waited for the device to come back";
  const int failed = transfers.get();
  if (returned) {
    EXPECT_EQ(failed, 6);
  }
}

}  // namespace
}  // namespace zelor::modules::router
