#include <pthread.h>

#include <atomic>
#include <cstdio>

#include "common/ipc/robot_map.h"
#include "modbus/modbus_srv.h"
#include "robot_states/robot_data_source.h"
#include "robot_states/robot_states.h"
#include "subProcess/business/hmi_server.h"
#include "subProcess/factory_access.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kFirstWait = 10s;
constexpr auto kNoSlaveWait = 1s;
constexpr auto kPeriod = 3900us;
constexpr int kLuaRunState = 4;
constexpr int kCoreStopStatus = 15;

AxesGroupRef* robotDataOf(ISubProcess* data) {
  const auto* source = dynamic_cast<const RobotDataSource*>(data);
  return source != nullptr ? source->robotData() : nullptr;
}

}  // namespace

RobotStates::~RobotStates() { stop(); }

void RobotStates::start(ModbusSrv* modbus, st_structure* structure, AxesGroupRef* ref) {
  std::printf("[%s], start\n", __func__);
  std::lock_guard<std::mutex> lock(startMutex_);
  endThread();
  Init();
  for (int j = 0; j < kJoints; ++j) {
    joints_[j] = 0.0f;
    speeds_[j] = 0.0f;
    for (auto& v : servo_[j]) v = 0.0f;
  }
  modbus_ = modbus;
  structure_ = structure;
  axesRef_ = ref;
  missing_.reset();
  {
    std::lock_guard<std::mutex> sleepLock(sleepMutex_);
    stopRequested_ = false;
  }
  running_ = 1;
  thread_ = std::thread(&RobotStates::DetectStatesLoop, this);
  pthread_setname_np(thread_.native_handle(), "DetectStates");
}

void RobotStates::stop() {
  std::lock_guard<std::mutex> lock(startMutex_);
  endThread();
}

void RobotStates::endThread() {
  running_ = 0;
  {
    std::lock_guard<std::mutex> sleepLock(sleepMutex_);
    stopRequested_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool RobotStates::sleepFor(std::chrono::microseconds d) {
  std::unique_lock<std::mutex> lock(sleepMutex_);
  return !wake_.wait_for(lock, d, [this] { return stopRequested_; });
}

void RobotStates::GetJoint(int j, float value) {
  if (j >= 0 && j < kJoints) joints_[j] = value;
}

void RobotStates::GetRunSpeed(int j, float value) {
  if (j >= 0 && j < kJoints) speeds_[j] = value;
}

float RobotStates::joint(int j) const { return j >= 0 && j < kJoints ? joints_[j].load() : 0.0f; }

float RobotStates::runSpeed(int j) const { return j >= 0 && j < kJoints ? speeds_[j].load() : 0.0f; }

stModbusServo RobotStates::servoValues(int j) const {
  if (j < 0 || j >= kJoints) return {};
  return {servo_[j][0].load(), servo_[j][1].load(), servo_[j][2].load()};
}

int RobotStates::askLuaState() {
  ISubProcess* lua = missing_.find(subProcessFactory(), 1);
  int state = 0;
  if (lua != nullptr) lua->interCall(kLuaRunState, nullptr, &state, nullptr);
  return state;
}

std::uint8_t RobotStates::askStopStatus() {
  ISubProcess* core = missing_.find(subProcessFactory(), 0);
  std::uint8_t status = 0;
  if (core != nullptr) core->interCall(kCoreStopStatus, nullptr, &status, nullptr);
  return status;
}

void RobotStates::publishToModbus(ModbusSrv& modbus) {
  float joints[kJoints];
  float speeds[kJoints];
  stModbusServo servo[kJoints];
  for (int j = 0; j < kJoints; ++j) {
    joints[j] = joints_[j];
    speeds[j] = speeds_[j];
    servo[j] = servoValues(j);
  }
  modbus.RecordAllJointPostion(joints);
  modbus.RecordRunSpeed(speeds);
  modbus.RecordServoInfo(servo);
  modbus.RecordAlarm(GetAlarm());
}

// The record is written only while the data sub-process holds the host's
// record; the flag guards the rewrite for readers in other processes.
void RobotStates::updateRecordFromData(ISubProcess* data) {
  AxesGroupRef* dataRef = robotDataOf(data);
  if (dataRef == nullptr) return;
  if (axesRef_.load() == nullptr) axesRef_ = dataRef;
  static RealTimeData_t* const rec = robotMap::instance().record();
  static std::uint16_t* const valid = robotMap::instance().recordValid();
  std::atomic_ref<std::uint16_t> flag(*valid);
  flag.store(0, std::memory_order_seq_cst);
  std::atomic_thread_fence(std::memory_order_release);
  UpdateRtStatus(axesRef_.load(), rec);
  flag.store(1, std::memory_order_seq_cst);
}

void RobotStates::DetectStatesLoop() {
  if (!sleepFor(kFirstWait)) return;
  std::printf("[%s], into ...\n", __func__);
  std::fflush(stdout);
  ISubProcess* data = nullptr;
  while (running_.load() != 0) {
    ModbusSrv* modbus = modbus_.load();
    if (modbus == nullptr) {
      if (!sleepFor(kNoSlaveWait)) break;
      continue;
    }
    const int lua = askLuaState();
    const std::uint8_t stopStatus = askStopStatus();
    scriptRunning_ = (lua != 0 && stopStatus == 0) ? 1 : 0;
    publishToModbus(*modbus);
    zelor::modules::service::HmiServer::Instance().UpdateCurrentCoord();
    if (data == nullptr) data = subProcessFactory().getInterface(2);
    if (data != nullptr) updateRecordFromData(data);
    if (!sleepFor(kPeriod)) break;
  }
}
