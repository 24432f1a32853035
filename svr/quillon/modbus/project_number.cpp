#include "modbus/project_number.h"

#include <cstdio>
#include <cstdint>

#include "modbus/modbus_srv.h"

namespace {
constexpr long kLargest = 65535;
}  // namespace

int projectNumberOf(const std::string& name) {
  if (name.empty()) return 0;
  long v = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
    if (v > kLargest) return 0;
  }
  return static_cast<int>(v);
}

int ModbusSrv::GetProjectName(std::string& name) {
  modbus_mapping_t* m = tables();
  if (m == nullptr) {
    std::printf("[ModbusSrv::GetRemoteCtrlStatus] m_mb_mapping is null !\n");
    return 0;
  }
  const std::uint16_t v = m->tab_registers[modbus_map::kProjectNumber];
  if (v == 0) return 0;
  name = std::to_string(v);
  return 1;
}

int ModbusSrv::SetProjectName(std::string& name) {
  modbus_mapping_t* m = tables();
  if (m == nullptr) {
    std::printf("[ModbusSrv::GetRemoteCtrlStatus] m_mb_mapping is null !\n");
    return 0;
  }
  const int v = projectNumberOf(name);
  if (v == 0) return 0;
  m->tab_registers[modbus_map::kProjectNumber] = static_cast<std::uint16_t>(v);
  name = std::to_string(v);
  return 1;
}
