#pragma once

// brevan with the data-server peer, the test playing the data server's part in
// the status memory; a project with frames, a serial number and a Lua project.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "data_server_peer/data_server_peer.h"
#include "install_paths.h"
#include "support/brevan_rig.h"
#include "support/peer_records.h"

namespace zelor::test {

using zelor::sim::PeerRequest;

namespace ids {
constexpr std::uint16_t kForward = 8, kInverse = 9, kPose = 10, kClearAlarms = 20, kJointAngle = 26, kHome = 31,
                        kEnableStatus = 41, kDrag = 43, kControlType = 47, kExterAxis = 225, kStartQueue = 240,
                        kStopQueue = 241, kLeftSpace = 247, kStopClear = 248, kRawText = 262;
constexpr std::uint8_t kRead = 0x00, kWriteNow = 0x01;
}  // namespace ids

inline std::int32_t word(std::size_t offset) { return robotMap::instance().loadWord(offset); }
inline void setWord(std::size_t offset, std::int32_t value) { robotMap::instance().storeWord(offset, value); }
inline void setRobotMode(std::int32_t mode) { robotMap::instance().record()->RobotMode = static_cast<std::uint32_t>(mode); }

inline std::filesystem::path projectPath(const std::string& relative) {
  return std::filesystem::path(zelor::paths::kProjectDir) / relative;
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::trunc) << text;
}

// Frame i (1 .. count) at x = 100 * i + base, y = x + 1, z = x + 2, r = x + 3.
inline void writeFrameTable(const char* file, int count, double base) {
  std::string text = "[";
  for (int i = 0; i < 10; ++i) {
    const double x = 100.0 * i + base;
    text += std::string(i ? "," : "") + "{\"enable\":" + (i <= count ? "true" : "false") + ",\"params\":[" +
            std::to_string(x) + "," + std::to_string(x + 1) + "," + std::to_string(x + 2) + "," +
            std::to_string(x + 3) + ",0,0]}";
  }
  writeText(projectPath("settings/coordinate") / file, text + "]");
}

// A Lua project "name" with its scripts.
inline void writeLuaProject(const std::string& name) {
  const std::filesystem::path dir = projectPath("project") / name;
  writeText(dir / "prj.json", R"({"cpus": ["src0.lua", "src1.lua"], "global": "global.lua", "teach_point": "point.json"})");
  for (const char* file : {"src0.lua", "src1.lua", "global.lua", "point.json.lua"}) writeText(dir / file, "-- script\n");
}

class ControlRig : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFrameTable("user.json", 3, 1);
    writeFrameTable("tool.json", 2, 5);
    writeText(projectPath("settings/productInfo/hardwareInfo.json"), R"({"SNcode": "ZL0001"})");
    writeText(projectPath("process/auxJoint/switch.json"), R"({"auxJoint": false, "addPoints": false})");
    writeLuaProject("demo");
    setWord(robot_map::kIsDisabled, 0);
    setRobotMode(5);
    peer_.setControlMode("tcp");
    peer_.start();
    ASSERT_TRUE(brevan_.waitForPorts()) << "ports 29999 and 30003 never listened";
    // The app-protocol port is the last of brevan's start-up, which then keeps
    // its main thread; the script state is the data server's: stopped here.
    ASSERT_TRUE(waitFor([] { return listening(6000); }, 10s)) << "brevan's start-up never ended";
    setWord(robot_map::kControlType, 2);
    client_ = std::make_unique<Client>(29999);
    ASSERT_TRUE(client_->connected());
  }

  // The reply as the client reads it (as many bytes as expected), and the
  // requests the command sent.
  std::string call(const std::string& command, const std::string& expected, std::vector<PeerRequest>& sent,
                   std::chrono::milliseconds timeout = 5s) {
    const std::size_t before = peer_.requests().size();
    client_->send(command);
    const std::string reply = client_->read(expected.size(), timeout);
    const std::vector<PeerRequest> all = peer_.requests();
    sent.assign(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    return reply;
  }
  std::string call(const std::string& command, const std::string& expected, std::chrono::milliseconds timeout = 5s) {
    std::vector<PeerRequest> sent;
    return call(command, expected, sent, timeout);
  }

  static std::vector<std::uint16_t> idsOf(const std::vector<PeerRequest>& sent) {
    std::vector<std::uint16_t> list;
    for (const PeerRequest& r : sent) list.push_back(r.id);
    return list;
  }
  static const PeerRequest* find(const std::vector<PeerRequest>& sent, std::uint16_t id) {
    const auto at = std::find_if(sent.begin(), sent.end(), [id](const PeerRequest& r) { return r.id == id; });
    return at == sent.end() ? nullptr : &*at;
  }

  zelor::sim::DataServerPeer peer_;
  Brevan brevan_;
  std::unique_ptr<Client> client_;
};

}  // namespace zelor::test
