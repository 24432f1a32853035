#pragma once

// Reading a handler's request record and writing its reply record. Records
// are packed, so they are always copied bytewise.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/command/command_log.h"

// The request's record; false (after a log line) when the request is shorter.
// Bytes beyond the request's length are zero, so a short request would
// otherwise be taken as zeros.
template <typename Record>
bool TakeRecord(const char* handler, const std::uint8_t* params, std::uint32_t len, Record& out) {
  if (len < sizeof(Record)) {
    CMD_LOG("Command %s executed...error: params length %u, need %u  \r\n", handler, static_cast<unsigned>(len),
            static_cast<unsigned>(sizeof(Record)));
    return false;
  }
  std::memcpy(&out, params, sizeof(Record));
  return true;
}

template <typename Record>
void ReplyRecord(const Record& record, std::uint8_t* params, std::uint32_t& len) {
  std::memcpy(params, &record, sizeof(Record));
  len = sizeof(Record);
}

// Whether `count` floats from byte `offset` of a record are all finite; logs
// the refusal otherwise. A value that is not a number passes every range
// comparison, so it must be stopped before any.
inline bool FloatsFinite(const char* handler, const void* record, std::size_t offset, std::size_t count) {
  const auto* bytes = static_cast<const std::uint8_t*>(record) + offset;
  for (std::size_t i = 0; i < count; ++i) {
    float value;
    std::memcpy(&value, bytes + i * sizeof value, sizeof value);
    if (!std::isfinite(value)) {
      CMD_LOG("Command %s executed...error: value %u not finite  \r\n", handler, static_cast<unsigned>(i));
      return false;
    }
  }
  return true;
}

// Whether `count` doubles from byte `offset` of a record are all finite;
// logs the refusal otherwise.
inline bool DoublesFinite(const char* handler, const void* record, std::size_t offset, std::size_t count) {
  const auto* bytes = static_cast<const std::uint8_t*>(record) + offset;
  for (std::size_t i = 0; i < count; ++i) {
    double value;
    std::memcpy(&value, bytes + i * sizeof value, sizeof value);
    if (!std::isfinite(value)) {
      CMD_LOG("Command %s executed...error: value %u not finite  \r\n", handler, static_cast<unsigned>(i));
      return false;
    }
  }
  return true;
}

// A record made of floats only.
template <typename Record>
bool AllFloatsFinite(const char* handler, const Record& record) {
  static_assert(sizeof(Record) % sizeof(float) == 0);
  return FloatsFinite(handler, &record, 0, sizeof(Record) / sizeof(float));
}
