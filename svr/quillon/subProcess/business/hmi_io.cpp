// The panel's mirrors: digital I/O 1..20 on discrete inputs and coils, and
// the current position in the input registers.
#include <pthread.h>

#include <cstdint>
#include <cstring>

#include "modbus/modbus_srv.h"
#include "subProcess/business/hmi_log.h"
#include "subProcess/business/hmi_registers.h"
#include "subProcess/business/hmi_server.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/factory_access.h"

namespace zelor::modules::service {

namespace {

constexpr int kCoreOutputPtr = 3;
constexpr int kCoreInputs = 4;
constexpr int kCorePose = 5;
constexpr int kImageWords = 16;
constexpr int kWaitMs = 1000;
constexpr int kTickMs = 200;

}  // namespace

void HmiServer::ProcIO(unsigned generation) {
  threadGeneration_ = generation;
  pthread_setname_np(pthread_self(), "HmiProcIO");
  ISubProcess* core = nullptr;
  std::uint8_t* outputs = nullptr;
  // The output image exists once the kernel has its parameters.
  while (alive()) {
    core = subProcessFactory().getInterface(ISubProcess::CORE);
    void* out = nullptr;
    if (core != nullptr) core->interCall(kCoreOutputPtr, nullptr, nullptr, &out);
    if (out != nullptr) {
      outputs = static_cast<std::uint8_t*>(out);
      break;
    }
    pause(kWaitMs);
  }
  std::uint32_t image[kImageWords] = {};
  if (outputs != nullptr && alive()) {
    core->interCall(kCoreInputs, nullptr, image, nullptr);
    if (ModbusSrv* modbus = modbus_.load()) {
      modbus->WriteDiscreteRegs(hmi_reg::kIoFirst, hmi_reg::kIoCount, reinterpret_cast<std::uint8_t*>(image));
      modbus->WriteCoilsRegs(hmi_reg::kIoFirst, hmi_reg::kIoCount, outputs);
    }
  }
  while (outputs != nullptr && pause(kTickMs)) {
    ModbusSrv* modbus = modbus_.load();
    DataSubProcess* server = data();
    if (modbus == nullptr || server == nullptr) continue;
    if (!inJogMode_.load() || server->controlType() == DataSubProcess::kControlAuto) {
      modbus->WriteCoilsRegs(hmi_reg::kIoFirst, hmi_reg::kIoCount, outputs);
    } else {
      // The panel switches the outputs in manual jog mode.
      std::uint8_t coils[hmi_reg::kIoCount];
      if (modbus->ReadCoilsRegs(hmi_reg::kIoFirst, hmi_reg::kIoCount, coils) == hmi_reg::kIoCount) {
        std::memcpy(outputs, coils, sizeof coils);
      }
    }
    core->interCall(kCoreInputs, nullptr, image, nullptr);
    modbus->WriteDiscreteRegs(hmi_reg::kIoFirst, hmi_reg::kIoCount, reinterpret_cast<std::uint8_t*>(image));
  }
  leaveLoop();
}

void HmiServer::UpdateCurrentCoord() {
  if (running_.load() == 0) return;
  ModbusSrv* modbus = modbus_.load();
  if (modbus == nullptr) return;
  ISubProcess* core = subProcessFactory().getInterface(ISubProcess::CORE);
  if (core == nullptr || core->status() != ISubProcess::kRunning) return;
  float pose[8] = {};
  core->interCall(kCorePose, nullptr, pose, nullptr);
  for (int k = 0; k < 4; ++k) {
    modbus->WriteInputReg(hmi_reg::kPoseInput + 2 * k, &pose[k]);
    modbus->WriteInputReg(hmi_reg::kJointsInput + 2 * k, &pose[4 + k]);
  }
}

}  // namespace zelor::modules::service
