#pragma once

// One Modbus TCP connection to a remote I/O device. Every operation but
// IsOnline holds the connection's mutex for its whole duration.

#include <atomic>
#include <cstdint>
#include <mutex>

typedef struct _modbus modbus_t;

namespace zelor::modules::router {

class ModbusMaster {
 public:
  ModbusMaster() = default;
  virtual ~ModbusMaster();
  ModbusMaster(const ModbusMaster&) = delete;
  ModbusMaster& operator=(const ModbusMaster&) = delete;

  // Connects; true when connected now or already.
  bool Start(const char* ip, int port, int id);
  int IsOnline() const { return online_.load(); }
  // Sets the flag; going offline closes and releases the connection.
  void UpdateOnline(bool online);

  // Discrete inputs (0x02) / coils (0x01) / writing coils (0x0F), one byte per
  // bit: the count, or -1 on failure or with no connection.
  int readInputBits(std::uint16_t addr, std::uint16_t count, std::uint8_t* dest);
  int readCoils(std::uint16_t addr, std::uint16_t count, std::uint8_t* dest);
  int writeCoils(std::uint16_t addr, std::uint16_t count, const std::uint8_t* src);

  // One input register: the library's result, -1 with no connection.
  int ReadInputReg(std::uint16_t addr, std::uint16_t& value);
  // Holding registers: the library's result cut to 16 bits (a failure reads
  // 65535), 0 with no connection.
  std::uint16_t ReadRegs(std::uint16_t addr, std::uint16_t count, std::uint16_t* dest);
  // The value written, 0 with no connection.
  int WriteReg(std::uint16_t addr, std::uint16_t value);
  std::uint16_t WriteRegs(std::uint16_t addr, std::uint16_t count, const std::uint16_t* src);
  // A float over two input registers, each byte-swapped, low half first: the
  // second read's result, -1 with no connection.
  int ReadInputRegToFloat(std::uint16_t addr, float& value);
  // The float into two holding registers as above: 0, -1 with no connection.
  int WriteFloat(std::uint16_t addr, float value);

 private:
  void release();

  modbus_t* ctx_ = nullptr;
  std::atomic<int> online_{0};
  std::mutex mutex_;
};

}  // namespace zelor::modules::router
