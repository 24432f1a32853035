// Settings of the optional functions: driver gains, remote I/O pins, Modbus
// project selection and remote I/O devices, multi-robot identity, fan,
// external E-stop, external axis, point load, remote control, advanced
// motion switches, Modbus slave, stop mode, E-stop limits, drag sensitivity.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include <json/value.h>

#include "json/json_project_reader.h"
#include "json/parameter_globals.h"
#include "json/settings_json.h"
#include "log/line_log.h"
#include "log/ombrel.h"

using zelor::config::clampToLimit;
using zelor::config::copyText;
using zelor::config::element;
using zelor::config::fileExists;
using zelor::config::isMissing;
using zelor::config::member;
using zelor::config::projectPath;
using zelor::config::readSettings;

namespace {

// The channel of the configuration library's channel lines.
constexpr int kLogChannel = -16;
constexpr int kInfo = 2;

}  // namespace

void JsonProjectReader::st_driver_load(int index) {
  spdlog::ombrel::basicLog(kLogChannel, __LINE__, __func__, kInfo, "enter {}", index);
  std::string path;
  int entry = 0;
  if (index > 10) {
    path = projectPath("settings/driver/userParams.json");
    entry = index - 11;
  } else {
    switch (motoTypes) {
      case 1: path = projectPath("properties/driverParamsWx.json"); break;
      case 2: path = projectPath("properties/driverParams.json"); break;
      case 3: path = projectPath("properties/driverParamsRdu.json"); break;
      default: break;
    }
    entry = index - 1;
  }
  Json::Value root;
  if (!path.empty()) readSettings(path, root, __func__);

  struct Row {
    const char* key;
    float* out;
    const st_triple* limit;
  };
  const Row rows[] = {
      {"velocityP", driver.velocityP, limits.driverVelocityP},
      {"velocityI", driver.velocityI, limits.driverVelocityI},
      {"positionP", driver.positionP, limits.driverPositionP},
      {"speedFeedForward", driver.speedFeedForward, limits.driverSpeedFeedForward},
      {"loadInertiaRatio", driver.loadInertiaRatio, limits.driverLoadInertiaRatio},
  };

  if (!root.isArray() || entry < 0 || static_cast<unsigned>(entry) >= root.size()) {
    ZLOG_DEBUG("cant find the valid params[%d]", entry);
    for (const Row& row : rows) {
      for (int i = 0; i < kAxisCount; ++i) row.out[i] = row.limit[i].def;
    }
  } else {
    Json::Value& params = root[static_cast<unsigned>(entry)];
    for (const Row& row : rows) {
      if (isMissing(params, row.key)) {
        for (int i = 0; i < kAxisCount; ++i) row.out[i] = row.limit[i].def;
        continue;
      }
      Json::Value& array = params[row.key];
      if (!array.isArray() || array.size() != kAxisCount) {
        ZLOG_WARN("get %s error", row.key);
        break;
      }
      for (unsigned i = 0; i < kAxisCount; ++i) {
        auto v = element<float>(array, i, row.key, __func__);
        row.out[i] = v ? clampToLimit(*v, row.limit[i]) : row.limit[i].def;
      }
    }
  }
  spdlog::ombrel::basicLog(kLogChannel, __LINE__, __func__, kInfo, "exit .... !");
}

void JsonProjectReader::st_ioctrl_load() {
  Json::Value root;
  readSettings(projectPath("settings/function/ioctrl.json"), root, __func__);

  struct Group {
    const char* name;
    const char* missingLine;
    const char* const* keys;
    const int* defaults;
    int* pins;
    int count;
  };
  static constexpr const char* kInKeys[kIoCtrlInCount] = {"clear_alarm", "continue",  "pause_pin",
                                                          "stop_pin",    "start_pin", "emergencystop"};
  static constexpr int kInDefaults[kIoCtrlInCount] = {11, 12, 13, 14, 15, 16};
  static constexpr const char* kOutKeys[kIoCtrlOutCount] = {"readystatus", "pausestatus", "alarmstatus",
                                                            "runstatus", "collisionStatus"};
  static constexpr int kOutDefaults[kIoCtrlOutCount] = {13, 14, 15, 16, 0};
  const Group groups[] = {
      {"in", "get ioctrl[in] error", kInKeys, kInDefaults, ioctrl.inPins, kIoCtrlInCount},
      {"out", "get ioctrl[out] error", kOutKeys, kOutDefaults, ioctrl.outPins, kIoCtrlOutCount},
  };
  for (const Group& g : groups) {
    if (isMissing(root, g.name)) {
      ZLOG_WARN("%s", g.missingLine);
      std::copy(g.defaults, g.defaults + g.count, g.pins);
      continue;
    }
    Json::Value& pins = root[g.name];
    for (int i = 0; i < g.count; ++i) {
      auto v = member<int>(pins, g.keys[i], __func__);
      if (!v) {
        ZLOG_WARN("get %s error", g.keys[i]);
        g.pins[i] = g.defaults[i];
      } else if (static_cast<unsigned>(*v) >= 19u) {
        // Compared unsigned: negative pin numbers are out of range too.
        ZLOG_WARN("get %s error, out of range", g.keys[i]);
        g.pins[i] = 0;
      } else {
        g.pins[i] = *v;
      }
    }
  }
}

void JsonProjectReader::st_modbusctrl_load() {
  Json::Value root;
  readSettings(projectPath("settings/function/modbusctrl.json"), root, __func__);
  if (isMissing(root, "hold")) return;
  Json::Value& hold = root["hold"];
  modbusCtrl.optionProject = member<int>(hold, "optionproject", __func__).value_or(-1);

  Json::Value* list = nullptr;
  if (!isMissing(hold, "projectlist") && hold["projectlist"].isArray()) list = &hold["projectlist"];
  for (int k = 1; k <= kModbusProjectCount; ++k) {
    st_modbusProject& project = modbusCtrl.projects[k - 1];
    project.valid = false;
    for (unsigned i = 0; list != nullptr && i < list->size(); ++i) {
      Json::Value& item = (*list)[i];
      if (member<int>(item, "value", __func__) != k) continue;
      // The last element naming project k wins.
      project.name = member<std::string>(item, "name", __func__).value_or("");
      project.valid = true;
    }
    if (project.valid) {
      spdlog::ombrel::basicLog(kLogChannel, __LINE__, __func__, kInfo, "modbusctrl project[{}] is {}", k,
                               project.name);
    } else {
      spdlog::ombrel::basicLog(kLogChannel, __LINE__, __func__, kInfo, "modbusctrl project[{}] is invalid",
                               k);
    }
  }
}

void JsonProjectReader::st_modbusIO_load() {
  Json::Value root;
  readSettings(projectPath("settings/function/modbus_io_config.json"), root, __func__);
  if (isMissing(root, "modbusTCPDev") || !root["modbusTCPDev"].isArray()) return;
  Json::Value& devices = root["modbusTCPDev"];
  // The record holds ten devices; consumers walk deviceCount entries.
  if (devices.size() > kModbusDeviceCount) {
    ZLOG_WARN("modbusTCPDev holds %u devices, only %d are used", devices.size(), kModbusDeviceCount);
  }
  const unsigned n = std::min(devices.size(), static_cast<unsigned>(kModbusDeviceCount));
  modbusIO.deviceCount = static_cast<int>(n);
  for (unsigned i = 0; i < n; ++i) {
    Json::Value& device = devices[i];
    struct Row {
      const char* group;
      int* out;
    };
    const Row rows[] = {{"DI", &modbusIO.diNumber[i]}, {"DO", &modbusIO.doNumber[i]}};
    for (const Row& row : rows) {
      if (isMissing(device, row.group)) continue;
      Json::Value& group = device[row.group];
      if (isMissing(group, "number") || !group["number"].isIntegral()) continue;
      if (auto v = member<int>(group, "number", __func__)) *row.out = *v;
    }
  }
}

void JsonProjectReader::st_mulRobot_load() {
  Json::Value root;
  readSettings(projectPath("settings/function/multiRobotConf.json"), root, __func__);
  int robotId = member<int>(root, "RobotID", __func__).value_or(0);
  if (static_cast<unsigned>(robotId) > 10u) robotId = 0;
  int robotInLine = member<int>(root, "RobotInLine", __func__).value_or(1);
  if (robotInLine < 1 || robotInLine > 10) robotInLine = 1;
  mulRobot.robotId = robotId;
  mulRobot.robotInLine = robotInLine;
  mulRobot.masterAddr = member<std::string>(root, "MasterAddr", __func__).value_or("");
  zelor::config::gMasterAddr = mulRobot.masterAddr;
  zelor::config::gRobotId = mulRobot.robotId;
  zelor::config::gRobotInLine = mulRobot.robotInLine;
  ZLOG_DEBUG("RobotID:%d", mulRobot.robotId);
  ZLOG_DEBUG("RobotInLine:%d", mulRobot.robotInLine);
  ZLOG_DEBUG("MasterAddr:%s", mulRobot.masterAddr.c_str());
}

void JsonProjectReader::st_fanCtrl_load() {
  Json::Value root;
  readSettings(projectPath("settings/function/fanCtrl.json"), root, __func__);
  st_fanCtrl& fan = fanCtrl;

  fan.mode = member<int>(root, "mode", __func__).value_or(2);
  if (static_cast<unsigned>(fan.mode) > 2u) fan.mode = 1;

  fan.alarmThreshold = member<int>(root, "alarmThreshold", __func__).value_or(109);
  if (fan.alarmThreshold < 35 || fan.alarmThreshold > 150) fan.alarmThreshold = 109;

  fan.openThreshold = member<int>(root, "openThreshold", __func__).value_or(fan.alarmThreshold - 20);
  if (fan.openThreshold > fan.alarmThreshold) fan.openThreshold = fan.alarmThreshold;

  fan.closeThreshold = member<int>(root, "closeThreshold", __func__).value_or(fan.openThreshold - 15);
  if (fan.closeThreshold > fan.openThreshold) fan.closeThreshold = fan.openThreshold - 15;

  fan.minimumRunTime = member<int>(root, "minimumRunTime", __func__).value_or(60);
  if (fan.minimumRunTime <= 0) fan.minimumRunTime = 5;

  ZLOG_DEBUG("mode:%d", fan.mode);
  ZLOG_DEBUG("alarmThreshold:%d", fan.alarmThreshold);
  ZLOG_DEBUG("openThreshold:%d", fan.openThreshold);
  ZLOG_DEBUG("closeThreshold:%d", fan.closeThreshold);
  ZLOG_DEBUG("minimumRunTime:%d", fan.minimumRunTime);
}

void JsonProjectReader::st_extEstop_load() {
  Json::Value root;
  readSettings(projectPath("settings/function/extEStop.json"), root, __func__);
  if (!isMissing(root, "in")) {
    Json::Value& in = root["in"];
    extEstop.userStop1 = member<int>(in, "userStop1", __func__).value_or(0);
    extEstop.userStop2 = member<int>(in, "userStop2", __func__).value_or(0);
    extEstop.safeStop2 = member<int>(in, "safeStop2", __func__).value_or(0);
    extEstop.safeStop1 = member<int>(in, "safeStop1", __func__).value_or(0);
  }
  ZLOG_DEBUG("userStop1:%d", extEstop.userStop1);
  ZLOG_DEBUG("userStop2:%d", extEstop.userStop2);
  ZLOG_DEBUG("safeStop1:%d", extEstop.safeStop1);
  ZLOG_DEBUG("safeStop2:%d", extEstop.safeStop2);
}

void JsonProjectReader::st_extAxis_load() {
  Json::Value root;
  readSettings(projectPath("process/auxJoint/switch.json"), root, __func__);
  extAxis = st_extAxis{};
  // Only JSON booleans switch the external axis on.
  if (!isMissing(root, "auxJoint") && root["auxJoint"].isBool()) extAxis.auxJoint = root["auxJoint"].asBool();
  if (!isMissing(root, "addPoints") && root["addPoints"].isBool()) {
    extAxis.addPoints = root["addPoints"].asBool();
  }
}

void JsonProjectReader::st_lynload_load() {
  const std::string path = projectPath("settings/function/pointLoad.json");
  if (!fileExists(path)) {
    pointLoadEnabled = false;
    return;
  }
  Json::Value root;
  readSettings(path, root, __func__);
  if (!root.isArray()) {
    ZLOG_WARN("get lynload error");
    pointLoadEnabled = false;
    return;
  }
  pointLoadEnabled = true;
  const unsigned n = std::min(root.size(), static_cast<unsigned>(kPointLoadCount));
  for (unsigned i = 0; i < n; ++i) {
    Json::Value& entry = root[i];
    lynload[i].enable = member<bool>(entry, "enable", __func__).value_or(false);
    if (isMissing(entry, "params") || !entry["params"].isArray()) {
      ZLOG_WARN("get lynload error");
      continue;
    }
    Json::Value& params = entry["params"];
    const unsigned m = std::min(params.size(), 2u);
    for (unsigned j = 0; j < m; ++j) {
      if (auto v = element<float>(params, j, "params", __func__)) lynload[i].params[j] = *v;
    }
  }
}

int JsonProjectReader::get_remotectrl_conf(std::string& name, std::string& mode) {
  const std::string path = projectPath("settings/function/remoteControl.json");
  if (!fileExists(path)) {
    std::printf("remoteControl.json file is no.\n");
    return 0;
  }
  Json::Value root;
  readSettings(path, root, __func__);
  if (auto v = member<std::string>(root, "name", __func__)) name = *v;
  if (auto v = member<std::string>(root, "mode", __func__)) mode = *v;
  spdlog::ombrel::basicLog(kLogChannel, __LINE__, __func__, kInfo, "{}, name: {}, mode: {}.\n", path, name,
                           mode);
  return 1;
}

int JsonProjectReader::set_remotectrl_conf(std::string name, std::string mode) {
  Json::Value root(Json::objectValue);
  root["name"] = name;
  root["mode"] = mode;
  const std::string path = projectPath("settings/function/remoteControl.json");
  if (!zelor::config::saveTextFile(path, zelor::config::styledText(root))) {
    ZLOG_ERROR("Create file error%s", path.c_str());
    return 0;
  }
  return 1;
}

int JsonProjectReader::st_advanced_function_load(st_advanced_function& params) {
  Json::Value root;
  readSettings(projectPath("properties/AdvancedFunction.json"), root, __func__);
  // Converted also when missing: a missing switch is off.
  params.UsingTrueMotion = member<bool>(root, "UsingTrueMotion", __func__).value_or(false);
  params.DynamicOptimal = member<bool>(root, "DynamicOptimal", __func__).value_or(false);
  params.UsingAccType = member<int>(root, "UsingAccType", __func__).value_or(0);
  params.TorqueFeedforward = member<bool>(root, "TorqueFeedforward", __func__).value_or(false);
  params.InputECP = member<bool>(root, "InputECP", __func__).value_or(false);
  params.InputShapingFreq = member<int>(root, "InputShapingFreq", __func__).value_or(0);
  params.InputShapingDamp = member<double>(root, "InputShapingDamp", __func__).value_or(0.0);
  return 1;
}

int JsonProjectReader::loadModbusConf(stModbusConf& conf) {
  const std::string path = projectPath("settings/function/modbusConf.json");
  conf.id = 1;
  if (fileExists(path)) {
    Json::Value root;
    readSettings(path, root, __func__);
    conf.id = member<int>(root, "id", __func__).value_or(1);
  }
  conf.mode = "tcp";
  std::printf("[%s], id: %d, mode: %s\n", __func__, conf.id, conf.mode.c_str());
  return 1;
}

int JsonProjectReader::loadStopConf(stStopConf& conf) {
  const std::string path = projectPath("settings/function/stopMode.json");
  if (!fileExists(path)) {
    std::printf("[%s], file: %s no exist\n", __func__, path.c_str());
    return 0;
  }
  Json::Value root;
  readSettings(path, root, __func__);
  auto fail = [&](const char* key) {
    std::printf("[%s], parse %s fail\n", __func__, key);
    return 0;
  };

  auto enable = member<bool>(root, "enable", __func__);
  if (!enable) return fail("enable");
  conf.enable = *enable;
  auto speed = member<unsigned>(root, "speed", __func__);
  if (!speed) return fail("speed");
  conf.speed = static_cast<std::uint8_t>(*speed);
  auto arm = member<std::string>(root, "armOrientation", __func__);
  if (!arm) return fail("armOrientation");
  copyText(conf.armOrientation, sizeof conf.armOrientation, *arm);
  auto tool = member<int>(root, "tool", __func__);
  if (!tool) return fail("tool");
  conf.tool = static_cast<std::int8_t>(*tool);
  auto user = member<int>(root, "user", __func__);
  if (!user) return fail("user");
  conf.user = static_cast<std::int8_t>(*user);
  struct Row {
    const char* key;
    float stStopConf::*field;
  };
  static constexpr Row kTarget[] = {
      {"x", &stStopConf::x}, {"y", &stStopConf::y}, {"z", &stStopConf::z}, {"a", &stStopConf::a}};
  for (const Row& row : kTarget) {
    auto v = member<float>(root, row.key, __func__);
    if (!v) return fail(row.key);
    conf.*row.field = *v;
  }
  auto mode = member<std::string>(root, "mode", __func__);
  if (!mode) return fail("mode");
  copyText(conf.mode, sizeof conf.mode, *mode);

  if (*mode == "jump") {
    auto archIndex = member<unsigned>(root, "arch", __func__);
    if (!archIndex) return fail("arch");
    conf.archIndex = static_cast<std::uint8_t>(*archIndex);
    std::printf("[%s], parse strMode: %s, jumpIndex %d\n", __func__, conf.mode, conf.archIndex);
  }
  return 1;
}

int JsonProjectReader::loadMaxEStopAccConf(double* acc, double* jerk) {
  const std::string path = projectPath("settings/playback/emergencystop.json");
  if (!fileExists(path)) {
    std::printf("[%s], file: %s no exist\n", __func__, path.c_str());
    return 0;
  }
  if (acc == nullptr || jerk == nullptr) return 0;
  Json::Value root;
  readSettings(path, root, __func__);
  struct Row {
    const char* key;
    double* out;
  };
  const Row rows[] = {{"acceleration", acc}, {"jerk", jerk}};
  for (const Row& row : rows) {
    Json::Value* array = nullptr;
    if (!isMissing(root, row.key) && root[row.key].isArray()) array = &root[row.key];
    for (unsigned i = 0; i < 4; ++i) {
      std::optional<double> v;
      if (array != nullptr && i < array->size()) v = element<double>(*array, i, row.key, __func__);
      row.out[i] = v.value_or(0.0);
    }
  }
  return 1;
}

int JsonProjectReader::GetDragSenseAdjust(DragSenseAdjust& adjust) {
  const std::string path = projectPath("settings/function/dragSensivity.json");
  int DragSenseAdjust::*fields[] = {&DragSenseAdjust::j1, &DragSenseAdjust::j2, &DragSenseAdjust::j3,
                                    &DragSenseAdjust::j4, &DragSenseAdjust::j5, &DragSenseAdjust::j6};
  if (!fileExists(path)) {
    for (auto field : fields) adjust.*field = 50;
    return 0;
  }
  Json::Value root;
  readSettings(path, root, __func__);
  static constexpr const char* kKeys[] = {"j1", "j2", "j3", "j4", "j5", "j6"};
  for (int i = 0; i < 6; ++i) adjust.*fields[i] = member<int>(root, kKeys[i], __func__).value_or(50);
  return 1;
}
