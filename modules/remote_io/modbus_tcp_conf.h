#pragma once

// The remote I/O devices of settings/function/modbus_io_config.json.

#include <cstdint>
#include <string>
#include <vector>

namespace zelor::modules::router {

// Numbers above this would reach past a device's slice of the I/O images.
inline constexpr std::uint16_t kBitsPerSlave = 100;

struct ModbusTCPConf_t {
  char name[256];
  char ip[128];
  std::uint16_t port;
  std::uint8_t id;
  std::uint16_t doAddr;
  std::uint16_t doNumber;
  std::int32_t doIndex;
  std::uint16_t diAddr;
  std::uint16_t diNumber;
  std::int32_t diIndex;
  std::int32_t period;
};

// Reads the file at path into records: the number of devices, or -1 (file
// not readable), -2 (not JSON), -3 (no "modbusTCPDev" array), -4 (an entry
// with a missing or wrongly typed required key; records left empty).
int LoadModbusTCPConf(const std::string& path, std::vector<ModbusTCPConf_t>& records);

}  // namespace zelor::modules::router
