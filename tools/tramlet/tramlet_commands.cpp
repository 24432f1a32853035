// The command worker: slide commands from the queue carried out on the drive.
#include <sys/msg.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tramlet/int32_saturate.h"
#include "tramlet/limit_state.h"
#include "tramlet/queue_read.h"
#include "tramlet/tramlet.h"

using namespace std::chrono_literals;
using namespace tramlet_detail;
using namespace ExterAxisRTU;

namespace {

constexpr std::uint16_t kStatusTargetReached = 1u << 10;
constexpr int kStopTime = 1500;
constexpr int kStopMode = 2;

bool tracked(std::int32_t code) { return code == kCmdPosition || code == kCmdContinue; }

}  // namespace

void tramlet::taskCmd() {
  for (;;) {
    // Emergency messages first, without waiting.
    ExterAxisCmdMsg msg{};
    const QueueRead emergency = readQueueMessage(msqId_, msg, kMsgImmediate, IPC_NOWAIT);
    if (emergency == QueueRead::kMessage) {
      runEmergency(msg);
      std::this_thread::sleep_for(10ms);
      continue;
    }
    if (emergency == QueueRead::kDiscarded) continue;

    if (tracked(msg_.body.cmd) && !pollCompletion()) continue;

    const QueueRead normal = readQueueMessage(msqId_, msg, 0, 0);
    if (normal != QueueRead::kMessage) {
      std::this_thread::sleep_for(55ms);
      continue;
    }
    std::printf("get order[%d]\n", msg.body.cmd);
    msg_ = msg;
    if (!linkLock_.try_lock_for(1200ms)) {
      std::printf("[%d]get lock failed!!\n", 201);
      continue;
    }
    normalHandling();
    endCommand();
    linkLock_.unlock();
    std::this_thread::sleep_for(55ms);
  }
}

void tramlet::runEmergency(const ExterAxisCmdMsg& msg) {
  std::lock_guard lock(linkLock_);
  msg_ = msg;
  std::printf("get emegency order[%d]\n", msg_.body.cmd);
  emergencyHandling();
  cmdStatus_ = msg_.body.cmd;
  statusRecord_.stopState = 1;
  handledIndex_ = msg_.body.index;
}

void tramlet::runNormal(const ExterAxisCmdMsg& msg) {
  std::lock_guard lock(linkLock_);
  msg_ = msg;
  normalHandling();
  endCommand();
}

bool tramlet::pollCompletion() {
  linkLock_.lock();
  std::uint16_t status = 0;
  const int rc = drive_->readInputs(in::kStatusWord, 1, &status);
  std::printf("Stattemp:%d\n", status);
  if (rc != 1) {
    std::printf("[%d] comm failed!!\n", 202);
    linkLock_.unlock();
    std::this_thread::sleep_for(20ms);
    return false;
  }
  if (moveWaitFlag_ == 0) {
    linkLock_.unlock();
    return true;
  }
  if ((status & kStatusTargetReached) == 0) {
    linkLock_.unlock();
    std::this_thread::sleep_for(20ms);
    return false;
  }
  msg_.body.cmd = 0;
  statusRecord_.cmdIndex = msg_.body.index + 1;
  linkLock_.unlock();
  std::printf("targetPosition:%d, yes:%d\n", lastTarget_, status & kStatusTargetReached);
  return true;
}

void tramlet::endCommand() {
  statusRecord_.cmdIndex = msg_.body.index;
  cmdTypeLast_ = msg_.body.cmd;
  switch (msg_.body.cmd) {
    case kCmdEnable:
    case kCmdEStop:
    case kCmdStop:
    case kCmdPause:
      cmdStatus_ = msg_.body.cmd;
      break;
    default:
      break;
  }
  handledIndex_ = msg_.body.index;
}

void tramlet::emergencyHandling() {
  switch (msg_.body.cmd) {
    case kCmdEStop:
      drive_->estopRunning(kStopTime, kStopMode);
      statusRecord_.cmdIndex = msg_.body.index;
      break;
    case kCmdStop:
      statusRecord_.cmdIndex = msg_.body.index;
      drive_->stopRunning(kStopTime, kStopMode);
      break;
    case kCmdPause:
      drive_->stopRunning(kStopTime, kStopMode);
      break;
    case kCmdContinue:
      if (cmdStatus_ == kCmdPause) {
        std::printf("updatePosition[m_cmdStatus=%d]!!\n", cmdStatus_);
        if (drive_->updatePosition(20) != 0) std::printf("update position failed\n");
      } else {
        std::printf("m_cmdTypeLast = %d\n", cmdTypeLast_);
        if (cmdTypeLast_ != kCmdPosition) msg_.body.cmd = 0;
      }
      break;
    default:
      break;
  }
}

void tramlet::normalHandling() {
  const ExterAxisValue value = msg_.body.value;
  switch (msg_.body.cmd) {
    case kCmdEnable:
      enable(value.i);
      break;
    case kCmdEStop:
      drive_->estopRunning(kStopTime, kStopMode);
      break;
    case kCmdClearAlarm:
      clearFault();
      break;
    case kCmdZeroPos:
      setZero();
      break;
    case kCmdJog:
      jog(value.i);
      break;
    case kCmdInch:
      relativeMove(value.f);
      break;
    case kCmdPosition:
      absoluteMove(value.f);
      break;
    case kCmdSpeed:
      ptpSpeedRatio_ = value.f;
      params_.ptpSpeed = saturateInt32(
          std::trunc((value.f * globalRate_) * static_cast<float>(params_.maxPtpSpeed)));
      break;
    case kCmdAccel:
      ptpAccRatio_ = value.f;
      params_.ptpAcc = saturateInt32(std::trunc((value.f * globalRate_) * static_cast<float>(params_.maxPtpAcc)));
      break;
    case kCmdStop:
      drive_->stopRunning(kStopTime, kStopMode);
      break;
    case kCmdPause:
      msg_.body.index = statusRecord_.cmdIndex;
      drive_->stopRunning(kStopTime, kStopMode);
      break;
    case kCmdContinue:
      if (cmdStatus_ == kCmdPause) {
        if (drive_->updatePosition(20) != 0) std::printf("update position failed\n");
        msg_.body.index = statusRecord_.cmdIndex;
        cmdStatus_ = kCmdContinue;
      } else {
        msg_.body.cmd = 0;
      }
      break;
    case kCmdRate:
      setRate(value.f);
      break;
    case kCmdReload:
      paramInit();
      break;
    default:
      break;
  }
}

void tramlet::enable(std::int32_t value) {
  if (value != 0) {
    std::printf("setEnable\n");
    if (drive_->setEnable(true) != 0) {
      std::printf("enable failed\n");
      return;
    }
  } else {
    std::printf("setDisable\n");
    if (drive_->setEnable(false) != 0) {
      std::printf("disable failed\n");
      return;
    }
    jogStopped_ = 1;
  }
  std::this_thread::sleep_for(20ms);
}

void tramlet::clearFault() {
  drive_->faultReset();
  int enabled = 0;
  if (drive_->checkInputRegisterBit(in::kStatusWord, 2, enabled) != 0) {
    std::printf("%s[%d] comm failed!!\n", "clearAlarm", 203);
    return;
  }
  if (enabled == 0) {
    drive_->writeControlWord(6);
    std::this_thread::sleep_for(100ms);
    drive_->writeControlWord(7);
    std::this_thread::sleep_for(100ms);
  }
  statusRecord_.alarmCode = 0;
  statusRecord_.alarmFlags = 0;
}

void tramlet::setZero() {
  if (drive_->isEnable() != 1) {
    std::printf("need enable before\n");
    return;
  }
  drive_->writeRegister(reg::kOperationMode, kModeHoming);
  if (drive_->updatePosition(50) == 0) {
    drive_->writeRegister(reg::kOperationMode, kModeProfilePosition);
  } else {
    std::printf("set zero failed\n");
  }
}

void tramlet::writeProfile(std::int32_t speed, std::int32_t acc) {
  int rc = drive_->writeRegister32(reg::kProfileSpeed, speed);
  if (rc != 2) std::printf("[%d]set init param failed,rst=%d\n", 204, rc);
  rc = drive_->writeRegister32(reg::kProfileAcc, acc);
  if (rc != 2) std::printf("[%d]set init param failed,rst=%d\n", 205, rc);
}

void tramlet::jog(std::int32_t value) {
  if (value != 1 && value != -1) {
    jogVelocity_ = 0;
    drive_->writeRegister32(reg::kJogVelocity, 0);
    std::int32_t speed = 0;
    drive_->waitSlow(speed);
    drive_->writeRegister(reg::kOperationMode, kModeProfilePosition);
    jogStopped_ = 1;
    return;
  }
  if (jogStopped_ == 0) {
    std::printf("need stop jog before\n");
    return;
  }
  if (drive_->isEnable() != 1) {
    std::printf("need enable before\n");
    return;
  }
  if (limitState_ != 0 && value * limitState_ > 0) return;
  if (cmdTypeLast_ != kCmdJog) writeProfile(params_.jogSpeed, params_.jogAcc);
  std::printf("jog Speed = %d\njog Accel = %d\n", params_.jogSpeed, params_.jogAcc);
  jogVelocity_ = saturateInt32(static_cast<double>(value) * params_.jogSpeed);
  std::printf("jog speed = %d\n", jogVelocity_);
  drive_->writeRegister(reg::kOperationMode, kModeProfileVelocity);
  drive_->writeRegister32(reg::kJogVelocity, jogVelocity_);
  jogStopped_ = 0;
}

void tramlet::relativeMove(float value) {
  if (jogStopped_ == 0) {
    std::printf("need stop jog before\n");
    return;
  }
  if (drive_->isEnable() != 1) {
    std::printf("need enable before\n");
    return;
  }
  if (drive_->setTrackType(1) != 0) {
    std::printf("set Track Type failed\n");
    return;
  }
  if (cmdTypeLast_ != kCmdInch) writeProfile(params_.jogSpeed, params_.jogAcc);
  std::int32_t actual = 0;
  drive_->readInput32(in::kActualPosition, actual);
  const std::int32_t target =
      saturateInt32(std::trunc(static_cast<float>(actual) + static_cast<float>(params_.pulsesPerUnit) * value));
  if (drive_->setPosition(target) != 0) {
    std::printf("set positon failed\n");
    return;
  }
  if (drive_->updatePosition(20) != 0) std::printf("update position failed\n");
}

void tramlet::absoluteMove(float value) {
  if (drive_->isEnable() != 1) {
    std::printf("need enable before\n");
    return;
  }
  if (drive_->setTrackType(0) != 0) {
    std::printf("set Track Type failed\n");
    return;
  }
  // Tracked when the sign bit is clear, so that a move to +0.0 completes.
  const double target = std::trunc(std::fabs(static_cast<double>(value)) * params_.pulsesPerUnit);
  moveWaitFlag_ = std::signbit(value) ? 0 : 1;
  lastTarget_ = saturateInt32(target);
  // Compared before the conversion: a target beyond the int32 range (or not
  // a number) is refused like one beyond the limits.
  if (!(target >= params_.limitNeg && target <= params_.limitPos)) {
    statusRecord_.alarmFlags |= kFlagTargetOutside;
    return;
  }
  if (cmdTypeLast_ != kCmdPosition) writeProfile(params_.ptpSpeed, params_.ptpAcc);
  std::printf("ptpSpeed = %d\npspAccel = %d\n", params_.ptpSpeed, params_.ptpAcc);
  if (drive_->setPosition(lastTarget_) != 0) {
    std::printf("set positon failed\n");
    return;
  }
  if (drive_->updatePosition(20) != 0) std::printf("update position failed\n");
}

void tramlet::setRate(float value) {
  globalRate_ = value;
  DriveParams& p = params_;
  p.ptpSpeed = saturateInt32(std::trunc((value * ptpSpeedRatio_) * static_cast<float>(p.maxPtpSpeed)));
  p.ptpAcc = saturateInt32(std::trunc((value * ptpAccRatio_) * static_cast<float>(p.maxPtpAcc)));
  p.jogSpeed = saturateInt32(std::trunc(value * static_cast<float>(p.maxJogSpeed)));
  p.jogAcc = saturateInt32(std::trunc(value * static_cast<float>(p.maxJogAcc)));
  std::printf("ptpSpeed = %d\npspAccel = %d\n", p.ptpSpeed, p.ptpAcc);
}
