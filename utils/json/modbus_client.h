#pragma once

#include <cstdint>
#include <string>

#include "zelor_export.h"

typedef struct _modbus modbus_t;

// A Modbus TCP master: one connection to one server and one slave id. After a
// failed transfer the connection is dropped and the owner calls doConnect
// again (after init(ip, port, slave) when it does not use the default server).
// Not locked: owners that share a client serialise their calls.
class ZELOR_EXPORT ModbusClient {
 public:
  static constexpr const char* kDefaultHost = "127.0.0.1";
  static constexpr int kDefaultPort = 502;
  static constexpr int kBitBufferSize = 4096;
  static constexpr int kRegisterBufferBytes = 8192;

  ModbusClient();
  ~ModbusClient();
  ModbusClient(const ModbusClient&) = delete;
  ModbusClient& operator=(const ModbusClient&) = delete;

  // 1 when a context was created, 0 when one exists already or creation failed.
  int init();
  int init(const std::string& ip, std::uint16_t port, std::uint16_t slaveId);
  void uninit();
  // 1 when connected, 0 on failure (the context is then freed).
  int doConnect();
  bool IsOnline() const;

  int readCoils(int address, int count, std::uint8_t* buffer);
  int writeCoils(int address, int count, const std::uint8_t* buffer);
  int readInCoils(int address, int count, std::uint8_t* buffer);
  int readRegister(int address, int count, std::uint16_t* buffer);
  int readInRegister(int address, int count, std::uint16_t* buffer);
  // 1 written, 0 not written.
  int writeRegister(int address, int count, const std::uint16_t* buffer);
  int readSingleRegister(int address, std::uint16_t* value);
  int writeSingleRegister(int address, int value);
  int writeSingleCoilBits(int address, int value);
  // 0 when the coil was read into the bit buffer, -1 otherwise.
  int readSingleCoilBits(int address);

 private:
  int createContext(const char* ip, int port, int slaveId);
  void drop();
  int dropOnFailure(int result);

  modbus_t* m_ctx = nullptr;
  std::uint8_t* m_bits = nullptr;
  std::uint16_t* m_registers = nullptr;
  int m_bitsSize = kBitBufferSize;
  bool m_online = false;
  int m_slaveId = 1;
};
