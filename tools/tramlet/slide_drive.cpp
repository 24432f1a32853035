#include "tramlet/slide_drive.h"

#include <cerrno>

namespace tramlet_detail {

SlideDrive::SlideDrive(const char* path) {
  ctx_ = modbus_new_rtu(path, 921600, 'N', 8, 1);
  if (ctx_ == nullptr) return;
  modbus_set_slave(ctx_, 1);
  modbus_connect(ctx_);
}

SlideDrive::~SlideDrive() { close(); }

void SlideDrive::close() {
  if (ctx_ == nullptr) return;
  modbus_close(ctx_);
  modbus_free(ctx_);
  ctx_ = nullptr;
}

int SlideDrive::readInputs(int addr, int count, std::uint16_t* dest) {
  if (ctx_ == nullptr) {
    errno = EBADF;
    return -1;
  }
  return modbus_read_input_registers(ctx_, addr, count, dest);
}

int SlideDrive::writeRegister(int addr, std::uint16_t value) {
  if (ctx_ == nullptr) {
    errno = EBADF;
    return -1;
  }
  return modbus_write_register(ctx_, addr, value);
}

int SlideDrive::writeRegister32(int addr, std::int32_t value) {
  if (ctx_ == nullptr) {
    errno = EBADF;
    return -1;
  }
  const auto u = static_cast<std::uint32_t>(value);
  const std::uint16_t words[2] = {static_cast<std::uint16_t>(u & 0xFFFFu), static_cast<std::uint16_t>(u >> 16)};
  return modbus_write_registers(ctx_, addr, 2, words);
}

int SlideDrive::readHolding(int addr, std::uint16_t& value) {
  if (ctx_ == nullptr) {
    errno = EBADF;
    return -1;
  }
  return modbus_read_registers(ctx_, addr, 1, &value);
}

int SlideDrive::writeControlWord(std::uint16_t value) {
  controlWord_ = value;
  return writeRegister(reg::kControlWord, value);
}

int SlideDrive::readInput32(int addr, std::int32_t& value) {
  std::uint16_t words[2] = {0, 0};
  const int rc = readInputs(addr, 2, words);
  if (rc == 2) value = static_cast<std::int32_t>(static_cast<std::uint32_t>(words[0]) | (static_cast<std::uint32_t>(words[1]) << 16));
  return rc;
}

}  // namespace tramlet_detail
