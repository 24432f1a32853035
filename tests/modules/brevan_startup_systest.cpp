// brevan's start-up: its FIFO console, the CPU-temperature file, the module
// controller's log lines and its word in the status memory.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "data_server_peer/data_server_peer.h"
#include "install_paths.h"
#include "log_reader/log_queue_reader.h"
#include "support/brevan_rig.h"

namespace zelor::test {
namespace {

constexpr const char* kThermalZone = "/sys/class/thermal/thermal_zone0/temp";

bool isFifo(const char* path) {
  struct stat st{};
  return stat(path, &st) == 0 && S_ISFIFO(st.st_mode);
}

std::string cpuTemp() { return readFile(std::string(zelor::paths::kProjectDir) + "/cputemp"); }

TEST(BrevanStartup, MakesTheFifoItsConsoleAndServesWithNobodyReading) {
  ASSERT_FALSE(isFifo(zelor::paths::kFifoBrevan));
  Brevan brevan;
  ASSERT_TRUE(brevan.waitForPorts());
  ASSERT_TRUE(waitFor([&] { return brevan.originalStdout().find("this is Brevanor!\n") != std::string::npos; }, 2s))
      << "original stdout: " << brevan.originalStdout();
  EXPECT_TRUE(isFifo(zelor::paths::kFifoBrevan));
  EXPECT_EQ(brevan.originalStdout().find("[TCPServer_TCPIP"), std::string::npos) << "console lines past the FIFO's opening";

  // Fill the FIFO to the brim: from now on brevan's console lines are lost.
  const int writer = open(zelor::paths::kFifoBrevan, O_WRONLY | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  const std::string filler(4096, '.');
  while (write(writer, filler.data(), filler.size()) > 0) {
  }
  close(writer);

  zelor::sim::DataServerPeer peer;
  peer.setControlMode("tcp");
  peer.start();
  {
    Client client(29999);
    EXPECT_EQ(client.exchange("Foo()", "-10000,{},Foo();"), "-10000,{},Foo();") << "blocked on its full console";
  }

  // A reader that comes later sees later lines, such as the next accept line.
  const int reader = open(zelor::paths::kFifoBrevan, O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  std::string console;
  auto drain = [&] {
    char buf[65536];
    ssize_t n;
    while ((n = read(reader, buf, sizeof buf)) > 0) console.append(buf, static_cast<std::size_t>(n));
  };
  drain();
  console.clear();
  auto next = acceptedClient(29999, 3s);
  ASSERT_TRUE(next);
  const std::string acceptLine =
      "port:29999 accepted connection from ip:127.0.0.1 port:" + std::to_string(next->localPort());
  EXPECT_TRUE(waitFor(
      [&] {
        drain();
        return console.find(acceptLine) != std::string::npos;
      },
      2s))
      << "console after the drain: " << console;
  close(reader);
}

TEST(BrevanStartup, ReusesAFifoThatIsAlreadyThere) {
  ASSERT_EQ(mkfifo(zelor::paths::kFifoBrevan, 0600), 0);
  struct stat before{};
  ASSERT_EQ(stat(zelor::paths::kFifoBrevan, &before), 0);
  Brevan brevan;
  ASSERT_TRUE(brevan.waitForPorts());
  struct stat after{};
  ASSERT_EQ(stat(zelor::paths::kFifoBrevan, &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 0777, 0600u);
}

TEST(BrevanStartup, PublishesTheCpuTemperatureEverySecond) {
  Brevan brevan;
  // The first value comes once brevan has started, which takes seconds on a loaded machine.
  EXPECT_TRUE(waitFor([] { return cpuTemp() == "45000"; }, 10s)) << "cputemp: " << cpuTemp();
  struct Step {
    const char* zone;  // null: no thermal zone
    const char* published;
  };
  for (const Step& step : {Step{nullptr, "0"}, Step{"42000\n", "42000"}, Step{"garbage\n", "0"},
                           Step{"-5000\n", "-5000"}}) {
    SCOPED_TRACE(step.published);
    if (step.zone) {
      std::FILE* zone = std::fopen(kThermalZone, "w");
      ASSERT_NE(zone, nullptr);
      std::fputs(step.zone, zone);
      std::fclose(zone);
    } else {
      ASSERT_EQ(unlink(kThermalZone), 0);
    }
    EXPECT_TRUE(waitFor([&] { return cpuTemp() == step.published; }, 2s)) << "cputemp: " << cpuTemp();
  }
  EXPECT_TRUE(std::filesystem::exists(brevan.workingDir() + "/temp.txt")) << "temp.txt not in the working directory";
}

// A listening socket on every interface's port, closed with the object.
class PortTaken {
 public:
  explicit PortTaken(int port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    taken_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(fd_, 1) == 0;
  }
  ~PortTaken() {
    if (fd_ >= 0) close(fd_);
  }
  bool taken() const { return taken_; }

 private:
  int fd_;
  bool taken_ = false;
};

// LoadAll ends only when the app-protocol port cannot be served.
TEST(BrevanStartup, LoadAllLogsItsStepsAndCreatesTheStatusMemoryWhenAbsent) {
  PortTaken port6000(6000);
  ASSERT_TRUE(port6000.taken());
  ChannelRecorder channel15(15);
  Brevan brevan;
  const std::vector<std::string> expected = {"ModuleController::LoadAll start!", "begin to start caller.....",
                                             "状态:2", "ModuleController::LoadAll end!"};
  ASSERT_TRUE(channel15.waitForLine(expected.back(), 10s));
  std::size_t found = 0;
  for (const std::string& line : channel15.lines()) {
    if (found < expected.size() && line.find(expected[found]) != std::string::npos) ++found;
  }
  std::string seen;
  for (const std::string& line : channel15.lines()) seen += line + "\n";
  EXPECT_EQ(found, expected.size()) << "missing or out of order: " << expected[std::min(found, expected.size() - 1)]
                                    << "\nchannel 15:\n" << seen;

  // brevan made the memory; the peer attached after it finds the magic and
  // clears nothing.
  zelor::sim::DataServerPeer peer;
  EXPECT_EQ(robotMap::instance().loadWord(robot_map::kControlType), 2);
  peer.setControlMode("tcp");
  peer.start();
  ASSERT_TRUE(brevan.waitForPorts());
  Client client(30003);
  EXPECT_EQ(client.exchange("ServoP()", "-1,{},ServoP();"), "-1,{},ServoP();");
}

TEST(BrevanStartup, LoadAllServesTheAppProtocolPortForGood) {
  ChannelRecorder channel15(15);
  zelor::sim::DataServerPeer peer;
  peer.setControlMode("tcp");
  peer.start();
  Brevan brevan;
  ASSERT_TRUE(waitFor([] { return listening(6000); }, 15s)) << "port 6000 never listened";
  ASSERT_TRUE(brevan.waitForPorts());
  EXPECT_FALSE(channel15.waitForLine("ModuleController::LoadAll end!", 2s));
  EXPECT_FALSE(channel15.waitForLine("状态:", 0ms));
  EXPECT_EQ(robotMap::instance().loadWord(robot_map::kControlType), 0);
  Client client(29999);
  EXPECT_EQ(client.exchange("Foo()", "-10000,{},Foo();"), "-10000,{},Foo();");
}

}  // namespace
}  // namespace zelor::test
