// The whole stack from the default project: the PLC-runtime stand-in with the
// real data server, the motion kernel and the simulated drives, beside the
// real control program. A client enables the robot on 29999, moves it with
// MovJ on 30003 and watches the pose on 30004.
#include <signal.h>
#include <sys/shm.h>
#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "../modules/support/brevan_rig.h"
#include "../modules/support/feedback_client.h"
#include "built_paths.h"
#include "common/ipc/real_time_data.h"
#include "common/ipc/robot_map.h"
#include "common/ipc/semlib.h"
#include "common/ipc/semlib_shm.h"
#include "install_paths.h"
#include "process.h"
#include "support/http_client.h"
#include "support/script_alarm.h"

namespace zelor::test {
namespace {

constexpr const char* kHostLog = "/tmp/e2e_quillon.log";
constexpr const char* kHostErr = "/tmp/e2e_plc_host.err";
constexpr int kDataPort = 12345;  // quillon_data_port of the installation
constexpr std::size_t kPacketBytes = kFeedbackPacketBytes;
constexpr std::size_t kPoseAt = kFeedbackPoseAt;

std::string text(const Four& v) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "(%.9f, %.9f, %.9f, %.9f)", v[0], v[1], v[2], v[3]);
  return buf;
}

bool near(const Four& a, const Four& b, double tolerance) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!(std::fabs(a[i] - b[i]) <= tolerance)) return false;
  }
  return true;
}

std::string projectFile(const char* relative) {
  return readFile(std::string(zelor::paths::kProjectDir) + "/" + relative);
}

// The default project meets what the road needs and no part of it supplies.
void expectRoadPreconditions() {
  rapidjson::Document remote;
  remote.Parse(projectFile("settings/function/remoteControl.json").c_str());
  ASSERT_TRUE(remote.IsObject() && remote.HasMember("mode") && remote["mode"].IsString());
  EXPECT_STREQ(remote["mode"].GetString(), "tcp");

  rapidjson::Document aux;
  aux.Parse(projectFile("process/auxJoint/switch.json").c_str());
  ASSERT_TRUE(aux.IsObject() && aux.HasMember("auxJoint") && aux["auxJoint"].IsBool());
  EXPECT_FALSE(aux["auxJoint"].GetBool()) << "the auxiliary axis raises 20482 without a slide-rail driver";

  rapidjson::Document collision;
  collision.Parse(projectFile("settings/function/collisionDect.json").c_str());
  ASSERT_TRUE(collision.IsObject() && collision.HasMember("value") && collision["value"].IsBool());
  EXPECT_FALSE(collision["value"].GetBool()) << "the simulated drives report no measured torque";

  for (const char* frames : {"settings/coordinate/user.json", "settings/coordinate/tool.json"}) {
    rapidjson::Document table;
    table.Parse(projectFile(frames).c_str());
    ASSERT_TRUE(table.IsArray() && !table.Empty() && table[0].IsObject() && table[0].HasMember("params")) << frames;
    for (const auto& value : table[0]["params"].GetArray()) {
      EXPECT_TRUE(value.IsNumber() && value.GetDouble() == 0.0) << frames << ": frame 0 is not the identity";
    }
  }
}

// The stand-in host cycling the data server every 4 ms, and brevan.
class WholeStack : public ::testing::Test {
 protected:
  void TearDown() override {
    feedback_.reset();
    if (brevan_) {
      EXPECT_TRUE(brevan_->process().running()) << "brevan ended during the test";
    }
    brevan_.reset();
    if (host_) {
      const int status = host_->stop(SIGTERM, 20s);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << readFile(kHostErr);
      host_.reset();
    }
    unlink(kHostLog);
    unlink(kHostErr);
  }

  void start(const char* startJoints) {
    ASSERT_NO_FATAL_FAILURE(expectRoadPreconditions());
    host_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        "/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + std::string(kHostErr), built::kPlcHost, "--key", "0x5A30",
        "--data-server", "--quillon", built::kQuillon, "--fifo-log", kHostLog, "--start-joints", startJoints});
    ASSERT_TRUE(waitFor([] { return readFile(kHostLog).find("Quillon started") != std::string::npos; }, 30s))
        << readFile(kHostErr);
    brevan_ = std::make_unique<Brevan>();
    ASSERT_TRUE(brevan_->waitForPorts(20s)) << brevan_->originalStdout();
    // The snapshot starts about 10 s after the data server.
    feedback_ = std::make_unique<FeedbackClient>();
    ASSERT_TRUE(waitFor([&] { return feedback_->packets() > 0; }, 40s)) << "no 30004 packet";
  }

  // Channel 15's lines that hold the text, for failure messages.
  std::string linesWith(const std::string& text) {
    std::string found;
    for (const std::string& line : channel15_.lines()) {
      if (line.find(text) != std::string::npos) found += line + "\n";
    }
    return found;
  }

  std::int32_t word(std::size_t offset) { return robotMap::instance().loadWord(offset); }

  // One command on a fresh connection; the reply, or what came instead.
  static std::string command(int port, const std::string& line, const std::string& expected,
                             std::chrono::milliseconds timeout) {
    Client client(port);
    if (!client.connected()) return "(not connected)";
    client.send(line);
    return client.read(expected.size(), timeout);
  }

  static std::string movJ(const Four& target) {
    char buf[200];
    std::snprintf(buf, sizeof buf, "MovJ(%.4f,%.4f,%.4f,%.4f)", target[0], target[1], target[2], target[3]);
    return buf;
  }

  // The recorder comes first: it holds channel 15 from before the programs.
  ChannelRecorder channel15_{15};
  std::unique_ptr<ChildProcess> host_;
  std::unique_ptr<Brevan> brevan_;
  std::unique_ptr<FeedbackClient> feedback_;
};

TEST_F(WholeStack, EnableAndMoveEndToEnd) {
  ASSERT_NO_FATAL_FAILURE(start("0,90,-50,0"));
  EXPECT_EQ(word(robot_map::kIsDisabled), 1) << "the disabled word follows the kernel";

  // A script alarm blocks the enable until the clear-error request. The
  // data server reads the alarm slot once a pendant or tool has switched its
  // hardware flag off, as here.
  ASSERT_EQ(httpRequest(kDataPort, "POST", "/interface/hardware", "{\"enable\": false}").status, 200);
  semlib_shm* shm = zelor::test::raiseScriptAlarm(4242);
  ASSERT_NE(shm, nullptr);
  const bool inError = waitFor([&] { return word(robot_map::kIsErr) == 1; }, 5s);
  const int flagLeft = std::atomic_ref<std::uint8_t>(shm->alarmFlag).load();
  shmdt(shm);
  ASSERT_TRUE(inError) << "slot flag " << flagLeft << "\n" << linesWith("ALARMS");
  const auto refusedAt = Clock::now();
  EXPECT_EQ(command(29999, "EnableRobot()", "-1,{},EnableRobot();", 5s), "-1,{},EnableRobot();");
  EXPECT_LT(Clock::now() - refusedAt, 2s) << "refused at once";
  EXPECT_EQ(word(robot_map::kEnableRequest), 0);
  EXPECT_EQ(word(robot_map::kIsDisabled), 1);
  robotMap::instance().storeWord(robot_map::kClearErrorRequest, 1);
  EXPECT_TRUE(waitFor([&] { return word(robot_map::kIsErr) == 0; }, 3s)) << "error word after the clear request";

  const auto enableAt = Clock::now();
  ASSERT_EQ(command(29999, "EnableRobot()", "0,{},EnableRobot();", 25s), "0,{},EnableRobot();");
  EXPECT_LT(Clock::now() - enableAt, 16s);
  EXPECT_TRUE(channel15_.waitForLine(" isRequestEnable true", 1s));
  EXPECT_EQ(word(robot_map::kIsDisabled), 0);

  // The start pose from a packet sent after the enable.
  const std::vector<char> first = feedback_->next(feedback_->packets(), 2s);
  ASSERT_EQ(first.size(), kPacketBytes);
  const Four start = fourAt(first, kPoseAt);
  const Four target = {start[0] + 20, start[1] - 30, start[2] - 20, start[3] + 15};
  const std::string line = movJ(target);
  const auto sentAt = Clock::now();
  ASSERT_EQ(command(30003, line, "0,{}," + line + ";", 5s), "0,{}," + line + ";");
  const auto answered = Clock::now() - sentAt;

  // Arrived: at the target, the joints unchanged for 200 ms (a packet may
  // repeat the record when the snapshot runs late, so one pair is not enough).
  Four lastJoints{};
  auto lastChange = Clock::now();
  const auto arrivedAtTarget = [&] {
    const Four joints = feedback_->joints();
    if (joints != lastJoints) {
      lastJoints = joints;
      lastChange = Clock::now();
    }
    return near(feedback_->pose(), target, 0.01) && Clock::now() - lastChange >= 200ms;
  };
  ASSERT_TRUE(waitFor(arrivedAtTarget, 10s))
      << "start " << text(start) << " target " << text(target) << " pose " << text(feedback_->pose())
      << " joints " << text(feedback_->joints());
  EXPECT_LT(answered, 2s) << "the reply does not wait for the move";
  EXPECT_LT(answered, Clock::now() - sentAt) << "answered before the move ended";

  // The arm stays where it arrived.
  const Four arrived = feedback_->joints();
  const std::size_t seen = feedback_->packets();
  // Over the next sixty packets the joints do not move.
  bool moved = false;
  ASSERT_TRUE(waitFor([&] {
    moved = moved || !near(feedback_->joints(), arrived, 1e-9);
    return moved || feedback_->packets() > seen + 60;
  }, 10s)) << "the stream stopped";
  EXPECT_FALSE(moved) << text(arrived) << " then " << text(feedback_->joints());
  EXPECT_TRUE(near(feedback_->pose(), target, 0.01)) << text(feedback_->pose());
}

TEST_F(WholeStack, JointOutsideTheSoftLimits) {
  ASSERT_NO_FATAL_FAILURE(start("140,90,-50,0"));
  EXPECT_EQ(word(robot_map::kIsErr), 0) << "no alarm while the drives are off";

  // The road enables the drives and checks no limit.
  ASSERT_EQ(command(29999, "EnableRobot()", "0,{},EnableRobot();", 25s), "0,{},EnableRobot();");
  EXPECT_TRUE(channel15_.waitForLine("GET algs ALARMS: alarm ID: 64", 3s));
  EXPECT_TRUE(waitFor([&] { return word(robot_map::kIsErr) == 1; }, 3s));

  // The kernel keeps its queue stopped: the move is taken but never runs.
  const std::vector<char> before = feedback_->next(feedback_->packets(), 2s);
  ASSERT_EQ(before.size(), kPacketBytes);
  const Four start = fourAt(before, kPoseAt);
  const Four target = {start[0] - 20, start[1] + 30, start[2] - 20, start[3] + 15};
  const std::string line = movJ(target);
  ASSERT_EQ(command(30003, line, "0,{}," + line + ";", 5s), "0,{}," + line + ";");
  const std::size_t seen = feedback_->packets();
  // Over the next 375 packets (3 s of the stream) the pose does not move.
  bool moved = false;
  ASSERT_TRUE(waitFor([&] {
    moved = moved || !near(feedback_->pose(), start, 1e-6);
    return moved || feedback_->packets() > seen + 375;
  }, 15s)) << "the stream stopped";
  EXPECT_FALSE(moved) << text(start) << " then " << text(feedback_->pose());

  EXPECT_EQ(command(29999, "EnableRobot()", "-1,{},EnableRobot();", 5s), "-1,{},EnableRobot();");
}

}  // namespace
}  // namespace zelor::test
