#include "slide_drive/slide_drive_sim.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <modbus/modbus.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>

namespace zelor::sim {

namespace {

constexpr int kControlWord = 65;
constexpr int kMode = 68;
constexpr int kTarget = 74;
constexpr int kProfileSpeed = 89;
constexpr int kProfileAcc = 93;
constexpr int kStopDecel = 95;
constexpr int kJogVelocity = 116;
constexpr int kAlarmCode = 1;
constexpr int kStatusWord = 2;
constexpr int kPosition = 4;
constexpr int kSpeed = 6;

constexpr std::uint16_t kBitQuickStopOff = 1u << 2;
constexpr std::uint16_t kBitNewSetPoint = 1u << 4;
constexpr std::uint16_t kBitFaultReset = 1u << 7;
constexpr std::uint16_t kBitHalt = 1u << 8;

// Stops (halt, quick stop, mode changes) decelerate at least this hard, so an
// axis at full speed stands within a few hundred milliseconds.
constexpr double kMinStopDecel = 5e7;

std::int32_t toInt32(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<std::int32_t>(std::clamp(std::round(v), double(INT_MIN), double(INT_MAX)));
}

// Moves v toward goal by at most delta.
void approach(double& v, double goal, double delta) {
  if (v < goal) {
    v = std::min(v + delta, goal);
  } else {
    v = std::max(v - delta, goal);
  }
}

bool enabledBy(std::uint16_t cw) { return (cw & 0x0B) == 0x0B; }

}  // namespace

SlideDriveSim::SlideDriveSim() {
  char name[128] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  termios tio{};
  if (tcgetattr(slave_, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(slave_, TCSANOW, &tio);
  }
  slaveName_ = std::strncmp(name, "/dev/", 5) == 0 ? name + 5 : name;
  map_ = modbus_mapping_new(0, 0, kRegisters, kRegisters);
  ctx_ = modbus_new_rtu("/dev/null", 921600, 'N', 8, 1);
  if (map_ == nullptr || ctx_ == nullptr) {
    if (ctx_ != nullptr) modbus_free(ctx_);
    ctx_ = nullptr;
    return;
  }
  modbus_set_slave(ctx_, 1);
  modbus_set_socket(ctx_, master_);
  // A short wait for a request, so that the motion model keeps stepping.
  modbus_set_indication_timeout(ctx_, 0, 1000);
  publishInputs();
  thread_ = std::thread([this] { serve(); });
}

SlideDriveSim::~SlideDriveSim() {
  closeMaster();
  if (ctx_ != nullptr) modbus_free(ctx_);
  if (map_ != nullptr) modbus_mapping_free(map_);
}

void SlideDriveSim::closeMaster() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
  master_ = slave_ = -1;
}

void SlideDriveSim::serve() {
  using Clock = std::chrono::steady_clock;
  auto last = Clock::now();
  std::uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
  while (!stop_) {
    const int rc = modbus_receive(ctx_, request);
    const int error = errno;
    {
      std::lock_guard lock(mutex_);
      if (rc > 0 && !muted_) {
        record(request, rc);
        modbus_reply(ctx_, request, rc, map_);
        const std::uint16_t cw = map_->tab_registers[kControlWord];
        if (cw != lastControlWord_) {
          onControlWord(lastControlWord_, cw);
          lastControlWord_ = cw;
        }
        publishInputs();
      }
      const auto now = Clock::now();
      int steps = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count());
      if (steps > 0) {
        last += std::chrono::milliseconds(steps);
        for (steps = std::min(steps, 100); steps > 0; --steps) step(0.001);
        publishInputs();
      }
    }
    // A line that fails for another reason than a quiet master (the driver
    // has not opened it yet, a broken frame) is retried after a moment.
    if (rc < 0 && error != ETIMEDOUT) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void SlideDriveSim::record(const std::uint8_t* request, int length) {
  // RTU: slave, function, address (2), ...
  if (length < 6) return;
  const int function = request[1];
  const int address = (request[2] << 8) | request[3];
  if (function == MODBUS_FC_WRITE_SINGLE_REGISTER) {
    writes_.emplace_back(address, static_cast<std::uint16_t>((request[4] << 8) | request[5]));
  } else if (function == MODBUS_FC_WRITE_MULTIPLE_REGISTERS && length >= 7) {
    const int count = (request[4] << 8) | request[5];
    for (int i = 0; i < count && 7 + 2 * i + 1 < length; ++i) {
      writes_.emplace_back(address + i,
                           static_cast<std::uint16_t>((request[7 + 2 * i] << 8) | request[8 + 2 * i]));
    }
  } else if (function == MODBUS_FC_READ_INPUT_REGISTERS && address == 1 && ((request[4] << 8) | request[5]) == 5) {
    ++statusReads_;
  }
}

void SlideDriveSim::onControlWord(std::uint16_t previous, std::uint16_t current) {
  const auto rising = static_cast<std::uint16_t>(current & ~previous);
  if ((rising & kBitNewSetPoint) != 0 && enabledBy(current)) {
    const std::uint16_t mode = map_->tab_registers[kMode];
    if (mode == 1) {
      target_ = holding32Locked(kTarget);
      profileSpeed_ = holding32Locked(kProfileSpeed);
      profileAcc_ = holding32Locked(kProfileAcc);
      motion_ = Motion::kPosition;
      reached_ = false;
      acknowledged_ = true;
    } else if (mode == 6) {
      position_ = 0;
      velocity_ = 0;
      motion_ = Motion::kNone;
      reached_ = true;
      acknowledged_ = true;
    }
  }
  if ((current & kBitNewSetPoint) == 0) acknowledged_ = false;
  if ((rising & kBitFaultReset) != 0) {
    map_->tab_input_registers[kAlarmCode] = 0;
    bit14_ = false;
  }
}

void SlideDriveSim::step(double dt) {
  const std::uint16_t cw = map_->tab_registers[kControlWord];
  const double stopDecel = std::max<double>(holding32Locked(kStopDecel), kMinStopDecel);
  if (!enabledBy(cw)) {
    velocity_ = 0;
    motion_ = Motion::kNone;
    reached_ = true;
    return;
  }
  if ((cw & kBitQuickStopOff) == 0 || (cw & kBitHalt) != 0) {
    motion_ = Motion::kNone;
    approach(velocity_, 0, stopDecel * dt);
    if (velocity_ == 0) reached_ = true;
  } else if (map_->tab_registers[kMode] == 3) {
    motion_ = Motion::kNone;
    const double acc = holding32Locked(kProfileAcc);
    const double goal = holding32Locked(kJogVelocity);
    if (acc > 0) {
      approach(velocity_, goal, acc * dt);
    } else {
      velocity_ = goal;
    }
  } else if (motion_ == Motion::kPosition) {
    const double dist = target_ - position_;
    const double dir = dist >= 0 ? 1.0 : -1.0;
    if (profileSpeed_ <= 0 || profileAcc_ <= 0 || std::fabs(dist) < 0.5) {
      position_ = target_;
      velocity_ = 0;
      motion_ = Motion::kNone;
      reached_ = true;
      return;
    }
    const double a = profileAcc_;
    double v = velocity_ * dir;
    const double braking = v > 0 ? v * v / (2 * a) : 0;
    if (std::fabs(dist) <= braking) {
      v = std::max(v - a * dt, a * dt);
    } else {
      v = std::min(v + a * dt, profileSpeed_);
    }
    if (v * dt >= std::fabs(dist)) {
      position_ = target_;
      velocity_ = 0;
      motion_ = Motion::kNone;
      reached_ = true;
      return;
    }
    velocity_ = v * dir;
  } else {
    approach(velocity_, 0, stopDecel * dt);
  }
  position_ += velocity_ * dt;
}

void SlideDriveSim::publishInputs() {
  const std::uint16_t cw = map_->tab_registers[kControlWord];
  std::uint16_t sw = 0;
  if ((cw & 0x06) == 0x06) sw |= 1u << 0;
  if ((cw & 0x07) == 0x07) sw |= 1u << 1;
  if (enabledBy(cw)) sw |= 1u << 2;
  if (reached_) sw |= 1u << 10;
  if (acknowledged_) sw |= 1u << 12;
  if (bit14_) sw |= 1u << 14;
  map_->tab_input_registers[kStatusWord] = sw;
  setInput32Locked(kPosition, toInt32(position_));
  setInput32Locked(kSpeed, toInt32(velocity_));
}

std::int32_t SlideDriveSim::holding32Locked(int address) const {
  const auto* r = map_->tab_registers;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(r[address]) |
                                   (static_cast<std::uint32_t>(r[address + 1]) << 16));
}

void SlideDriveSim::setInput32Locked(int address, std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  map_->tab_input_registers[address] = static_cast<std::uint16_t>(u & 0xFFFFu);
  map_->tab_input_registers[address + 1] = static_cast<std::uint16_t>(u >> 16);
}

std::uint16_t SlideDriveSim::holding(int address) {
  std::lock_guard lock(mutex_);
  return map_->tab_registers[address];
}

void SlideDriveSim::setHolding(int address, std::uint16_t value) {
  std::lock_guard lock(mutex_);
  map_->tab_registers[address] = value;
}

std::uint16_t SlideDriveSim::input(int address) {
  std::lock_guard lock(mutex_);
  return map_->tab_input_registers[address];
}

void SlideDriveSim::setInput(int address, std::uint16_t value) {
  std::lock_guard lock(mutex_);
  map_->tab_input_registers[address] = value;
}

std::int32_t SlideDriveSim::holding32(int address) {
  std::lock_guard lock(mutex_);
  return holding32Locked(address);
}

std::int32_t SlideDriveSim::input32(int address) {
  std::lock_guard lock(mutex_);
  const auto* r = map_->tab_input_registers;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(r[address]) |
                                   (static_cast<std::uint32_t>(r[address + 1]) << 16));
}

std::vector<std::uint16_t> SlideDriveSim::writesTo(int address) {
  std::lock_guard lock(mutex_);
  std::vector<std::uint16_t> values;
  for (const auto& [reg, value] : writes_) {
    if (reg == address) values.push_back(value);
  }
  return values;
}

void SlideDriveSim::forcePosition(std::int32_t pulses) {
  std::lock_guard lock(mutex_);
  position_ = pulses;
  velocity_ = 0;
  motion_ = Motion::kNone;
  publishInputs();
}

void SlideDriveSim::setAlarmCode(std::uint16_t code) { setInput(kAlarmCode, code); }

void SlideDriveSim::setStatusBit14(bool on) {
  std::lock_guard lock(mutex_);
  bit14_ = on;
  publishInputs();
}

}  // namespace zelor::sim
