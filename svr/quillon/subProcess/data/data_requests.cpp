#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"

namespace {

constexpr int kRemoteEStopAlarm = 85;
constexpr auto kEnableSettle = std::chrono::milliseconds(300);

// Takes a request word: its value when set (the word is cleared by the
// caller once handled).
std::int32_t request(robotMap& map, std::size_t offset) { return map.loadWord(offset); }

}  // namespace

void DataSubProcess::checkRequest() {
  robotMap& map = robotMap::instance();

  if (request(map, robot_map::kEnableRequest) != 0) {
    DATA_LOG(kInfo, " isRequestEnable true");
    leaveDragMode();
    switchState_ = kSwitchEnabled;
    switchChanged_ = 1;
    if (Packet* p = alloc_SetControlType(kControlAuto)) {
      freePluginPacket(p);
    } else {
      DATA_LOG(kError, "alloc_SetControlType(controlType_auto) error");
    }
    controlType_ = kControlAuto;
    const int result = UpdateEnable(1);
    if (result == 1) std::this_thread::sleep_for(kEnableSettle);
    // Only a kernel that enabled clears the word.
    map.storeWord(robot_map::kIsDisabled, result == 1 ? 0 : 1);
    map.storeWord(robot_map::kEnableRequest, 0);
  }

  if (request(map, robot_map::kDisableRequest) != 0) {
    DATA_LOG(kInfo, " isRequestDisable true");
    leaveDragMode();
    UpdateEnable(0);
    switchState_ = kSwitchDisabled;
    map.storeWord(robot_map::kIsDisabled, 1);
    map.storeWord(robot_map::kDisableRequest, 0);
  }

  if (request(map, robot_map::kEStopRequest) != 0) {
    DATA_LOG(kInfo, " isRequestEmergencyStop true");
    setAlarm(kRemoteEStopAlarm);
    emergencyStop();
    if (stopInput_.load() == 0) {
      DATA_LOG(kInfo, " statusData.emergencyStopNeedSet : 0");
      clearEmergencyStop();
    }
    UpdateEnable(0);
    switchState_ = kSwitchDisabled;
    map.storeWord(robot_map::kIsDisabled, 1);
    if (Packet* p = alloc_SetControlType(kControlManual)) {
      freePluginPacket(p);
    } else {
      DATA_LOG(kError, "alloc_SetControlType(controlType_manual) error");
    }
    controlType_ = kControlManual;
    map.storeWord(robot_map::kEStopRequest, 0);
  }

  if (request(map, robot_map::kClearErrorRequest) != 0) {
    DATA_LOG(kInfo, " isRequestClearError true");
    if (Packet* p = alloc_ClearAllAlarmsState()) {
      freePluginPacket(p);
    } else {
      DATA_LOG(kError, "alloc_ClearAllAlarmsState() error");
    }
    clearAlarmSet();
    map.storeWord(robot_map::kClearErrorRequest, 0);
  }

  if (request(map, robot_map::kStartQueueRequest) != 0) {
    DATA_LOG(kInfo, " isRequestStartQueue true");
    startQueue();
    map.storeWord(robot_map::kStartQueueRequest, 0);
  }

  if (request(map, robot_map::kStopQueueRequest) != 0) {
    DATA_LOG(kInfo, " isRequestStopQueue true");
    stopQueue();
    map.storeWord(robot_map::kStopQueueRequest, 0);
  }

  if (request(map, robot_map::kStopClearQueueRequest) != 0) {
    DATA_LOG(kInfo, " isRequestStopClearQueue true");
    stopClearQueue();
    map.storeWord(robot_map::kStopClearQueueRequest, 0);
  }

  if (request(map, robot_map::kDragStartRequest) != 0) {
    DATA_LOG(kInfo, " isRequestDragEnableStatus true");
    dragMode_ = kDragOn;
    map.storeWord(robot_map::kDragStartRequest, 0);
  }
  if (request(map, robot_map::kDragStopRequest) != 0) {
    DATA_LOG(kInfo, " isRequestDragDisableStatus true");
    dragMode_ = kDragOff;
    map.storeWord(robot_map::kDragStopRequest, 0);
  }

  if (const std::int32_t value = request(map, robot_map::kUpdateNameRequest); value != 0) {
    DATA_LOG(kInfo, " isRequestUpdateRemoteScript {}", value);
    updateRemoteScript();
    map.storeWord(robot_map::kUpdateNameRequest, 0);
  }

  if (const std::int32_t value = request(map, robot_map::kRunRequest); value != 0) {
    DATA_LOG(kInfo, " isRequestRunScript {}", value);
    const char* area = map.entry() + robot_map::kScriptName;
    const std::size_t length = strnlen(area, robot_map::kScriptNameSize);
    if (length < robot_map::kScriptNameSize) {
      const std::string name(area, length);
      startRunScript(name.c_str());
    } else {
      DATA_LOG(kError, "remote script name without its end in {} bytes, not started", robot_map::kScriptNameSize);
      startRunScript(nullptr);
    }
    map.storeWord(robot_map::kRunRequest, 0);
  }

  if (request(map, robot_map::kContinueRequest) != 0) {
    if (map.loadWord(robot_map::kScriptStatus) == 2) {
      continueRunScript();
      DATA_LOG(kInfo, " script_status  change to running  ");
    }
    map.storeWord(robot_map::kContinueRequest, 0);
  }

  if (request(map, robot_map::kPauseRequest) != 0) {
    if (map.loadWord(robot_map::kScriptStatus) == 1) {
      pauseRunScript();
      DATA_LOG(kInfo, " script_status  change to suspend");
    }
    map.storeWord(robot_map::kPauseRequest, 0);
  }

  if (request(map, robot_map::kStopRequest) != 0) {
    if (map.loadWord(robot_map::kScriptStatus) != 0) stopRunScript();
    map.storeWord(robot_map::kStopRequest, 0);
  }

  if (request(map, robot_map::kCollisionReset) != 0) {
    DATA_LOG(kInfo, " g_isCollision true");
    clearCollision();
    map.storeWord(robot_map::kCollisionReset, 0);
  }
}
