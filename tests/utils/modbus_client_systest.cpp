// The Modbus TCP master against the stand-in slave: round trips, a dropped
// connection and reconnecting, on the default server and on another port.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "json/modbus_client.h"
#include "modbus_slave/modbus_slave.h"

namespace {

constexpr int kOtherPort = 1502;

// What every transfer returns while the client has no connection.
void expectNoContextValues(ModbusClient& client) {
  std::uint8_t bits[4] = {};
  std::uint16_t regs[4] = {};
  EXPECT_FALSE(client.IsOnline());
  EXPECT_EQ(client.readCoils(0, 4, bits), -1);
  EXPECT_EQ(client.writeCoils(0, 4, bits), -1);
  EXPECT_EQ(client.readInCoils(0, 4, bits), -1);
  EXPECT_EQ(client.readRegister(0, 4, regs), -1);
  EXPECT_EQ(client.readInRegister(0, 4, regs), -1);
  EXPECT_EQ(client.writeRegister(0, 4, regs), 0);
  EXPECT_EQ(client.readSingleRegister(0, regs), -1);
  EXPECT_EQ(client.writeSingleRegister(0, 1), 0);
  EXPECT_EQ(client.writeSingleCoilBits(0, 1), 0);
  EXPECT_EQ(client.readSingleCoilBits(0), -1);
}

TEST(ModbusClient, RoundTripsOnTheDefaultServer) {
  zelor::sim::ModbusSlave slave("127.0.0.1", ModbusClient::kDefaultPort);
  ASSERT_TRUE(slave.start());
  ModbusClient client;
  EXPECT_EQ(client.init(), 1);
  testing::internal::CaptureStdout();
  EXPECT_EQ(client.init(), 0);  // keeps its first context
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "[init], obj is created.\n");
  ASSERT_EQ(client.doConnect(), 1);
  EXPECT_TRUE(client.IsOnline());

  const std::uint8_t coils[5] = {1, 0, 1, 1, 0};
  EXPECT_EQ(client.writeCoils(100, 5, coils), 5);
  EXPECT_TRUE(slave.coil(102));
  EXPECT_FALSE(slave.coil(104));
  std::uint8_t coilsBack[5] = {};
  EXPECT_EQ(client.readCoils(100, 5, coilsBack), 5);
  EXPECT_EQ(0, std::memcmp(coils, coilsBack, sizeof coils));
  EXPECT_EQ(client.readCoils(100, 5, nullptr), 0);

  slave.setDiscreteInput(7, true);
  std::uint8_t inputs[2] = {};
  EXPECT_EQ(client.readInCoils(6, 2, inputs), 2);
  EXPECT_EQ(inputs[0], 0);
  EXPECT_EQ(inputs[1], 1);

  const std::uint16_t regs[3] = {0x1234, 0xBEEF, 7};
  EXPECT_EQ(client.writeRegister(2009, 3, regs), 1);
  EXPECT_EQ(slave.holding(2010), 0xBEEF);
  std::uint16_t regsBack[3] = {};
  EXPECT_EQ(client.readRegister(2009, 3, regsBack), 3);
  EXPECT_EQ(regsBack[2], 7);
  EXPECT_EQ(client.writeSingleRegister(9999, 0xCAFE), 1);
  std::uint16_t single = 0;
  EXPECT_EQ(client.readSingleRegister(9999, &single), 1);
  EXPECT_EQ(single, 0xCAFE);

  slave.setInput(3, 99);
  std::uint16_t in = 0;
  EXPECT_EQ(client.readInRegister(3, 1, &in), 1);
  EXPECT_EQ(in, 99);

  EXPECT_EQ(client.writeSingleCoilBits(9000, 1), 1);
  EXPECT_TRUE(slave.coil(9000));
  EXPECT_EQ(client.readSingleCoilBits(9000), 0);

  client.uninit();
  expectNoContextValues(client);
}

TEST(ModbusClient, FailedTransferDropsUntilReconnect) {
  zelor::sim::ModbusSlave slave("127.0.0.1", ModbusClient::kDefaultPort);
  ASSERT_TRUE(slave.start());
  ModbusClient client;
  ASSERT_EQ(client.doConnect(), 1);  // creates the default context itself
  const std::uint16_t value = 41;
  ASSERT_EQ(client.writeRegister(5, 1, &value), 1);

  slave.stop();
  // The single-coil transfers fail without dropping the connection.
  EXPECT_EQ(client.writeSingleCoilBits(1, 1), 0);
  EXPECT_EQ(client.readSingleCoilBits(1), -1);
  EXPECT_TRUE(client.IsOnline());
  // Any other failure drops it.
  std::uint16_t back = 0;
  EXPECT_EQ(client.readRegister(5, 1, &back), -1);
  expectNoContextValues(client);

  ASSERT_TRUE(slave.start());
  expectNoContextValues(client);  // nothing reconnects by itself
  ASSERT_EQ(client.doConnect(), 1);
  EXPECT_TRUE(client.IsOnline());
  EXPECT_EQ(client.readRegister(5, 1, &back), 1);
  EXPECT_EQ(back, 41);
}

TEST(ModbusClient, FailedWritesReportNotWritten) {
  zelor::sim::ModbusSlave slave("127.0.0.1", ModbusClient::kDefaultPort);
  ASSERT_TRUE(slave.start());
  ModbusClient client;
  ASSERT_EQ(client.doConnect(), 1);
  slave.stop();
  const std::uint16_t regs[2] = {1, 2};
  EXPECT_EQ(client.writeRegister(0, 2, regs), 0);
  EXPECT_FALSE(client.IsOnline());

  ASSERT_TRUE(slave.start());
  ASSERT_EQ(client.doConnect(), 1);
  slave.stop();
  EXPECT_EQ(client.writeSingleRegister(0, 3), 0);
  EXPECT_FALSE(client.IsOnline());
}

TEST(ModbusClient, OtherPortNeedsInitAgainAfterADrop) {
  zelor::sim::ModbusSlave slave("127.0.0.1", kOtherPort);
  ASSERT_TRUE(slave.start());
  ModbusClient client;
  ASSERT_EQ(client.init("127.0.0.1", kOtherPort, 1), 1);
  ASSERT_EQ(client.doConnect(), 1);
  slave.setHolding(12, 512);
  std::uint16_t value = 0;
  ASSERT_EQ(client.readRegister(12, 1, &value), 1);
  EXPECT_EQ(value, 512);

  slave.stop();
  EXPECT_EQ(client.readRegister(12, 1, &value), -1);
  ASSERT_TRUE(slave.start());

  // Without init the client goes back to 127.0.0.1:502, where nobody listens.
  testing::internal::CaptureStderr();
  EXPECT_EQ(client.doConnect(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Connection failed: Connection refused\n");
  EXPECT_FALSE(client.IsOnline());

  ASSERT_EQ(client.init("127.0.0.1", kOtherPort, 1), 1);
  ASSERT_EQ(client.doConnect(), 1);
  EXPECT_EQ(client.readRegister(12, 1, &value), 1);
  EXPECT_EQ(value, 512);
}

TEST(ModbusClient, ConnectWithoutServerFails) {
  ModbusClient client;
  EXPECT_EQ(client.doConnect(), 0);
  expectNoContextValues(client);
}

}  // namespace
