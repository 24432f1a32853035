#include "json/modbus_client.h"

#include <modbus/modbus.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "log/ombrel.h"

namespace {

// The client's channel-log lines go to log channel 14 at info level.
constexpr int kModbusLogChannel = ~14;
constexpr int kInfo = 2;

}  // namespace

#define MODBUS_LOG(fmt, ...) \
  spdlog::ombrel::basicLog(kModbusLogChannel, __LINE__, __func__, kInfo, fmt __VA_OPT__(, ) __VA_ARGS__)

ModbusClient::ModbusClient() { std::puts("start ModbusClient..."); }

ModbusClient::~ModbusClient() {
  std::puts("stop ModbusClient...");
  uninit();
}

int ModbusClient::createContext(const char* ip, int port, int slaveId) {
  if (m_ctx != nullptr) {
    std::printf("[%s], obj is created.\n", "init");
    return 0;
  }
  m_slaveId = slaveId;
  m_ctx = modbus_new_tcp(ip, port);
  return m_ctx != nullptr ? 1 : 0;
}

int ModbusClient::init() { return createContext(kDefaultHost, kDefaultPort, 1); }

int ModbusClient::init(const std::string& ip, std::uint16_t port, std::uint16_t slaveId) {
  return createContext(ip.c_str(), port, slaveId);
}

void ModbusClient::uninit() {
  delete[] m_bits;
  m_bits = nullptr;
  delete[] m_registers;
  m_registers = nullptr;
  if (m_ctx != nullptr) {
    modbus_close(m_ctx);
    modbus_free(m_ctx);
    m_ctx = nullptr;
  }
  m_online = false;
  std::puts("ModbusClient::uninit ...");
}

int ModbusClient::doConnect() {
  if (m_ctx == nullptr) init();
  if (m_ctx == nullptr) {
    const char* reason = std::strerror(errno);
    std::fprintf(stderr, "Connection failed: %s\n", reason);
    MODBUS_LOG("#[doConnect] failed # {}", reason);
    return 0;
  }
  modbus_set_slave(m_ctx, m_slaveId);
  // A second connect on a live context would leak its socket.
  modbus_close(m_ctx);
  if (modbus_connect(m_ctx) == -1) {
    const char* reason = modbus_strerror(errno);
    std::fprintf(stderr, "Connection failed: %s\n", reason);
    MODBUS_LOG("#[doConnect] failed # {}", reason);
    modbus_free(m_ctx);
    m_ctx = nullptr;
    return 0;
  }
  modbus_set_response_timeout(m_ctx, 1, 0);
  if (m_online) return 1;
  std::printf("modbus_connect slave id:%d ok.\n", m_slaveId);
  m_online = true;
  if (m_bits == nullptr) m_bits = new std::uint8_t[kBitBufferSize]();
  if (m_registers == nullptr) m_registers = new std::uint16_t[kRegisterBufferBytes / sizeof(std::uint16_t)]();
  return 1;
}

bool ModbusClient::IsOnline() const { return m_online && m_ctx != nullptr; }

int ModbusClient::dropOnFailure(int result) {
  if (result == -1) drop();
  return result;
}

void ModbusClient::drop() {
  if (m_ctx == nullptr) return;
  modbus_close(m_ctx);
  modbus_free(m_ctx);
  m_ctx = nullptr;
}

int ModbusClient::readCoils(int address, int count, std::uint8_t* buffer) {
  if (buffer == nullptr) return 0;
  if (m_ctx == nullptr) {
    MODBUS_LOG("#####[readCoils] m_ctx : NULL #######");
    return -1;
  }
  const int rc = modbus_read_bits(m_ctx, address, count, buffer);
  if (rc == -1) {
    const char* reason = modbus_strerror(errno);
    std::printf(" #####[readCoils] m_ctx : NULL #######, %s\n", reason);
    MODBUS_LOG(" #####[readCoils] m_ctx : NULL #######, {}", reason);
    MODBUS_LOG("modbus_strerror : {}", reason);
    drop();
    return -1;
  }
  return rc;
}

int ModbusClient::writeCoils(int address, int count, const std::uint8_t* buffer) {
  if (m_ctx == nullptr || buffer == nullptr) return -1;
  return dropOnFailure(modbus_write_bits(m_ctx, address, count, buffer));
}

int ModbusClient::readInCoils(int address, int count, std::uint8_t* buffer) {
  if (buffer == nullptr) return 0;
  if (m_ctx == nullptr) return -1;
  return dropOnFailure(modbus_read_input_bits(m_ctx, address, count, buffer));
}

int ModbusClient::readRegister(int address, int count, std::uint16_t* buffer) {
  if (buffer == nullptr) return 0;
  if (m_ctx == nullptr) return -1;
  return dropOnFailure(modbus_read_registers(m_ctx, address, count, buffer));
}

int ModbusClient::readInRegister(int address, int count, std::uint16_t* buffer) {
  if (buffer == nullptr) return 0;
  if (m_ctx == nullptr) return -1;
  return dropOnFailure(modbus_read_input_registers(m_ctx, address, count, buffer));
}

int ModbusClient::writeRegister(int address, int count, const std::uint16_t* buffer) {
  if (m_ctx == nullptr || buffer == nullptr) return 0;
  if (modbus_write_registers(m_ctx, address, count, buffer) == -1) {
    drop();
    return 0;
  }
  return 1;
}

int ModbusClient::readSingleRegister(int address, std::uint16_t* value) {
  if (m_ctx == nullptr || value == nullptr) return -1;
  if (modbus_read_registers(m_ctx, address, 1, value) == -1) {
    drop();
    return -1;
  }
  return 1;
}

int ModbusClient::writeSingleRegister(int address, int value) {
  if (m_ctx == nullptr) return 0;
  if (modbus_write_register(m_ctx, address, static_cast<std::uint16_t>(value)) == -1) {
    drop();
    return 0;
  }
  return 1;
}

// The single-coil transfers keep the connection when they fail.
int ModbusClient::writeSingleCoilBits(int address, int value) {
  if (m_ctx == nullptr) return 0;
  return modbus_write_bit(m_ctx, address, value) == -1 ? 0 : 1;
}

int ModbusClient::readSingleCoilBits(int address) {
  if (m_ctx == nullptr || m_bits == nullptr) return -1;
  return modbus_read_bits(m_ctx, address, 1, m_bits) == -1 ? -1 : 0;
}
