// Digital I/O and brakes over the whole stack: the PLC-runtime stand-in with
// the real data server, the motion kernel and the simulated drives, beside
// the real control program. A client sets outputs and reads inputs on 29999
// and 30003 and watches the outputs on 30004; the test sets the inputs in the
// host's records and reads the brake words there.
#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../modules/support/brevan_rig.h"
#include "../modules/support/feedback_client.h"
#include "built_paths.h"
#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "process.h"
#include "support/host_observers.h"

namespace zelor::test {
namespace {

constexpr const char* kHostLog = "/tmp/io_e2e_quillon.log";
constexpr const char* kHostErr = "/tmp/io_e2e_plc_host.err";
constexpr key_t kHostKey = 0x5A32;
constexpr std::size_t kOutputsAt = 16;  // u64, bit n - 1 for output n

std::uint64_t outputsOf(const std::vector<char>& packet) {
  std::uint64_t bits = 0;
  if (packet.size() >= kOutputsAt + sizeof bits) std::memcpy(&bits, packet.data() + kOutputsAt, sizeof bits);
  return bits;
}

bool outputSet(const std::vector<char>& packet, int output) {
  return ((outputsOf(packet) >> (output - 1)) & 1U) != 0;
}

bool near(const Four& a, const Four& b, double tolerance) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!(std::fabs(a[i] - b[i]) <= tolerance)) return false;
  }
  return true;
}

class IoWholeStack : public ::testing::Test {
 protected:
  void TearDown() override {
    client_.reset();
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

  void start() {
    char key[16];
    std::snprintf(key, sizeof key, "0x%X", static_cast<unsigned>(kHostKey));
    host_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        "/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + std::string(kHostErr), built::kPlcHost, "--key", key,
        "--data-server", "--quillon", built::kQuillon, "--fifo-log", kHostLog, "--start-joints", "0,90,-50,0"});
    ASSERT_TRUE(waitFor([] { return readFile(kHostLog).find("Quillon started") != std::string::npos; }, 30s))
        << readFile(kHostErr);
    brevan_ = std::make_unique<Brevan>();
    ASSERT_TRUE(brevan_->waitForPorts(20s)) << brevan_->originalStdout();
    feedback_ = std::make_unique<FeedbackClient>();
    ASSERT_TRUE(waitFor([&] { return feedback_->packets() > 0; }, 40s)) << "no 30004 packet";
  }

  // One command on the test's connection to 29999 (the port serves one
  // client at a time); the reply, or what came instead.
  std::string command(const std::string& line, const std::string& expected, std::chrono::milliseconds timeout = 5s) {
    if (!client_) client_ = std::make_unique<Client>(29999);
    if (!client_->connected()) return "(not connected)";
    client_->send(line);
    return client_->read(expected.size(), timeout);
  }

  std::uint32_t brakeWord(int joint) {
    return std::atomic_ref<std::uint32_t>(records_.get().axesGroup.m_Joints[joint].m_ControlWord).load();
  }

  void setInput(std::size_t byte, std::uint8_t level) {
    std::atomic_ref<std::uint8_t>(records_.get().di[byte]).store(level);
  }

  ChannelRecorder channel15_{15};
  std::unique_ptr<ChildProcess> host_;
  std::unique_ptr<Brevan> brevan_;
  std::unique_ptr<FeedbackClient> feedback_;
  std::unique_ptr<Client> client_;
  HostRecordsView records_{kHostKey};
};

TEST_F(IoWholeStack, OutputsInputsAndBrakesReachTheKernelAndTheRecords) {
  ASSERT_NO_FATAL_FAILURE(start());

  // Brakes: only while disabled, only the data server's four joints.
  ASSERT_EQ(robotMap::instance().loadWord(robot_map::kIsDisabled), 1);
  EXPECT_EQ(command("BrakeControl(1,1)", "0,{},BrakeControl(1,1);"), "0,{},BrakeControl(1,1);");
  EXPECT_EQ(brakeWord(0), 1u) << "client joint 1 is the first axis record";
  EXPECT_EQ(brakeWord(1), 0u);
  EXPECT_EQ(command("BrakeControl(5,1)", "-1,{},BrakeControl(5,1);"), "-1,{},BrakeControl(5,1);");
  EXPECT_EQ(command("BrakeControl(1,0)", "0,{},BrakeControl(1,0);"), "0,{},BrakeControl(1,0);");
  EXPECT_EQ(brakeWord(0), 0u);

  // Inputs: byte n - 1 of the host's image is input n; tool input 1 is 17.
  setInput(2, 1);
  EXPECT_TRUE(waitFor([&] { return command("DI(3)", "0,{1},DI(3);") == "0,{1},DI(3);"; }, 2s));
  setInput(2, 0);
  EXPECT_TRUE(waitFor([&] { return command("DI(3)", "0,{0},DI(3);") == "0,{0},DI(3);"; }, 2s));
  setInput(16, 1);
  setInput(0, 0);
  EXPECT_TRUE(waitFor([&] { return command("ToolDI(1)", "0,{1},ToolDI(1);") == "0,{1},ToolDI(1);"; }, 2s));
  setInput(16, 0);
  setInput(0, 1);
  EXPECT_TRUE(waitFor([&] { return command("ToolDI(1)", "0,{0},ToolDI(1);") == "0,{0},ToolDI(1);"; }, 2s))
      << "controller input 1 is not tool input 1";
  EXPECT_EQ(command("ToolDI(1)", "0,{0},ToolDI(1);"), "0,{0},ToolDI(1);");

  ASSERT_EQ(command("EnableRobot()", "0,{},EnableRobot();", 25s), "0,{},EnableRobot();");

  // At once: the stream shows output 3 after the reply (how soon is a
  // benchmark's business); the queued case below waits for its move.
  ASSERT_EQ(command("DOExecute(3,1)", "0,{},DOExecute(3,1);"), "0,{},DOExecute(3,1);");
  ASSERT_TRUE(waitFor([&] { return outputSet(feedback_->latest(), 3); }, 2s));
  ASSERT_EQ(command("DOExecute(3,0)", "0,{},DOExecute(3,0);"), "0,{},DOExecute(3,0);");
  ASSERT_TRUE(waitFor([&] { return !outputSet(feedback_->latest(), 3); }, 2s));

  // Queued: output 4 changes only once the move before it has ended.
  const std::vector<char> first = feedback_->next(feedback_->packets(), 2s);
  ASSERT_EQ(first.size(), kFeedbackPacketBytes);
  const Four startPose = fourAt(first, kFeedbackPoseAt);
  const Four target = {startPose[0] + 20, startPose[1] - 30, startPose[2] - 20, startPose[3] + 15};
  char movJ[200];
  std::snprintf(movJ, sizeof movJ, "MovJ(%.4f,%.4f,%.4f,%.4f)", target[0], target[1], target[2], target[3]);
  Client client(30003);
  ASSERT_TRUE(client.connected());
  const std::string line = movJ;
  client.send(line);
  ASSERT_EQ(client.read(line.size() + 6, 5s), "0,{}," + line + ";");
  client.send("DO(4,1)");
  ASSERT_EQ(client.read(13, 5s), "0,{},DO(4,1);");

  int movingPackets = 0;
  bool setWhileMoving = false;
  const auto settled = [&] {
    const std::vector<char> packet = feedback_->latest();
    const bool arrived = near(fourAt(packet, kFeedbackPoseAt), target, 0.01);
    if (!arrived) {
      ++movingPackets;
      setWhileMoving = setWhileMoving || outputSet(packet, 4);
    }
    return arrived && outputSet(packet, 4);
  };
  EXPECT_TRUE(waitFor(settled, 15s)) << "outputs " << outputsOf(feedback_->latest());
  EXPECT_GT(movingPackets, 10) << "the move was watched while it ran";
  EXPECT_FALSE(setWhileMoving) << "the queued output changed during the move";
}

}  // namespace
}  // namespace zelor::test
