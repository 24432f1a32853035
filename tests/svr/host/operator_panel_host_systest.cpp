// The operator panel as a Modbus panel meets it: the real libquillon in the
// PLC-runtime stand-in (the real kernel on the simulated drives, or the
// recording kernel), a libmodbus master on port 502, and a project whose
// remote-control settings name a project with sixteen taught points.
#include <json/reader.h>
#include <json/value.h>
#include <modbus.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "install_paths.h"
#include "log_reader/log_queue_reader.h"
#include "plc_host/host_records.h"
#include "process.h"
#include "recording_kernel/recording_kernel.h"
#include "support/host_observers.h"
#include "support/http_client.h"
#include "support/modbus_master.h"
#include "support/plc_host_run.h"
#include "support/queue_client.h"

namespace {

using namespace std::chrono_literals;
namespace rec = zelor::sim::recording;

constexpr const char* kKey = "0x5A49";
constexpr key_t kKeyValue = 0x5A49;
constexpr int kDataPort = 12345;
constexpr const char* kProject = "demo";

std::string projectFile(const std::string& relative) { return std::string(zelor::paths::kProjectDir) + "/" + relative; }

void writeFile(const std::string& path, const std::string& text) {
  const std::size_t slash = path.rfind('/');
  std::string dir;
  for (std::size_t at = 1; at != std::string::npos && at <= slash; at = path.find('/', at + 1)) {
    dir = path.substr(0, at);
    mkdir(dir.c_str(), 0777);
  }
  std::ofstream(path, std::ios::trunc) << text;
}

Json::Value parseFile(const std::string& path) {
  const std::string text = zelor::test::readWholeFile(path);
  Json::Value root;
  Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  reader->parse(text.data(), text.data() + text.size(), &root, &errors);
  return root;
}

// The fixture's point n: P16 is a reachable pose of the simulated arm.
struct Point {
  float x, y, z, r;
  int arm, user, tool;
};
Point fixturePoint(int n) {
  if (n == 16) return {245.0f, 145.0f, -70.0f, 105.0f, 1, 0, 0};
  return {200.0f + n, 10.0f * n, -1.0f * n, 1.5f * n, n % 2, n % 3, n % 4};
}

std::string pointFileText() {
  std::string text = "[\n";
  for (int n = 1; n <= 16; ++n) {
    const Point p = fixturePoint(n);
    text += "  {\"name\": \"P" + std::to_string(n) + "\", \"armOrientation\": \"" + (p.arm == 0 ? "left" : "right") +
            "\", \"coordinate\": [" + std::to_string(p.x) + ", " + std::to_string(p.y) + ", " + std::to_string(p.z) +
            ", " + std::to_string(p.r) + ", 0, 0], \"user\": " + std::to_string(p.user) +
            ", \"tool\": " + std::to_string(p.tool) + "}" + (n < 16 ? ",\n" : "\n");
  }
  return text + "]\n";
}

int pointRegister(int n) { return 1326 + 15 * (n - 1); }

class OperatorPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    setRemoteProject(kProject);
    writeFile(projectFile(std::string("project/") + kProject + "/point.json"), pointFileText());
    writeFile(projectFile("settings/common.json"), R"({"ratio": 30, "other": 1})");
  }
  void TearDown() override {
    master_.reset();
    if (host_) host_->stop(SIGKILL, 5s);
    rec::removeFiles();
    unlink(zelor::test::kHostFifoLog);
    unlink(zelor::test::kHostErr);
  }

  static void setRemoteProject(const std::string& name) {
    writeFile(projectFile("settings/function/remoteControl.json"), "{\"name\": \"" + name + "\", \"mode\": \"tcp\"}");
  }

  // The real kernel unless a recording-kernel control text is given.
  void start(const char* recordingControl = nullptr) {
    // Inside the project's joint limits, as the run command starts the arm.
    std::vector<std::string> extra = {"--start-joints", "0,90,-50,0"};
    if (recordingControl != nullptr) {
      rec::removeFiles();
      ASSERT_TRUE(rec::writeControl(recordingControl));
      extra.insert(extra.end(), {"--vantrel", zelor::test::built::kRecordingKernel});
    }
    host_ = std::make_unique<zelor::test::ChildProcess>(zelor::test::dataServerHostCommand(kKey, extra));
    ASSERT_TRUE(zelor::test::waitForHttp(kDataPort, "/properties/axis", 30000))
        << zelor::test::readWholeFile(zelor::test::kHostErr);
    master_ = std::make_unique<zelor::test::ModbusMaster>();
    ASSERT_TRUE(master_->connected());
  }

  int reg(int n) {
    std::uint16_t v = 0;
    return modbus_read_registers(master_->ctx(), n, 1, &v) == 1 ? v : -1;
  }
  void setReg(int n, int value) { ASSERT_EQ(modbus_write_register(master_->ctx(), n, value), 1) << n; }
  float holdFloat(int n) {
    std::uint16_t v[2] = {};
    return modbus_read_registers(master_->ctx(), n, 2, v) == 2 ? modbus_get_float(v) : NAN;
  }
  float inputFloat(int n) {
    std::uint16_t v[2] = {};
    return modbus_read_input_registers(master_->ctx(), n, 2, v) == 2 ? modbus_get_float(v) : NAN;
  }
  bool regBecomes(int n, int value, std::chrono::milliseconds limit) {
    return zelor::test::pollUntil([&] { return reg(n) == value; }, limit);
  }
  int lines(const std::string& text) {
    const std::string log = zelor::test::readWholeFile(zelor::test::kHostFifoLog);
    int count = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
    return count;
  }
  // The panel's lines of the data server's output.
  static std::string panelLines() {
    const std::string log = zelor::test::readWholeFile(zelor::test::kHostFifoLog);
    std::string out;
    std::size_t at = 0;
    for (std::size_t end = log.find('\n'); end != std::string::npos; end = log.find('\n', at)) {
      const std::string line = log.substr(at, end - at);
      if (line.find("Hmi") != std::string::npos || line.find("queuedCmd") != std::string::npos ||
          line.find("jog") != std::string::npos || line.find("Runto") != std::string::npos) {
        out += line + "\n";
      }
      at = end + 1;
    }
    return out;
  }
  bool lineAppears(const std::string& text, std::chrono::milliseconds limit) {
    return zelor::test::pollUntil([&] { return lines(text) > 0; }, limit);
  }
  // The kernel's speed ratio (command 52 read over the request queue).
  int kernelRatio() {
    const zelor::test::QueueReply reply = zelor::test::exchangeOverQueues(zelor::test::commandPacket(52, 0, 0), 3000);
    return reply.got ? reply.body[7] : -1;
  }
  AxesGroupRef& group() { return records_.get().axesGroup; }
  double jointPosition(int j) { return std::atomic_ref<double>(group().m_Joints[j].m_ActPosition).load(); }
  double jointSpeed(int j) { return std::atomic_ref<double>(group().m_Joints[j].m_ActVelocity).load(); }
  std::int32_t disabledWord() { return robotMap::instance().loadWord(robot_map::kIsDisabled); }

  void enterJogMode() {
    setReg(1300, 1);
    ASSERT_TRUE(regBecomes(1301, 1, 1500ms)) << zelor::test::readWholeFile(zelor::test::kHostFifoLog);
  }

  std::unique_ptr<zelor::test::ChildProcess> host_;
  std::unique_ptr<zelor::test::ModbusMaster> master_;
  zelor::test::HostRecordsView records_{kKeyValue};
};

}  // namespace

TEST_F(OperatorPanel, JogModeShowsParametersAndPointsAndAppliesTheRatio) {
  start();
  ASSERT_EQ(reg(1301), 0);
  enterJogMode();
  EXPECT_EQ(reg(1304), kernelRatio());
  for (int first : {1305, 1307}) {
    std::uint16_t v[2] = {};
    ASSERT_EQ(modbus_read_registers(master_->ctx(), first, 2, v), 2);
    EXPECT_EQ(v[0], 0x0000) << first;
    EXPECT_EQ(v[1], 0x3F80) << first;
  }
  for (int n = 1; n <= 16; ++n) {
    const Point p = fixturePoint(n);
    const int first = pointRegister(n);
    EXPECT_FLOAT_EQ(holdFloat(first), p.x) << "P" << n;
    EXPECT_FLOAT_EQ(holdFloat(first + 2), p.y) << "P" << n;
    EXPECT_FLOAT_EQ(holdFloat(first + 4), p.z) << "P" << n;
    EXPECT_FLOAT_EQ(holdFloat(first + 6), p.r) << "P" << n;
    EXPECT_EQ(reg(first + 12), p.arm) << "P" << n;
    EXPECT_EQ(reg(first + 13), p.user) << "P" << n;
    EXPECT_EQ(reg(first + 14), p.tool) << "P" << n;
  }

  setReg(1304, 55);
  setReg(1312, 1);
  ASSERT_TRUE(regBecomes(1312, 0, 1500ms));
  const Json::Value common = parseFile(projectFile("settings/common.json"));
  EXPECT_EQ(common["ratio"].asInt(), 55) << common.toStyledString();
  EXPECT_EQ(common["other"].asInt(), 1) << common.toStyledString();
  EXPECT_EQ(common.size(), 2u) << common.toStyledString();
  EXPECT_EQ(kernelRatio(), 55);
}

TEST_F(OperatorPanel, JogsAJointWhileEnabledAndLeavesJogModeDisabled) {
  start();
  enterJogMode();
  setReg(1313, 1);
  EXPECT_TRUE(lineAppears("ReadyJog ...", 1500ms)) << zelor::test::readWholeFile(zelor::test::kHostFifoLog);
  EXPECT_TRUE(zelor::test::pollUntil([&] { return disabledWord() == 0; }, 1500ms));

  const double start1 = jointPosition(0);
  setReg(1314, 1);
  EXPECT_TRUE(zelor::test::pollUntil([&] { return jointPosition(0) > start1 + 0.5; }, 3s))
      << start1 << " -> " << jointPosition(0);
  setReg(1314, 0);
  EXPECT_TRUE(zelor::test::pollUntil([&] { return jointSpeed(0) == 0.0; }, 1s)) << jointSpeed(0);
  EXPECT_TRUE(lineAppears("jog is stop !!!", 1s));

  // Both directions of joint 2: refused, nothing moves.
  const double start2 = jointPosition(1);
  setReg(1316, 1);
  setReg(1317, 1);
  EXPECT_TRUE(lineAppears("[HmiServer::DoJog is Error] [1] isPos: 1,isNeg: 1 !!!", 1500ms));
  std::this_thread::sleep_for(600ms);  // a window in which a jog would show
  EXPECT_EQ(jointPosition(1), start2);
  setReg(1316, 0);
  setReg(1317, 0);

  setReg(1300, 0);
  EXPECT_TRUE(zelor::test::pollUntil(
      [&] { return reg(1301) == 0 && reg(1313) == 0 && disabledWord() == 1; }, 1500ms))
      << reg(1301) << " " << reg(1313) << " " << disabledWord();
  EXPECT_EQ(lines("quit jog mode ..."), 1);
}

TEST_F(OperatorPanel, RunsToATaughtPointAndTeachesTheCurrentPose) {
  start();
  enterJogMode();
  for (int refused : {0, 17}) {
    setReg(1568, refused);
    setReg(1569, 1);
    ASSERT_TRUE(regBecomes(1569, 0, 1500ms));
    EXPECT_EQ(lines("[HmiServer::GetRuntoPoint] index: " + std::to_string(refused) + " is error !"), 1);
  }
  EXPECT_EQ(lines("[HmiServer::Runto]"), 0);

  // The operator holds the jog enable: the run-to ends when the switch
  // reads disabled.
  setReg(1313, 1);
  ASSERT_TRUE(lineAppears("ReadyJog ...", 1500ms));
  setReg(1568, 16);
  setReg(1569, 1);
  ASSERT_TRUE(regBecomes(1569, 0, 20s)) << zelor::test::readWholeFile(zelor::test::kHostFifoLog);
  EXPECT_EQ(lines("Runto is finished"), 1) << panelLines() << [] {
    const auto r = zelor::test::exchangeOverQueues(zelor::test::textCommand("GetErrorID()"), 3000);
    return std::string(reinterpret_cast<const char*>(r.body + 7));
  }() << [] {
    std::string all;
    for (int ch : {8, 9}) for (const std::string& l : zelor::sim::drainLogChannel(ch)) all += l + "\n";
    return all;
  }();
  // The snapshot writes the pose once it runs (10 s after the start).
  const Point p16 = fixturePoint(16);
  EXPECT_TRUE(zelor::test::pollUntil(
      [&] {
        return std::fabs(inputFloat(242) - p16.x) < 0.1f && std::fabs(inputFloat(244) - p16.y) < 0.1f &&
               std::fabs(inputFloat(246) - p16.z) < 0.1f && std::fabs(inputFloat(248) - p16.r) < 0.1f;
      },
      15s))
      << inputFloat(242) << " " << inputFloat(244) << " " << inputFloat(246) << " " << inputFloat(248);

  // Overwrite P3 with the pose; P5's arm register holds no arm.
  setReg(1311, 1);
  setReg(1310, 2);
  setReg(1309, 3);
  setReg(pointRegister(5) + 12, 2);
  setReg(1571, 3);
  setReg(1572, 1);
  ASSERT_TRUE(regBecomes(1572, 0, 2s));
  const int p3 = pointRegister(3);
  for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(holdFloat(p3 + 2 * k), inputFloat(242 + 2 * k)) << k;
  EXPECT_EQ(reg(p3 + 12), 1);
  EXPECT_EQ(reg(p3 + 13), 2);
  EXPECT_EQ(reg(p3 + 14), 3);
  const std::string pointFile = projectFile(std::string("project/") + kProject + "/point.json");
  Json::Value points = parseFile(pointFile);
  ASSERT_EQ(points.size(), 16u);
  EXPECT_NEAR(points[2]["coordinate"][0].asDouble(), p16.x, 0.1) << points[2].toStyledString();
  EXPECT_NEAR(points[2]["coordinate"][1].asDouble(), p16.y, 0.1);
  EXPECT_EQ(points[2]["armOrientation"].asString(), "right");
  EXPECT_EQ(points[2]["user"].asInt(), 2);
  EXPECT_EQ(points[2]["tool"].asInt(), 3);
  EXPECT_NEAR(points[0]["coordinate"][0].asDouble(), fixturePoint(1).x, 1e-3);
  // The point file keeps P5's own arm when the register names none.
  EXPECT_EQ(points[4]["armOrientation"].asString(), "right");
  EXPECT_FALSE(zelor::test::readWholeFile(pointFile + ".lua").empty());

  setReg(1566, 1);
  ASSERT_TRUE(regBecomes(1566, 0, 2s));
  points = parseFile(pointFile);
  EXPECT_EQ(points[4]["armOrientation"].asString(), "right");
}

TEST_F(OperatorPanel, MirrorsDigitalIoAndSwitchesOutputsInManualJogMode) {
  start();
  zelor::sim::PlcHostRecords& host = records_.get();
  std::atomic_ref<std::uint8_t>(host.di[4]).store(1);
  std::uint8_t bit = 0;
  // The mirror starts once the kernel has its parameters.
  ASSERT_TRUE(zelor::test::pollUntil(
      [&] { return modbus_read_input_bits(master_->ctx(), 54, 1, &bit) == 1 && bit == 1; }, 5s));
  std::atomic_ref<std::uint8_t>(host.di[5]).store(1);
  EXPECT_TRUE(zelor::test::pollUntil(
      [&] { return modbus_read_input_bits(master_->ctx(), 55, 1, &bit) == 1 && bit == 1; }, 500ms));

  // Outside jog mode the coils follow the outputs.
  ASSERT_EQ(modbus_write_bit(master_->ctx(), 56, 1), 1);
  EXPECT_TRUE(zelor::test::pollUntil(
      [&] { return modbus_read_bits(master_->ctx(), 56, 1, &bit) == 1 && bit == 0; }, 1s));
  EXPECT_EQ(std::atomic_ref<std::uint8_t>(host.dout[6]).load(), 0);

  enterJogMode();
  ASSERT_EQ(modbus_write_bit(master_->ctx(), 55, 1), 1);
  EXPECT_TRUE(zelor::test::pollUntil([&] { return std::atomic_ref<std::uint8_t>(host.dout[5]).load() == 1; }, 1s));
}

TEST_F(OperatorPanel, RunToGivesUpWhenTheDrivesNeverEnable) {
  // Every trigger-output read answers 1: the drives never take the enable.
  start("reply 41 r 01\n");
  enterJogMode();
  setReg(1568, 16);
  const auto began = std::chrono::steady_clock::now();
  setReg(1569, 1);
  ASSERT_TRUE(regBecomes(1569, 0, 8s));
  const auto took = std::chrono::steady_clock::now() - began;
  EXPECT_GE(took, 2800ms);
  EXPECT_TRUE(lineAppears("run-to given up", 1s));
  EXPECT_TRUE(rec::loggedPackets(84).empty());
  EXPECT_EQ(lines("[HmiServer::Runto]"), 0);

  setReg(1300, 0);
  EXPECT_TRUE(regBecomes(1301, 0, 2500ms));
}

TEST_F(OperatorPanel, AProjectNameOutsideTheProjectTreeReadsAndWritesNoFile) {
  setRemoteProject("../x");
  const std::string outside = std::string(zelor::paths::kProjectDir) + "/x/point.json";
  writeFile(outside, pointFileText());
  start("");
  enterJogMode();
  EXPECT_EQ(holdFloat(pointRegister(1)), 0.0f);
  EXPECT_TRUE(lineAppears("names no project folder", 1s));
  setReg(pointRegister(1), 7);
  setReg(1566, 1);
  ASSERT_TRUE(regBecomes(1566, 0, 2s));
  EXPECT_EQ(zelor::test::readWholeFile(outside), pointFileText());
  struct stat st {};
  EXPECT_NE(stat((outside + ".lua").c_str(), &st), 0);
}
