#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

// One command packet as it travels between a command client and the motion
// kernel: 0xAA 0xAA, parameter length, command id, control byte, parameters.
// Multi-byte fields are little-endian; the controller and this build agree.
static_assert(std::endian::native == std::endian::little, "packets are little-endian");

inline constexpr std::uint8_t kPacketHeaderByte = 0xAA;
inline constexpr std::size_t kPacketParamCapacity = 2049;
// The kernel copies at most this many parameter bytes into its message.
inline constexpr std::size_t kKernelParamBytes = 2048;

inline constexpr std::uint8_t kCtrlWrite = 0x01;
inline constexpr std::uint8_t kCtrlQueued = 0x02;

#pragma pack(push, 1)
struct Packet {
  std::uint8_t header[2];
  // While building: the number of parameter bytes; once framed: that + 2.
  std::uint16_t length;
  std::uint16_t cmdId;
  // Bit 0 write, bit 1 queued, bits 2..7 zero.
  std::uint8_t ctrl;
  std::uint8_t params[kPacketParamCapacity];
};
#pragma pack(pop)

static_assert(sizeof(Packet) == 2056);
static_assert(offsetof(Packet, header) == 0);
static_assert(offsetof(Packet, length) == 2);
static_assert(offsetof(Packet, cmdId) == 4);
static_assert(offsetof(Packet, ctrl) == 6);
static_assert(offsetof(Packet, params) == 7);
