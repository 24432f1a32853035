#include "modbus/rtu_status_request.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kReadRegisters[] = "ReadRegisters";
constexpr char kReadCoils[] = "ReadCoils";
constexpr std::size_t kReadRegistersLength = sizeof kReadRegisters - 1;
constexpr std::size_t kReadCoilsLength = sizeof kReadCoils - 1;
constexpr std::size_t kReplyHeader = 2;

enum class Request { kRegisters, kCoils, kUnknown };

std::uint16_t be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

void putBe16(std::uint8_t* p, unsigned v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

// Only as many characters as the name holds are compared.
Request classify(const std::uint8_t* name, std::size_t length) {
  if (length >= kReadRegistersLength && std::memcmp(name, kReadRegisters, kReadRegistersLength) == 0) {
    return Request::kRegisters;
  }
  if (length >= kReadCoilsLength && std::memcmp(name, kReadCoils, kReadCoilsLength) == 0) return Request::kCoils;
  return Request::kUnknown;
}

bool withinTable(unsigned start, unsigned count, int entries, const char* func) {
  if (entries >= 0 && start + count <= static_cast<unsigned>(entries)) return true;
  std::printf("[%s] start %u and count %u reach past the %d table entries\n", func, start, count, entries);
  return false;
}

}  // namespace

int buildStatusReply(const std::uint8_t* request, std::size_t length, const modbus_mapping_t* tables,
                     std::uint8_t* reply) {
  if (request == nullptr || reply == nullptr) return -1;
  if (length < 2 || length < 2 + std::size_t{be16(request)} + 4) {
    std::printf("[%s] request of %zu bytes is shorter than its name and parameters\n", __func__, length);
    return -1;
  }
  const std::size_t nameLength = be16(request);
  const Request kind = classify(request + 2, nameLength);
  if (kind == Request::kUnknown) return -1;
  if (tables == nullptr) {
    std::printf("m_mb_rtu_mapping is null\n");
    return -1;
  }
  const unsigned start = be16(request + 2 + nameLength);
  const unsigned count = be16(request + 2 + nameLength + 2);

  if (kind == Request::kRegisters) {
    std::printf("start = 0x%x, number = 0x%x\n", start, count);
    if (kReplyHeader + 2 * std::size_t{count} > kStatusReplySize) {
      std::printf("[%s] %u registers do not fit the reply\n", __func__, count);
      return -1;
    }
    if (!withinTable(start, count, tables->nb_registers, __func__)) return -1;
    putBe16(reply, 2 * count);
    for (unsigned i = 0; i < count; ++i) {
      const std::uint16_t v = tables->tab_registers[start + i];
      std::printf("[%s], number = %d, register_value[%d] = 0x%04x\n", __func__, static_cast<int>(count),
                  static_cast<int>(i), v);
      putBe16(reply + kReplyHeader + 2 * i, v);
    }
    return static_cast<int>(kReplyHeader + 2 * count);
  }

  if (kReplyHeader + std::size_t{count} > kStatusReplySize) {
    std::printf("[%s] %u coils do not fit the reply\n", __func__, count);
    return -1;
  }
  if (!withinTable(start, count, tables->nb_bits, __func__)) return -1;
  putBe16(reply, count);
  for (unsigned i = 0; i < count; ++i) reply[kReplyHeader + i] = tables->tab_bits[start + i];
  return static_cast<int>(kReplyHeader + count);
}
