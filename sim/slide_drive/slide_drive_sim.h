#pragma once

// The slide-rail servo drive on a pseudo-terminal: a Modbus RTU slave (address
// 1) on the master side of a pty pair, with 256 holding and 256 input
// registers and a 1 ms motion model of the drive profile the driver uses
// (switch-on states, profile position with set-point handshake, profile
// velocity, homing, halt, quick stop, fault reset). The driver opens the slave
// side, "/dev/" + slaveName().

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace zelor::sim {

class SlideDriveSim {
 public:
  static constexpr int kRegisters = 256;

  // Opens the pair and starts answering; ok() tells whether that worked.
  SlideDriveSim();
  ~SlideDriveSim();
  SlideDriveSim(const SlideDriveSim&) = delete;
  SlideDriveSim& operator=(const SlideDriveSim&) = delete;

  bool ok() const { return ctx_ != nullptr; }
  // "pts/N": the device name below /dev.
  std::string slaveName() const { return slaveName_; }

  std::uint16_t holding(int address);
  void setHolding(int address, std::uint16_t value);
  std::uint16_t input(int address);
  void setInput(int address, std::uint16_t value);
  // Two registers, low half first, as a signed 32-bit value.
  std::int32_t holding32(int address);
  std::int32_t input32(int address);

  // Every value a master wrote to one holding register, in order.
  std::vector<std::uint16_t> writesTo(int address);
  // Answered reads of the five input registers 1 to 5.
  long statusReads() const { return statusReads_; }

  // While muted requests are taken off the line and never answered.
  void setMuted(bool muted) { muted_ = muted; }
  // Closes the master side: the /dev/pts/N node goes away while the driver
  // still holds the slave open. Nothing is answered afterwards.
  void closeMaster();

  // Motion model controls.
  void forcePosition(std::int32_t pulses);
  void setAlarmCode(std::uint16_t code);
  void setStatusBit14(bool on);

 private:
  void serve();
  void record(const std::uint8_t* request, int length);
  void step(double seconds);
  void onControlWord(std::uint16_t previous, std::uint16_t current);
  void publishInputs();
  std::int32_t holding32Locked(int address) const;
  void setInput32Locked(int address, std::int32_t value);

  int master_ = -1;
  int slave_ = -1;
  std::string slaveName_;
  modbus_t* ctx_ = nullptr;
  modbus_mapping_t* map_ = nullptr;
  std::mutex mutex_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> muted_{false};
  std::atomic<long> statusReads_{0};
  std::vector<std::pair<int, std::uint16_t>> writes_;

  // Motion model (under mutex_).
  enum class Motion { kNone, kPosition };
  std::uint16_t lastControlWord_ = 0;
  double position_ = 0;  // pulses
  double velocity_ = 0;  // pulses/s
  Motion motion_ = Motion::kNone;
  double target_ = 0;
  double profileSpeed_ = 0;
  double profileAcc_ = 0;
  bool acknowledged_ = false;
  bool reached_ = true;
  bool bit14_ = false;
};

}  // namespace zelor::sim
