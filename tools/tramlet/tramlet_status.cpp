// The status worker: the drive's state published every 30 ms.
#include <chrono>
#include <thread>

#include "tramlet/limit_state.h"
#include "tramlet/tramlet.h"

using namespace std::chrono_literals;
using namespace tramlet_detail;

namespace {

constexpr std::uint16_t kStatusTargetReached = 1u << 10;
constexpr std::uint16_t kStatusDriveState = 1u << 14;
constexpr std::uint16_t kControlEnable = 1u << 3;

}  // namespace

void tramlet::taskStatus() {
  while (running_ != 0) {
    std::this_thread::sleep_for(30ms);
    if (!linkLock_.try_lock_until(std::chrono::steady_clock::now() + 30ms)) continue;
    statusPass();
    const ExterAxisRTU::ExterAxisStatus record = statusRecord_;
    linkLock_.unlock();
    publish(record);
  }
}

void tramlet::statusPass() {
  std::uint16_t status = 0;
  if (drive_->readInputs(in::kStatusWord, 1, &status) == 1 && (status & kStatusTargetReached) != 0) {
    statusRecord_.reachedIndex = handledIndex_ + 1;
  }
  std::uint16_t regs[5] = {};
  if (drive_->readInputs(in::kAlarmCode, 5, regs) != 5) {
    statusRecord_.alarmFlags |= kFlagCommFailure;
    return;
  }
  statusRecord_.alarmCode = regs[0];
  statusRecord_.statusWord = regs[1];
  statusRecord_.inputReg3 = regs[2];
  auto raw = static_cast<std::uint32_t>(regs[3]) | (static_cast<std::uint32_t>(regs[4]) << 16);
  if (params_.polarity != 0) raw = 0u - raw;
  const auto pos = static_cast<std::int32_t>(raw);
  statusRecord_.position = static_cast<float>(pos) / static_cast<float>(params_.pulsesPerUnit);

  const bool enabled = (drive_->controlWord() & kControlEnable) != 0;
  applyLimitRules(pos, params_.limitPos, params_.limitNeg, enabled, limitState_, statusRecord_.alarmFlags);
  if ((regs[1] & kStatusDriveState) != 0) statusRecord_.alarmFlags |= kFlagDriveState;

  // A jog running further into the limit it reached is stopped.
  if (limitState_ != 0 && jogStopped_ == 0 && static_cast<std::int64_t>(jogVelocity_) * limitState_ > 0) {
    jogVelocity_ = 0;
    drive_->writeRegister32(reg::kJogVelocity, 0);
    std::this_thread::sleep_for(10ms);
    drive_->writeRegister(reg::kOperationMode, kModeProfilePosition);
    jogStopped_ = 1;
  }
}
