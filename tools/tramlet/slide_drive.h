#pragma once

// The servo drive behind the serial line: a Modbus RTU master on the device
// (921600 baud, 8N1, slave 1) and the drive's register map.

#include <cstdint>

#include <modbus/modbus.h>

namespace tramlet_detail {

// Holding registers.
namespace reg {
inline constexpr int kControlWord = 65;
inline constexpr int kQuickStopMode = 66;
inline constexpr int kHaltMode = 67;
inline constexpr int kOperationMode = 68;
inline constexpr int kTargetPosition = 74;
inline constexpr int kLimitPos = 76;
inline constexpr int kLimitNeg = 78;
inline constexpr int kLimitPos2 = 80;
inline constexpr int kLimitNeg2 = 82;
inline constexpr int kPolarity = 84;
inline constexpr int kMaxSpeed = 85;
inline constexpr int kRatedSpeed = 87;
inline constexpr int kProfileSpeed = 89;
inline constexpr int kProfileAcc = 93;
inline constexpr int kStopDecel = 95;
inline constexpr int kMaxAcc = 98;
inline constexpr int kJogVelocity = 116;
}  // namespace reg

// Input registers.
namespace in {
inline constexpr int kAlarmCode = 1;
inline constexpr int kStatusWord = 2;
inline constexpr int kDriveWord = 3;
inline constexpr int kActualPosition = 4;
inline constexpr int kActualSpeed = 6;
inline constexpr int kVersion = 9;
}  // namespace in

// Modes of operation (holding register 68).
inline constexpr std::uint16_t kModeProfilePosition = 1;
inline constexpr std::uint16_t kModeProfileVelocity = 3;
inline constexpr std::uint16_t kModeHoming = 6;

class SlideDrive {
 public:
  // Opens the link on path; a device that cannot be opened shows up later as
  // failed transfers.
  explicit SlideDrive(const char* path);
  ~SlideDrive();
  SlideDrive(const SlideDrive&) = delete;
  SlideDrive& operator=(const SlideDrive&) = delete;

  // Closes and frees the link; every later transfer fails.
  void close();

  // libmodbus results: the number of registers transferred, or -1.
  int readInputs(int addr, int count, std::uint16_t* dest);
  int writeRegister(int addr, std::uint16_t value);
  // A 32-bit value, low half in the lower register.
  int writeRegister32(int addr, std::int32_t value);
  // Two input registers as one signed 32-bit value (low half first); value
  // is left alone when the read fails.
  int readInput32(int addr, std::int32_t& value);
  int readHolding(int addr, std::uint16_t& value);

  // Drive operations: 0 on success, -1 on a failed transfer, -2 on a bad
  // argument (nothing written then).
  int setRegisterBit(int addr, int bit, bool on);
  int checkInputRegisterBit(int addr, int bit, int& out);
  // 1 when operation is enabled, 0 when not, -1 when the read failed.
  int isEnable();
  int setEnable(bool on);
  int setTrackType(int type);
  int faultReset();
  int halt(bool on, int mode);
  int quickStop(bool flag, int mode);
  int setPosition(std::int32_t pos);
  // Set-point handshake: bit 4 until the drive acknowledges (up to 10 * n
  // polls); a time-out still returns 0.
  int updatePosition(int n);
  // Halt (or quick stop), wait until the axis is slow, release.
  int stopRunning(int t, int mode);
  int estopRunning(int t, int mode);
  // Up to 31 reads of the actual speed, 50 ms apart, until it is 9999 or
  // less; true when it got there.
  bool waitSlow(std::int32_t& speed);

  // The value last written to the control word.
  std::uint16_t controlWord() const { return controlWord_; }
  int writeControlWord(std::uint16_t value);

 private:
  modbus_t* ctx_ = nullptr;
  std::uint16_t controlWord_ = 0;
};

}  // namespace tramlet_detail
