#include <atomic>
#include <cstring>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "modbus/modbus_srv.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/data/kernel_images.h"
#include "subProcess/factory_access.h"

namespace {

constexpr int kFirstStatusType = 12;
constexpr int kLastStatusType = 16;
constexpr int kLuaRunStatus = 4;
constexpr std::uint32_t kAuxStop = 18;

// Logs the first out-of-range use only: the callers run on timers.
void logOnce(std::atomic<bool>& logged, const char* what, int value) {
  if (!logged.exchange(true)) DATA_LOG(kError, "{} {} is outside the output image, ignored", what, value);
}

}  // namespace

DataSubProcess::DataStatus DataSubProcess::GetDataStatus() const {
  DataStatus s;
  s.switchState = switchState_.load();
  s.coordinateMode = coordinateMode_.load();
  s.jogMode = jogMode_.load();
  s.controlType = controlType_.load();
  s.dragMode = dragMode_.load();
  s.toolIndex = currentTool_.load();
  s.userIndex = currentUser_.load();
  for (int i = 0; i < 6; ++i) {
    s.axisPosition[i] = axisPosition_[i].load();
    s.axisSpeed[i] = axisSpeed_[i].load();
  }
  s.stopInput = stopInput_.load();
  s.stopHandled = stopHandled_.load();
  s.releaseHandled = releaseHandled_.load();
  s.switchChanged = switchChanged_.load();
  s.controlTypeChanged = controlTypeChanged_.load();
  s.alarmPresent = alarmPresent_.load();
  s.udpSocket = udpSocket_;
  return s;
}

void DataSubProcess::loadIoFunctions() {
  jsonReader.st_ioctrl_load();
  for (int i = 0; i < kIoCtrlInCount; ++i) inFunctions_[i] = jsonReader.ioctrl.inPins[i];
  for (int i = 0; i < kIoCtrlOutCount; ++i) outFunctions_[i] = jsonReader.ioctrl.outPins[i];
}

void DataSubProcess::outputIOStatus(DataSubProcess* server, int type, int value, const char* mode) {
  if (server == nullptr || mode == nullptr) return;
  if (std::strcmp(mode, "modbus") == 0) {
    if (server->modbus_ != nullptr) server->modbus_->refreshIoStatus(type, static_cast<std::uint8_t>(value));
    return;
  }
  if (std::strcmp(mode, "io") != 0) return;
  int index = type;
  if (type >= kFirstStatusType && type <= kLastStatusType) {
    const int number = server->outFunctions_[type - kFirstStatusType].load();
    if (number == 0) return;
    static std::atomic<bool> badNumber{false};
    if (number < 1 || number > kernel_images::kImageBytes) return logOnce(badNumber, "status output", number);
    index = number - 1;
  }
  static std::atomic<bool> badIndex{false};
  if (index < 0 || index >= kernel_images::kImageBytes) return logOnce(badIndex, "output", index);
  if (std::uint8_t* image = kernel_images::outputImage()) {
    std::atomic_ref<std::uint8_t>(image[index]).store(static_cast<std::uint8_t>(value), std::memory_order_relaxed);
  }
}

std::uint8_t DataSubProcess::getOutputIOStatus(DataSubProcess* server, int ch) {
  static std::atomic<bool> badChannel{false};
  if (ch < 0 || ch >= kernel_images::kImageBytes) {
    logOnce(badChannel, "output channel", ch);
    return 0;
  }
  std::uint8_t* image = kernel_images::outputImage();
  const std::uint8_t value =
      image != nullptr ? std::atomic_ref<std::uint8_t>(image[ch]).load(std::memory_order_relaxed) : 0;
  if (server != nullptr && server->modbus_ != nullptr) server->modbus_->refreshIoStatus(ch, value);
  return value;
}

int DataSubProcess::getDILevel(int index) {
  tagIODIEx request{};
  request.index = static_cast<std::uint8_t>(index);
  request.count = 1;
  Packet* reply = alloc_GetIODIEx(&request);
  if (reply == nullptr) return -1;
  const int params = static_cast<int>(reply->length) - 2;
  const int level = params >= 3 ? (reply->params[2] & 1) : -1;
  freePluginPacket(reply);
  return level;
}

float DataSubProcess::getEncoderValue(std::uint8_t index) {
  Packet* reply = alloc_GetEncoderValue(&index, false);
  if (reply == nullptr) {
    DATA_LOG(kError, "alloc_GetEncoderValue error");
    return 0.0f;
  }
  float value = 0.0f;
  if (static_cast<int>(reply->length) - 2 >= static_cast<int>(sizeof value)) {
    std::memcpy(&value, reply->params, sizeof value);
  }
  freePluginPacket(reply);
  return value;
}

int DataSubProcess::outputRunStatus() {
  int status = 0;
  subProcessFactory().interCall(LUA, kLuaRunStatus, nullptr, &status, nullptr);
  return status;
}

void DataSubProcess::setEnable() {
  if (Packet* reply = alloc_SetHHTTrigOutputEnabled(0)) {
    freePluginPacket(reply);
  } else {
    DATA_LOG(kError, "alloc_SetHHTTrigOutputEnabled(0) error");
  }
}

void DataSubProcess::stopRunning() {
  subProcessFactory().interCall(LUA, 1, nullptr, nullptr, nullptr);
  if (Packet* reply = alloc_SetQueuedCmdStopClear()) {
    freePluginPacket(reply);
  } else {
    DATA_LOG(kError, "alloc_SetQueuedCmdStopClear() error");
  }
  setLastDebuggerCommand("stop");
  {
    std::lock_guard<std::mutex> lock(textMutex_);
    projectName_.clear();
  }
  if (Packet* reply = alloc_SetExterAxisCmd(stTramletCmd{kAuxStop, {0}, 0}, 0)) {
    freePluginPacket(reply);
  } else {
    DATA_LOG(kError, "alloc_SetExterAxisCmd(cmd) error");
  }
}
