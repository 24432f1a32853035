// The real libquillon inside the PLC-runtime stand-in, driven through its
// entry points every 4 ms: the data server's start-up and release, its FIFO
// output in the host's log, the packet exchange from another process, the
// HTTP server of the data sub-process, and the mode flag files.
#include <signal.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "log_reader/log_queue_reader.h"
#include "process.h"
#include "support/http_client.h"
#include "support/queue_client.h"
#include "wait_for.h"

namespace {

using namespace std::chrono_literals;
using zelor::test::commandPacket;
using zelor::test::exchangeOverQueues;
using zelor::test::textCommand;
using zelor::test::u16At;

constexpr const char* kLog = "/tmp/quillon.log";
constexpr const char* kErr = "/tmp/plc_host.err";
constexpr const char* kTpMode = "/zelor/bin/MODE/TPMode";
constexpr const char* kPcMode = "/zelor/bin/MODE/PCMode";
constexpr int kChannel15 = 15;
constexpr int kDataPort = 12345;  // quillon_data_port of the installation

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool exists(const char* path) {
  struct stat st {};
  return stat(path, &st) == 0;
}

void touch(const char* path) { std::ofstream(path).put('\n'); }

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Every text found in order, each after the previous one.
::testing::AssertionResult inOrder(const std::string& text, const std::vector<std::string>& parts) {
  std::size_t at = 0;
  for (const std::string& part : parts) {
    const std::size_t found = text.find(part, at);
    if (found == std::string::npos) {
      return ::testing::AssertionFailure() << "\"" << part << "\" missing or out of order in:\n" << text;
    }
    at = found + part.size();
  }
  return ::testing::AssertionSuccess();
}

template <typename F>
bool waitUntil(F done, std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

std::vector<std::string> hostCommand(const std::vector<std::string>& extra) {
  std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + std::string(kErr),
                                   zelor::test::built::kPlcHost, "--key", "0x5A10", "--data-server", "--quillon",
                                   zelor::test::built::kQuillon, "--fifo-log", kLog};
  argv.insert(argv.end(), extra.begin(), extra.end());
  return argv;
}

// The host cycling in data-server mode until stopped.
class DataServerHost : public ::testing::Test {
 protected:
  void TearDown() override {
    unlink(kLog);
    unlink(kErr);
    unlink(kTpMode);
    unlink(kPcMode);
  }

  void start(const std::vector<std::string>& extra = {}) {
    host_ = std::make_unique<zelor::test::ChildProcess>(hostCommand(extra));
    ASSERT_TRUE(waitUntil([] { return readFile(kLog).find("Quillon started") != std::string::npos; }, 20s))
        << readFile(kErr) << readFile(kLog);
  }

  // SIGTERM: release, exit 0.
  void stop() {
    const int status = host_->stop(SIGTERM, 15s);
    ASSERT_TRUE(WIFEXITED(status)) << status << readFile(kErr);
    EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(kErr);
  }

  std::unique_ptr<zelor::test::ChildProcess> host_;
};

TEST_F(DataServerHost, StartUpLinesAndTheDataSubProcessOnEveryTenthCall) {
  const auto r = zelor::test::runProcess(hostCommand({"--cycles", "25"}), {}, 30s);
  ASSERT_EQ(r.exitCode, 0) << readFile(kErr);
  const std::string log = readFile(kLog);
  EXPECT_TRUE(inOrder(log, {"codesys control fd = ", "### readSetting: ", "Quillon starting...",
                            "Quillon starting core...", "Quillon starting data...", "Quillon starting lua...",
                            "Quillon starting debug...", "Quillon started"}));
  // Calls 1, 11 and 21 reach the data sub-process, which exists.
  EXPECT_EQ(count(log, "Can't find ISubProcess:2"), 0) << log;
  EXPECT_TRUE(inOrder(log, {"Quillon started", "Quillon stopping...", "Quillon stopping client...",
                            "Quillon stopping lua...", "Quillon stopping data...", "Quillon stopping debug...",
                            "Quillon stopping core...", "Quillon stopped"}));
  const std::string err = readFile(kErr);
  // The data sub-process's start loaded the E-stop values; they were written.
  EXPECT_NE(err.find("RTSCreateParameter returned 1"), std::string::npos) << err;
  EXPECT_NE(err.find("cycles 25 overruns"), std::string::npos) << err;
  EXPECT_NE(err.find("RTSStartRobot calls 25 p50"), std::string::npos) << err;
  EXPECT_EQ(log.find("change this stream to fifo"), std::string::npos) << "printed before the FIFO took over";
}

TEST_F(DataServerHost, PacketsFromAnotherProcessReachTheCyclingKernel) {
  start();
  ASSERT_TRUE(zelor::test::waitForHttp(kDataPort, "/properties/axis", 30000)) << readFile(kLog);
  // Not for the text parser: the kernel, which has its parameters from the
  // data sub-process, answers it within a few cycles.
  const auto echo = exchangeOverQueues(commandPacket(10, 0, 0), 4000);
  ASSERT_TRUE(echo.got);
  EXPECT_EQ(echo.mtype, 1);
  EXPECT_LT(echo.ms, 100.0);
  EXPECT_EQ(u16At(echo.body + 4), 10);

  struct TextCase {
    const char* request;
    const char* reply;
  };
  for (const TextCase& c : {TextCase{"Hello", "unknow cmd"}, TextCase{"Hello()", "error"},
                            TextCase{"PositiveSolution()", ""}, TextCase{"a)b(c", "error"}}) {
    const auto request = textCommand(c.request);
    const auto reply = exchangeOverQueues(request, 1000);
    ASSERT_TRUE(reply.got) << c.request;
    EXPECT_LT(reply.ms, 500.0) << c.request;
    EXPECT_EQ(std::memcmp(reply.body, request.data(), 7), 0) << c.request;
    EXPECT_STREQ(reinterpret_cast<const char*>(reply.body + 7), c.reply) << c.request;
  }

  // More parameters than a packet holds: answered at once, length raised by 2.
  for (const std::uint16_t length : {std::uint16_t{4096}, std::uint16_t{0xFFFF}}) {
    const auto reply = exchangeOverQueues(commandPacket(80, length, 0), 1000);
    ASSERT_TRUE(reply.got) << length;
    EXPECT_LT(reply.ms, 500.0) << length;
    EXPECT_EQ(u16At(reply.body + 2), static_cast<std::uint16_t>(length + 2));
    EXPECT_EQ(u16At(reply.body + 4), 80);
  }

  // A message longer than the body is dropped with one error line; the road
  // stays open.
  zelor::sim::drainLogChannel(kChannel15);
  const auto oversized = exchangeOverQueues(std::vector<std::uint8_t>(8000, 0xAA), 500);
  EXPECT_FALSE(oversized.got);
  const auto after = exchangeOverQueues(textCommand("Hello"), 1000);
  ASSERT_TRUE(after.got);
  EXPECT_STREQ(reinterpret_cast<const char*>(after.body + 7), "unknow cmd");
  int errors = 0;
  for (const std::string& line : zelor::sim::drainLogChannel(kChannel15)) {
    errors += line.find("found an error") != std::string::npos ? 1 : 0;
  }
  EXPECT_EQ(errors, 1);

  // The request queue removed under the thread: it opens a new one.
  const int requests = msgget(ftok("/root/", 102), 0);
  ASSERT_GE(requests, 0);
  ASSERT_EQ(msgctl(requests, IPC_RMID, nullptr), 0);
  // Until the thread has made its new queue, a request finds none.
  zelor::test::QueueReply reopened;
  ASSERT_TRUE(waitUntil([&] {
    if (msgget(ftok("/root/", 102), 0) < 0) return false;
    reopened = exchangeOverQueues(textCommand("Hello()"), 2000);
    return reopened.got;
  }, 5s));
  EXPECT_STREQ(reinterpret_cast<const char*>(reopened.body + 7), "error");
  errors = 0;
  for (const std::string& line : zelor::sim::drainLogChannel(kChannel15)) {
    errors += line.find("found an error") != std::string::npos ? 1 : 0;
  }
  EXPECT_GE(errors, 1);
  EXPECT_LE(errors, 5);

  stop();
  EXPECT_NE(readFile(kErr).find("RTSStartRobot calls"), std::string::npos);
}

TEST_F(DataServerHost, TeachPendantModeFlagFiles) {
  touch(kPcMode);
  start();
  ASSERT_TRUE(waitUntil([] { return exists(kTpMode) && !exists(kPcMode); }, 2s));
  // Created once: a PC-mode file made afterwards stays.
  touch(kPcMode);
  EXPECT_TRUE(zelor::test::staysFalse([] { return !exists(kPcMode); }, 200ms)) << "removed";
  stop();
}

TEST_F(DataServerHost, WithTheTeachPendantFileAtStartEveryCallRemovesThePcModeFile) {
  touch(kTpMode);
  start();
  for (int round = 0; round < 2; ++round) {
    touch(kPcMode);
    EXPECT_TRUE(waitUntil([] { return !exists(kPcMode); }, 1s)) << "round " << round;
  }
  stop();
}

TEST_F(DataServerHost, PcModeWordTouchesNoFile) {
  touch(kPcMode);
  const auto r = zelor::test::runProcess(hostCommand({"--cycles", "25", "--pc-mode"}), {}, 30s);
  ASSERT_EQ(r.exitCode, 0) << readFile(kErr);
  EXPECT_TRUE(exists(kPcMode));
  EXPECT_FALSE(exists(kTpMode));
}

TEST_F(DataServerHost, CollisionSettingReachesTheKernelsSwitch) {
  const std::string file = "/zelor/userdata/project/settings/function/collisionDect.json";
  const std::string original = readFile(file);
  for (const bool on : {true, false}) {
    std::ofstream(file) << "{\"value\": " << (on ? "true" : "false") << ", \"mode\": 0, \"level\": 1}\n";
    const auto r =
        zelor::test::runProcess(hostCommand({"--cycles", "3", "--project", "--collision-flag"}), {}, 30s);
    ASSERT_EQ(r.exitCode, 0) << readFile(kErr);
    EXPECT_NE(readFile(kErr).find(std::string("gIsCollisionDect ") + (on ? "1" : "0")), std::string::npos)
        << readFile(kErr);
  }
  std::ofstream(file) << original;
}

TEST_F(DataServerHost, ReleaseStopsTheSubProcessesButNotThePacketExchange) {
  start({"--linger-ms", "4000"});
  kill(host_->pid(), SIGTERM);
  ASSERT_TRUE(waitUntil([] { return readFile(kLog).find("Quillon stopped") != std::string::npos; }, 5s));
  // The kernel no longer cycles; the exchange still answers, at the latest
  // after the mailbox's 2 s.
  const auto echo = exchangeOverQueues(commandPacket(10, 0, 0), 4000);
  ASSERT_TRUE(echo.got);
  EXPECT_LT(echo.ms, 2300.0);
  EXPECT_EQ(u16At(echo.body + 4), 10);
  stop();
  const auto left = zelor::test::runProcess({"/bin/sh", "-c", "pgrep -x zelor-plc-host || true"});
  EXPECT_EQ(left.out, "") << "left running";
}

TEST_F(DataServerHost, HoldWaitsForTheReleaseSignalAndStopEndsTheHold) {
  host_ = std::make_unique<zelor::test::ChildProcess>(hostCommand({"--hold"}));
  ASSERT_TRUE(waitUntil([] { return readFile(kErr).find("holding") != std::string::npos; }, 20s)) << readFile(kErr);
  // No cycle while held: the HTTP server leaves requests unanswered.
  EXPECT_FALSE(zelor::test::httpRequest(kDataPort, "GET", "/properties/axis", "", 1000).answered);
  kill(host_->pid(), SIGUSR1);
  const auto r = zelor::test::httpRequest(kDataPort, "GET", "/properties/axis", "", 3000);
  EXPECT_TRUE(r.answered);
  EXPECT_EQ(r.status, 200);
  stop();
}

TEST_F(DataServerHost, ReleaseDuringTheHoldEndsQuickly) {
  host_ = std::make_unique<zelor::test::ChildProcess>(hostCommand({"--hold"}));
  ASSERT_TRUE(waitUntil([] { return readFile(kErr).find("holding") != std::string::npos; }, 20s)) << readFile(kErr);
  // The event loop is still offering the kernel its collision thresholds.
  std::this_thread::sleep_for(500ms);
  const auto started = std::chrono::steady_clock::now();
  const int status = host_->stop(SIGTERM, 15s);
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_TRUE(WIFEXITED(status)) << status << readFile(kErr);
  EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(kErr);
  EXPECT_LT(took, 5s);
}

TEST(DataServerHostOptions, DataServerModeNeedsItsLogFileAndAMissingLibraryIsAStartError) {
  auto r = zelor::test::runProcess({zelor::test::built::kPlcHost, "--key", "0x5A11", "--data-server"}, {}, 20s);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("--fifo-log is required"), std::string::npos) << r.err;
  r = zelor::test::runProcess({zelor::test::built::kPlcHost, "--key", "0x5A11", "--quillon", "/tmp/no-libquillon.so",
                               "--fifo-log", kLog},
                              {}, 20s);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot load /tmp/no-libquillon.so"), std::string::npos) << r.err;
  unlink(kLog);
}

}  // namespace
