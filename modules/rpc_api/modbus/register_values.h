#pragma once

// Register encodings of the Modbus register commands.

#include <cstdint>
#include <string>

namespace zelor::modules::rpcExecuteApis {

enum class RegisterType { Plain, U32, F32, F64 };

// "U32", "F32" or "F64" found in the text (in that order), else plain.
RegisterType registerTypeOf(const std::string& text);
int registersPerValue(RegisterType type);

// The number as an unsigned 32-bit integer: fraction cut off; NaN and
// negative numbers give 0, numbers past the range its largest value.
std::uint32_t toU32(double value);

// Fills registersPerValue(type) registers from the value.
void encodeRegisters(RegisterType type, double value, std::uint16_t* registers);
// The value of registersPerValue(type) registers as reply text.
std::string decodeRegisters(RegisterType type, const std::uint16_t* registers);

}  // namespace zelor::modules::rpcExecuteApis
