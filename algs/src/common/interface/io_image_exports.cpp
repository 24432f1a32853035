#include <cstring>

#include "common/interface/vantrel_interface.h"
#include "common/kernel/kernel_state.h"

static_assert(kModbusFirstByte + kModbusPoints == kDigitalImageSize);
static_assert(kPhysicalPoints == 16 * sizeof(std::uint32_t));

// Bytes 64-99 of either image are exchanged by no export.

void vantrel_update_di(const std::uint32_t in[16]) { std::memcpy(gPhyDIs, in, kPhysicalPoints); }

void vantrel_get_di(std::uint32_t out[16]) { std::memcpy(out, gPhyDIs, kPhysicalPoints); }

void vantrel_update_do(std::uint32_t out[16]) { std::memcpy(out, gPhyDOs, kPhysicalPoints); }

void vantrel_update_modbusdi(const std::uint8_t in[900]) {
  std::memcpy(gPhyDIs + kModbusFirstByte, in, kModbusPoints);
}

void vantrel_update_modbusdo(std::uint8_t out[900]) {
  std::memcpy(out, gPhyDOs + kModbusFirstByte, kModbusPoints);
}

void vantrel_get_di_ptr(void** out) { *out = gPhyDIs; }

void vantrel_get_do_ptr(void** out) { *out = gPhyDOs; }
