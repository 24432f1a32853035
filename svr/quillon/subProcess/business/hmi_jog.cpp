// Jog mode of the panel: its parameters and the jog keys.
#include <rapidjson/document.h>

#include <algorithm>
#include <string>

#include "common/util/json_util.h"
#include "install_paths.h"
#include "subProcess/business/hmi_log.h"
#include "subProcess/business/hmi_registers.h"
#include "subProcess/business/hmi_server.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/factory_access.h"

namespace zelor::modules::service {

namespace {

constexpr int kCoreArmOrientation = 10;
constexpr int kFrameTable = 10;
constexpr int kMaxRatio = 100;

}  // namespace

void HmiServer::InitJogMode() {
  ISubProcess* core = subProcessFactory().getInterface(ISubProcess::CORE);
  if (core == nullptr) return;
  int ratio = 0;
  if (Packet* reply = alloc_GetSpeedFactorParams()) {
    ratio = reply->params[0];
    freePluginPacket(reply);
  } else {
    HMI_SAY("[HmiServer::InitJogMode] alloc_GetSpeedFactorParams() error\n");
  }
  int arm = 0;
  core->interCall(kCoreArmOrientation, nullptr, &arm, nullptr);
  writeReg(hmi_reg::kJogCoordinate, 0);
  writeReg(hmi_reg::kSpeedRatio, ratio);
  writeReg(hmi_reg::kTool, 0);
  writeReg(hmi_reg::kUser, 0);
  writeReg(hmi_reg::kArm, arm);
  writeReg(hmi_reg::kInchOn, 0);
  writeFloat(hmi_reg::kInchDegrees, 1.0f);
  writeFloat(hmi_reg::kInchMM, 1.0f);
  isJoint_ = 1;
  arm_ = static_cast<std::uint8_t>(arm);
  HMI_SAY("[HmiServer::InitJogMode] : type: %d, ratio: %d, tool_index: %d, user_index: %d, arm: %d\n", 0, ratio, 0, 0,
          arm);
}

// The ratio joins the other members of the common settings file.
void HmiServer::storeRatio(int ratio) {
  const std::string path = std::string(zelor::paths::kProjectDir) + "/settings/common.json";
  rapidjson::Document doc;
  const int read = zelor::common::util::JsonUtil::readJsonFile(path.c_str(), doc);
  if (read == -1) {
    doc.SetObject();
  } else if (read != 0 || !doc.IsObject()) {
    // Writing over an unreadable file would lose whatever it holds.
    HMI_SAY("[HmiServer::SetParamsRegs] %s is not a JSON object, ratio not stored\n", path.c_str());
    return;
  }
  if (doc.HasMember("ratio")) {
    doc["ratio"].SetInt(ratio);
  } else {
    doc.AddMember("ratio", ratio, doc.GetAllocator());
  }
  if (zelor::common::util::JsonUtil::setSpeedFactor(doc, true) != 0) {
    HMI_SAY("[HmiServer::SetParamsRegs] writing %s failed\n", path.c_str());
  }
}

void HmiServer::sendToolFrame(int index, int queued) {
  if (index >= 0 && index < kFrameTable) {
    const float* p = reader_.toolCoord[index].params;
    currentTool_ = {static_cast<std::uint32_t>(index), p[0], p[1], p[2], p[3]};
  }
  currentTool_.index = static_cast<std::uint32_t>(index);
  if (Packet* reply = alloc_SetToolCoordParams(&currentTool_, queued != 0)) {
    freePluginPacket(reply);
  } else {
    HMI_SAY("[HmiServer] alloc_SetToolCoordParams() error\n");
  }
}

void HmiServer::sendUserFrame(int index, int queued) {
  if (index >= 0 && index < kFrameTable) {
    const float* p = reader_.userCoord[index].params;
    currentUser_ = {static_cast<std::uint32_t>(index), p[0], p[1], p[2], p[3]};
  }
  currentUser_.index = static_cast<std::uint32_t>(index);
  if (Packet* reply = alloc_SetUserCoordParams(&currentUser_, queued != 0)) {
    freePluginPacket(reply);
  } else {
    HMI_SAY("[HmiServer] alloc_SetUserCoordParams() error\n");
  }
}

void HmiServer::SetParamsRegs() {
  isJoint_ = readReg(hmi_reg::kJogCoordinate) == 0 ? 1 : 0;

  // A percentage: larger register values would wrap in the one-byte command.
  const int ratio = std::min(readReg(hmi_reg::kSpeedRatio), kMaxRatio);
  storeRatio(ratio);
  if (Packet* reply = alloc_SetSpeedFactorParams(static_cast<unsigned char>(ratio), false)) {
    freePluginPacket(reply);
  } else {
    HMI_SAY("[HmiServer] alloc_SetSpeedFactorParams() error\n");
  }

  const int tool = readReg(hmi_reg::kTool);
  sendToolFrame(tool, 0);
  const int user = readReg(hmi_reg::kUser);
  sendUserFrame(user, 0);
  HMI_SAY("user: [%d, %f, %f, %f, %f]\n", user, currentUser_.x, currentUser_.y, currentUser_.z, currentUser_.r);

  const int arm = readReg(hmi_reg::kArm);
  if (Packet* reply = alloc_SetArmOrientation(static_cast<char>(arm), 1)) {
    arm_ = static_cast<std::uint8_t>(arm);
    freePluginPacket(reply);
  } else {
    HMI_SAY("[HmiServer] alloc_SetArmOrientation() error\n");
  }

  tagINCHParams inch{};
  inch.isInch = static_cast<std::uint32_t>(readReg(hmi_reg::kInchOn));
  inch.distanceMM = readFloat(hmi_reg::kInchMM);
  inch.distanceANG = readFloat(hmi_reg::kInchDegrees);
  if (Packet* reply = alloc_SetINCHParams(&inch, false)) {
    freePluginPacket(reply);
  } else {
    HMI_SAY("[HmiServer] alloc_SetINCHParams() error\n");
  }
  HMI_SAY("[HmiServer::SetParamsRegs] SetParams to regs: user_index:%d, tool_index:%d \n", user, tool);
}

void HmiServer::IsJog() {
  DataSubProcess* server = data();
  if (server == nullptr) return;
  if (readReg(hmi_reg::kJogEnable) != 0) {
    if (!started_) {
      HMI_SAY("[HmiServer::IsJog] jog is start !\n");
      started_ = true;
    }
    if (!ready_) {
      SetParamsRegs();
      if (server->UpdateEnable(1) == 1) {
        HMI_SAY("ReadyJog ...\n");
        ready_ = true;
      } else {
        HMI_SAY("Start Jog failed...\n");
      }
    }
    DoJog();
  } else if (started_) {
    // Disabling ends the motion; the next start must send its jog afresh.
    if (jogging_) stopJog(-1, 0, 0);
    HMI_SAY("stop jog , disable !\n");
    server->UpdateEnable(0);
    ready_ = false;
    started_ = false;
  }
}

void HmiServer::DoJog() {
  if (!ready_) return;
  for (int j = 0; j < hmi_reg::kJogAxes; ++j) {
    const int isPos = readReg(hmi_reg::kJogPositiveFirst + 2 * j) != 0 ? 1 : 0;
    const int isNeg = readReg(hmi_reg::kJogNegativeFirst + 2 * j) != 0 ? 1 : 0;
    if (isPos == 0 && isNeg == 0) continue;
    if (isPos != 0 && isNeg != 0) {
      HMI_SAY("[HmiServer::DoJog is Error] [%d] isPos: %d,isNeg: %d !!!\n", j, isPos, isNeg);
      stopJog(j, isPos, isNeg);
      return;
    }
    const auto cmd = static_cast<std::uint8_t>(isPos != 0 ? 2 * j + 1 : 2 * j + 2);
    // Another key while jogging switches the jog to it.
    if (jogging_ && cmd == jogCmd_) return;
    const tagJOGCmd jog{isJoint_, cmd};
    if (Packet* reply = alloc_SetJOGCmd(&jog, 0)) {
      freePluginPacket(reply);
      jogging_ = true;
      jogCmd_ = cmd;
      if (isPos != 0) {
        HMI_SAY("+ Set jog:joint: %d, cmd: [%d]\n", j, cmd);
      } else {
        HMI_SAY("- Set jog: joint: %d, cmd: [%d]\n", j, cmd);
      }
    } else {
      HMI_SAY("[HmiServer] alloc_SetJOGCmd() error\n");
    }
    return;
  }
  if (jogging_) stopJog(-1, 0, 0);
}

void HmiServer::stopJog(int joint, int isPos, int isNeg) {
  const tagJOGCmd stop{isJoint_, 0};
  if (Packet* reply = alloc_SetJOGCmd(&stop, 0)) {
    freePluginPacket(reply);
  } else {
    HMI_SAY("[HmiServer] alloc_SetJOGCmd(stop) error\n");
  }
  jogging_ = false;
  ready_ = false;
  jogCmd_ = 0;
  HMI_SAY("joint: %d, cmd: %d,jog is stop !!!, isPos: %d, isNeg: %d\n", joint, 0, isPos, isNeg);
}

}  // namespace zelor::modules::service
