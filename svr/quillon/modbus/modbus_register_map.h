#pragma once

#include <cstdint>

// Addresses of the Modbus slave's TCP tables that the data server writes.
// Floats span two registers as libmodbus's modbus_set_float stores them
// (register n the low 16 bits, n + 1 the high).
namespace modbus_map {

// Discrete inputs.
inline constexpr int kIoStatusInputs[][2] = {{0, 0}, {12, 1}, {13, 2}, {15, 3}, {14, 4}};  // {type, input}
inline constexpr int kRunStatusInput = 3;
inline constexpr int kIoInputsFirst = 15;   // digital inputs 1..24
inline constexpr int kIoOutputsFirst = 39;  // digital outputs 1..24
inline constexpr int kIoRecordCount = 24;

// Input registers.
inline constexpr int kAlarmCode = 0;
inline constexpr int kServoFirst = 2;  // servo value v of joint j at 2 + 20j + 2v
inline constexpr int kServoJointStride = 20;
inline constexpr int kJointPositions = 202;  // joints 1..4, a float each
inline constexpr int kJointSpeeds = 222;
inline constexpr int kCurrentCoord = 242;  // x, y, z, r

// Holding registers.
inline constexpr int kProjectNumber = 1281;
inline constexpr int kPanelFirst = 1300;

inline constexpr int kJoints = 4;

}  // namespace modbus_map

// One joint's three servo values.
struct stModbusServo {
  float first;
  float second;
  float third;
};
static_assert(sizeof(stModbusServo) == 12);
