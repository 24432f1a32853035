#pragma once

#include <modbus.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "json/project_records.h"
#include "modbus/modbus_register_map.h"
#include "modbus/rtu_status_request.h"

namespace zelor::common::network {
class LocalSocket;
}

// The data server's Modbus slave. In TCP mode it serves port 502 with its
// four tables placed in the status memory, so that what other code writes
// there is what masters read; in any other mode it is an RTU slave on the
// RS-485 line with tables of its own, plus a local status service that reads
// them. Destroying it stops its threads and waits for them.
class ModbusSrv {
 public:
  static constexpr int kTcpPort = 502;
  static constexpr int kTcpTableEntries = 10000;
  static constexpr int kRtuTableEntries = 4096;
  static constexpr const char* kRtuDevice = "/dev/ttymxc1";
  // Abstract local-socket name of the RTU status service.
  static constexpr const char* kStatusSocketName = "zelor.modbus.rtu_status";

  explicit ModbusSrv(const stModbusConf& conf);
  ~ModbusSrv();
  ModbusSrv(const ModbusSrv&) = delete;
  ModbusSrv& operator=(const ModbusSrv&) = delete;

  // Starts the TCP server thread ("tcp") or the RTU server and status
  // service; again after a stop, and nothing while they run.
  void init();

  // TCP table accessors. -1 without tables, with a null value pointer or with
  // a range outside the table (the two reads print "m_mb_mapping is null" and
  // give 0 without tables).
  int ReadHoldRegs(int index, int n, std::uint16_t* dst);
  int ReadHoldReg(int index, float* value);
  int WriteHoldReg(int index, const std::uint16_t* value);
  int WriteHoldReg(int index, const float* value);
  int WriteInputReg(int index, const float* value);
  int ReadInputReg(int index, std::uint16_t* value);
  int WriteDiscreteReg(int pos, const std::uint8_t* value);
  int WriteDiscreteRegs(int pos, int len, const std::uint8_t* src);
  int WriteCoilsReg(int pos, const std::uint8_t* value);
  int ReadCoilsReg(int pos, std::uint8_t* value);
  int WriteCoilsRegs(int pos, int len, const std::uint8_t* src);
  int ReadCoilsRegs(int pos, int len, std::uint8_t* dst);

  void refreshRegs16Bit(int index, std::uint16_t value);
  // High half into index, low half into index + 1.
  void refreshRegs32Bit(int index, std::uint32_t value);
  void refreshRegs32Bit(int index, const float* value);
  void refreshInCoils(int pos, std::uint8_t value);
  // IO-status types 0, 12, 13, 15, 14 to discrete inputs 0..4.
  void refreshIoStatus(int type, std::uint8_t value);

  void RecordAllJointPostion(const float joints[modbus_map::kJoints]);
  void RecordRunSpeed(const float speeds[modbus_map::kJoints]);
  void RecordServoInfo(const stModbusServo servo[modbus_map::kJoints]);
  void RecordAlarm(std::uint16_t code);
  void RecordRunStatus(std::uint8_t value);
  void RecordAllIoInputStatus(const std::uint8_t in[modbus_map::kIoRecordCount]);
  void RecordAllIoOutputStatus(const std::uint8_t out[modbus_map::kIoRecordCount]);

  // Project number in holding register 1281: a name of decimal digits with a
  // value 1..65535 is stored and rewritten in canonical form (1); anything
  // else stores nothing (0).
  int GetProjectName(std::string& name);
  int SetProjectName(std::string& name);

  const std::string& mode() const { return mode_; }

  // Ends the server threads and waits for them; the tables stay readable.
  void stop();

 private:
  void initialize();
  void initializeRtu();
  void tcpServerProcess();
  void rtuServerProcess();
  void rtuStatusProcess();
  static void statusHandler(void* context, int clientFd, const std::uint8_t* request, std::size_t length);

  // The TCP table set while the server runs; null before and after.
  modbus_mapping_t* tables() const { return tcpTables_.load(std::memory_order_acquire); }
  bool registersInRange(int index, int n, int entries) const;

  int slaveId_;
  std::string mode_;
  modbus_t* tcpCtx_ = nullptr;
  std::atomic<modbus_mapping_t*> tcpTables_{nullptr};
  modbus_t* rtuCtx_ = nullptr;
  std::atomic<modbus_mapping_t*> rtuTables_{nullptr};
  int listenFd_ = -1;
  // Wakes the TCP server's select when a stop is asked for.
  int stopEvent_ = -1;
  std::atomic<bool> stopping_{false};
  std::thread tcpThread_;
  std::thread rtuThread_;
  std::thread statusThread_;
  zelor::common::network::LocalSocket* statusSocket_ = nullptr;
  std::mutex statusMutex_;
  std::uint8_t reply_[kStatusReplySize] = {};
};
