// Taught points of the panel: the point file, overwriting a point with the
// current pose, and running to a point.
#include <modbus.h>

#include <cstring>
#include <string>

#include "modbus/modbus_srv.h"
#include "subProcess/business/hmi_log.h"
#include "subProcess/business/hmi_points.h"
#include "subProcess/business/hmi_registers.h"
#include "subProcess/business/hmi_server.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/factory_access.h"

namespace zelor::modules::service {

namespace {

constexpr int kCorePose = 5;
constexpr int kEnablePolls = 10;
constexpr int kEnablePollMs = 300;
constexpr int kRunToPollMs = 500;

std::uint64_t replyIndex(const Packet* reply) {
  std::uint64_t index = 0;
  std::memcpy(&index, reply->params, sizeof index);
  return index;
}

}  // namespace

void HmiServer::UpdateTeachPoint() {
  std::string path;
  if (!hmi_points::pointFile(projectName_, path)) {
    HMI_SAY("[HmiServer::UpdateTeachPoint] project name \"%s\" names no project folder, no points loaded\n",
            projectName_.c_str());
    return;
  }
  ModbusSrv* modbus = modbus_.load();
  if (modbus == nullptr) return;
  HMIPoint points[hmi_reg::kPointCount] = {};
  const int count = reader_.GetAllTeachPoint(path.c_str(), points);
  for (int i = 0; i < count && i < hmi_reg::kPointCount; ++i) {
    const HMIPoint& p = points[i];
    int n = 0;
    if (!hmi_points::pointNumber(p.name, n)) {
      HMI_SAY("[UpdateTeachPoint] is error: name[%d]: %s\n", i, p.name);
      continue;
    }
    std::uint16_t block[hmi_reg::kPointStride] = {};
    const int first = hmi_reg::pointRegister(n);
    modbus->ReadHoldRegs(first, hmi_reg::kPointStride, block);
    hmi_points::blockFrom(p, block);
    for (int k = 0; k < hmi_reg::kPointStride; ++k) modbus->WriteHoldReg(first + k, &block[k]);
    HMI_SAY("[HmiServer::UpdateTeachPoint]i: %d, name:%s, _arm: %d, _user: %d, _tool: %d, coordinate:[%f,%f,%f,%f]\n",
            i, p.name, block[hmi_reg::kPointArm], p.user, p.tool, p.x, p.y, p.z, p.r);
  }
}

void HmiServer::IsUpdatePoint() {
  HMI_SAY("[HmiServer::IsUpdatePoint] is update to file !\n");
  if (projectName_.empty()) return;
  std::string path;
  if (!hmi_points::pointFile(projectName_, path)) {
    HMI_SAY("[HmiServer::IsUpdatePoint] project name \"%s\" names no project folder, points not saved\n",
            projectName_.c_str());
    return;
  }
  ModbusSrv* modbus = modbus_.load();
  if (modbus == nullptr) return;
  HMIPoint points[hmi_reg::kPointCount] = {};
  for (int n = 1; n <= hmi_reg::kPointCount; ++n) {
    std::uint16_t block[hmi_reg::kPointStride] = {};
    if (modbus->ReadHoldRegs(hmi_reg::pointRegister(n), hmi_reg::kPointStride, block) != 2 * hmi_reg::kPointStride) {
      HMI_SAY("[HmiServer::IsUpdatePoint] registers of P%d unreadable, points not saved\n", n);
      return;
    }
    points[n - 1] = hmi_points::recordFrom(n, block);
  }
  HMI_SAY("json_path: %s\n", path.c_str());
  reader_.UpdateLuaJson(path.c_str(), points);
  const std::string relative = projectName_ + "/point.json";
  reader_.JsonToLua(relative.c_str());
}

void HmiServer::CoverPoint() {
  const int n = readReg(hmi_reg::kOverwritePoint);
  if (n < 1 || n > hmi_reg::kPointCount) return;
  ISubProcess* core = subProcessFactory().getInterface(ISubProcess::CORE);
  // The kernel answers the pose only once it has its parameters.
  if (core == nullptr || core->status() != ISubProcess::kRunning) return;
  float pose[8] = {};
  core->interCall(kCorePose, nullptr, pose, nullptr);
  const int first = hmi_reg::pointRegister(n);
  for (int k = 0; k < 4; ++k) writeFloat(first + hmi_reg::kPointX + 2 * k, pose[k]);
  writeReg(first + hmi_reg::kPointArm, readReg(hmi_reg::kArm));
  writeReg(first + hmi_reg::kPointUser, readReg(hmi_reg::kUser));
  writeReg(first + hmi_reg::kPointTool, readReg(hmi_reg::kTool));
}

// Switches the drives on through the trigger-output flag; false when they
// do not follow within the polls.
bool HmiServer::enableForRunTo() {
  std::uint8_t flag = 0;
  if (Packet* reply = alloc_GetHHTTrigOutputEnabled()) {
    flag = reply->params[0];
    freePluginPacket(reply);
  } else {
    HMI_SAY("[HmiServer::Enable] alloc_GetHHTTrigOutputEnabled() error\n");
  }
  if (flag == 0) return true;
  HMI_SAY("[HmiServer::Enable] do enable ...\n");
  if (Packet* reply = alloc_SetHHTTrigOutputEnabled(0)) {
    freePluginPacket(reply);
  } else {
    HMI_SAY("[HmiServer::Enable] alloc_SetHHTTrigOutputEnabled() error\n");
  }
  for (int poll = 0; poll < kEnablePolls; ++poll) {
    if (!pause(kEnablePollMs)) return false;
    HMI_SAY("[HmiServer::ReadyJog] wait for enable ...\n");
    if (Packet* reply = alloc_GetHHTTrigOutputEnabled()) {
      flag = reply->params[0];
      freePluginPacket(reply);
      if (flag == 0) return true;
    }
  }
  HMI_SAY("[HmiServer::Enable] the drives did not enable within %d ms, run-to given up\n",
          kEnablePolls * kEnablePollMs);
  return false;
}

void HmiServer::Runto() {
  const int n = readReg(hmi_reg::kRunToPoint);
  if (n == 0 || n > hmi_reg::kPointCount) {
    HMI_SAY("[HmiServer::GetRuntoPoint] index: %d is error !\n", n);
    return;
  }
  ModbusSrv* modbus = modbus_.load();
  if (modbus == nullptr) return;
  const int first = hmi_reg::pointRegister(n);
  std::uint16_t block[hmi_reg::kPointStride] = {};
  if (modbus->ReadHoldRegs(first, hmi_reg::kPointStride, block) != 2 * hmi_reg::kPointStride) return;
  const float x = modbus_get_float(block + hmi_reg::kPointX);
  const float y = modbus_get_float(block + hmi_reg::kPointX + 2);
  const float z = modbus_get_float(block + hmi_reg::kPointX + 4);
  const float r = modbus_get_float(block + hmi_reg::kPointX + 6);
  const int arm = block[hmi_reg::kPointArm];
  const int user = block[hmi_reg::kPointUser];
  const int tool = block[hmi_reg::kPointTool];
  HMI_SAY("[HmiServer::GetRuntoPoint]: addr: 0x%04x, X:[%f]\n", first, x);
  HMI_SAY("[HmiServer::GetRuntoPoint]: addr: 0x%04x, Y:[%f]\n", first + 2, y);
  HMI_SAY("[HmiServer::GetRuntoPoint]: addr: 0x%04x, Z:[%f]\n", first + 4, z);
  HMI_SAY("[HmiServer::GetRuntoPoint]: addr: 0x%04x, R:[%f]\n", first + 6, r);
  HMI_SAY("[HmiServer::GetRuntoPoint]: addr: 0x%04x, arm:[%d], user:[%d], tool:[%d]\n", first + hmi_reg::kPointArm,
          arm, user, tool);
  const int mode = hmi_points::runToMode(readReg(hmi_reg::kRunToMode));

  if (!enableForRunTo()) return;

  if (Packet* reply = alloc_SetQueuedCmdStopClear()) {
    freePluginPacket(reply);
  } else {
    HMI_SAY("[HmiServer::Runto] alloc_SetQueuedCmdStopClear() error\n");
  }
  if (Packet* reply = alloc_SetQueuedCmdStartExec()) {
    freePluginPacket(reply);
  } else {
    HMI_SAY("[HmiServer::Runto] alloc_SetQueuedCmdStartExec() error\n");
  }
  if (Packet* reply = alloc_SetArmOrientation(static_cast<char>(arm), 1)) {
    freePluginPacket(reply);
  } else {
    HMI_SAY("[HmiServer::Runto] alloc_SetArmOrientation() error\n");
  }
  // Table entries below index 10, else the current values.
  sendUserFrame(user, 1);
  sendToolFrame(tool, 1);

  HMI_SAY("[HmiServer::Runto]: mode,xyzr: [%d, %f,%f,%f,%f]\n", mode, x, y, z, r);
  const tagPTPCmd move{static_cast<std::uint8_t>(mode), x, y, z, r};
  Packet* reply = alloc_SetPTPCmd(&move, 1);
  if (reply == nullptr) {
    HMI_SAY("[HmiServer::Runto] alloc_SetPTPCmd() error\n");
    return;
  }
  const std::uint64_t index = replyIndex(reply);
  freePluginPacket(reply);

  while (pause(kRunToPollMs)) {
    std::uint64_t current = 0;
    if (Packet* p = alloc_GetQueuedCmdCurrentIndex()) {
      current = replyIndex(p);
      freePluginPacket(p);
    }
    HMI_SAY(" ==== queuedCmdCurrentIndex: %llu, queuedCmdIndex : %llu ====\n",
            static_cast<unsigned long long>(current), static_cast<unsigned long long>(index));
    if (current >= index) {
      HMI_SAY(" *** [%s], Runto is finished ***\n", __func__);
      return;
    }
    std::uint16_t alarm = 0;
    modbus = modbus_.load();
    if (modbus != nullptr && modbus->ReadInputReg(hmi_reg::kAlarmInput, &alarm) == 2 && alarm != 0) return;
    DataSubProcess* server = data();
    if (server == nullptr || server->switchState() == DataSubProcess::kSwitchDisabled) return;
  }
}

}  // namespace zelor::modules::service
