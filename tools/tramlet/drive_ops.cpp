// Drive operations on the control word and the set-point handshake.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tramlet/slide_drive.h"

using namespace std::chrono_literals;

namespace tramlet_detail {

namespace {

constexpr int kBitQuickStopOff = 2;
constexpr int kBitEnable = 3;
constexpr int kBitNewSetPoint = 4;
constexpr int kBitChangeImmediately = 5;
constexpr int kBitFaultReset = 7;
constexpr int kBitHalt = 8;
constexpr int kBitTrackType9 = 9;
constexpr int kStatusEnabled = 2;
constexpr int kStatusAcknowledged = 12;
constexpr std::int64_t kSlowSpeed = 9999;

void commFailed(const char* op, int site) { std::printf("%s[%d] comm failed!!\n", op, site); }

}  // namespace

int SlideDrive::setRegisterBit(int addr, int bit, bool on) {
  const auto mask = static_cast<std::uint16_t>(1u << bit);
  if (addr == reg::kControlWord) {
    controlWord_ = static_cast<std::uint16_t>(on ? (controlWord_ | mask) : (controlWord_ & ~mask));
    return writeRegister(addr, controlWord_) == 1 ? 0 : -1;
  }
  std::uint16_t value = 0;
  if (readHolding(addr, value) != 1) return -1;
  value = static_cast<std::uint16_t>(on ? (value | mask) : (value & ~mask));
  return writeRegister(addr, value) == 1 ? 0 : -1;
}

int SlideDrive::checkInputRegisterBit(int addr, int bit, int& out) {
  std::uint16_t value = 0;
  if (readInputs(addr, 1, &value) != 1) return -1;
  out = (value >> bit) & 1;
  return 0;
}

int SlideDrive::isEnable() {
  int enabled = 0;
  if (checkInputRegisterBit(in::kStatusWord, kStatusEnabled, enabled) != 0) {
    std::printf("[%d] comm failed!!\n", 101);
    return -1;
  }
  return enabled;
}

int SlideDrive::setEnable(bool on) {
  for (int attempt = 0; attempt < 11; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(10ms);
    if (setRegisterBit(reg::kControlWord, kBitEnable, on) != 0) {
      commFailed("setEnable", 102);
      return -1;
    }
    int enabled = 0;
    if (checkInputRegisterBit(in::kStatusWord, kStatusEnabled, enabled) != 0) {
      commFailed("setEnable", 103);
      return -1;
    }
    if (enabled == (on ? 1 : 0)) return 0;
  }
  return -1;
}

int SlideDrive::setTrackType(int type) {
  if (static_cast<unsigned>(type) > 2) {
    std::printf("%s[%d]trackType %d is wrong!!\n", "setTrackType", 104, type);
    return -2;
  }
  auto cw = static_cast<std::uint16_t>(controlWord_ & ~((1u << kBitChangeImmediately) | (1u << kBitTrackType9)));
  if ((type & 1) != 0) cw = static_cast<std::uint16_t>(cw | (1u << kBitChangeImmediately));
  if (writeControlWord(cw) != 1) {
    commFailed("setTrackType", 105);
    return -1;
  }
  return 0;
}

int SlideDrive::faultReset() {
  if (setRegisterBit(reg::kControlWord, kBitFaultReset, true) != 0) {
    commFailed("faultReset", 106);
    return -1;
  }
  std::this_thread::sleep_for(100ms);
  if (setRegisterBit(reg::kControlWord, kBitFaultReset, false) != 0) {
    commFailed("faultReset", 107);
    return -1;
  }
  return 0;
}

int SlideDrive::halt(bool on, int mode) {
  if (static_cast<unsigned>(mode) > 4) {
    std::printf("%s[%d]haltMode %d is wrong!!\n", "halt", 108, mode);
    return -2;
  }
  if (on && writeRegister(reg::kHaltMode, static_cast<std::uint16_t>(mode)) != 1) {
    commFailed("halt", 109);
    return -1;
  }
  if (setRegisterBit(reg::kControlWord, kBitHalt, on) != 0) {
    commFailed("halt", 110);
    return -1;
  }
  return 0;
}

int SlideDrive::quickStop(bool flag, int mode) {
  if (!flag && writeRegister(reg::kQuickStopMode, static_cast<std::uint16_t>(mode)) != 1) {
    commFailed("quickStop", 111);
    return -1;
  }
  if (setRegisterBit(reg::kControlWord, kBitQuickStopOff, flag) != 0) {
    commFailed("quickStop", 112);
    return -1;
  }
  return 0;
}

int SlideDrive::setPosition(std::int32_t pos) {
  const auto u = static_cast<std::uint32_t>(pos);
  std::printf("posi = %d, hex=0x%04X 0x%04X\n", pos, u & 0xFFFFu, u >> 16);
  if (writeRegister32(reg::kTargetPosition, pos) != 2) {
    std::printf("[%d] comm failed!!\n", 113);
    return -1;
  }
  return 0;
}

int SlideDrive::updatePosition(int n) {
  if (setRegisterBit(reg::kControlWord, kBitNewSetPoint, true) != 0) {
    commFailed("updatePosition", 114);
    return -1;
  }
  bool acknowledged = false;
  for (int poll = 0; poll < 10 * n; ++poll) {
    int bit = 0;
    if (checkInputRegisterBit(in::kStatusWord, kStatusAcknowledged, bit) != 0) {
      commFailed("updatePosition", 115);
      return -1;
    }
    if (bit != 0) {
      acknowledged = true;
      break;
    }
    std::this_thread::sleep_for(100us);
  }
  if (!acknowledged) std::printf("%s[%d]time out\n", "updatePosition", 116);
  if (setRegisterBit(reg::kControlWord, kBitNewSetPoint, false) != 0) {
    commFailed("updatePosition", 117);
    return -1;
  }
  return 0;
}

bool SlideDrive::waitSlow(std::int32_t& speed) {
  speed = 0;
  for (int read = 0; read < 31; ++read) {
    if (read > 0) std::this_thread::sleep_for(50ms);
    readInput32(in::kActualSpeed, speed);
    if (std::llabs(static_cast<long long>(speed)) <= kSlowSpeed) return true;
  }
  return false;
}

int SlideDrive::stopRunning(int /*t*/, int mode) {
  if (halt(true, mode) != 0) std::printf("set halt failed\n");
  std::int32_t speed = 0;
  if (waitSlow(speed)) {
    std::printf("actualSpeed=%d\n", speed);
  } else {
    std::printf("actualSpeed=%dTimeOUT!!!!!\n", speed);
  }
  if (halt(false, 2) != 0) {
    std::printf("set halt failed\n");
    return -1;
  }
  return 0;
}

int SlideDrive::estopRunning(int /*t*/, int mode) {
  if (quickStop(false, mode) != 0) std::printf("set estop failed\n");
  std::int32_t speed = 0;
  if (waitSlow(speed)) {
    std::printf("actualSpeed=%d\n", speed);
  } else {
    std::printf("actualSpeed=%dTimeOUT!!!!!\n", speed);
  }
  if (quickStop(true, 2) != 0) {
    std::printf("set halt failed\n");
    return -1;
  }
  return 0;
}

}  // namespace tramlet_detail
