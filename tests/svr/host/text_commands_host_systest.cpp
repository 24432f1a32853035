// The text commands of the packet exchange against the real libquillon in the
// PLC-runtime stand-in, with the recording kernel in libvantrel's place: a
// queue client sends id 262 as the control program does, the test sets the
// host's record and the kernel's answers.
#include <json/reader.h>
#include <json/writer.h>
#include <json/value.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "install_paths.h"
#include "plc_host/host_records.h"
#include "process.h"
#include "recording_kernel/recording_kernel.h"
#include "support/host_observers.h"
#include "support/http_client.h"
#include "support/plc_host_run.h"
#include "support/queue_client.h"

namespace {

using namespace std::chrono_literals;
namespace rec = zelor::sim::recording;

constexpr const char* kKey = "0x5A48";
constexpr key_t kKeyValue = 0x5A48;
constexpr int kDataPort = 12345;

std::uint32_t load(std::uint32_t& w) { return std::atomic_ref<std::uint32_t>(w).load(); }
void store(std::uint32_t& w, std::uint32_t v) { std::atomic_ref<std::uint32_t>(w).store(v); }

class TextCommandsHost : public ::testing::Test {
 protected:
  void TearDown() override {
    if (host_) host_->stop(SIGKILL, 5s);
    rec::removeFiles();
    unlink(zelor::test::kHostFifoLog);
    unlink(zelor::test::kHostErr);
  }

  void start(const std::string& control) {
    rec::removeFiles();
    ASSERT_TRUE(rec::writeControl(control));
    host_ = std::make_unique<zelor::test::ChildProcess>(
        zelor::test::dataServerHostCommand(kKey, {"--vantrel", zelor::test::built::kRecordingKernel}));
    ASSERT_TRUE(zelor::test::waitForHttp(kDataPort, "/properties/axis", 30000))
        << zelor::test::readWholeFile(zelor::test::kHostErr);
  }

  AxesGroupRef& group() { return records_.get().axesGroup; }

  // The reply text of one text command; the first seven bytes as sent.
  std::string send(const std::string& text) {
    const zelor::test::QueueReply reply = zelor::test::exchangeOverQueues(zelor::test::textCommand(text), 3000);
    EXPECT_TRUE(reply.got) << text;
    if (!reply.got) return "<no reply>";
    const std::vector<std::uint8_t> sent = zelor::test::textCommand(text);
    EXPECT_EQ(std::memcmp(reply.body, sent.data(), 7), 0) << text;
    const char* answer = reinterpret_cast<const char*>(reply.body + 7);
    return std::string(answer, strnlen(answer, sizeof reply.body - 7));
  }

  static Json::Value parse(const std::string& text) {
    Json::Value root;
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &root, &errors)) << text;
    return root;
  }

  // Element i of GetErrorID's answer as compact text, e.g. "[-2,17]".
  static std::string element(const Json::Value& root, unsigned i) {
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    return root.isArray() && i < root.size() ? Json::writeString(writer, root[i]) : "<missing>";
  }

  std::unique_ptr<zelor::test::ChildProcess> host_;
  zelor::test::HostRecordsView records_{kKeyValue};
};

}  // namespace

TEST_F(TextCommandsHost, GetErrorIdReportsCollisionKernelAlarmsAndServoErrors) {
  start("");
  // The record is the data sub-process's from its first monitor call.
  ASSERT_TRUE(zelor::test::pollUntil(
      [&] { return std::atomic_ref<std::uint32_t>(group().m_Signature).load() != 0; }, 5s));

  Json::Value root = parse(send("GetErrorID()"));
  ASSERT_TRUE(root.isArray());
  ASSERT_EQ(root.size(), 6u);
  for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(element(root, i), "[]") << i;

  ASSERT_TRUE(rec::writeControl("alarms 000002\n"));
  // The simulated drive rewrites its error word every cycle: keep ours in it.
  std::atomic<bool> faulty{true};
  std::thread fault([&] {
    while (faulty.load()) store(group().m_Joints[1].m_ErrorCode, 0x7380);
  });
  EXPECT_TRUE(zelor::test::pollUntil(
      [&] {
        root = parse(send("GetErrorID()"));
        return element(root, 0) == "[17]" && element(root, 2) == "[29568]";
      },
      3s))
      << root.toStyledString();
  EXPECT_EQ(element(root, 1), "[]");
  EXPECT_EQ(element(root, 3), "[]");
  EXPECT_EQ(element(root, 5), "[]");

  store(group().m_CollisionWord, 2);
  EXPECT_EQ(element(parse(send("GetErrorID()")), 0), "[-2,17]");
  faulty = false;
  fault.join();
}

TEST_F(TextCommandsHost, GetErrorIdAsksTheAuxiliaryAxisWhenTheProjectHasOne) {
  const std::string switchFile = std::string(zelor::paths::kProjectDir) + "/process/auxJoint/switch.json";
  std::ofstream(switchFile, std::ios::trunc) << R"({"auxJoint": true, "addPoints": false})";
  // Sub-command 14: code 0, status bits 0x0001, a non-zero word at 4.
  start("reply 225 r 0000010001000000\n");
  ASSERT_TRUE(zelor::test::pollUntil(
      [&] { return std::atomic_ref<std::uint32_t>(group().m_Signature).load() != 0; }, 5s));
  const Json::Value root = parse(send("GetErrorID()"));
  const Json::Value& controller = root[0u];
  ASSERT_TRUE(controller.isArray() && controller.size() >= 2) << element(root, 0);
  EXPECT_EQ(controller[controller.size() - 2].asInt(), 20480) << element(root, 0);
  EXPECT_EQ(controller[controller.size() - 1].asInt(), 20482) << element(root, 0);
  EXPECT_TRUE(root[5u].isNull()) << element(root, 5);
  EXPECT_FALSE(rec::loggedPackets(225).empty());
}

TEST_F(TextCommandsHost, ClearCollisionClearsTheMask) {
  start("");
  ASSERT_TRUE(zelor::test::pollUntil(
      [&] { return std::atomic_ref<std::uint32_t>(group().m_Signature).load() != 0; }, 5s));
  store(group().m_CollisionWord, 2);
  EXPECT_EQ(send("ClearCollision()"), "ClearCollision()");
  EXPECT_EQ(load(group().m_CollisionWord), 0u);
}

TEST_F(TextCommandsHost, BrakeControlSwitchesOneCheckedJointWhileDisabled) {
  // The drives refuse the enable: the duty keeps the disabled word at 1.
  start("reply 41 r 01\n");
  robotMap& map = robotMap::instance();
  ASSERT_TRUE(zelor::test::pollUntil([&] { return map.loadWord(robot_map::kIsDisabled) == 1; }, 3s));
  ASSERT_TRUE(zelor::test::pollUntil(
      [&] { return std::atomic_ref<std::uint32_t>(group().m_Signature).load() != 0; }, 5s));

  auto words = [&] {
    std::string all;
    for (int j = 0; j < 4; ++j) all += std::to_string(load(group().m_Joints[j].m_ControlWord)) + " ";
    return all;
  };
  store(group().m_Joints[3].m_ControlWord, 7);
  EXPECT_EQ(send("BrakeControl(0,1)"), "0");
  EXPECT_EQ(load(group().m_Joints[0].m_ControlWord), 1u);
  EXPECT_EQ(send("BrakeControl(3,0)"), "0");
  EXPECT_EQ(load(group().m_Joints[3].m_ControlWord), 0u);

  const std::string before = words();
  for (const char* refused : {"4,1", "5,1", "-1,1", "1", "a,1", "1,b", "1,1,1", "", "1.5,1"}) {
    EXPECT_EQ(send(std::string("BrakeControl(") + refused + ")"), "-1") << refused;
    EXPECT_EQ(words(), before) << refused;
  }

  ASSERT_TRUE(rec::writeControl("reply 41 r 00\n"));
  ASSERT_TRUE(zelor::test::pollUntil([&] { return map.loadWord(robot_map::kIsDisabled) == 0; }, 3s));
  EXPECT_EQ(send("BrakeControl(1,1)"), "-1");
  EXPECT_EQ(words(), before);
}
