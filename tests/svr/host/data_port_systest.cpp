// The data port of the real libquillon with the real kernel in the PLC-runtime
// stand-in, as clients see it: curl on the HTTP server and a libmodbus
// master on the status slave.
#include <modbus/modbus.h>
#include <poll.h>
#include <sys/socket.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "wait_for.h"

#include "common/ipc/real_time_data.h"
#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/ipc/semlib.h"
#include "common/protocol/plc_status_record.h"
#include "install_paths.h"
#include "log_reader/log_queue_reader.h"
#include "plc_host/host_records.h"
#include "process.h"
#include "support/host_observers.h"
#include "support/http_client.h"
#include "support/modbus_master.h"
#include "support/plc_host_run.h"
#include "support/script_alarm.h"

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
    return records_.get();
  }

  int countLines(const std::string& text) { return lines_.count(text); }

  std::unique_ptr<zelor::test::ChildProcess> host_;
  zelor::test::HostRecordsView records_{kKeyValue};
  zelor::test::ChannelLines lines_{kChannel15};
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

// A connection that stops half-way through its request is closed after the
// port's 10 s time-out; the others are served meanwhile.
TEST_F(DataPort, AStalledRequestIsClosedAfterTheTimeOut) {
  start();
  const int stalled = zelor::test::connectLoopback(12345);
  ASSERT_GE(stalled, 0);
  const std::string part = "GET /properties/axis HTTP/1.1\r\nHost: x\r\n";
  ASSERT_EQ(send(stalled, part.data(), part.size(), MSG_NOSIGNAL), static_cast<ssize_t>(part.size()));
  const auto sentAt = std::chrono::steady_clock::now();
  EXPECT_EQ(curl("/properties/axis").status, 200) << "served beside the stalled one";
  bool closed = false;
  ASSERT_TRUE(pollUntil([&] {
    pollfd p{stalled, POLLIN, 0};
    if (poll(&p, 1, 0) != 1) return false;
    char buf[256];
    closed = recv(stalled, buf, sizeof buf, MSG_DONTWAIT) <= 0;
    return true;
  }, 30s)) << "never closed";
  const auto after = std::chrono::steady_clock::now() - sentAt;
  EXPECT_TRUE(closed);
  EXPECT_GE(after, 9s);
  close(stalled);
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

std::uint8_t* attachMemory(int id) {
  const int shmid = shmget(ftok(zelor::paths::kRoot, id), 4096, IPC_CREAT | 0666);
  void* at = shmid >= 0 ? shmat(shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
  return at == reinterpret_cast<void*>(-1) ? nullptr : static_cast<std::uint8_t*>(at);
}

double doubleAt(const std::uint16_t* registers) {
  double v = 0.0;
  std::memcpy(&v, registers, sizeof v);
  return v;
}

// The cyclic monitor on the host's record, through the stand-in's cycles.
TEST_F(DataPort, TheMonitorSignsTheHostRecordFollowsItsModesAndForwardsScriptAlarms) {
  start();
  AxesGroupRef& g = records().axesGroup;
  const auto word = [](std::uint32_t& w) { return std::atomic_ref<std::uint32_t>(w).load(); };
  EXPECT_EQ(word(g.m_Signature), 0xAB010001u);
  EXPECT_EQ(std::atomic_ref<std::int32_t>(g.m_LightCode).load(), 1);
  const double pair = 12.5;
  std::memcpy(g.m_JointPair, &pair, sizeof pair);
  std::uint8_t* pairs = attachMemory(996);
  ASSERT_NE(pairs, nullptr);
  EXPECT_TRUE(pollUntil([&] { return std::memcmp(pairs, &pair, sizeof pair) == 0; }, 2s));
  shmdt(pairs);

  // The completion waits for the hardware flag to be cleared.
  std::atomic_ref<std::uint32_t>(g.m_AppMode).store(2);
  EXPECT_TRUE(zelor::test::staysFalse([&] { return word(g.m_AppModeDone) != 0u; }, 300ms))
      << "completed with the hardware flag set";
  ASSERT_EQ(curl("/interface/hardware", {"-X", "POST", "-d", "{\"enable\": false}"}).status, 200);
  EXPECT_TRUE(pollUntil([&] { return word(g.m_AppModeDone) == 1; }, 2s));

  const auto logged = [&](const std::string& text) {
    return pollUntil([&] { return countLines(text) == 1; }, 2s);
  };
  std::atomic_ref<std::uint32_t>(g.m_AutoMode).store(2);
  EXPECT_TRUE(logged("monitor: controlType change to auto"));
  std::atomic_ref<std::uint32_t>(g.m_AutoMode).store(0);
  EXPECT_TRUE(logged("monitor: controlType change to manual"));
  std::atomic_ref<std::uint32_t>(g.m_EnableState).store(1);
  EXPECT_TRUE(logged("monitor: three position switch change to enable"));

  semlib_shm* shm = zelor::test::raiseScriptAlarm(4242);
  ASSERT_NE(shm, nullptr);
  EXPECT_TRUE(logged("GET ALARMS: alarm ID: 4242"));
  EXPECT_EQ(std::atomic_ref<std::uint8_t>(shm->alarmFlag).load(), 0);
  shmdt(shm);
  zelor::test::ModbusMaster master;
  ASSERT_TRUE(master.connected());
  std::uint16_t alarm = 0;
  std::uint16_t mode = 0;
  EXPECT_TRUE(pollUntil(
      [&] {
        return master.readInputs(0, 1, &alarm) && master.readInputs(1012, 1, &mode) && alarm == 4242 && mode == 9;
      },
      15s))
      << alarm << " " << mode;
  master.disconnect();
  EXPECT_EQ(stop(), 0);
}

// Servo and payload requests of memory 67, carried out by the 200 ms tick; the
// payload reaches the record's Load and centre registers.
TEST_F(DataPort, PayloadAndServoRequestsReachTheLoadRegisters) {
  start();
  zelor::test::ModbusMaster master;
  ASSERT_TRUE(master.connected());
  std::uint16_t test[4] = {};
  ASSERT_TRUE(pollUntil(
      [&] {
        countLines("");  // the log queue holds a few lines only
        std::uint64_t value = 0;
        if (!master.readInputs(1024, 4, test)) return false;
        std::memcpy(&value, test, sizeof value);
        return value == kRealTimeTestValue;
      },
      20s));
  std::uint16_t load[16] = {};  // Load, CenterX, CenterY, CenterZ
  ASSERT_TRUE(master.readInputs(1584, 16, load));
  const double centreZ = doubleAt(load + 12);
  const double loadBefore = doubleAt(load);

  std::uint8_t* request = attachMemory(67);
  ASSERT_NE(request, nullptr);
  const auto post = [&](std::int32_t index, float v8, float v12, float v16, float mass) {
    std::memset(request, 0, 28);
    std::memcpy(request, &index, 4);
    std::memcpy(request + 8, &v8, 4);
    std::memcpy(request + 12, &v12, 4);
    std::memcpy(request + 16, &v16, 4);
    std::memcpy(request + 20, &mass, 4);
    std::atomic_ref<std::uint8_t>(request[4]).store(1);
    return pollUntil(
        [&] {
          countLines("");
          return std::atomic_ref<std::uint8_t>(request[4]).load() == 0;
        },
        2s);
  };
  // A servo request: the level is logged, the payload stays.
  ASSERT_TRUE(post(3, 0, 0, 0, 0));
  EXPECT_TRUE(pollUntil([&] { return countLines("driver level 3") == 1; }, 2s));
  EXPECT_TRUE(zelor::test::staysFalse(
      [&] { return !master.readInputs(1584, 16, load) || doubleAt(load) != loadBefore; }, 500ms, 20ms))
      << "the payload changed";

  ASSERT_TRUE(post(0, 10.0f, 20.0f, 30.0f, 2.5f));
  EXPECT_TRUE(pollUntil(
      [&] { return master.readInputs(1584, 16, load) && doubleAt(load) == 2.5; }, 5s));
  EXPECT_EQ(doubleAt(load + 4), 10.0);
  EXPECT_EQ(doubleAt(load + 8), 20.0);
  EXPECT_EQ(doubleAt(load + 12), centreZ);

  // Refused: out of range, or not finite; the flag is cleared all the same.
  ASSERT_TRUE(post(0, 1.0f, 1.0f, 1.0f, 25.0f));
  ASSERT_TRUE(post(0, 1.0f, std::numeric_limits<float>::quiet_NaN(), 1.0f, 1.0f));
  EXPECT_TRUE(pollUntil([&] { return countLines("servo/payload request refused") == 2; }, 2s));
  EXPECT_TRUE(zelor::test::staysFalse(
      [&] { return !master.readInputs(1584, 16, load) || doubleAt(load) != 2.5; }, 500ms, 20ms))
      << "a refused request changed the payload";
  EXPECT_EQ(doubleAt(load + 8), 20.0);
  shmdt(request);
  master.disconnect();
  EXPECT_EQ(stop(), 0);
}

}  // namespace
