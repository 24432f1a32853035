#pragma once

// The whole stack from the default project: the PLC-runtime stand-in with the
// real data server, the motion kernel and the simulated drives, beside the
// real control program, and a client of 29999, 30003 and 30004.
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
#include "install_paths.h"
#include "process.h"

namespace zelor::test {

inline constexpr const char* kHostLog = "/tmp/e2e_quillon.log";
inline constexpr const char* kHostErr = "/tmp/e2e_plc_host.err";
inline constexpr int kDataPort = 12345;  // quillon_data_port of the installation
inline constexpr std::size_t kPacketBytes = kFeedbackPacketBytes;
inline constexpr std::size_t kPoseAt = kFeedbackPoseAt;

inline std::string text(const Four& v) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "(%.9f, %.9f, %.9f, %.9f)", v[0], v[1], v[2], v[3]);
  return buf;
}

inline bool near(const Four& a, const Four& b, double tolerance) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!(std::fabs(a[i] - b[i]) <= tolerance)) return false;
  }
  return true;
}

inline std::string projectFile(const char* relative) {
  return readFile(std::string(zelor::paths::kProjectDir) + "/" + relative);
}

// The default project meets what the road needs and no part of it supplies.
inline void expectRoadPreconditions() {
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

}  // namespace zelor::test
