// The Modbus slave stand-in answers a real libmodbus master, keeps its tables
// across a stop, and makes transfers fail while stopped.
#include <modbus.h>

#include <cerrno>
#include <chrono>

#include <gtest/gtest.h>

#include "modbus_slave/modbus_slave.h"

namespace {

modbus_t* connectMaster(int port) {
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
  modbus_set_response_timeout(ctx, 0, 200000);
  if (modbus_connect(ctx) != 0) {
    modbus_free(ctx);
    return nullptr;
  }
  return ctx;
}

}  // namespace

TEST(ModbusSlaveStandIn, ServesTwoMastersAndKeepsValues) {
  zelor::sim::ModbusSlave slave("127.0.0.1", 502);
  ASSERT_TRUE(slave.start());
  modbus_t* a = connectMaster(502);
  modbus_t* b = connectMaster(502);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);

  const uint16_t values[2] = {0x1234, 0xBEEF};
  ASSERT_EQ(modbus_write_registers(a, 2009, 2, values), 2);
  uint16_t back[2] = {};
  ASSERT_EQ(modbus_read_registers(b, 2009, 2, back), 2);
  EXPECT_EQ(back[0], 0x1234);
  EXPECT_EQ(back[1], 0xBEEF);
  EXPECT_EQ(slave.holding(2010), 0xBEEF);

  slave.setCoil(7, true);
  uint8_t bit = 0;
  ASSERT_EQ(modbus_read_bits(a, 7, 1, &bit), 1);
  EXPECT_EQ(bit, 1);
  slave.setInput(3, 99);
  uint16_t in = 0;
  ASSERT_EQ(modbus_read_input_registers(b, 3, 1, &in), 1);
  EXPECT_EQ(in, 99);

  slave.stop();
  EXPECT_EQ(modbus_read_registers(a, 2009, 2, back), -1);
  modbus_close(a);
  modbus_free(a);
  modbus_close(b);
  modbus_free(b);

  ASSERT_TRUE(slave.start());
  modbus_t* c = connectMaster(502);
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(modbus_read_registers(c, 2009, 2, back), 2);
  EXPECT_EQ(back[1], 0xBEEF);
  modbus_close(c);
  modbus_free(c);
}

TEST(ModbusSlaveStandIn, SilentNeverAnswersAndADelayHoldsEachAnswer) {
  using Clock = std::chrono::steady_clock;
  zelor::sim::ModbusSlave slave("127.0.0.1", 502);
  slave.setSilent(true);
  ASSERT_TRUE(slave.start());
  modbus_t* master = connectMaster(502);
  ASSERT_NE(master, nullptr);  // connections are still accepted
  uint16_t value = 0;
  EXPECT_EQ(modbus_read_registers(master, 0, 1, &value), -1);
  EXPECT_EQ(errno, ETIMEDOUT);
  EXPECT_EQ(slave.requests(), 0);
  modbus_close(master);
  modbus_free(master);

  slave.setSilent(false);
  slave.setAnswerDelay(std::chrono::milliseconds(100));
  master = connectMaster(502);
  ASSERT_NE(master, nullptr);
  modbus_set_response_timeout(master, 1, 0);
  const auto start = Clock::now();
  EXPECT_EQ(modbus_read_registers(master, 0, 1, &value), 1);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100));
  modbus_close(master);
  modbus_free(master);
}
