#pragma once

// Configuration of the multi-robot conveyor bus (multiRobotConf.json).

#include <string>

namespace MulRobotConveyor {

// Master controller's address when the file gives none. The master robot's
// register block is its own data server's Modbus slave, so loopback reaches
// the same peer and nothing leaves the machine unless a project names a master.
inline constexpr const char* kDefaultMasterAddr = "127.0.0.1";
inline constexpr int kMaxRobots = 10;

struct MulRobotConfig {
  int robotId = 1;      // this robot, 1..kMaxRobots; also the Modbus slave id
  int robotInLine = 1;  // robots (slots) along the conveyor
  std::string masterAddr = kDefaultMasterAddr;
  bool isMaster() const { return robotId == 1; }
};

// The file under the project's settings.
std::string MulRobotConfigPath();

// Never fails: an unreadable file, or one without a usable "MasterAddr",
// gives the defaults; an id or count out of range falls back as documented.
MulRobotConfig LoadMulRobot(const std::string& path);

}  // namespace MulRobotConveyor
