// The real libquillon in the PLC-runtime stand-in with the recording kernel in
// libvantrel's place: the packets and the parameter block the data server
// hands the kernel, and its reactions to the kernel's alarm bytes, to the
// auxiliary axis and to collisions.
#include <signal.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "wait_for.h"

#include "built_paths.h"
#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/ipc/semlib.h"
#include "install_paths.h"
#include "log_reader/log_queue_reader.h"
#include "plc_host/host_records.h"
#include "process.h"
#include "recording_kernel/recording_kernel.h"
#include "support/host_observers.h"
#include "support/http_client.h"
#include "support/plc_host_run.h"
#include "support/queue_client.h"
#include "support/script_alarm.h"

namespace {

using namespace std::chrono_literals;
namespace rec = zelor::sim::recording;

constexpr const char* kLog = zelor::test::kHostFifoLog;
constexpr const char* kErr = zelor::test::kHostErr;
constexpr const char* kKey = "0x5A20";
constexpr key_t kKeyValue = 0x5A20;
constexpr int kChannel15 = 15;
constexpr int kDataPort = 12345;

std::string readFile(const std::string& path) { return zelor::test::readWholeFile(path); }

std::string projectFile(const std::string& relative) {
  return std::string(zelor::paths::kProjectDir) + "/" + relative;
}

template <typename F>
bool waitUntil(F done, std::chrono::milliseconds timeout) {
  return zelor::test::pollUntil(done, timeout);
}

template <typename T>
T at(const std::string& bytes, std::size_t offset) {
  T v{};
  if (offset + sizeof v <= bytes.size()) std::memcpy(&v, bytes.data() + offset, sizeof v);
  return v;
}

template <typename T>
std::vector<std::uint8_t> bytesOf(std::initializer_list<T> values) {
  std::vector<std::uint8_t> out;
  for (T v : values) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
    out.insert(out.end(), p, p + sizeof v);
  }
  return out;
}

template <typename T>
T param(const rec::LoggedPacket& p, std::size_t offset) {
  T v{};
  if (offset + sizeof v <= p.params.size()) std::memcpy(&v, p.params.data() + offset, sizeof v);
  return v;
}

// Project files changed by a test and put back afterwards.
class ProjectEdits {
 public:
  ~ProjectEdits() {
    for (const auto& [path, text] : saved_) std::ofstream(path, std::ios::trunc) << text;
  }
  void write(const std::string& relative, const std::string& text) {
    const std::string path = projectFile(relative);
    bool known = false;
    for (const auto& entry : saved_) known = known || entry.first == path;
    if (!known) saved_.emplace_back(path, readFile(path));
    std::ofstream(path, std::ios::trunc) << text;
  }
  // Replaces the first `count` occurrences of `from`.
  void replace(const std::string& relative, const std::string& from, const std::string& to, int count) {
    std::string text = readFile(projectFile(relative));
    for (int n = 0; n < count; ++n) {
      const std::size_t found = text.find(from);
      ASSERT_NE(found, std::string::npos) << from << " in " << relative;
      text.replace(found, from.size(), to);
    }
    write(relative, text);
  }

 private:
  std::vector<std::pair<std::string, std::string>> saved_;
};

class RecordingKernel : public ::testing::Test {
 protected:
  void SetUp() override {
    rec::removeFiles();
    zelor::sim::drainLogChannel(kChannel15);
  }
  void TearDown() override {
    if (host_) host_->stop(SIGKILL, 5s);
    rec::removeFiles();
    unlink(kLog);
    unlink(kErr);
  }

  void start() {
    host_ = std::make_unique<zelor::test::ChildProcess>(zelor::test::dataServerHostCommand(
        kKey, {"--vantrel", zelor::test::built::kRecordingKernel, "--collision-flag"}));
    ASSERT_TRUE(waitUntil([] { return readFile(kLog).find("Quillon started") != std::string::npos; }, 20s))
        << readFile(kErr) << readFile(kLog);
    ASSERT_TRUE(zelor::test::waitForHttp(kDataPort, "/properties/axis", 30000)) << readFile(kErr);
  }

  // SIGTERM: release, exit 0; the host's standard error.
  std::string stop() {
    const int status = host_->stop(SIGTERM, 15s);
    host_.reset();
    const std::string err = readFile(kErr);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << err;
    return err;
  }

  zelor::sim::PlcHostRecords& records() {
    return records_.get();
  }

  // Channel 15's lines so far, drained into the test's copy.
  int countLines(const std::string& text) { return lines_.count(text); }
  bool waitForLine(const std::string& text, std::chrono::milliseconds timeout) {
    return waitUntil([&] { return countLines(text) > 0; }, timeout);
  }
  // Holds while the 200 ms duty runs a few times: for what must not happen.
  bool staysTrue(const std::function<bool()>& holds) {
    return zelor::test::staysFalse([&] { return !holds(); }, 700ms, 20ms);
  }

  // The monitor past its hardware stop, in manual after an auto → manual
  // change, enabled.
  void setUpMonitor() {
    ASSERT_EQ(zelor::test::httpRequest(kDataPort, "POST", "/interface/hardware", "{\"enable\": false}").status, 200);
    AxesGroupRef& g = records().axesGroup;
    std::atomic_ref<std::uint32_t>(g.m_AutoMode).store(2);
    ASSERT_TRUE(waitForLine("monitor: controlType change to auto", 2s));
    std::atomic_ref<std::uint32_t>(g.m_AutoMode).store(0);
    ASSERT_TRUE(waitForLine("monitor: controlType change to manual", 2s));
    std::atomic_ref<std::uint32_t>(g.m_EnableState).store(1);
    ASSERT_TRUE(waitForLine("monitor: three position switch change to enable", 2s));
  }

  std::unique_ptr<zelor::test::ChildProcess> host_;
  zelor::test::HostRecordsView records_{kKeyValue};
  zelor::test::ChannelLines lines_{kChannel15};
};

TEST_F(RecordingKernel, TheKernelGetsItsBlockBeforeItsFirstCycle) {
  ProjectEdits edits;
  edits.replace("properties/structure.json", "\"inverted\": false", "\"inverted\": true", 2);
  edits.write("properties/AdvancedFunction.json",
              R"({"UsingTrueMotion": false, "DynamicOptimal": false, "UsingAccType": 0, "TorqueFeedforward": false,
                  "InputECP": false, "InputShapingFreq": 8, "InputShapingDamp": 0.1})");
  edits.replace("settings/playback/joint.json", "300", "200", 1);
  edits.write("settings/quillon/config.json", R"({"coordinate": {"user": 10, "tool": 0}})");
  start();
  ASSERT_TRUE(waitUntil([] { return rec::logLines().size() >= 3; }, 5s));
  const std::vector<std::string> log = rec::logLines();
  EXPECT_EQ(log[0], "init");
  EXPECT_EQ(log[1], "init_params");
  EXPECT_EQ(log[2], "run");
  for (std::size_t i = 3; i < log.size(); ++i) {
    EXPECT_TRUE(log[i] != "init" && log[i] != "init_params" && log[i] != "run") << i;
  }

  const std::string block = readFile(rec::blockPath());
  ASSERT_EQ(block.size(), 712u);
  EXPECT_EQ(at<double>(block, 384), 20.0);  // screw pitch
  EXPECT_EQ(at<double>(block, 392), 0.0);   // axisZMax
  EXPECT_EQ(at<double>(block, 408), 360.0);
  EXPECT_EQ(at<std::uint32_t>(block, 364), 0u);  // no joint simulated
  EXPECT_EQ(at<std::int32_t>(block, 624), 1);    // two motors inverted
  EXPECT_EQ(at<std::int32_t>(block, 628), 1);
  EXPECT_EQ(at<std::int32_t>(block, 632), 0);
  EXPECT_EQ(at<std::int32_t>(block, 652), 8);    // shaping frequency
  EXPECT_EQ(at<double>(block, 656), 0.1);        // shaping damping
  EXPECT_EQ(at<float>(block, 264), 200.0f);      // playback joint velocity
  for (std::size_t o = 108; o < 128; o += 4) EXPECT_EQ(at<std::uint32_t>(block, o), 0u) << o;
  stop();

  EXPECT_TRUE(zelor::test::foundInOrder(readFile(kLog), {"params->structureParams.scaramechPara.joint1ArmLen:",
                                       "params->structureParams.scaramechPara.screwPitch:20.000",
                                       "params->motionParams.softlimitPara.joint12Singularity:",
                                       "params->motionParams.softlimitPara.jointNeg[0]:",
                                       "params->structureParams.Inverted[0]:1",
                                       "params->structureParams.Inverted[1]:1",
                                       "params->structureParams.jointPara.subDiv[3]:",
                                       "############ st_advanced_function : ", "############ pose_template : "}));
}

TEST_F(RecordingKernel, CollisionLevelsGiveThresholdsAndTheKernelsSwitch) {
  ProjectEdits edits;
  edits.write("properties/collisionParams.json", R"({
    "Level1": [1.1, 1.2, 1.3, 1.4, 0, 0], "Level2": [2.1, 2.2, 2.3, 2.4, 0, 0],
    "Level3": [3.1, 3.2, 3.3, 3.4, 0, 0], "Level4": [4.1, 4.2, 4.3, 4.4, 0, 0],
    "Level5": [5.1, 5.2, 5.3, 5.4, 0, 0]})");
  struct Case {
    bool value;
    int level;
    bool sent;  // a level 0 leaves the thresholds as they were
    float thresholds[4];
    int collisionSwitch;
  };
  const Case cases[] = {
      {true, 3, true, {3.1f, 3.2f, 3.3f, 3.4f}, 1},
      {true, 9, true, {3.0f, 3.0f, 1.2f, 0.15f}, 1},
      {true, 0, false, {}, 0},
      {false, 5, true, {5.1f, 5.2f, 5.3f, 5.4f}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("level " + std::to_string(c.level) + (c.value ? " on" : " off"));
    edits.write("settings/function/collisionDect.json", "{\"value\": " + std::string(c.value ? "true" : "false") +
                                                            ", \"mode\": 0, \"level\": " + std::to_string(c.level) +
                                                            ", \"resumeType\": 0, \"stopType\": 0}");
    rec::removeFiles();
    start();
    ASSERT_TRUE(waitUntil([] { return !rec::loggedPackets(201).empty(); }, 5s));
    const std::string err = stop();
    const auto sent = rec::loggedPackets(201);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].ctrl, 1);
    ASSERT_EQ(sent[0].params.size(), 16u);
    if (c.sent) {
      for (int j = 0; j < 4; ++j) EXPECT_FLOAT_EQ(param<float>(sent[0], 4 * j), c.thresholds[j]) << j;
    }
    EXPECT_NE(err.find("gIsCollisionDect " + std::to_string(c.collisionSwitch)), std::string::npos) << err;
    EXPECT_NE(readFile(kLog).find("GetTorDiffParams m_st_collisionParams.level:" + std::to_string(c.level) + ","),
              std::string::npos);
  }
}

TEST_F(RecordingKernel, KernelAlarmBytesAreReportedOnChangeAndNotWhileAnOwnAlarmIsSet) {
  start();
  // Set up first: with a kernel alarm the switch may not enable.
  setUpMonitor();
  ASSERT_TRUE(rec::writeControl("alarms 0004\n"));
  ASSERT_TRUE(waitForLine("GET algs ALARMS: alarm ID: 10", 2s));
  EXPECT_TRUE(staysTrue([&] { return countLines("GET algs ALARMS") == 1; }))
      << "reported again: " << countLines("GET algs ALARMS");
  EXPECT_EQ(countLines("GET algs ALARMS: alarm ID: 10"), 1);

  // An own alarm through the script slot; from then on the kernel's bytes are
  // neither compared nor reported.
  semlib_shm* shm = zelor::test::raiseScriptAlarm(4242);
  ASSERT_NE(shm, nullptr);
  ASSERT_TRUE(waitForLine("GET ALARMS: alarm ID: 4242", 2s));
  EXPECT_EQ(std::atomic_ref<std::uint8_t>(shm->alarmFlag).load(), 0);
  shmdt(shm);
  ASSERT_TRUE(rec::writeControl("alarms 08\n"));
  EXPECT_TRUE(staysTrue([&] { return countLines("GET algs ALARMS: alarm ID: 3") == 0; }));
  EXPECT_EQ(countLines("Clear algs ALARMS"), 0);
  stop();
}

TEST_F(RecordingKernel, AnAuxiliaryAxisFaultRaises20482) {
  ProjectEdits edits;
  edits.write("process/auxJoint/switch.json", R"({"auxJoint": true, "addPoints": false})");
  const std::string healthy = "reply 225 r " + rec::hex(bytesOf<std::uint32_t>({0, 0, 0})) + "\n";
  ASSERT_TRUE(rec::writeControl(healthy));
  start();
  ASSERT_TRUE(waitUntil([] { return !rec::loggedPackets(225).empty(); }, 3s));
  const auto query = rec::loggedPackets(225).front();
  EXPECT_EQ(query.ctrl & 1, 0);  // a read
  EXPECT_EQ(param<std::uint32_t>(query, 0), 14u);
  EXPECT_TRUE(staysTrue([&] { return countLines("GET ALARMS: alarm ID: 20482") == 0; }));
  // An alarm code of 4 (bit 2 of the code, status 0, result 0) is no fault.
  ASSERT_TRUE(rec::writeControl("reply 225 r " + rec::hex(bytesOf<std::uint16_t>({4, 0, 0, 0})) + "\n"));
  EXPECT_TRUE(staysTrue([&] { return countLines("GET ALARMS: alarm ID: 20482") == 0; }));
  // A non-zero further word sets bit 2 of the status.
  ASSERT_TRUE(rec::writeControl("reply 225 r " + rec::hex(bytesOf<std::uint32_t>({0, 1, 0})) + "\n"));
  EXPECT_TRUE(waitForLine("GET ALARMS: alarm ID: 20482", 2s));
  stop();
}

struct CollisionCase {
  int stopType;
  int command;  // the queue command sent first
  std::uint32_t auxCommand;
};

class CollisionReaction : public RecordingKernel, public ::testing::WithParamInterface<CollisionCase> {};

// The collision word toggles every second for 10 s with the aux axis on: one
// reaction per rising edge, and the PLC cycle never waits for the kernel.
TEST_P(CollisionReaction, OncePerRisingEdgeWithoutStallingTheCycle) {
  const CollisionCase c = GetParam();
  ProjectEdits edits;
  edits.write("process/auxJoint/switch.json", R"({"auxJoint": true, "addPoints": false})");
  edits.write("settings/function/collisionDect.json",
              "{\"value\": true, \"mode\": 0, \"level\": 3, \"resumeType\": 0, \"stopType\": " +
                  std::to_string(c.stopType) + "}");
  // A healthy auxiliary axis.
  ASSERT_TRUE(rec::writeControl("reply 225 r " + rec::hex(bytesOf<std::uint32_t>({0, 0, 0})) + "\n"));
  start();
  setUpMonitor();
  robotMap& map = robotMap::instance();
  // Remote control's start-up stops whatever script runs: its queue stop
  // comes before the collisions.
  ASSERT_TRUE(waitUntil([&] {
    return map.loadWord(robot_map::kStopRequest) == 0 && map.loadWord(robot_map::kStopClearQueueRequest) == 0 &&
           !rec::loggedPackets(248).empty();
  }, 5s));
  const std::size_t before = rec::loggedPackets().size();
  AxesGroupRef& g = records().axesGroup;
  int rising = 0;
  int paused = 0;
  for (int second = 0; second < 10; ++second) {
    const bool on = second % 2 == 0;
    if (on) {
      ++rising;
      map.storeWord(robot_map::kScriptStatus, 1);
    }
    std::atomic_ref<std::uint32_t>(g.m_CollisionWord).store(on ? 1u : 0u);
    const auto until = std::chrono::steady_clock::now() + 1s;
    while (std::chrono::steady_clock::now() < until) {
      countLines("");
      std::this_thread::sleep_for(20ms);
    }
    if (on && map.loadWord(robot_map::kScriptStatus) == 2) ++paused;
  }
  std::atomic_ref<std::uint32_t>(g.m_CollisionWord).store(0);
  const std::string err = stop();

  // The reaction: the queue command, then the aux-axis command with its code.
  std::vector<rec::LoggedPacket> reaction;
  const std::vector<rec::LoggedPacket> logged = rec::loggedPackets();
  for (std::size_t i = before; i < logged.size(); ++i) {
    const rec::LoggedPacket& p = logged[i];
    if (p.id == c.command || (p.id == 225 && (p.ctrl & 1) != 0)) reaction.push_back(p);
  }
  ASSERT_EQ(reaction.size(), static_cast<std::size_t>(2 * rising));
  for (std::size_t i = 0; i < reaction.size(); i += 2) {
    EXPECT_EQ(reaction[i].id, c.command) << i;
    EXPECT_EQ(reaction[i + 1].id, 225) << i;
    EXPECT_EQ(param<std::uint32_t>(reaction[i + 1], 0), c.auxCommand) << i;
  }
  if (c.stopType == 0) {
    EXPECT_EQ(paused, rising);
  } else {
    EXPECT_EQ(paused, 0);
  }
  const std::string edge = c.stopType != 0 ? "碰撞检测 Stop" : "碰撞检测 Pause";
  EXPECT_EQ(countLines(edge), rising);

  // No robot cycle call waited for an exchange.
  const std::size_t max = err.find(" max ");
  ASSERT_NE(max, std::string::npos) << err;
  EXPECT_LT(std::stod(err.substr(max + 5)), 100000.0) << err;
}

INSTANTIATE_TEST_SUITE_P(StopTypes, CollisionReaction,
                         ::testing::Values(CollisionCase{1, 248, 18}, CollisionCase{0, 241, 19}),
                         [](const auto& info) { return info.param.stopType != 0 ? "Stop" : "Pause"; });

TEST_F(RecordingKernel, CannedRepliesWithheldRequestsAndLatchedWrites) {
  start();
  // Read and write of id 41 answered from the table; the write latches.
  ASSERT_TRUE(rec::writeControl("# hand-teach flag\nreply 41 r 01\nreply 41 w 00\nlatch 41\nwithhold 90 r\n"));
  const auto exchange = [](std::uint16_t id, std::uint8_t ctrl, std::vector<std::uint8_t> params, int ms) {
    return zelor::test::exchangeOverQueues(
        zelor::test::commandPacket(id, static_cast<std::uint16_t>(params.size()), ctrl, params.data(),
                                   params.size()),
        ms);
  };
  // The kernel picks the file up within a few cycles; until then a read is
  // echoed. Reads latch nothing.
  zelor::test::QueueReply reply;
  ASSERT_TRUE(waitUntil([&] {
    reply = exchange(41, 0, {}, 3000);
    return reply.got && reply.body[7] == 1;
  }, 3s)) << "the canned reply never came";
  reply = exchange(41, 1, {0}, 3000);
  ASSERT_TRUE(reply.got);
  EXPECT_EQ(reply.body[7], 0);
  reply = exchange(41, 0, {}, 3000);
  ASSERT_TRUE(reply.got);
  EXPECT_EQ(reply.body[7], 0);  // latched by the write
  // Echo by default.
  reply = exchange(77, 1, {5, 6, 7}, 3000);
  ASSERT_TRUE(reply.got);
  EXPECT_EQ(reply.body[7], 5);
  EXPECT_EQ(reply.body[9], 7);
  // A withheld request is taken once and left pending until the requester
  // gives up; the kernel goes on with the next one.
  EXPECT_FALSE(exchange(90, 0, {}, 1000).got);
  // The road answers late, once its own wait has run out.
  const int late = msgget(ftok("/root/", kReplyQueueId), 0);
  EXPECT_TRUE(waitUntil([&] {
    msqid_ds state{};
    return late >= 0 && msgctl(late, IPC_STAT, &state) == 0 && state.msg_qnum > 0;
  }, 5s)) << "no late answer";
  // Whatever the road answered late is not the next request's reply.
  if (late >= 0) {
    struct {
      long mtype;
      std::uint8_t data[16384];
    } message;
    while (msgrcv(late, &message, sizeof message.data, 0, IPC_NOWAIT | MSG_NOERROR) > 0) {
    }
  }
  reply = exchange(91, 0, {9}, 3000);
  ASSERT_TRUE(reply.got);
  EXPECT_EQ(reply.body[7], 9);
  stop();
  const auto withheld = rec::loggedPackets(90);
  ASSERT_EQ(withheld.size(), 1u);
  EXPECT_TRUE(withheld[0].withheld);
  // The data server's 200 ms duty reads id 41 as well; the one write is the
  // test's.
  const auto logged = rec::loggedPackets(41);
  EXPECT_GE(logged.size(), 3u);
  std::vector<rec::LoggedPacket> writes;
  for (const rec::LoggedPacket& p : logged) {
    if (p.ctrl == 1) writes.push_back(p);
  }
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].params, std::vector<std::uint8_t>{0});
}

}  // namespace
