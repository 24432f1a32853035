#include "remote_io/modbus_master.h"

#include <modbus.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zelor::modules::router {

namespace {
constexpr unsigned kResponseTimeoutSeconds = 10;

std::uint16_t swapBytes(std::uint16_t value) { return static_cast<std::uint16_t>((value << 8) | (value >> 8)); }
}  // namespace

ModbusMaster::~ModbusMaster() {
  std::lock_guard<std::mutex> lock(mutex_);
  release();
}

void ModbusMaster::release() {
  if (ctx_ == nullptr) return;
  modbus_close(ctx_);
  modbus_free(ctx_);
  ctx_ = nullptr;
}

bool ModbusMaster::Start(const char* ip, int port, int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ctx_ != nullptr) return true;
  ctx_ = modbus_new_tcp(ip, port);
  if (ctx_ == nullptr) {
    std::printf("[%s], modbus_new_tcp fail !!!\n", "Start");
    return false;
  }
  // Protocol recovery only: with link recovery a send on a broken connection
  // would be retried (sleeping the response time-out) until the peer returns.
  modbus_set_error_recovery(ctx_, MODBUS_ERROR_RECOVERY_PROTOCOL);
  modbus_set_response_timeout(ctx_, kResponseTimeoutSeconds, 0);
  if (modbus_connect(ctx_) == -1) {
    std::fprintf(stderr, "Connection failed: %s\n", modbus_strerror(errno));
    modbus_free(ctx_);
    ctx_ = nullptr;
    return false;
  }
  modbus_set_slave(ctx_, id);
  online_ = 1;
  std::printf("connect [%s]:[%d], slave ID:[%d] success !!!\n", ip, port, id);
  return true;
}

void ModbusMaster::UpdateOnline(bool online) {
  std::lock_guard<std::mutex> lock(mutex_);
  online_ = online ? 1 : 0;
  if (!online) release();
}

int ModbusMaster::readInputBits(std::uint16_t addr, std::uint16_t count, std::uint8_t* dest) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ctx_ == nullptr) return -1;
  const int rc = modbus_read_input_bits(ctx_, addr, count, dest);
  if (rc == -1) std::printf("[readInputBits] start_addr:%u, nb: %u,error !!!\n", addr, count);
  return rc;
}

int ModbusMaster::readCoils(std::uint16_t addr, std::uint16_t count, std::uint8_t* dest) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ctx_ == nullptr) return -1;
  const int rc = modbus_read_bits(ctx_, addr, count, dest);
  if (rc == -1) std::puts("[readCoils] error !!!");
  return rc;
}

int ModbusMaster::writeCoils(std::uint16_t addr, std::uint16_t count, const std::uint8_t* src) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ctx_ == nullptr) return -1;
  const int rc = modbus_write_bits(ctx_, addr, count, src);
  if (rc == -1) std::puts("[writeCoils] error !!!");
  return rc;
}

int ModbusMaster::ReadInputReg(std::uint16_t addr, std::uint16_t& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ctx_ == nullptr) return -1;
  return modbus_read_input_registers(ctx_, addr, 1, &value);
}

std::uint16_t ModbusMaster::ReadRegs(std::uint16_t addr, std::uint16_t count, std::uint16_t* dest) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ctx_ == nullptr) return 0;
  return static_cast<std::uint16_t>(modbus_read_registers(ctx_, addr, count, dest));
}

int ModbusMaster::WriteReg(std::uint16_t addr, std::uint16_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ctx_ == nullptr) return 0;
  modbus_write_register(ctx_, addr, value);
  return value;
}

std::uint16_t ModbusMaster::WriteRegs(std::uint16_t addr, std::uint16_t count, const std::uint16_t* src) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ctx_ == nullptr) return 0;
  return static_cast<std::uint16_t>(modbus_write_registers(ctx_, addr, count, src));
}

int ModbusMaster::ReadInputRegToFloat(std::uint16_t addr, float& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ctx_ == nullptr) return -1;
  std::uint16_t low[2] = {};
  std::uint16_t high[2] = {};
  modbus_read_input_registers(ctx_, addr, 2, low);
  const int rc = modbus_read_input_registers(ctx_, static_cast<std::uint16_t>(addr + 1), 2, high);
  const std::uint32_t bits = static_cast<std::uint32_t>(swapBytes(high[0])) << 16 | swapBytes(low[0]);
  std::memcpy(&value, &bits, sizeof value);
  return rc;
}

int ModbusMaster::WriteFloat(std::uint16_t addr, float value) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ctx_ == nullptr) return -1;
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  modbus_write_register(ctx_, addr, swapBytes(static_cast<std::uint16_t>(bits & 0xFFFF)));
  modbus_write_register(ctx_, static_cast<std::uint16_t>(addr + 1), swapBytes(static_cast<std::uint16_t>(bits >> 16)));
  return 0;
}

}  // namespace zelor::modules::router
