#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/protocol/axes_group_ref.h"
#include "json/project_structure.h"
#include "robot_states/robot_states.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/data/shell_safe_text.h"
#include "subProcess/data/speed_ratio.h"
#include "subProcess/factory_access.h"

namespace {

constexpr int kNoProjectAlarm = 8192;
constexpr int kCpuFileAlarm = 8193;
constexpr int kGlobalFileAlarm = 8194;
constexpr int kTeachPointFileAlarm = 8195;

// Sub-commands of the auxiliary-axis command.
constexpr std::uint32_t kAuxEStop = 3;
constexpr std::uint32_t kAuxStop = 18;
constexpr std::uint32_t kAuxPause = 19;
constexpr std::uint32_t kAuxResume = 20;

// Lua sub-process calls: start the interpreter, stop it, resume it.
constexpr int kLuaStart = 0;
constexpr int kLuaStop = 1;
constexpr int kLuaResume = 2;

constexpr int kModbusRemote = 2;
constexpr int kScriptStopped = 0;
constexpr int kScriptRunning = 1;
constexpr int kScriptPaused = 2;
constexpr int kControlWordAuto = 1;
constexpr int kControlWordManual = 2;

constexpr auto kStopClearSettle = std::chrono::milliseconds(200);

void luaCall(int id, void* in = nullptr, void* out = nullptr) {
  subProcessFactory().interCall(ISubProcess::LUA, id, in, out, nullptr);
}

bool fileExists(const QString& path) { return access(path.toUtf8().constData(), F_OK) == 0; }

// A name area of the status memory as text; false when it holds no end
// within its size.
bool readNameArea(const char* area, std::size_t size, std::string& out) {
  const std::size_t length = strnlen(area, size);
  if (length >= size) return false;
  out.assign(area, length);
  return true;
}

// Whole names only: a name that does not fit (with its end) is not copied.
bool writeNameArea(char* area, std::size_t size, const std::string& name) {
  if (name.size() >= size || name.find('\0') != std::string::npos) return false;
  std::memcpy(area, name.c_str(), name.size() + 1);
  return true;
}

// Gives a reply back, or logs `error` when none came.
void done(PluginBase& client, Packet* reply, const char* error) {
  if (reply != nullptr) {
    client.freePluginPacket(reply);
  } else {
    DATA_LOG(kError, "{}", error);
  }
}

}  // namespace

void DataSubProcess::setProjectName(const std::string& name) {
  std::lock_guard<std::mutex> lock(textMutex_);
  projectName_ = name;
}

void DataSubProcess::setRecordCollision(std::uint32_t mask) {
  if (AxesGroupRef* record = robotData_.load()) {
    std::atomic_ref<std::uint32_t>(record->m_CollisionWord).store(mask, std::memory_order_relaxed);
  }
}

bool DataSubProcess::projectFilesReady(const st_project& project) {
  // A path that cannot be handed on safely counts as missing.
  const auto usable = [](const QString& path) {
    const QByteArray bytes = path.toUtf8();
    return isShellSafeText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) &&
           fileExists(path);
  };
  for (const QString& cpu : project.cpus) {
    if (!usable(cpu)) {
      DATA_LOG(kError, "The cpu file not exist:{}", cpu.toStdString());
      setAlarm(kCpuFileAlarm);
      return false;
    }
  }
  if (!project.global.isEmpty() && !usable(project.global)) {
    DATA_LOG(kError, "The global file not exist:{}", project.global.toStdString());
    setAlarm(kGlobalFileAlarm);
    return false;
  }
  if (!project.teachPoint.isEmpty() && !usable(project.teachPoint)) {
    DATA_LOG(kError, "The teach point file not exist:{}", project.teachPoint.toStdString());
    setAlarm(kTeachPointFileAlarm);
    return false;
  }
  return true;
}

int DataSubProcess::startRunScript(const char* name) {
  DATA_LOG(kInfo, "**** startRunScript start *****");
  if (name == nullptr) {
    DATA_LOG(kError, "path.isNull");
    setAlarm(kNoProjectAlarm);
    return 0;
  }
  st_project* project = nullptr;
  if (!isShellSafeText(name)) {
    DATA_LOG(kError, "project name with a character not allowed: {}", name);
    setAlarm(kNoProjectAlarm);
    return 0;
  }
  if (name[0] == '\0' || !jsonReader.RegexProjectFile(name, &project) || project == nullptr) {
    DATA_LOG(kError, "jsonReader.RegexProjectFile");
    setAlarm(kNoProjectAlarm);
    return 0;
  }
  if (!projectFilesReady(*project)) return 0;

  done(*this, alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error");
  done(*this, alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error");
  jsonReader.st_common_load();
  done(*this, alloc_SetSpeedFactorParams(speedRatioByte(jsonReader.paramsSpeedFactor()), false),
            "alloc_SetSpeedFactorParams(jsonReader.paramsSpeedFactor(), 0) error");
  done(*this, alloc_SetPTPJointParams(jsonReader.paramsPTPJoint(), 0),
            "alloc_SetPTPJointParams(jsonReader.paramsPTPJoint(), 0) error");
  done(*this, alloc_SetPTPCoordinateParams(jsonReader.paramsPTPCoordinate(), 0),
            "alloc_SetPTPCoordinateParams(jsonReader.paramsPTPCoordinate(), 0) error");

  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kScriptStatus, kScriptRunning);
  map.storeWord(robot_map::kControlType, kControlWordAuto);
  project->reserved = "null";
  int started = 0;
  luaCall(kLuaStart, project, &started);
  luaCall(kLuaResume);
  setProjectName(name);
  setLastDebuggerCommand("run");
  switchState_ = kSwitchEnabled;
  setRecordCollision(0);
  DATA_LOG(kInfo, "** startRunScript end ***");
  return 1;
}

int DataSubProcess::stopRunScript() {
  done(*this, alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error");
  luaCall(kLuaStop);
  remotePause_ = 0;
  setProjectName("");
  setLastDebuggerCommand("stop");
  setRecordCollision(0);
  done(*this, alloc_SetExterAxisCmd(stTramletCmd{kAuxStop, {0}, 0}, 0), "alloc_SetExterAxisCmd(cmd) error");
  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kScriptStatus, kScriptStopped);
  map.storeWord(robot_map::kControlType, kControlWordManual);
  return 1;
}

int DataSubProcess::pauseRunScript() {
  done(*this, alloc_SetQueuedCmdStopExec(), "alloc_SetQueuedCmdStopExec() error");
  setLastDebuggerCommand("suspend");
  remotePause_ = 1;
  done(*this, alloc_SetExterAxisCmd(stTramletCmd{kAuxPause, {0}, 0}, 0), "alloc_SetExterAxisCmd(cmd) error");
  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kScriptStatus, kScriptPaused);
  map.storeWord(robot_map::kControlType, kControlWordAuto);
  return 1;
}

int DataSubProcess::continueRunScript() {
  done(*this, alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error");
  setLastDebuggerCommand("run");
  remotePause_ = 0;
  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kScriptStatus, kScriptRunning);
  map.storeWord(robot_map::kControlType, kControlWordAuto);
  setRecordCollision(0);
  done(*this, alloc_SetExterAxisCmd(stTramletCmd{kAuxResume, {0}, 0}, 0), "alloc_SetExterAxisCmd(cmd) error");
  return 1;
}

void DataSubProcess::emergencyStop() {
  luaCall(kLuaStop);
  done(*this, alloc_SetExterAxisCmd(stTramletCmd{kAuxEStop, {0}, 0}, 0), "alloc_SetExterAxisCmd(cmd) error");
  if (RobotStates::Instance().GetPCMode() == 0) {
    done(*this, alloc_SetQueuedCmdHardStopExec(), "alloc_SetQueuedCmdHardStopExec() error");
    return;
  }
  DATA_LOG(kInfo, "emergency stop!");
  DATA_LOG(kInfo, "drageMode : {}, controlMode : {}", dragMode_.load(), switchState_.load());
  done(*this, alloc_SetQueuedCmdForceStopExec(true), "alloc_SetQueuedCmdForceStopExec(true) error");
  setLastDebuggerCommand("stop");
  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kScriptStatus, kScriptStopped);
  if (dragMode_.load() == kDragOn) {
    dragMode_ = kDragOff;
    map.storeWord(robot_map::kDragMode, kDragOff);
    if (switchState_.load() == kSwitchDisabled) {
      releaseBrakes34(robotData_.load());
      DATA_LOG(kInfo, "tech buttom event:braker on");
    } else {
      done(*this, alloc_SetDragTeachEnabled(1), "alloc_SetDragTeachEnabled(kAlgsDragDisable) error");
      DATA_LOG(kInfo, "tech buttom event:drag disable");
    }
  }
  setProjectName("");
}

void DataSubProcess::clearEmergencyStop() {
  if (RobotStates::Instance().GetPCMode() == 0) return;
  done(*this, alloc_SetQueuedCmdForceStopExec(false), "alloc_SetQueuedCmdForceStopExec(false) error");
}

int DataSubProcess::startQueue() {
  done(*this, alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error");
  return 0;
}

int DataSubProcess::stopQueue() {
  DATA_LOG(kInfo, " [DataSubProcess::stopQueue] enter ...");
  done(*this, alloc_SetQueuedCmdStopExec(), "alloc_SetQueuedCmdStopExec() error");
  return 0;
}

int DataSubProcess::stopClearQueue() {
  DATA_LOG(kInfo, " [DataSubProcess::stopClearQueue] enter ...");
  done(*this, alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error");
  std::this_thread::sleep_for(kStopClearSettle);
  return 0;
}

int DataSubProcess::updateRemoteScript() {
  DATA_LOG(kInfo, " [DataSubProcess::updateRemoteScript] enter ...");
  robotMap& map = robotMap::instance();
  char* target = map.entry() + robot_map::kScriptName;
  std::string name;
  bool found = map.loadWord(robot_map::kRemoteMode) == kModbusRemote && getModbusProjectName(name) != 0;
  if (!found && !readNameArea(map.entry() + robot_map::kRemoteProjectName, robot_map::kRemoteProjectNameSize, name)) {
    DATA_LOG(kError, "default remote script name without its end in {} bytes, not copied",
             robot_map::kRemoteProjectNameSize);
    return 0;
  }
  if (!writeNameArea(target, robot_map::kScriptNameSize, name)) {
    DATA_LOG(kError, "script name of {} bytes does not fit {} bytes, not copied", name.size(),
             robot_map::kScriptNameSize);
    return 0;
  }
  DATA_LOG(kInfo, " ScriptName:{}", name);
  return 0;
}

int DataSubProcess::getModbusProjectName(std::string& name) {
  const int reg = jsonReader.modbusCtrl.optionProject;
  if (reg < 0) return 0;
  if (reg >= static_cast<int>(robot_map::kTableEntries)) {
    DATA_LOG(kError, "modbus project register {} outside the holding registers", reg);
    return 0;
  }
  const std::uint16_t value = std::atomic_ref<std::uint16_t>(*reinterpret_cast<std::uint16_t*>(
                                  robotMap::instance().entry() + robot_map::holdingRegister(reg)))
                                  .load(std::memory_order_relaxed);
  if (value < 1 || value > 9) return 0;
  const st_modbusProject& entry = jsonReader.modbusCtrl.projects[value - 1];
  if (!entry.valid) return 0;
  name = entry.name;
  return 1;
}

int DataSubProcess::clearCollision() {
  setRecordCollision(0);
  robotMap::instance().storeWord(robot_map::kIsWarn, 0);
  return 0;
}
