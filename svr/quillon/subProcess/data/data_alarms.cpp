#include <atomic>
#include <cstring>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/protocol/axes_group_ref.h"
#include "robot_states/robot_states.h"
#include "subProcess/data/aux_axis_status.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/factory_access.h"

namespace {

constexpr int kCoreAlarms = 8;
constexpr int kAlarmBytes = 32;
constexpr int kJoints = 4;
constexpr std::uint32_t kAuxStop = 18;
constexpr std::uint32_t kAuxPause = 19;
constexpr std::uint32_t kAuxFaultBit = 1u << 2;
constexpr int kAuxAlarm = 20482;

std::uint32_t loadWord(std::uint32_t& w) { return std::atomic_ref<std::uint32_t>(w).load(std::memory_order_relaxed); }

void readKernelAlarms(std::uint8_t* bytes) {
  std::memset(bytes, 0, kAlarmBytes);
  if (ISubProcess* core = subProcessFactory().getInterface(ISubProcess::CORE)) {
    core->interCall(kCoreAlarms, nullptr, bytes, nullptr);
  }
}

}  // namespace

void DataSubProcess::setAlarm(int id) {
  std::lock_guard<std::mutex> lock(alarmMutex_);
  DATA_LOG(kInfo, "GET ALARMS: alarm ID: {}\n", id);
  alarms_.insert(id);
  controllerAlarm_.store(true);
}

void DataSubProcess::clearAlarmSet() {
  std::lock_guard<std::mutex> lock(alarmMutex_);
  for (int id : alarms_) DATA_LOG(kInfo, "Clear ALARMS: alarm ID: {}\n", id);
  alarms_.clear();
  controllerAlarm_.store(false);
}

std::set<int> DataSubProcess::getAlarmSet() const {
  std::lock_guard<std::mutex> lock(alarmMutex_);
  return alarms_;
}

int DataSubProcess::getControllerAlarmStatus(DataSubProcess* server) {
  if (server->getAlarmSet().empty()) return 0;
  DATA_LOG(kInfo, " is controller alarm !");
  return 1;
}

bool DataSubProcess::inAlarmNow() {
  // The flag, not the set: this runs on the host's cycle.
  if (controllerAlarm_.load()) return true;
  std::uint8_t bytes[kAlarmBytes];
  readKernelAlarms(bytes);
  for (std::uint8_t b : bytes) {
    if (b != 0) return true;
  }
  if (AxesGroupRef* record = robotData_.load()) {
    for (int j = 0; j < kJoints; ++j) {
      if (loadWord(record->m_Joints[j].m_ErrorCode) != 0) return true;
    }
  }
  return (auxStatus_.load() & kAuxFaultBit) != 0;
}

void DataSubProcess::setCollisionAlarm(std::uint32_t mask, int otherwise) {
  RobotStates::Instance().SetAlarm(static_cast<std::uint16_t>(mask != 0 ? 1 : otherwise));
}

void DataSubProcess::reactToCollision(std::uint32_t mask) {
  robotMap& map = robotMap::instance();
  if (mask != 0 && lastCollision_ == 0) {
    if (jsonReader.collisionStop.stopType != 0) {
      DATA_LOG(kInfo, "碰撞检测 Stop");
      if (Packet* p = alloc_SetQueuedCmdStopClear()) {
        freePluginPacket(p);
      } else {
        DATA_LOG(kError, "alloc_SetQueuedCmdStopClear() error");
      }
      DATA_LOG(kInfo, "luaState to {}", lastDebuggerCommand());
      map.storeWord(robot_map::kScriptStatus, 0);
      if (Packet* p = alloc_SetExterAxisCmd(stTramletCmd{kAuxStop, {0}, 0}, 0)) {
        freePluginPacket(p);
      } else {
        DATA_LOG(kError, "alloc_SetExterAxisCmd(cmd) error");
      }
    } else {
      DATA_LOG(kInfo, "碰撞检测 Pause");
      if (Packet* p = alloc_SetQueuedCmdStopExec()) {
        freePluginPacket(p);
      } else {
        DATA_LOG(kError, "alloc_SetQueuedCmdStopExec() error");
      }
      if (map.loadWord(robot_map::kScriptStatus) == 1) {
        map.storeWord(robot_map::kScriptStatus, 2);
        map.storeWord(robot_map::kPauseCopy, 1);
      }
      if (Packet* p = alloc_SetExterAxisCmd(stTramletCmd{kAuxPause, {0}, 0}, 0)) {
        freePluginPacket(p);
      } else {
        DATA_LOG(kError, "alloc_SetExterAxisCmd(cmd) error");
      }
    }
  } else if (mask == 0 && lastCollision_ != 0) {
    DATA_LOG(kInfo, "Clear collision flag,m_isResetCollision:{},m_luaState:{}", isResetCollision_.load(),
             lastDebuggerCommand());
  }
  lastCollision_ = mask;
}

int DataSubProcess::getAlarmStatus() {
  std::lock_guard<std::mutex> serial(alarmStatusMutex_);
  AxesGroupRef* record = robotData_.load();
  if (record == nullptr) return 0;
  if (subProcessFactory().getInterface(CORE) == nullptr) {
    DATA_LOG(kError, "getAlarmStatus is Error");
    return 0;
  }

  if (jsonReader.extAxis.auxJoint) {
    if (Packet* reply = alloc_GetExterAxisCmd(stTramletCmd{AuxAxisStatus::kQuery, {0}, 0}, 0)) {
      auxStatus_ = AuxAxisStatus::parse(*reply).status;
      freePluginPacket(reply);
    }
    if ((auxStatus_.load() & kAuxFaultBit) != 0) setAlarm(kAuxAlarm);
  }

  const std::uint32_t mask = loadWord(record->m_CollisionWord);
  reactToCollision(mask);

  const std::set<int> own = getAlarmSet();
  if (!own.empty()) {
    setCollisionAlarm(mask, *own.begin());
    return 1;
  }

  std::uint8_t bytes[kAlarmBytes];
  readKernelAlarms(bytes);
  int lowest = -1;
  for (int b = 0; b < kAlarmBytes; ++b) {
    const std::uint8_t changed = bytes[b] ^ lastAlgsAlarms_[b];
    for (int l = 0; l < 8; ++l) {
      const int id = 8 * b + l;
      if ((changed >> l) & 1) {
        if ((bytes[b] >> l) & 1) {
          DATA_LOG(kInfo, "GET algs ALARMS: alarm ID: {}", id);
        } else {
          DATA_LOG(kInfo, "Clear algs ALARMS: alarm ID: {}", id);
        }
      }
      if (lowest < 0 && ((bytes[b] >> l) & 1)) lowest = id;
    }
  }
  std::memcpy(lastAlgsAlarms_, bytes, sizeof bytes);
  if (lowest >= 0) {
    setCollisionAlarm(mask, lowest);
    return 1;
  }

  for (int j = 0; j < kJoints; ++j) {
    const std::uint32_t word = loadWord(record->m_Joints[j].m_ErrorCode);
    if (word != lastServoError_[j]) {
      lastServoError_[j] = word;
      if (word != 0) {
        DATA_LOG(kInfo, "GET Servo[{}] ALARMS:raw alarm:%04d", j + 1);
        DATA_LOG(kInfo, "GET Servo[{}] ALARMS:raw alarm:{}", j + 1, word);
      } else {
        DATA_LOG(kInfo, "Clear Servo[{}] ALARMS:raw alarm:%04d", j + 1);
        DATA_LOG(kInfo, "Clear Servo[{}] ALARMS:raw alarm:{}", j + 1, word);
      }
    }
    if (word != 0) {
      setCollisionAlarm(mask, static_cast<int>(word));
      return 1;
    }
  }
  setCollisionAlarm(mask, 0);
  return 0;
}
