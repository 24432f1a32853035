#pragma once

// One conveyor object as the robots along a conveyor hand it on, and its place
// in the master robot's holding registers.

#include <cstddef>
#include <cstdint>

namespace MulRobotConveyor {

struct ObjectData {
  float x;
  float y;
  float r;
  float encCount;         // conveyor encoder count at capture
  std::uint8_t attribute;  // carried unchanged between the robots
  std::uint8_t available;  // nonzero = the slot holds a new object
  std::uint8_t reserved[2];
};
static_assert(sizeof(ObjectData) == 20);
static_assert(offsetof(ObjectData, encCount) == 12);
static_assert(offsetof(ObjectData, attribute) == 16);
static_assert(offsetof(ObjectData, available) == 17);

// Register block on the master: one slot per robot in line.
inline constexpr int kSlotCount = 10;
inline constexpr int kFirstSlotRegister = 2009;
inline constexpr int kSlotRegisterCount = 20;
// A slot read fetches this many registers and uses the first slot's worth.
inline constexpr int kSlotReadCount = 40;
inline constexpr int kMasterPort = 502;

constexpr int GetStartAddr(int slot) { return kFirstSlotRegister + kSlotRegisterCount * slot; }

// The 20 holding registers of one slot. Each float is two registers, the low
// 16 bits first.
struct SlotRegisters {
  std::uint16_t x[2];
  std::uint16_t y[2];
  std::uint16_t r[2];
  std::uint16_t encCount[2];
  std::uint16_t attribute;
  std::uint16_t available;
  std::uint16_t zero[10];
};
static_assert(sizeof(SlotRegisters) == kSlotRegisterCount * sizeof(std::uint16_t));
static_assert(offsetof(SlotRegisters, y) == 2 * sizeof(std::uint16_t));
static_assert(offsetof(SlotRegisters, r) == 4 * sizeof(std::uint16_t));
static_assert(offsetof(SlotRegisters, encCount) == 6 * sizeof(std::uint16_t));
static_assert(offsetof(SlotRegisters, attribute) == 8 * sizeof(std::uint16_t));
static_assert(offsetof(SlotRegisters, available) == 9 * sizeof(std::uint16_t));
// Register offset of the flag pair a reader zeroes to free the slot.
inline constexpr int kAvailableRegister = offsetof(SlotRegisters, available) / sizeof(std::uint16_t);

SlotRegisters ToRegisters(const ObjectData& obj);
ObjectData FromRegisters(const SlotRegisters& regs);

}  // namespace MulRobotConveyor
