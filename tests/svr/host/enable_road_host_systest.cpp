// The enable road in the PLC-runtime stand-in: the real libquillon with the
// recording kernel in libvantrel's place. The test sets the remote-control
// words of the status memory as the control program would, the data
// server's 200 ms duty carries them out, and the kernel's log shows the
// packets.
#include <signal.h>
#include <sys/shm.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "log_reader/log_queue_reader.h"
#include "plc_host/host_records.h"
#include "process.h"
#include "recording_kernel/recording_kernel.h"
#include "support/http_client.h"
#include "support/host_observers.h"
#include "support/plc_host_run.h"

namespace {

using namespace std::chrono_literals;
namespace rec = zelor::sim::recording;

constexpr const char* kKey = "0x5A39";
constexpr key_t kKeyValue = 0x5A39;
constexpr int kChannel15 = 15;
constexpr int kDataPort = 12345;

// "id ctrl len hex" of every logged packet of these ids, in order.
std::vector<std::string> packetsOf(std::initializer_list<int> ids) {
  std::vector<std::string> out;
  for (const rec::LoggedPacket& p : rec::loggedPackets()) {
    for (int id : ids) {
      if (p.id == id) {
        out.push_back(std::to_string(p.id) + " " + std::to_string(p.ctrl) + " " + rec::hex(p.params));
      }
    }
  }
  return out;
}

std::string joined(const std::vector<std::string>& v) {
  std::string all;
  for (const std::string& s : v) all += "[" + s + "] ";
  return all;
}

// The expected packets appear in this order (others between them allowed).
::testing::AssertionResult inOrder(const std::vector<std::string>& packets, const std::vector<std::string>& expected) {
  std::size_t at = 0;
  for (const std::string& e : expected) {
    while (at < packets.size() && packets[at] != e) ++at;
    if (at == packets.size()) return ::testing::AssertionFailure() << "\"" << e << "\" missing in " << joined(packets);
    ++at;
  }
  return ::testing::AssertionSuccess();
}

class EnableRoadHost : public ::testing::Test {
 protected:
  void SetUp() override {
    rec::removeFiles();
    zelor::sim::drainLogChannel(kChannel15);
  }
  void TearDown() override {
    if (host_) host_->stop(SIGKILL, 5s);
    rec::removeFiles();
    unlink(zelor::test::kHostFifoLog);
    unlink(zelor::test::kHostErr);
  }

  void start(const std::string& control) {
    ASSERT_TRUE(rec::writeControl(control));
    host_ = std::make_unique<zelor::test::ChildProcess>(
        zelor::test::dataServerHostCommand(kKey, {"--vantrel", zelor::test::built::kRecordingKernel}));
    ASSERT_TRUE(zelor::test::waitForHttp(kDataPort, "/properties/axis", 30000))
        << zelor::test::readWholeFile(zelor::test::kHostErr);
  }

  AxesGroupRef& group() {
    return records_.get().axesGroup;
  }

  int countLines(const std::string& text) { return lines_.count(text); }

  // Polls a status word, draining the server's log meanwhile.
  bool wordBecomes(std::size_t offset, std::int32_t value, std::chrono::milliseconds limit) {
    return zelor::test::pollUntil(
        [&] {
          countLines("");
          return robotMap::instance().loadWord(offset) == value;
        },
        limit);
  }

  std::unique_ptr<zelor::test::ChildProcess> host_;
  zelor::test::HostRecordsView records_{kKeyValue};
  zelor::test::ChannelLines lines_{kChannel15};
};

}  // namespace

TEST_F(EnableRoadHost, EnableAndDisableRequestsReachTheKernelAndTheWordFollowsIt) {
  // Drives off; a 41 write sets what the reads answer.
  start("reply 41 r 01\nlatch 41\n");
  robotMap& map = robotMap::instance();
  ASSERT_TRUE(wordBecomes(robot_map::kIsDisabled, 1, 3s));

  map.storeWord(robot_map::kEnableRequest, 1);
  ASSERT_TRUE(wordBecomes(robot_map::kEnableRequest, 0, 5s));
  EXPECT_TRUE(wordBecomes(robot_map::kIsDisabled, 0, 2s));
  // The last read is the duty's, which may come just after the word changed.
  const std::vector<std::string> enableRoad = {"47 1 01", "41 0 -", "41 1 00", "41 0 -"};
  EXPECT_TRUE(zelor::test::pollUntil([&] { return bool(inOrder(packetsOf({41, 47}), enableRoad)); }, 2s))
      << inOrder(packetsOf({41, 47}), enableRoad).message();
  EXPECT_TRUE(zelor::test::pollUntil(
      [&] { return std::atomic_ref<std::uint32_t>(group().m_Signature).load() == 0xAB010002u; }, 2s));
  EXPECT_EQ(countLines(" isRequestEnable true"), 1);

  map.storeWord(robot_map::kDisableRequest, 1);
  ASSERT_TRUE(wordBecomes(robot_map::kDisableRequest, 0, 5s));
  EXPECT_TRUE(wordBecomes(robot_map::kIsDisabled, 1, 2s));
  EXPECT_TRUE(inOrder(packetsOf({41}), {"41 1 00", "41 1 01"}));
  EXPECT_EQ(countLines(" isRequestDisable true"), 1);

  // The word follows the kernel on every duty, whoever switched it.
  ASSERT_TRUE(rec::writeControl("reply 41 r 00\n"));
  EXPECT_TRUE(wordBecomes(robot_map::kIsDisabled, 0, 2s));
  ASSERT_TRUE(rec::writeControl("reply 41 r 01\n"));
  EXPECT_TRUE(wordBecomes(robot_map::kIsDisabled, 1, 2s));
}

TEST_F(EnableRoadHost, AnEnableTheDrivesNeverTakeLeavesTheRobotDisabled) {
  start("reply 41 r 01\nreply 41 w 01\n");
  robotMap& map = robotMap::instance();
  ASSERT_TRUE(wordBecomes(robot_map::kIsDisabled, 1, 3s));
  map.storeWord(robot_map::kEnableRequest, 1);
  ASSERT_TRUE(wordBecomes(robot_map::kEnableRequest, 0, 10s));
  // Never "enabled" in between: the request's end finds the word at 1.
  EXPECT_EQ(map.loadWord(robot_map::kIsDisabled), 1);
  EXPECT_TRUE(zelor::test::pollUntil([&] { return countLines("disable, wait for switch done ...") == 10; }, 2s))
      << countLines("disable, wait for switch done ...");
  const std::vector<std::string> writes = [] {
    std::vector<std::string> w;
    for (const std::string& p : packetsOf({41})) {
      if (p.rfind("41 1 ", 0) == 0) w.push_back(p);
    }
    return w;
  }();
  EXPECT_EQ(writes, (std::vector<std::string>{"41 1 00", "41 1 01"})) << joined(writes);
}
