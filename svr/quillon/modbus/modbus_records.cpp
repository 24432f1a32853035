#include <cstdio>

#include "modbus/modbus_srv.h"

void ModbusSrv::refreshRegs16Bit(int index, std::uint16_t value) {
  modbus_mapping_t* m = tables();
  if (m == nullptr || m->tab_input_registers == nullptr || !registersInRange(index, 1, m->nb_input_registers)) {
    return;
  }
  m->tab_input_registers[index] = value;
}

void ModbusSrv::refreshRegs32Bit(int index, std::uint32_t value) {
  modbus_mapping_t* m = tables();
  if (m == nullptr || m->tab_input_registers == nullptr || !registersInRange(index, 2, m->nb_input_registers)) {
    return;
  }
  m->tab_input_registers[index] = static_cast<std::uint16_t>(value >> 16);
  m->tab_input_registers[index + 1] = static_cast<std::uint16_t>(value);
}

void ModbusSrv::refreshRegs32Bit(int index, const float* value) {
  if (value == nullptr) {
    std::printf("[%s], pValue is error\n", __func__);
    return;
  }
  WriteInputReg(index, value);
}

void ModbusSrv::refreshInCoils(int pos, std::uint8_t value) {
  modbus_mapping_t* m = tables();
  if (m == nullptr) return;
  if (m->tab_input_bits == nullptr) {
    std::printf("tab_input_bits is null !!!!!!!!!!!!!!!!!!!!\n");
    return;
  }
  if (!registersInRange(pos, 1, m->nb_input_bits)) return;
  m->tab_input_bits[pos] = value;
}

void ModbusSrv::refreshIoStatus(int type, std::uint8_t value) {
  for (const auto& row : modbus_map::kIoStatusInputs) {
    if (row[0] == type) {
      refreshInCoils(row[1], value);
      return;
    }
  }
}

void ModbusSrv::RecordAllJointPostion(const float joints[modbus_map::kJoints]) {
  if (joints == nullptr) return;
  for (int j = 0; j < modbus_map::kJoints; ++j) WriteInputReg(modbus_map::kJointPositions + 2 * j, &joints[j]);
}

void ModbusSrv::RecordRunSpeed(const float speeds[modbus_map::kJoints]) {
  if (speeds == nullptr) return;
  for (int j = 0; j < modbus_map::kJoints; ++j) WriteInputReg(modbus_map::kJointSpeeds + 2 * j, &speeds[j]);
}

void ModbusSrv::RecordServoInfo(const stModbusServo servo[modbus_map::kJoints]) {
  if (servo == nullptr) return;
  for (int j = 0; j < modbus_map::kJoints; ++j) {
    const int first = modbus_map::kServoFirst + modbus_map::kServoJointStride * j;
    WriteInputReg(first, &servo[j].first);
    WriteInputReg(first + 2, &servo[j].second);
    WriteInputReg(first + 4, &servo[j].third);
  }
}

void ModbusSrv::RecordAlarm(std::uint16_t code) { refreshRegs16Bit(modbus_map::kAlarmCode, code); }

void ModbusSrv::RecordRunStatus(std::uint8_t value) { refreshInCoils(modbus_map::kRunStatusInput, value); }

void ModbusSrv::RecordAllIoInputStatus(const std::uint8_t in[modbus_map::kIoRecordCount]) {
  if (in != nullptr) WriteDiscreteRegs(modbus_map::kIoInputsFirst, modbus_map::kIoRecordCount, in);
}

void ModbusSrv::RecordAllIoOutputStatus(const std::uint8_t out[modbus_map::kIoRecordCount]) {
  if (out != nullptr) WriteDiscreteRegs(modbus_map::kIoOutputsFirst, modbus_map::kIoRecordCount, out);
}
