#pragma once

#include <cstddef>
#include <cstdint>

// The PLC application's robot command record, handed to the data server once
// per cycle. Only the fields laid down here are read or written; the other
// bytes belong to the PLC application.
struct PlcStatusRecord {
  std::uint8_t reserved0[6584];
  std::uint8_t enableStatus;
  std::uint8_t errorStatus;
  std::uint8_t runStatus;
  std::uint8_t reserved1[6612 - 6587];
  std::int32_t modeWord;  // 0 teach pendant, 1 PC
  std::uint8_t reserved2[8192 - 6616];
};

inline constexpr std::size_t kPlcStatusRecordSize = 8192;
static_assert(sizeof(PlcStatusRecord) == kPlcStatusRecordSize);
static_assert(offsetof(PlcStatusRecord, enableStatus) == 6584);
static_assert(offsetof(PlcStatusRecord, errorStatus) == 6585);
static_assert(offsetof(PlcStatusRecord, runStatus) == 6586);
static_assert(offsetof(PlcStatusRecord, modeWord) == 6612);
