// The builders' coil wrappers reach a Modbus slave through the client.
#include <cstdint>

#include <gtest/gtest.h>

#include "common/plugin/plugin_base.h"
#include "json/modbus_client.h"
#include "modbus_slave/modbus_slave.h"

TEST(CoilWrappers, ReachTheSlave) {
  zelor::sim::ModbusSlave slave("127.0.0.1", ModbusClient::kDefaultPort);
  ASSERT_TRUE(slave.start());
  ModbusClient modbus;
  ASSERT_EQ(modbus.doConnect(), 1);
  PluginBase client;

  std::uint8_t on[3] = {1, 1, 0};
  EXPECT_EQ(client.pluginbase_setCoils(modbus, 20, 3, on), 3);
  EXPECT_TRUE(slave.coil(21));
  EXPECT_FALSE(slave.coil(22));

  std::uint8_t back[3] = {};
  // The address is cut to 16 bits: 65536 + 20 is coil 20.
  EXPECT_EQ(client.pluginbase_getCoils(modbus, 65536 + 20, 3, back), 3);
  EXPECT_EQ(back[0], 1);
  EXPECT_EQ(back[2], 0);

  slave.setDiscreteInput(300, true);
  std::uint8_t input = 0;
  EXPECT_EQ(client.pluginbase_getInCoils(modbus, 300, 1, &input), 1);
  EXPECT_EQ(input, 1);

  EXPECT_EQ(client.pluginbase_setCoils(modbus, 20, 3, nullptr), -1);
  EXPECT_EQ(client.pluginbase_getCoils(modbus, 20, 3, nullptr), -1);
  EXPECT_EQ(client.pluginbase_getInCoils(modbus, 20, 3, nullptr), -1);

  // A failed transfer comes back as the client's result.
  slave.stop();
  EXPECT_EQ(client.pluginbase_getCoils(modbus, 20, 3, back), -1);
  EXPECT_EQ(client.pluginbase_setCoils(modbus, 20, 3, on), -1);
}
