#include "subProcess/data/aux_axis_status.h"

#include <cstring>

namespace {

template <typename T>
T field(const Packet& reply, int offset) {
  const int params = static_cast<int>(reply.length) - 2;
  T value{};
  if (params >= offset + static_cast<int>(sizeof value)) std::memcpy(&value, reply.params + offset, sizeof value);
  return value;
}

}  // namespace

AuxAxisStatus AuxAxisStatus::parse(const Packet& reply) {
  AuxAxisStatus s;
  s.code = field<std::uint16_t>(reply, 0);
  s.status = field<std::uint16_t>(reply, 2);
  if (field<std::uint32_t>(reply, 4) != 0) s.status |= kFaultBit;
  return s;
}
