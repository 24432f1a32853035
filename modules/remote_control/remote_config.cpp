#include <cstdio>
#include <cstring>
#include <string>

#include <rapidjson/document.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/kernel/kernel_state.h"
#include "common/thread/zelor_sleep.h"
#include "common/util/json_util.h"
#include "install_paths.h"
#include "remote_ctl.h"
#include "remote_log.h"

namespace {

using zelor::common::util::JsonUtil;

constexpr std::int32_t kMaxInputPin = kDigitalImageSize;       // 1..1000
constexpr std::int32_t kMaxOutputPin = kDigitalImageSize - 1;  // 1..999
constexpr std::int32_t kTableEntries = static_cast<std::int32_t>(robot_map::kTableEntries);
constexpr const char* kHostAddressText = "127.0.0.1";

std::string functionDir() { return std::string(zelor::paths::kProjectDir) + "/settings/function/"; }

std::int32_t modeFromText(const std::string& text) {
  if (text == "tp") return remoteCtl::kModeTp;
  if (text == "io") return remoteCtl::kModeIo;
  if (text == "modbus") return remoteCtl::kModeModbus;
  if (text == "tcp") return remoteCtl::kModeTcp;
  return remoteCtl::kModeOther;
}

const char* modeText(std::int32_t mode) {
  switch (mode) {
    case remoteCtl::kModeTp: return "tp";
    case remoteCtl::kModeIo: return "io";
    case remoteCtl::kModeModbus: return "modbus";
    case remoteCtl::kModeTcp: return "tcp";
    default: return "unknown";
  }
}

// Whole texts only: one that does not fit with its end is refused.
bool writeTextArea(char* area, std::size_t size, const char* text, std::size_t length) {
  if (length >= size || std::memchr(text, '\0', length) != nullptr) return false;
  std::memcpy(area, text, length);
  area[length] = '\0';
  return true;
}

// Each integer member of group named in keys replaces its value in out.
template <std::size_t N>
void readPins(const rapidjson::Document& doc, const char* group, const char* const (&keys)[N], std::int32_t* out) {
  if (!doc.IsObject()) return;
  const auto member = doc.FindMember(group);
  if (member == doc.MemberEnd() || !member->value.IsObject()) return;
  for (std::size_t i = 0; i < N; ++i) {
    const auto pin = member->value.FindMember(keys[i]);
    if (pin == member->value.MemberEnd()) continue;
    if (pin->value.IsInt()) {
      out[i] = pin->value.GetInt();
    } else {
      REMOTE_LOG(kError, "{} {} is not an integer, keep {}", group, keys[i], out[i]);
    }
  }
}

// The trigger mode of the file, when it has a valid one.
bool readTrigger(const rapidjson::Document& doc, std::int32_t& out) {
  if (!doc.IsObject()) return false;
  const auto member = doc.FindMember("triggermode");
  if (member == doc.MemberEnd() || !member->value.IsInt()) return false;
  const int value = member->value.GetInt();
  if (value < CaptureNone || value > CaptureVal) return false;
  out = value;
  return true;
}

void setName(inputChannelCfg& cfg, const char* format, const char* key, std::int32_t pin) {
  std::snprintf(cfg.name, sizeof cfg.name, format, key, pin);
}

}  // namespace

int remoteCtl::loadConfigFiles() {
  robotMap& map = robotMap::instance();
  const std::string dir = functionDir();
  const std::string remotePath = dir + "remoteControl.json";
  const std::string modbusPath = dir + "modbusctrl.json";
  const std::string ioPath = dir + "ioctrl.json";
  rapidjson::Document remoteDoc;
  rapidjson::Document modbusDoc;
  rapidjson::Document ioDoc;
  const int remoteRead = JsonUtil::readJsonFile(remotePath.c_str(), remoteDoc);
  const int modbusRead = JsonUtil::readJsonFile(modbusPath.c_str(), modbusDoc);
  const int ioRead = JsonUtil::readJsonFile(ioPath.c_str(), ioDoc);
  ZelorSleep::zelor_usleep(10000);

  setDefaults();
  if (remoteRead != 0 || !remoteDoc.IsObject()) {
    map.storeWord(robot_map::kRemoteMode, kModeTp);
    REMOTE_LOG(kError, "JsonUtil::readJsonFile({},doc) return {} ", remotePath, remoteRead);
    return -1;
  }
  if (const auto name = remoteDoc.FindMember("name"); name != remoteDoc.MemberEnd() && name->value.IsString()) {
    char* entry = map.entry();
    if (!writeTextArea(entry + robot_map::kRemoteProjectName, robot_map::kRemoteProjectNameSize,
                       name->value.GetString(), name->value.GetStringLength())) {
      REMOTE_LOG(kError, "remote project name refused: longer than {} characters or not text",
                 robot_map::kRemoteProjectNameSize - 1);
    }
    writeTextArea(entry + robot_map::kHostAddress, robot_map::kHostAddressSize, kHostAddressText,
                  std::strlen(kHostAddressText));
  }
  std::int32_t mode = kModeTp;
  if (const auto text = remoteDoc.FindMember("mode"); text != remoteDoc.MemberEnd() && text->value.IsString()) {
    mode = modeFromText(text->value.GetString());
  } else {
    REMOTE_LOG(kError, "remote control mode missing in {}, use tp", remotePath);
  }
  map.storeWord(robot_map::kRemoteMode, mode);
  REMOTE_LOG(kInfo, "remote control mode {} file {} read {} , file {} read {}", modeText(mode), modbusPath,
             modbusRead == 0 ? "success" : "faild", ioPath, ioRead == 0 ? "success" : "faild");

  // A file's trigger mode counts only in its own mode; otherwise it stays 1.
  if (modbusRead == 0) {
    readPins(modbusDoc, "coils", kInputKeys, coils);
    readPins(modbusDoc, "inBits", kOutputKeys, inBits);
  }
  std::int32_t trigger = CaptureRaising;
  if (modbusRead == 0 && readTrigger(modbusDoc, trigger)) {
    if (mode == kModeModbus) {
      triggerMode_ = trigger;
      REMOTE_LOG(kInfo, "set modbus triggermode done! {}", trigger);
    } else {
      REMOTE_LOG(kInfo, "ignore modbus triggermode ,not modbus mode");
    }
  } else {
    REMOTE_LOG(kWarn, "triggermode read faild ,use default CaptureRaising  1 ");
  }
  if (ioRead == 0) {
    readPins(ioDoc, "in", kInputKeys, ioIn);
    readPins(ioDoc, "out", kOutputKeys, ioOut);
  }
  if (ioRead == 0 && readTrigger(ioDoc, trigger)) {
    if (mode == kModeIo) {
      triggerMode_ = trigger;
      REMOTE_LOG(kInfo, "set IO triggermode done! {}", trigger);
    } else {
      REMOTE_LOG(kInfo, "ignore IO triggermode ,not io mode");
    }
  } else {
    REMOTE_LOG(kWarn, "triggermode read faild ,use default CaptureRaising  CaptureHigh ");
  }
  REMOTE_LOG(kInfo, "load done !");
  return 0;
}

int remoteCtl::transformConfigs() {
  robotMap& map = robotMap::instance();
  const std::int32_t mode = map.loadWord(robot_map::kRemoteMode);
  REMOTE_LOG(kInfo, " robotMap::instance().getRobotStatusReadPtr()->g_remoteMode = {}", modeText(mode));
  const std::int32_t* statusWords[kOutputCount] = {
      &readyStatus, &pauseStatus, &alarmStatus, &runStatus, &warningStatus, &remoteStatus,
      reinterpret_cast<const std::int32_t*>(map.entry() + robot_map::kPowerStatus)};
  // A run builds the channels afresh; a refused configuration leaves none.
  outputs_.clear();
  resetInputConfigs();

  if (mode == kModeIo) {
    for (std::int32_t pin : ioIn) {
      if (pin < 0 || pin > kMaxInputPin) {
        REMOTE_LOG(kError, "some pin over range!!!!! ");
        return -1;
      }
    }
    for (std::int32_t pin : ioOut) {
      if (pin < 0 || pin > kMaxOutputPin) {
        REMOTE_LOG(kError, "some channle's output index over range return !!!!");
        return -1;
      }
    }
    for (int i = 0; i < kInputCount; ++i) {
      inputChannelCfg& cfg = inputs_[i];
      if (ioIn[i] == 0) {
        REMOTE_LOG(kWarn, "{} DI pin is 0, channel not configured", kInputKeys[i]);
        continue;
      }
      const std::uint8_t* source = &gPhyDIs[ioIn[i] - 1];
      cfg.inputType = statusIutput_U8;
      cfg.captureType = triggerMode_;
      cfg.src = source;
      cfg.lastVal = __atomic_load_n(source, __ATOMIC_RELAXED);
      setName(cfg, "%s DI[%d] ", kInputKeys[i], ioIn[i]);
      REMOTE_LOG(kInfo, "{} {:<14}", cfg.name, captureTypeName(cfg.captureType));
    }
    for (int i = 0; i < kOutputCount; ++i) {
      if (ioOut[i] == 0) continue;
      tagoutputChannelCfg cfg;
      cfg.outputType = statusOutput_U8;
      cfg.matchVal = 1;
      cfg.matchingVal = 1;
      cfg.otherVal = 0;
      cfg.force = 1;
      cfg.src = statusWords[i];
      cfg.dst = &gPhyDOs[ioOut[i] - 1];
      std::snprintf(cfg.name, sizeof cfg.name, "%s DO[%d] ", i == kWarningOut ? "collisionStatus" : kOutputKeys[i],
                    ioOut[i]);
      outputs_.push_back(cfg);
    }
    return 0;
  }

  if (mode == kModeModbus) {
    for (std::int32_t index : coils) {
      if (index < -1 || index + 1 > kTableEntries) {
        REMOTE_LOG(kError, "some coils over range!!!!! ");
        return -1;
      }
    }
    for (std::int32_t index : inBits) {
      if (index < -1 || index + 1 > kTableEntries) {
        REMOTE_LOG(kError, "some coils over range!!!!! ");
        return -1;
      }
    }
    for (int i = 0; i < kInputCount; ++i) {
      inputChannelCfg& cfg = inputs_[i];
      if (coils[i] == -1) {
        REMOTE_LOG(kWarn, "{} coil is -1, channel not configured", kInputKeys[i]);
        continue;
      }
      const auto* source = reinterpret_cast<const std::uint8_t*>(map.entry() + robot_map::kCoils + coils[i]);
      cfg.inputType = statusIutput_U8;
      cfg.captureType = triggerMode_;
      cfg.src = source;
      cfg.lastVal = __atomic_load_n(source, __ATOMIC_RELAXED);
      setName(cfg, "%s coils[%d] ", kInputKeys[i], coils[i]);
      REMOTE_LOG(kInfo, "{} {:<14}", cfg.name, captureTypeName(cfg.captureType));
    }
    for (int i = 0; i < kOutputCount; ++i) {
      if (inBits[i] == -1) continue;
      tagoutputChannelCfg cfg;
      cfg.outputType = statusOutput_U8;
      cfg.matchVal = 1;
      cfg.matchingVal = 1;
      cfg.otherVal = 0;
      cfg.force = 1;
      cfg.src = statusWords[i];
      cfg.dst = map.entry() + robot_map::kDiscreteInputs + inBits[i];
      std::snprintf(cfg.name, sizeof cfg.name, "%s inBits[%d] ", i == kPowerOut ? "inBits_powerstatus" : kOutputKeys[i],
                    inBits[i]);
      outputs_.push_back(cfg);
    }
  }
  return 0;
}
