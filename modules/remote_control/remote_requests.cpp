#include <cstring>
#include <string>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/thread/zelor_sleep.h"
#include "remote_ctl.h"
#include "remote_log.h"

namespace {

constexpr long kMs = 1000;
constexpr long kPollUs = 10 * kMs;
constexpr int kEnablePolls = 1500;

const char* scriptStateText(std::int32_t state) {
  switch (state) {
    case 0: return "stopped";
    case 1: return "running";
    case 2: return "suspend";
    default: return "null...";
  }
}

// A text area of the status memory, read within its bound.
std::string readText(std::size_t offset, std::size_t size) {
  const char* area = robotMap::instance().entry() + offset;
  return std::string(area, strnlen(area, size));
}

std::int32_t word(std::size_t offset) { return robotMap::instance().loadWord(offset); }
void setWord(std::size_t offset, std::int32_t value) { robotMap::instance().storeWord(offset, value); }

// The request word's value when the main loop acts on it, then 0.
bool takeRequest(std::int32_t& request, std::int32_t& last, bool onEveryValue) {
  const std::int32_t value = __atomic_load_n(&request, __ATOMIC_RELAXED);
  const bool act = value != 0 && (onEveryValue || value != last);
  if (act) __atomic_store_n(&request, 0, __ATOMIC_RELAXED);
  last = __atomic_load_n(&request, __ATOMIC_RELAXED);
  return act;
}

}  // namespace

bool remoteCtl::waitWhile(unsigned generation, const std::function<bool()>& busy, const char* text) {
  for (long polls = 0; busy();) {
    if (!keepRunning(generation)) return false;
    ZelorSleep::zelor_usleep(kPollUs);
    if (++polls % 100 == 0) REMOTE_LOG(kInfo, text, polls / 100);
  }
  return true;
}

void remoteCtl::RemoteControlMainProcess(remoteCtl* self, unsigned generation) {
  ZelorSleep::zelor_usleep(100 * kMs);
  REMOTE_LOG(kInfo, "begin loop ...");
  while (self->keepRunning(generation) && word(robot_map::kRemoteMode) != 0) {
    self->mainPass(generation);
    ZelorSleep::zelor_usleep(4 * kMs);
  }
  REMOTE_LOG(kInfo, "exit ...");
  self->mainInLoop_ = false;
}

void remoteCtl::mainPass(unsigned generation) {
  if (takeRequest(inIsRequestScriptStop, last_inIsRequestScriptStop, false)) requestStop(generation);
  if (!keepRunning(generation)) return;
  if (takeRequest(inIsRequestScriptRun, last_inIsRequestScriptRun, false)) requestStart(generation);
  if (!keepRunning(generation)) return;
  if (takeRequest(inIsRequestScriptPause, last_inIsRequestScriptPause, false)) requestPause();
  if (takeRequest(inIsRequestScriptContinue, last_inIsRequestScriptContinue, false)) requestContinue(generation);
  if (!keepRunning(generation)) return;
  if (takeRequest(inIsRequestRobotClearErr, last_inIsRequestRobotClearErr, true)) requestClearError(generation);
}

void remoteCtl::requestStop(unsigned generation) {
  REMOTE_LOG(kInfo, " request to stop script ...... ");
  setWord(robot_map::kStopRequest, 1);
  setWord(robot_map::kStopClearQueueRequest, 1);
  if (!waitWhile(generation, [] { return word(robot_map::kStopRequest) == 1; }, "waiting script stop ... {} sec")) {
    return;
  }
  REMOTE_LOG(kInfo, "exit RequestScriptStop ...");
}

void remoteCtl::requestStart(unsigned generation) {
  const std::int32_t safeRun = word(robot_map::kSafeRun);
  const std::int32_t safeSuspend = word(robot_map::kSafeSuspend);
  const std::int32_t emergency = word(robot_map::kUnderEmergency);
  const std::int32_t isErr = word(robot_map::kIsErr);
  const std::int32_t isWarn = word(robot_map::kIsWarn);
  if (safeRun == 0 || safeSuspend != 0 || emergency != 0 || isErr != 0 || isWarn != 0) {
    REMOTE_LOG(kError, "cant not start script, isSafeRun:{}, isSafeSuspend:{},g_isUnderEmergency:{}", safeRun,
               safeSuspend, emergency);
    REMOTE_LOG(kError, "cant not start script, g_isErr :{} g_isWarn:{} ", isErr, isWarn);
    return;
  }
  if (word(robot_map::kIsDisabled) != 0) {
    REMOTE_LOG(kInfo, " is_disabel == true ,need to enable robot  ");
    setWord(robot_map::kEnableRequest, 1);
    if (!waitWhile(generation, [] { return word(robot_map::kEnableRequest) != 0; }, " waiting enabled ... {} sec")) {
      return;
    }
  }
  int enableCnt = 0;
  while (word(robot_map::kIsDisabled) != 0 && enableCnt < kEnablePolls) {
    if (!keepRunning(generation)) return;
    ZelorSleep::zelor_usleep(kPollUs);
    ++enableCnt;
    if (enableCnt % 100 == 0) REMOTE_LOG(kInfo, "enableCnt = {}", enableCnt);
  }
  REMOTE_LOG(kInfo, " enable done enableCnt = {} time = {} sec ", enableCnt, enableCnt * kPollUs / 1e6);
  REMOTE_LOG(kInfo, " request to start script ...... ");
  const std::int32_t state = word(robot_map::kScriptStatus);
  if (state != 0) {
    REMOTE_LOG(kError, " request to start a script name {} ,but script status is {} ",
               readText(robot_map::kScriptName, robot_map::kScriptNameSize), scriptStateText(state));
    return;
  }
  setWord(robot_map::kUpdateNameRequest, 1);
  if (!waitWhile(generation, [] { return word(robot_map::kUpdateNameRequest) != 0; },
                 " waiting UpdateRemoteScript ... {} sec")) {
    return;
  }
  setWord(robot_map::kRunRequest, 1);
  REMOTE_LOG(kInfo, "request run script {} ... done",
             readText(robot_map::kRemoteProjectName, robot_map::kRemoteProjectNameSize));
}

void remoteCtl::requestPause() {
  REMOTE_LOG(kInfo, " request to pause script ...... ");
  const std::int32_t state = word(robot_map::kScriptStatus);
  if (state == 1) {
    setWord(robot_map::kStopQueueRequest, 1);
    setWord(robot_map::kPauseRequest, 1);
  } else {
    REMOTE_LOG(kError, "pause script failed, script is {} {}", state, scriptStateText(state));
  }
}

void remoteCtl::requestContinue(unsigned generation) {
  const std::int32_t safeRun = word(robot_map::kSafeRun);
  const std::int32_t safeSuspend = word(robot_map::kSafeSuspend);
  if (safeRun == 0 || safeSuspend != 0) {
    REMOTE_LOG(kError, "cant not start script, isSafeRun{}, isSafeSuspend{}", safeRun, safeSuspend);
    return;
  }
  REMOTE_LOG(kInfo, " request to continue script ...... ");
  if (word(robot_map::kIsWarn) != 0) setWord(robot_map::kCollisionReset, 1);
  ZelorSleep::zelor_usleep(kPollUs);
  if (!waitWhile(generation, [] { return word(robot_map::kCollisionReset) == 1; },
                 "waiting clear g_isCollision ... {} sec")) {
    return;
  }
  const std::int32_t state = word(robot_map::kScriptStatus);
  if (state != 2) {
    REMOTE_LOG(kError, "continue script faild, script is {} {}", state, scriptStateText(state));
    return;
  }
  const std::int32_t isErr = word(robot_map::kIsErr);
  const std::int32_t isWarn = word(robot_map::kIsWarn);
  if (isErr != 0 || isWarn != 0) {
    REMOTE_LOG(kError, "continue script faild, g_isErr:{},g_isWarn:{}", isErr, isWarn);
    if (alarmSource_() == 0) setWord(robot_map::kContinueRequest, 1);
    return;
  }
  setWord(robot_map::kContinueRequest, 1);
}

void remoteCtl::requestClearError(unsigned generation) {
  REMOTE_LOG(kInfo, " request to clear error ...... ");
  setWord(robot_map::kCollisionReset, 1);
  if (!waitWhile(generation, [] { return word(robot_map::kCollisionReset) == 1; },
                 "waiting clear g_isCollision ... {} sec")) {
    return;
  }
  setWord(robot_map::kClearErrorRequest, 1);
}
