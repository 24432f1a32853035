#include "rpc_api/modbus/register_values.h"

#include <modbus.h>

#include <cmath>
#include <cstring>

#include <fmt/format.h>

namespace zelor::modules::rpcExecuteApis {

RegisterType registerTypeOf(const std::string& text) {
  if (text.find("U32") != std::string::npos) return RegisterType::U32;
  if (text.find("F32") != std::string::npos) return RegisterType::F32;
  if (text.find("F64") != std::string::npos) return RegisterType::F64;
  return RegisterType::Plain;
}

int registersPerValue(RegisterType type) {
  switch (type) {
    case RegisterType::Plain:
      return 1;
    case RegisterType::U32:
    case RegisterType::F32:
      return 2;
    case RegisterType::F64:
      return 4;
  }
  return 1;
}

std::uint32_t toU32(double value) {
  if (std::isnan(value) || value <= 0) return 0;
  if (value >= 4294967296.0) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(value);
}

void encodeRegisters(RegisterType type, double value, std::uint16_t* registers) {
  switch (type) {
    case RegisterType::Plain:
      registers[0] = static_cast<std::uint16_t>(toU32(value) & 0xFFFF);
      break;
    case RegisterType::U32: {
      const std::uint32_t number = toU32(value);
      registers[0] = static_cast<std::uint16_t>(number & 0xFFFF);
      registers[1] = static_cast<std::uint16_t>(number >> 16);
      break;
    }
    case RegisterType::F32:
      modbus_set_float(static_cast<float>(value), registers);
      break;
    case RegisterType::F64: {
      std::uint64_t bits = 0;
      std::memcpy(&bits, &value, sizeof bits);
      for (int i = 0; i < 4; ++i) registers[i] = static_cast<std::uint16_t>(bits >> (48 - 16 * i));
      break;
    }
  }
}

std::string decodeRegisters(RegisterType type, const std::uint16_t* registers) {
  switch (type) {
    case RegisterType::Plain:
      return fmt::format("{}", registers[0]);
    case RegisterType::U32:
      return fmt::format("{}", static_cast<std::uint32_t>(registers[1]) << 16 | registers[0]);
    case RegisterType::F32:
      return fmt::format("{:f}", modbus_get_float(registers));
    case RegisterType::F64: {
      std::uint64_t bits = 0;
      for (int i = 0; i < 4; ++i) bits = bits << 16 | registers[i];
      double value = 0;
      std::memcpy(&value, &bits, sizeof value);
      return fmt::format("{:f}", value);
    }
  }
  return {};
}

}  // namespace zelor::modules::rpcExecuteApis
