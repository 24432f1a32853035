// Remote control by Modbus over the whole stack: a master raises coils of the
// data server's slave, the data server enables the robot and starts the
// remote project through brevan's router; the robot's state comes back on
// discrete inputs.
#include <modbus/modbus.h>
#include <sys/shm.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "install_paths.h"
#include "log_reader/log_queue_reader.h"
#include "orphan_reaper.h"
#include "support/brevan_rig.h"
#include "support/data_server_host.h"
#include "../../sim/plc_host/host_records.h"
#include "svr/support/modbus_master.h"
#include "svr/support/queue_client.h"

namespace zelor::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kArgsFile = "/tmp/remote_lua_args.txt";
constexpr const char* kProjectName = "remfix";

std::string buildDir() { return fs::path(built::kPlcHost).parent_path().parent_path().string(); }

// The remote project, the start script that records its arguments and then
// keeps running, and the remote-control settings naming the project.
void writeFixtures(const fs::path& project, const char* mode) {
  fs::create_directories(project);
  std::ofstream(project / "prj.json")
      << R"({"cpus": ["src0.lua"], "global": "global.lua", "teach_point": "point"})";
  for (const char* f : {"src0.lua", "global.lua", "point.lua"}) std::ofstream(project / f) << "-- fixture\n";
  fs::create_directories(zelor::paths::kLuaDir);
  std::ofstream(std::string(zelor::paths::kLuaDir) + "/zelor.lua")
      << "local f = io.open(\"" << kArgsFile << "\", \"a\")\n"
      << "for i = 1, #arg do f:write(arg[i], \"\\n\") end\n"
      << "f:close()\n"
      << "while true do os.execute(\"sleep 0.05\") end\n";
  const std::string function = std::string(zelor::paths::kProjectDir) + "/settings/function/";
  std::ofstream(function + "remoteControl.json", std::ios::trunc)
      << R"({"name": ")" << kProjectName << R"(", "mode": ")" << mode << R"("})";
}

int inputBit(ModbusMaster& master, int index) {
  std::uint8_t bit = 0xFF;
  return modbus_read_input_bits(master.ctx(), index, 1, &bit) == 1 ? bit : -1;
}

bool setCoil(ModbusMaster& master, int index, int value) {
  return modbus_write_bit(master.ctx(), index, value) == 1;
}

// Lines of the remote control's log channel, drained as they come so that
// the queue never fills.
class RemoteLog {
 public:
  RemoteLog() : drainer_([this] {
    while (!stop_) {
      std::vector<std::string> fresh = zelor::sim::drainLogChannel(15);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::string& line : fresh) lines_.push_back(std::move(line));
      }
      usleep(2000);
    }
  }) {}
  ~RemoteLog() {
    stop_ = true;
    drainer_.join();
  }
  int count(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const std::string& line : lines_) n += line.find(text) != std::string::npos ? 1 : 0;
    return n;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::atomic<bool> stop_{false};
  std::thread drainer_;
};

int countStarts() {
  const std::string args = readFile(kArgsFile);
  int n = 0;
  for (std::size_t at = args.find("point.lua"); at != std::string::npos; at = args.find("point.lua", at + 1)) ++n;
  return n;
}

TEST(RemoteControlE2E, ModbusCoilsStartRefuseAndStopTheRemoteProject) {
  OrphanReaper reaper;
  const ProcessResult install = runProcess({std::string(built::kSourceDir) + "/scripts/install-root.sh", buildDir()},
                                           {}, 60s);
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
  const fs::path project = fs::path(zelor::paths::kProjectDir) / "project" / kProjectName;
  writeFixtures(project, "modbus");

  RemoteLog log;
  DataServerHost host;
  ASSERT_TRUE(host.started()) << host.diagnostics();
  Brevan brevan;
  ASSERT_TRUE(brevan.waitForPorts(30s)) << brevan.originalStdout();
  ModbusMaster master(20s);
  ASSERT_TRUE(master.connected());

  robotMap& map = robotMap::instance();
  ASSERT_TRUE(waitFor([&] { return map.loadWord(robot_map::kRemoteMode) == 2; }, 20s)) << host.diagnostics();
  map.storeWord(robot_map::kSafeRun, 1);

  // Disabled: not ready.
  ASSERT_TRUE(waitFor([&] { return map.loadWord(robot_map::kIsDisabled) != 0; }, 20s));
  EXPECT_TRUE(waitFor([&] { return inputBit(master, 1) == 0; }, 5s)) << "ready while disabled";

  // Coil 0 rising: enable, name the project, start it.
  ASSERT_TRUE(setCoil(master, 0, 1));
  ASSERT_TRUE(waitFor([] { return countStarts() == 1; }, 30s)) << readFile(kArgsFile) << host.diagnostics();
  EXPECT_EQ(map.loadWord(robot_map::kIsDisabled), 0) << "the start enabled the robot";
  EXPECT_TRUE(waitFor([&] { return log.count("request run script remfix ... done") == 1; }, 5s));
  EXPECT_EQ(readFile(kArgsFile).rfind("null\n", 0), 0u) << readFile(kArgsFile);
  EXPECT_NE(readFile(kArgsFile).find(project.string() + "/src0.lua"), std::string::npos) << readFile(kArgsFile);
  EXPECT_TRUE(waitFor([&] {
    return map.loadWord(robot_map::kUpdateNameRequest) == 0 && map.loadWord(robot_map::kRunRequest) == 0;
  }, 5s)) << "the executor carried out both requests";
  EXPECT_TRUE(waitFor([&] { return inputBit(master, 3) == 1 && inputBit(master, 1) == 0; }, 5s))
      << "running, not ready";

  // Holding the coil starts nothing more; a new rise while running is refused.
  usleep(300000);
  EXPECT_EQ(countStarts(), 1);
  ASSERT_EQ(map.loadWord(robot_map::kScriptStatus), 1);
  ASSERT_TRUE(setCoil(master, 0, 0));
  usleep(100000);
  ASSERT_TRUE(setCoil(master, 0, 1));
  EXPECT_TRUE(waitFor([&] { return log.count(",but script status is running") == 1; }, 5s));
  EXPECT_EQ(map.loadWord(robot_map::kUpdateNameRequest), 0);
  EXPECT_EQ(countStarts(), 1);

  // Coil 3 rising stops the script.
  ASSERT_TRUE(setCoil(master, 3, 1));
  EXPECT_TRUE(waitFor([&] { return map.loadWord(robot_map::kScriptStatus) == 0; }, 10s)) << host.diagnostics();
  EXPECT_TRUE(waitFor([&] { return inputBit(master, 3) == 0; }, 5s)) << "no longer running";

  // Not safe to run: a start edge is refused and sends nothing.
  map.storeWord(robot_map::kSafeRun, 0);
  ASSERT_TRUE(setCoil(master, 0, 0));
  usleep(100000);
  const int enables = log.count("need to enable robot");
  const int starts = log.count(" request to start script ...... ");
  ASSERT_TRUE(setCoil(master, 0, 1));
  EXPECT_TRUE(waitFor([&] { return log.count("cant not start script, isSafeRun:0, isSafeSuspend:0") == 1; }, 5s));
  usleep(200000);
  EXPECT_EQ(log.count(" request to start script ...... "), starts) << "the refused start went no further";
  EXPECT_EQ(log.count("need to enable robot"), enables);
  EXPECT_EQ(map.loadWord(robot_map::kUpdateNameRequest), 0);
  EXPECT_EQ(countStarts(), 1);

  fs::remove_all(project);
  unlink(kArgsFile);
}

// The stand-in host's records (its DI and DO images).
zelor::sim::PlcHostRecords* hostRecords() {
  const int id = shmget(0x5A30, sizeof(zelor::sim::PlcHostRecords), 0);
  void* p = id >= 0 ? shmat(id, nullptr, 0) : reinterpret_cast<void*>(-1);
  return p == reinterpret_cast<void*>(-1) ? nullptr : static_cast<zelor::sim::PlcHostRecords*>(p);
}

TEST(RemoteControlE2E, DigitalInputStartsAndTheRemoteOutputIsKeptUp) {
  OrphanReaper reaper;
  const ProcessResult install = runProcess({std::string(built::kSourceDir) + "/scripts/install-root.sh", buildDir()},
                                           {}, 60s);
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
  const fs::path project = fs::path(zelor::paths::kProjectDir) / "project" / kProjectName;
  writeFixtures(project, "io");
  std::ofstream(std::string(zelor::paths::kProjectDir) + "/settings/function/ioctrl.json", std::ios::trunc)
      << R"({"in": {"start_pin": 15}, "out": {"remotestatus": 16}})";

  DataServerHost host;
  ASSERT_TRUE(host.started()) << host.diagnostics();
  Brevan brevan;
  ASSERT_TRUE(brevan.waitForPorts(30s)) << brevan.originalStdout();
  zelor::sim::PlcHostRecords* records = hostRecords();
  ASSERT_NE(records, nullptr);
  robotMap& map = robotMap::instance();
  ASSERT_TRUE(waitFor([&] { return map.loadWord(robot_map::kRemoteMode) == 1; }, 20s)) << host.diagnostics();
  map.storeWord(robot_map::kSafeRun, 1);

  volatile std::uint8_t* di = records->di;
  volatile std::uint8_t* dout = records->dout;
  EXPECT_TRUE(waitFor([&] { return dout[15] == 1; }, 10s)) << "remote status on output 16";

  di[14] = 1;
  ASSERT_TRUE(waitFor([] { return countStarts() == 1; }, 30s)) << readFile(kArgsFile) << host.diagnostics();
  EXPECT_EQ(map.loadWord(robot_map::kIsDisabled), 0) << "the start enabled the robot";

  // Output 16 set to 0 by an immediate output command: the forced output
  // puts it back within a few periods.
  const std::uint8_t params[8] = {16, 0, 0, 0, 0, 0, 0, 0};
  const QueueReply reply = exchangeOverQueues(commandPacket(131, sizeof params, 1, params, sizeof params), 3000);
  ASSERT_TRUE(reply.got);
  bool sawZero = false;
  const bool back = waitFor([&] {
    sawZero = sawZero || dout[15] == 0;
    return sawZero && dout[15] == 1;
  }, 2s);
  EXPECT_TRUE(!sawZero || back) << "output 16 rewritten after the command";
  EXPECT_TRUE(waitFor([&] { return dout[15] == 1; }, 20ms + 80ms));

  shmdt(records);
  fs::remove_all(project);
  unlink(kArgsFile);
}

}  // namespace
}  // namespace zelor::test
