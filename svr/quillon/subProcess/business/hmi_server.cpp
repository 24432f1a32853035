#include <pthread.h>

#include "subProcess/business/hmi_server.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "modbus/modbus_srv.h"
#include "subProcess/business/hmi_log.h"
#include "subProcess/business/hmi_registers.h"
#include "subProcess/core/core_sub_process.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/factory_access.h"

namespace zelor::modules::service {

namespace {

constexpr auto kStopWait = std::chrono::seconds(2);
constexpr int kIdleMs = 1000;
constexpr int kTickMs = 200;

}  // namespace

thread_local unsigned HmiServer::threadGeneration_ = 0;

HmiServer& HmiServer::Instance() {
  // Never destroyed: detached threads may still look at it while the
  // process ends.
  static HmiServer* const instance = new HmiServer();
  return *instance;
}

HmiServer::HmiServer() {
  std::string mode;
  reader_.get_remotectrl_conf(projectName_, mode);
}

void HmiServer::Start(ModbusSrv* modbus, DataSubProcess* data) {
  std::lock_guard<std::mutex> lock(lifeMutex_);
  modbus_ = modbus;
  data_ = data;
  if (running_.load() != 0) return;
  inJogMode_ = false;
  jogging_ = false;
  ready_ = false;
  started_ = false;
  jogCmd_ = 0;
  running_ = 1;
  ++generation_;
  loops_ += 2;
  std::thread(&HmiServer::Proc, this, generation_).detach();
  std::thread(&HmiServer::ProcIO, this, generation_).detach();
}

void HmiServer::Stop() {
  std::unique_lock<std::mutex> lock(lifeMutex_);
  running_ = 0;
  lifeCond_.notify_all();
  if (!lifeCond_.wait_for(lock, kStopWait, [this] { return loops_ == 0; })) {
    HMI_SAY("[HmiServer::Stop] %d panel loop(s) still busy\n", loops_);
  }
  // A loop still busy finds no slave and no data sub-process from here on.
  modbus_ = nullptr;
  data_ = nullptr;
}

bool HmiServer::alive() {
  if (running_.load() == 0) return false;
  std::lock_guard<std::mutex> lock(lifeMutex_);
  return generation_ == threadGeneration_;
}

bool HmiServer::pause(int ms) {
  std::unique_lock<std::mutex> lock(lifeMutex_);
  lifeCond_.wait_for(lock, std::chrono::milliseconds(ms),
                     [this] { return running_.load() == 0 || generation_ != threadGeneration_; });
  return running_.load() != 0 && generation_ == threadGeneration_;
}

void HmiServer::leaveLoop() {
  std::lock_guard<std::mutex> lock(lifeMutex_);
  --loops_;
  lifeCond_.notify_all();
}

int HmiServer::processTranslate(Packet* packet) {
  auto* core = static_cast<CoreSubProcess*>(subProcessFactory().getInterface(ISubProcess::CORE));
  if (core == nullptr) return 0;
  packet->length = static_cast<std::uint16_t>(packet->length + 2);
  packet->header[0] = kPacketHeaderByte;
  packet->header[1] = kPacketHeaderByte;
  int replyLength = 0;
  char* bytes = reinterpret_cast<char*>(packet);
  return core->processProtocolPacket(packet->cmdId, bytes, packet->length + 5, bytes, &replyLength);
}

int HmiServer::readReg(int n) {
  ModbusSrv* modbus = modbus_.load();
  std::uint16_t value = 0;
  if (modbus == nullptr || modbus->ReadHoldRegs(n, 1, &value) != 2) return 0;
  return value;
}

float HmiServer::readFloat(int n) {
  ModbusSrv* modbus = modbus_.load();
  float value = 0.0f;
  if (modbus == nullptr || modbus->ReadHoldReg(n, &value) != 0) return 0.0f;
  return value;
}

void HmiServer::writeReg(int n, int value) {
  ModbusSrv* modbus = modbus_.load();
  const auto word = static_cast<std::uint16_t>(value);
  if (modbus != nullptr) modbus->WriteHoldReg(n, &word);
}

void HmiServer::writeFloat(int n, float value) {
  ModbusSrv* modbus = modbus_.load();
  if (modbus != nullptr) modbus->WriteHoldReg(n, &value);
}

int HmiServer::IsClearAlarm() {
  if (running_.load() == 0) return 0;
  return readReg(hmi_reg::kClearAlarmRequest) != 0 ? 1 : 0;
}

void HmiServer::Proc(unsigned generation) {
  threadGeneration_ = generation;
  pthread_setname_np(pthread_self(), "HmiProc");
  while (alive()) {
    if (!inJogMode_.load()) {
      if (readReg(hmi_reg::kJogMode) == 0) {
        pause(kIdleMs);
        continue;
      }
      HMI_SAY("robot is switched to jog mode !\n");
      enterJogMode();
      continue;
    }
    jogModeTick();
    pause(kTickMs);
  }
  // A jog must not outlive the panel that started it.
  if (jogging_) stopJog(-1, 0, 0);
  leaveLoop();
}

void HmiServer::enterJogMode() {
  InitJogMode();
  UpdateTeachPoint();
  writeReg(hmi_reg::kJogModeAck, 1);
  DataSubProcess* server = data();
  if (server != nullptr && server->switchState() == DataSubProcess::kSwitchEnabled) writeReg(hmi_reg::kJogEnable, 1);
  inJogMode_ = true;
}

void HmiServer::leaveJogMode() {
  HMI_SAY("robot is exit jog mode !\n");
  if (jogging_) {
    const tagJOGCmd stop{isJoint_, 0};
    if (Packet* reply = alloc_SetJOGCmd(&stop, 0)) {
      freePluginPacket(reply);
    } else {
      HMI_SAY("[HmiServer] alloc_SetJOGCmd(stop) error\n");
    }
    HMI_SAY("quit jog mode, stop jog.\n");
  }
  jogging_ = false;
  ready_ = false;
  started_ = false;
  jogCmd_ = 0;
  if (DataSubProcess* server = data()) server->UpdateEnable(0);
  writeReg(hmi_reg::kJogModeAck, 0);
  writeReg(hmi_reg::kJogEnable, 0);
  HMI_SAY("quit jog mode ...\n");
  inJogMode_ = false;
}

void HmiServer::jogModeTick() {
  DataSubProcess* server = data();
  if (server == nullptr) return;
  if (server->controlType() == DataSubProcess::kControlAuto) {
    writeReg(hmi_reg::kJogEnable, server->switchState() == DataSubProcess::kSwitchEnabled ? 1 : 0);
    return;
  }
  if (readReg(hmi_reg::kJogMode) == 0) {
    leaveJogMode();
    return;
  }
  if (readReg(hmi_reg::kApplyRequest) != 0) {
    SetParamsRegs();
    writeReg(hmi_reg::kApplyRequest, 0);
  }
  IsJog();
  if (readReg(hmi_reg::kSaveRequest) != 0) {
    IsUpdatePoint();
    writeReg(hmi_reg::kSaveRequest, 0);
  }
  if (readReg(hmi_reg::kOverwriteRequest) != 0) {
    HMI_SAY("is cover point !!!\n");
    CoverPoint();
    IsUpdatePoint();
    writeReg(hmi_reg::kOverwriteRequest, 0);
  }
  if (readReg(hmi_reg::kRunToRequest) != 0) {
    HMI_SAY("is run to !!!\n");
    Runto();
    writeReg(hmi_reg::kRunToRequest, 0);
  }
}

}  // namespace zelor::modules::service
