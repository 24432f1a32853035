// Register encodings and the address check of the Modbus commands.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "rpc_api/modbus/register_values.h"
#include "rpc_api/rpc_execute_api.h"

namespace zelor::modules::rpcExecuteApis {
namespace {

TEST(RegisterValues, U32ConversionIsDefinedForEveryNumber) {
  struct Case {
    double value;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {1.5, 1},
      {70000, 70000},
      {-3, 0},
      {-0.5, 0},
      {std::nan(""), 0},
      {4294967295.9, 4294967295u},
      {4294967296.0, 4294967295u},
      {1e12, 4294967295u},
      {std::numeric_limits<double>::infinity(), 4294967295u},
      {-std::numeric_limits<double>::infinity(), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(toU32(c.value), c.expected) << c.value;
}

TEST(RegisterValues, TypesAreFoundBySubstringInOrder) {
  EXPECT_EQ(registerTypeOf("U32"), RegisterType::U32);
  EXPECT_EQ(registerTypeOf("xF32y"), RegisterType::F32);
  EXPECT_EQ(registerTypeOf("F64"), RegisterType::F64);
  EXPECT_EQ(registerTypeOf("F32U32"), RegisterType::U32);
  EXPECT_EQ(registerTypeOf("u32"), RegisterType::Plain);
  EXPECT_EQ(registerTypeOf(""), RegisterType::Plain);
}

TEST(RegisterValues, EncodesInRegisterOrderAndReadsBack) {
  struct Case {
    RegisterType type;
    double value;
    std::uint16_t registers[4];
    const char* text;
  };
  const Case cases[] = {
      {RegisterType::Plain, 70000, {4464}, "4464"},
      {RegisterType::Plain, 1e12, {65535}, "65535"},
      {RegisterType::U32, 305419896, {0x5678, 0x1234}, "305419896"},
      {RegisterType::F64, 2.5, {0x4004, 0, 0, 0}, "2.500000"},
  };
  for (const Case& c : cases) {
    std::uint16_t registers[4] = {};
    encodeRegisters(c.type, c.value, registers);
    const int n = registersPerValue(c.type);
    for (int i = 0; i < n; ++i) EXPECT_EQ(registers[i], c.registers[i]) << c.text << " register " << i;
    EXPECT_EQ(decodeRegisters(c.type, registers), c.text);
  }
  std::uint16_t f32[2] = {};
  encodeRegisters(RegisterType::F32, 1.5, f32);
  EXPECT_EQ(decodeRegisters(RegisterType::F32, f32), "1.500000");
}

TEST(ModbusAddressCheck, AcceptsOnlyFourNumbersUpTo255) {
  for (const char* good : {"127.0.0.1", "255.255.255.255", "0.0.0.0", "192.168.001.10"})
    EXPECT_TRUE(rpcExecuteApi::isValidIpAddres(good)) << good;
  for (const char* bad : {"192.168.1.300", "256.0.0.1", "1.2.3", "1.2.3.4.5", "1.2.3.4 ", "a.b.c.d", "1..2.3",
                          "1234.1.1.1", ""})
    EXPECT_FALSE(rpcExecuteApi::isValidIpAddres(bad)) << bad;
}

}  // namespace
}  // namespace zelor::modules::rpcExecuteApis
