#include <cstdio>
#include <cstring>

#include "modbus/modbus_srv.h"

// Every accessor works on the TCP tables (the status memory's windows). A
// range outside the table is refused like a missing table: the tables lie
// next to other areas of the memory.

bool ModbusSrv::registersInRange(int index, int n, int entries) const {
  return index >= 0 && n >= 0 && n <= entries && index <= entries - n;
}

int ModbusSrv::ReadHoldRegs(int index, int n, std::uint16_t* dst) {
  modbus_mapping_t* m = tables();
  if (m == nullptr) {
    std::printf("m_mb_mapping is null\n");
    return 0;
  }
  if (dst == nullptr || m->tab_registers == nullptr || !registersInRange(index, n, m->nb_registers)) return -1;
  std::memcpy(dst, m->tab_registers + index, sizeof(std::uint16_t) * static_cast<std::size_t>(n));
  return 2 * n;
}

int ModbusSrv::ReadHoldReg(int index, float* value) {
  modbus_mapping_t* m = tables();
  if (m == nullptr) {
    std::printf("m_mb_mapping is null\n");
    return 0;
  }
  if (value == nullptr || m->tab_registers == nullptr || !registersInRange(index, 2, m->nb_registers)) return -1;
  *value = modbus_get_float(m->tab_registers + index);
  return 0;
}

int ModbusSrv::WriteHoldReg(int index, const std::uint16_t* value) {
  modbus_mapping_t* m = tables();
  if (m == nullptr || value == nullptr || m->tab_registers == nullptr ||
      !registersInRange(index, 1, m->nb_registers)) {
    return -1;
  }
  m->tab_registers[index] = *value;
  return 2;
}

int ModbusSrv::WriteHoldReg(int index, const float* value) {
  modbus_mapping_t* m = tables();
  if (m == nullptr || value == nullptr || m->tab_registers == nullptr ||
      !registersInRange(index, 2, m->nb_registers)) {
    return -1;
  }
  modbus_set_float(*value, m->tab_registers + index);
  return 4;
}

int ModbusSrv::WriteInputReg(int index, const float* value) {
  modbus_mapping_t* m = tables();
  if (m == nullptr || value == nullptr || m->tab_input_registers == nullptr ||
      !registersInRange(index, 2, m->nb_input_registers)) {
    return -1;
  }
  modbus_set_float(*value, m->tab_input_registers + index);
  return 4;
}

int ModbusSrv::ReadInputReg(int index, std::uint16_t* value) {
  modbus_mapping_t* m = tables();
  if (m == nullptr || value == nullptr || m->tab_input_registers == nullptr ||
      !registersInRange(index, 1, m->nb_input_registers)) {
    return -1;
  }
  *value = m->tab_input_registers[index];
  return 2;
}

int ModbusSrv::WriteDiscreteReg(int pos, const std::uint8_t* value) {
  return value == nullptr ? -1 : (WriteDiscreteRegs(pos, 1, value) == 1 ? 1 : -1);
}

int ModbusSrv::WriteDiscreteRegs(int pos, int len, const std::uint8_t* src) {
  modbus_mapping_t* m = tables();
  if (m == nullptr || src == nullptr || m->tab_input_bits == nullptr ||
      !registersInRange(pos, len, m->nb_input_bits)) {
    return -1;
  }
  std::memcpy(m->tab_input_bits + pos, src, static_cast<std::size_t>(len));
  return len;
}

int ModbusSrv::WriteCoilsReg(int pos, const std::uint8_t* value) {
  return value == nullptr ? -1 : (WriteCoilsRegs(pos, 1, value) == 1 ? 1 : -1);
}

int ModbusSrv::ReadCoilsReg(int pos, std::uint8_t* value) {
  return value == nullptr ? -1 : (ReadCoilsRegs(pos, 1, value) == 1 ? 1 : -1);
}

int ModbusSrv::WriteCoilsRegs(int pos, int len, const std::uint8_t* src) {
  modbus_mapping_t* m = tables();
  if (m == nullptr || src == nullptr || m->tab_bits == nullptr || !registersInRange(pos, len, m->nb_bits)) return -1;
  std::memcpy(m->tab_bits + pos, src, static_cast<std::size_t>(len));
  return len;
}

int ModbusSrv::ReadCoilsRegs(int pos, int len, std::uint8_t* dst) {
  modbus_mapping_t* m = tables();
  if (m == nullptr || dst == nullptr || m->tab_bits == nullptr || !registersInRange(pos, len, m->nb_bits)) return -1;
  std::memcpy(dst, m->tab_bits + pos, static_cast<std::size_t>(len));
  return len;
}
