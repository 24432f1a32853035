#include "remote_ctl.h"

#include <memory>
#include <thread>

#include "capture_manager.h"
#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/thread/sched_policy.h"
#include "common/thread/zelor_sleep.h"
#include "remote_log.h"
#include "status_output_manager.h"

namespace {
constexpr long kMs = 1000;
constexpr long kPeriodUs = 4 * kMs;
// How long ReInit waits for the previous threads to leave their loops.
constexpr int kLeavePolls = 100;
}  // namespace

remoteCtl& remoteCtl::instance() {
  // Never destroyed: its detached threads may outlive static destruction.
  static remoteCtl* ctl = new remoteCtl();
  return *ctl;
}

remoteCtl::remoteCtl() : alarmSource_([] { return 0; }) {
  setDefaults();
  resetInputConfigs();
}

void remoteCtl::setDefaults() {
  for (int i = 0; i < kInputCount; ++i) {
    ioIn[i] = 0;
  }
  coils[kStart] = 0;
  coils[kPause] = 1;
  coils[kContinue] = 2;
  coils[kStop] = 3;
  coils[kEmergencyStop] = 4;
  coils[kClearAlarm] = 5;
  coils[kPowerOn] = 6;
  for (int i = 0; i < kOutputCount; ++i) {
    ioOut[i] = 0;
    inBits[i] = -1;
  }
  inBits[kReadyOut] = 1;
  inBits[kPauseOut] = 2;
  inBits[kRunOut] = 3;
  inBits[kAlarmOut] = 4;
  triggerMode_ = CaptureRaising;
}

void remoteCtl::resetInputConfigs() {
  std::int32_t* targets[kInputCount] = {
      &inIsRequestRobotClearErr, &inIsRequestScriptRun, &inIsRequestScriptPause, &inIsRequestScriptContinue,
      &inIsRequestScriptStop, nullptr, &inIsRequestPowerOn};
  for (int i = 0; i < kInputCount; ++i) {
    inputs_[i] = inputChannelCfg{};
    inputs_[i].dst = targets[i];
    inputs_[i].trueVal = 1;
    inputs_[i].highLevel = 1;
    inputs_[i].lastVal = i == kPowerOn ? 0 : -1;
  }
  inputs_[kEmergencyStop].dst =
      reinterpret_cast<std::int32_t*>(robotMap::instance().entry() + robot_map::kEStopRequest);
}

bool remoteCtl::keepRunning(unsigned generation) const {
  return running_.load() != 0 && generation_.load() == generation;
}

int remoteCtl::ReInit() {
  std::lock_guard<std::mutex> lock(reInitMutex_);
  robotMap& map = robotMap::instance();

  // 1. End the previous threads and stop whatever script runs.
  running_ = 0;
  const unsigned generation = ++generation_;
  map.storeWord(robot_map::kStopRequest, 1);
  map.storeWord(robot_map::kStopClearQueueRequest, 1);
  ZelorSleep::zelor_usleep(10 * kMs);
  for (int i = 0; i < kLeavePolls && (mainInLoop_.load() || statusInLoop_.load()); ++i) {
    ZelorSleep::zelor_usleep(10 * kMs);
  }
  if (mainInLoop_.load() || statusInLoop_.load()) {
    REMOTE_LOG(kError, "previous remote control threads still running");
  }

  // 2. Forget the channels.
  outputs_.clear();
  resetInputConfigs();

  // 3. Load, rebuild the inputs and the outputs.
  loadConfigFiles();
  ZelorSleep::zelor_usleep(100 * kMs);
  transformConfigs();
  ReInitMonitor();
  ZelorSleep::zelor_usleep(100 * kMs);
  ReInitOutPut();
  ZelorSleep::zelor_usleep(100 * kMs);
  running_ = 1;

  // 4. Start the threads.
  if (map.loadWord(robot_map::kRemoteMode) != 0) {
    mainInLoop_ = true;
    std::thread main(RemoteControlMainProcess, this, generation);
    SetSchedPolicy(main, "remoteCtl", 1, 10);
    main.detach();
  }
  ZelorSleep::zelor_usleep(10 * kMs);
  statusInLoop_ = true;
  std::thread status(StatusOutputProcess, this, generation);
  SetSchedPolicy(status, "statusOutput", 1, 10);
  status.detach();
  ZelorSleep::zelor_usleep(10 * kMs);
  ZelorSleep::zelor_usleep(100 * kMs);
  return 0;
}

void remoteCtl::ReInitMonitor() {
  CaptureManager& manager = CaptureManager::instance();
  manager.reInit();
  if (robotMap::instance().loadWord(robot_map::kRemoteMode) == 0) return;
  for (const inputChannelCfg& cfg : inputs_) {
    manager.regsiterOneChannel(std::make_shared<CaptureOneChannel>(&cfg));
  }
}

void remoteCtl::ReInitOutPut() {
  statusOutPutManager& manager = statusOutPutManager::instance();
  manager.reInit();
  for (const tagoutputChannelCfg& cfg : outputs_) {
    manager.registOutput(std::make_shared<statusOutput>(&cfg));
  }
}

void remoteCtl::refreshStatus() {
  const robotMap& map = robotMap::instance();
  const std::int32_t state = map.loadWord(robot_map::kScriptStatus);
  const std::int32_t pause = state == 2 ? 1 : 0;
  const std::int32_t run = state == 1 ? 1 : 0;
  const std::int32_t alarm = map.loadWord(robot_map::kIsErr) != 0 ? 1 : 0;
  const std::int32_t warning = map.loadWord(robot_map::kIsWarn) != 0 ? 1 : 0;
  const bool disabled = map.loadWord(robot_map::kIsDisabled) != 0;
  __atomic_store_n(&pauseStatus, pause, __ATOMIC_RELAXED);
  __atomic_store_n(&runStatus, run, __ATOMIC_RELAXED);
  __atomic_store_n(&alarmStatus, alarm, __ATOMIC_RELAXED);
  __atomic_store_n(&warningStatus, warning, __ATOMIC_RELAXED);
  __atomic_store_n(&remoteStatus, map.loadWord(robot_map::kRemoteMode) != 0 ? 1 : 0, __ATOMIC_RELAXED);
  const bool ready = !(pause || run || alarm || warning || disabled);
  __atomic_store_n(&readyStatus, ready ? 1 : 0, __ATOMIC_RELAXED);
}

void remoteCtl::StatusOutputProcess(remoteCtl* self, unsigned generation) {
  ZelorSleep::zelor_usleep(100 * kMs);
  while (self->keepRunning(generation)) {
    self->refreshStatus();
    ZelorSleep::zelor_usleep(kPeriodUs);
  }
  self->statusInLoop_ = false;
}
