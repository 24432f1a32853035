// The data server started and stopped in the PLC-runtime stand-in again and
// again, with clients on every port it listens on: every stop ends cleanly
// (no sanitizer report, exit 0) and the clients leave no thread behind.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "process.h"
#include "support/http_client.h"
#include "support/modbus_master.h"
#include "wait_for.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kLog = "/tmp/quillon_clean_stop.log";
constexpr const char* kErr = "/tmp/plc_host_clean_stop.err";
constexpr const char* kSanitizerLogs = "/tmp/clean_stop_sanitizer";
constexpr int kDataPort = 12345;
constexpr int kRounds = 6;

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The TCP ports listened on in this network namespace.
std::set<int> listeningPorts() {
  std::set<int> ports;
  std::ifstream in("/proc/net/tcp");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    if (state != "0A" || local.size() < 5) continue;
    ports.insert(std::stoi(local.substr(local.size() - 4), nullptr, 16));
  }
  return ports;
}

// Sanitizer reports of the children go to files of their own here.
std::string reports() {
  std::string all;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(kSanitizerLogs, ignored)) {
    all += readFile(entry.path().string());
  }
  return all;
}

class CleanStop : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(kSanitizerLogs);
    std::filesystem::create_directories(kSanitizerLogs);
    const char* old = std::getenv("ASAN_OPTIONS");
    savedAsan_ = old != nullptr ? old : "";
    hadAsan_ = old != nullptr;
    const std::string options =
        (savedAsan_.empty() ? "" : savedAsan_ + ":") + "log_path=" + std::string(kSanitizerLogs) + "/asan";
    setenv("ASAN_OPTIONS", options.c_str(), 1);
  }
  void TearDown() override {
    if (hadAsan_) {
      setenv("ASAN_OPTIONS", savedAsan_.c_str(), 1);
    } else {
      unsetenv("ASAN_OPTIONS");
    }
    std::filesystem::remove_all(kSanitizerLogs);
    unlink(kLog);
    unlink(kErr);
  }

 private:
  std::string savedAsan_;
  bool hadAsan_ = false;
};

TEST_P(CleanStop, DataServerInTheHostStopsWithEveryThreadJoined) {
  const std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + std::string(kErr),
                                         zelor::test::built::kPlcHost, "--key", "0x5A10", "--data-server",
                                         "--quillon", zelor::test::built::kQuillon, "--fifo-log", kLog,
                                         "--report-threads"};
  int baseline = -1;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    unlink(kLog);
    zelor::test::ChildProcess host(argv);
    ASSERT_TRUE(zelor::test::waitFor([] { return readFile(kLog).find("Quillon started") != std::string::npos; }, 30s))
        << readFile(kErr);
    ASSERT_TRUE(zelor::test::waitForHttp(kDataPort, "/properties/axis", 30000)) << readFile(kLog);
    std::unique_ptr<zelor::test::ModbusMaster> master;
    std::vector<int> clients;
    const std::set<int> ports = round == 0 ? std::set<int>{} : listeningPorts();
    if (round > 0) {
      master = std::make_unique<zelor::test::ModbusMaster>();
      ASSERT_TRUE(master->connected());
      std::uint16_t regs[4];
      EXPECT_EQ(modbus_read_input_registers(master->ctx(), 999, 4, regs), 4);
      EXPECT_TRUE(ports.count(kDataPort) == 1 && ports.count(502) == 1);
    }
    // One idle connection on every listening port beside the master.
    for (const int port : ports) {
      const int fd = zelor::test::connectLoopback(port);
      EXPECT_GE(fd, 0) << "port " << port;
      if (fd >= 0) clients.push_back(fd);
    }
    const int status = host.stop(SIGTERM, 20s);
    for (const int fd : clients) close(fd);
    ASSERT_TRUE(WIFEXITED(status)) << status << readFile(kErr);
    EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(kErr);
    const std::string err = readFile(kErr);
    const std::size_t at = err.find("plc host: threads at exit ");
    ASSERT_NE(at, std::string::npos) << err;
    const int threads = std::atoi(err.c_str() + at + std::strlen("plc host: threads at exit "));
    // Round 0 runs without clients: the threads that outlive the release
    // without them. Clients on every port leave none more behind.
    if (round == 0) {
      baseline = threads;
    } else {
      EXPECT_EQ(threads, baseline) << err;
    }
    const std::string reported = reports();
    ASSERT_TRUE(reported.empty()) << reported;
  }
}

// Four runs of a start without clients and five with them: twenty starts and
// stops with clients, each run within a test's time.
INSTANTIATE_TEST_SUITE_P(Runs, CleanStop, ::testing::Range(0, 4));

}  // namespace
