#include "common/links/mul_robot_config.h"

#include <arpa/inet.h>
#include <json/json.h>

#include <cstdio>
#include <fstream>

#include "install_paths.h"

namespace MulRobotConveyor {

namespace {

bool inRange(const Json::Value& value) {
  return value.isInt() && value.asInt() >= 1 && value.asInt() <= kMaxRobots;
}

bool isIPv4(const std::string& text) {
  in_addr address{};
  return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

MulRobotConfig parse(const std::string& path) {
  std::ifstream file(path);
  if (!file) return {};
  Json::Value root;
  Json::CharReaderBuilder builder;
  std::string errors;
  if (!Json::parseFromStream(builder, file, &root, &errors) || !root.isObject()) return {};

  const Json::Value& addr = root["MasterAddr"];
  // An address that is no IPv4 text could never connect; treat it as missing.
  if (!addr.isString() || addr.asString().empty() || !isIPv4(addr.asString())) return {};

  MulRobotConfig config;
  config.masterAddr = addr.asString();
  const Json::Value& id = root["RobotID"];
  const Json::Value& inLine = root["RobotInLine"];
  config.robotId = inRange(id) ? id.asInt() : 1;
  if (inRange(inLine)) {
    config.robotInLine = inLine.asInt();
  } else {
    config.robotInLine = 1;
    config.robotId = 1;
  }
  return config;
}

}  // namespace

std::string MulRobotConfigPath() {
  return std::string(zelor::paths::kProjectDir) + "/settings/function/multiRobotConf.json";
}

MulRobotConfig LoadMulRobot(const std::string& path) {
  MulRobotConfig config = parse(path);
  std::printf("[MulRobotBus::LoadMulRobot] ip:%s, id: %d, number: %d \n", config.masterAddr.c_str(),
              config.robotId, config.robotInLine);
  return config;
}

}  // namespace MulRobotConveyor
