#include "common/links/mul_robot_object.h"

#include <cstring>

namespace MulRobotConveyor {

namespace {

void putFloat(float value, std::uint16_t (&words)[2]) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof(bits));
  words[0] = static_cast<std::uint16_t>(bits & 0xFFFFu);
  words[1] = static_cast<std::uint16_t>(bits >> 16);
}

float getFloat(const std::uint16_t (&words)[2]) {
  const std::uint32_t bits = static_cast<std::uint32_t>(words[0]) | (static_cast<std::uint32_t>(words[1]) << 16);
  float value = 0.0f;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

// A register holds 16 bits; the flag must stay nonzero however it was set.
std::uint8_t flagByte(std::uint16_t reg) { return reg > 0xFF ? 0xFF : static_cast<std::uint8_t>(reg); }

}  // namespace

SlotRegisters ToRegisters(const ObjectData& obj) {
  SlotRegisters regs{};
  putFloat(obj.x, regs.x);
  putFloat(obj.y, regs.y);
  putFloat(obj.r, regs.r);
  putFloat(obj.encCount, regs.encCount);
  regs.attribute = obj.attribute;
  regs.available = obj.available;
  return regs;
}

ObjectData FromRegisters(const SlotRegisters& regs) {
  ObjectData obj{};
  obj.x = getFloat(regs.x);
  obj.y = getFloat(regs.y);
  obj.r = getFloat(regs.r);
  obj.encCount = getFloat(regs.encCount);
  obj.attribute = static_cast<std::uint8_t>(regs.attribute);
  obj.available = flagByte(regs.available);
  return obj;
}

}  // namespace MulRobotConveyor
