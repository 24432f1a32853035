#pragma once

#include <modbus.h>

#include <cstddef>
#include <cstdint>

// The RTU status service's request: [name length, BE u16][name][start, BE
// u16][count, BE u16]. "ReadRegisters" answers [2 * count, BE u16][registers,
// BE]; "ReadCoils" answers [count, BE u16][one byte per coil].
inline constexpr std::size_t kStatusReplySize = 1024;

// Fills reply (kStatusReplySize bytes) from the RTU tables; the reply length,
// or -1 when nothing is to be sent (unknown name, no tables, or a request
// that is short, reaches past the tables or would not fit the reply; each of
// those is logged).
int buildStatusReply(const std::uint8_t* request, std::size_t length, const modbus_mapping_t* tables,
                     std::uint8_t* reply);
