#pragma once

// The remote-I/O master: mirrors the discrete inputs of up to ten Modbus TCP
// devices into the DI image on router channel 14 every 20 ms, writes the DO
// image of channel 13 to their coils, reports connections on channel 15 and
// reconnects devices that went away.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "remote_io/modbus_master.h"
#include "remote_io/modbus_tcp_conf.h"

namespace zelor::modules::router {

class ModbusIO {
 public:
  static constexpr int kMaxSlaves = 10;
  static constexpr unsigned char kDoChannel = 13;
  static constexpr unsigned char kDiChannel = 14;
  static constexpr unsigned char kStatusChannel = 15;
  static constexpr std::size_t kImageBytes = kBitsPerSlave * kMaxSlaves;

  static ModbusIO* Instance();
  virtual ~ModbusIO() = default;
  ModbusIO(const ModbusIO&) = delete;
  ModbusIO& operator=(const ModbusIO&) = delete;

  // Loads the configuration, connects every device and starts both loops;
  // stays idle unless 1 to 10 devices are configured.
  void Start();
  int LoadModbusTCPConf(std::vector<ModbusTCPConf_t>& records);
  // 1 when the device is online (connecting it first when it is not), else 0.
  int Connect(int slave);
  void SyncIO(int slave);
  // 0 when every device is still offline after a reconnect attempt, else 1.
  int CheckOnline();
  void SyncIOLoop();
  void WorkLoop();
  void HandleDO(const std::uint8_t* image, int length);

 private:
  ModbusIO() = default;
  void writeStatus(std::uint8_t status);

  std::vector<std::unique_ptr<ModbusMaster>> masters_;
  std::atomic<std::uint8_t> workRun_{0};
  std::atomic<std::uint8_t> syncRun_{0};
  std::vector<ModbusTCPConf_t> confs_;
  std::int32_t count_ = 0;
  std::uint8_t diImage_[kImageBytes] = {};
};

}  // namespace zelor::modules::router
