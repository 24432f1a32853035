// Script options of the timers and remote control: pause and resume on
// request, the input-driven safe pause, and the work-time counters.
#include <ctime>
#include <string>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "install_paths.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/data/work_time.h"

namespace {

constexpr int kScriptRunning = 1;
constexpr int kScriptPaused = 2;

}  // namespace

int DataSubProcess::suspendOpt() {
  robotMap& map = robotMap::instance();
  if (lastDebuggerCommand() != "run" && map.loadWord(robot_map::kScriptStatus) != kScriptRunning) return 0;
  setLastDebuggerCommand("suspend");
  map.storeWord(robot_map::kScriptStatus, kScriptPaused);
  if (Packet* reply = alloc_SetQueuedCmdStopExec()) {
    freePluginPacket(reply);
  } else {
    DATA_LOG(kError, "alloc_SetQueuedCmdStopExec() error");
  }
  return 0;
}

int DataSubProcess::runOpt(std::uint8_t& flag) {
  robotMap& map = robotMap::instance();
  if (flag == 0) return 0;
  if (lastDebuggerCommand() != "suspend" && map.loadWord(robot_map::kScriptStatus) != kScriptPaused) return 0;
  flag = 0;
  setLastDebuggerCommand("run");
  map.storeWord(robot_map::kScriptStatus, kScriptRunning);
  if (Packet* reply = alloc_SetQueuedCmdStartExec()) {
    freePluginPacket(reply);
  } else {
    DATA_LOG(kError, "alloc_SetQueuedCmdStartExec() error");
  }
  return 0;
}

// Both act only while controlSource_ is set, which nothing sets.
int DataSubProcess::pauseScriptOpt(std::uint8_t& paused, std::uint8_t& requested, std::uint8_t& second,
                                   std::uint8_t&, std::uint8_t& statusSet, int outFirst, int outSecond,
                                   const char* mode, const char* name) {
  if (controlSource_ == 0) return 0;
  requested = 0;
  second = 0;
  paused = 1;
  DATA_LOG(kInfo, " >>>>>>safe pause Run Script : {} >>>>>> \n", name != nullptr ? name : "");
  pauseRunScript();
  outputIOStatus(this, outFirst, 0, mode);
  outputIOStatus(this, outSecond, 1, mode);
  statusSet = 1;
  return 0;
}

int DataSubProcess::continueScriptOpt(std::uint8_t& paused, std::uint8_t&, std::uint8_t&, std::uint8_t&,
                                      std::uint8_t&, int outFirst, int, const char* mode, const char* name) {
  if (controlSource_ == 0 || paused == 0) return 0;
  DATA_LOG(kInfo, " >>>>>>safe continue Run Script : {} >>>>>> \n", name != nullptr ? name : "");
  continueRunScript();
  paused = 0;
  outputIOStatus(this, outFirst, 0, mode);
  return 0;
}

int DataSubProcess::workTimeSave() {
  const std::time_t now = std::time(nullptr);
  std::time_t enabledFrom = enableTime_.load();
  const bool enabled = switchState_.load() == kSwitchEnabled;
  std::time_t start = startTime_;
  const bool written = work_time::save(std::string(zelor::paths::kRoot) + "/runTimeInfo.bin", runTime_, start,
                                       enabled ? &enabledFrom : nullptr, now);
  startTime_ = start;
  if (enabled) enableTime_ = enabledFrom;
  DATA_LOG(kInfo, "{}", work_time::powerOnText(runTime_[0]));
  if (!written) DATA_LOG(kError, "runTimeInfo.bin not written");
  return written ? 0 : -1;
}
