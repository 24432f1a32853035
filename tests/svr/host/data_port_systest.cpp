// The data port of the real libquillon with the real kernel in the PLC-runtime
// stand-in, as clients see it: curl on the HTTP server and a libmodbus
// master on the status slave.
#include <modbus/modbus.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/real_time_data.h"
#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/protocol/plc_status_record.h"
#include "log_reader/log_queue_reader.h"
#include "plc_host/host_records.h"
#include "process.h"
#include "support/modbus_master.h"
#include "support/plc_host_run.h"

namespace {

using namespace std::chrono_literals;
using zelor::test::kHostErr;
using zelor::test::kHostFifoLog;
using zelor::test::pollUntil;
using zelor::test::readWholeFile;

constexpr const char* kKey = "0x5A30";
constexpr key_t kKeyValue = 0x5A30;
constexpr int kChannel15 = 15;
const std::string kBase = "http://127.0.0.1:12345";

struct Curl {
  int exitCode = -1;
  int status = 0;       // 0: no status line
  std::string headers;  // with the status line
  std::string body;
};

// curl with the given arguments and URL path; headers and body apart.
Curl curl(const std::string& path, std::vector<std::string> args = {}, int maxTime = 2) {
  std::vector<std::string> argv = {"/usr/bin/curl", "-sS", "-i", "--max-time", std::to_string(maxTime)};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.push_back(kBase + path);
  const auto r = zelor::test::runProcess(argv, {}, 20s);
  Curl c;
  c.exitCode = r.exitCode;
  const std::size_t split = r.out.find("\r\n\r\n");
  c.headers = r.out.substr(0, split);
  if (split != std::string::npos) c.body = r.out.substr(split + 4);
  if (r.out.rfind("HTTP/1.1 ", 0) == 0) c.status = std::atoi(r.out.c_str() + 9);
  return c;
}

bool httpReady() { return curl("/properties/axis", {}, 1).status == 200; }

class DataPort : public ::testing::Test {
 protected:
  void TearDown() override {
    if (host_) host_->stop(SIGKILL, 5s);
    if (records_ != nullptr) shmdt(records_);
    unlink(kHostFifoLog);
    unlink(kHostErr);
    zelor::sim::drainLogChannel(kChannel15);
  }

  void launch(const std::vector<std::string>& extra = {}) {
    host_ = std::make_unique<zelor::test::ChildProcess>(zelor::test::dataServerHostCommand(kKey, extra));
  }
  void start() {
    launch();
    ASSERT_TRUE(pollUntil(httpReady, 30s)) << readWholeFile(kHostErr);
  }
  int stop() {
    const int status = host_->stop(SIGTERM, 15s);
    host_.reset();
    return status;
  }

  zelor::sim::PlcHostRecords& records() {
    if (records_ == nullptr) {
      const int id = shmget(kKeyValue, sizeof(zelor::sim::PlcHostRecords), 0);
      void* p = id >= 0 ? shmat(id, nullptr, 0) : reinterpret_cast<void*>(-1);
      if (p != reinterpret_cast<void*>(-1)) records_ = static_cast<zelor::sim::PlcHostRecords*>(p);
    }
    return *records_;
  }

  int countLines(const std::string& text) {
    for (std::string& l : zelor::sim::drainLogChannel(kChannel15)) lines_.push_back(std::move(l));
    int n = 0;
    for (const std::string& l : lines_) n += l.find(text) != std::string::npos ? 1 : 0;
    return n;
  }

  std::unique_ptr<zelor::test::ChildProcess> host_;
  zelor::sim::PlcHostRecords* records_ = nullptr;
  std::vector<std::string> lines_;
};

TEST_F(DataPort, RoutingAnswersThroughCurl) {
  start();
  struct Case {
    std::vector<std::string> args;
    const char* path;
    int status;
    const char* reason;  // of an error, in the status line
    const char* body;    // of a 200
  };
  const std::vector<std::string> post = {"-X", "POST", "-d", "{}"};
  const Case cases[] = {
      {{}, "/", 503, "Failed url", nullptr},
      {{}, "/x", 503, "Failed param", nullptr},
      {{}, "/settings", 503, "Failed param", nullptr},
      {{}, "/nosuch/x", 405, "Method type not found", nullptr},
      {{"--path-as-is"}, "//x", 405, "Method type not found", nullptr},
      {{}, "/settings/nosuch", 405, "Method not found", nullptr},
      {{}, "/properties/axis?x=1", 405, "Method not found", nullptr},
      {post, "/properties/axis", 200, nullptr, "{\"status\":false}"},
      {post, "/interface/updateFile", 200, nullptr, "{\"status\":true}"},
      {{}, "/debugger/stepOver", 200, nullptr, "{\"status\":true}"},
      {{}, "/connection/state", 200, nullptr, "{\"value\":\"connected\"}"},
  };
  for (const Case& c : cases) {
    const Curl r = curl(c.path, c.args);
    countLines("");  // the log queue holds a few lines only
    EXPECT_EQ(r.exitCode, 0) << c.path;
    EXPECT_EQ(r.status, c.status) << c.path << "\n" << r.headers;
    if (c.reason != nullptr) {
      EXPECT_NE(r.headers.find(std::to_string(c.status) + " " + c.reason), std::string::npos) << r.headers;
    }
    if (c.body != nullptr) {
      EXPECT_EQ(r.body, c.body) << c.path;
    }
  }
  const Curl axis = curl("/properties/axis");
  EXPECT_NE(axis.headers.find("Content-Type: application/json;charset=utf-8"), std::string::npos) << axis.headers;
  EXPECT_NE(axis.body.find("\"axis\""), std::string::npos);
  EXPECT_NE(axis.body.find("4"), std::string::npos);
  EXPECT_NE(curl("/properties/businessType").body.find("\"industry\""), std::string::npos);
  EXPECT_TRUE(pollUntil([&] { return countLines("uri : /properties/axis") > 0; }, 2s));
  EXPECT_EQ(countLines("uri : /connection/state"), 0);

  // Answered at once, before its handler; one reply only.
  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kScriptStatus, 0);
  const Curl run = curl("/debugger/run", {"-X", "POST", "-d", "{}"});
  EXPECT_EQ(run.status, 200);
  EXPECT_EQ(run.body, "{\"status\":true}");
  EXPECT_EQ(map.loadWord(robot_map::kScriptStatus), 1u);
  EXPECT_EQ(stop(), 0);
}

TEST_F(DataPort, FailedAndOversizedRequestsLeaveTheServerClean) {
  start();
  EXPECT_EQ(curl("/interface/hardware").status, 500);
  const Curl axis = curl("/properties/axis");
  EXPECT_EQ(axis.status, 200);
  EXPECT_EQ(axis.body.find("not support"), std::string::npos) << axis.body;
  EXPECT_EQ(axis.body.front(), '{') << axis.body;

  const std::string bodyFile = "/tmp/data_port_body";
  std::ofstream(bodyFile) << std::string(2 << 20, ' ');
  EXPECT_EQ(curl("/interface/hardware", {"-X", "POST", "--data-binary", "@" + bodyFile}).status, 413);
  std::ofstream(bodyFile, std::ios::trunc) << "{\"enable\":false,\"pad\":\"" << std::string(9000, 'x') << "\"}";
  EXPECT_EQ(curl("/interface/hardware", {"-X", "POST", "--data-binary", "@" + bodyFile}).status, 500);
  unlink(bodyFile.c_str());
  EXPECT_EQ(curl("/properties/axis").status, 200);
  EXPECT_EQ(stop(), 0);
}

TEST_F(DataPort, NoAnswerWhileTheHostHoldsItsCycles) {
  launch({"--hold"});
  ASSERT_TRUE(pollUntil([] { return readWholeFile(kHostErr).find("holding") != std::string::npos; }, 20s));
  const Curl held = curl("/properties/axis", {}, 1);
  EXPECT_EQ(held.exitCode, 28);
  EXPECT_EQ(held.status, 0);
  kill(host_->pid(), SIGUSR1);
  EXPECT_TRUE(pollUntil(httpReady, 10s));
  EXPECT_EQ(stop(), 0);
}

// The Modbus master sees the live record and the simulated arm's joints.
TEST_F(DataPort, ModbusMasterSeesTheLiveRecordAndTheJoints) {
  start();
  const auto connecting = std::chrono::steady_clock::now();
  zelor::test::ModbusMaster master;
  ASSERT_TRUE(master.connected());
  EXPECT_LT(std::chrono::steady_clock::now() - connecting, 1s);
  EXPECT_EQ(records().plcStatus[offsetof(PlcStatusRecord, runStatus)], 1);

  ASSERT_EQ(curl("/interface/hardware", {"-X", "POST", "-d", "{\"enable\": false}"}).status, 200);
  std::uint16_t test[4] = {};
  std::uint16_t mode = 0;
  const bool live = pollUntil(
      [&] {
        std::uint64_t value = 0;
        if (!master.readInputs(1024, 4, test) || !master.readInputs(1012, 1, &mode)) return false;
        std::memcpy(&value, test, sizeof value);
        // Not enabled: the data server's duty keeps the enable-off word at 1
        // while the kernel's hand-teach flag is set.
        return value == kRealTimeTestValue && mode == 4;
      },
      20s);
  EXPECT_TRUE(live) << "RobotMode " << mode;
  std::uint16_t joint[2] = {};
  ASSERT_TRUE(master.readInputs(202, 2, joint));
  float joint1 = 0.0f;
  std::memcpy(&joint1, joint, sizeof joint1);
  EXPECT_NEAR(joint1, static_cast<float>(records().axesGroup.m_Joints[0].m_ActPosition), 1e-3);
  master.disconnect();
  EXPECT_EQ(stop(), 0);
}

}  // namespace
