// The data sub-process's enable switch, remote-control requests and enable
// duty against a kernel stand-in on the core's mailbox that records every
// packet: the switch and the requests are called directly, the duty through
// the timer callback or the running event loop.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/router/message_router.h"
#include "common/protocol/axes_group_ref.h"
#include "install_paths.h"
#include "log/ombrel.h"
#include "log_reader/log_queue_reader.h"
#include "robot_states/robot_states.h"
#include "stdout_capture.h"
#include "subProcess/data/data_sub_process.h"
#include "support/core_rig.h"
#include "support/mailbox_kernel.h"
#include "wait_for.h"

using namespace std::chrono_literals;
using zelor::test::CoreRig;
using zelor::test::MailboxKernel;
using zelor::modules::router::MessageRouter;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPort = 12345;
constexpr int kLogChannel = 15;

// Collects the data server's log channel on its own thread: the queue holds
// a few lines only and the server never waits for room. The channel keeps
// order, so a marker line logged here after a call arrives after every line
// that call logged: text() and clear() wait for one.
class LogCollector {
 public:
  LogCollector() {
    thread_ = std::thread([this] {
      while (run_) {
        for (std::string& l : zelor::sim::drainLogChannel(kLogChannel)) {
          std::lock_guard<std::mutex> lock(mutex_);
          lines_.push_back(std::move(l));
        }
        std::this_thread::sleep_for(1ms);
      }
    });
  }
  ~LogCollector() {
    run_ = false;
    thread_.join();
  }
  std::string text() {
    sync();
    std::lock_guard<std::mutex> lock(mutex_);
    std::string all;
    for (const std::string& l : lines_) {
      if (l.find(kMarker) == std::string::npos) all += l + "\n";
    }
    return all;
  }
  void clear() {
    sync();
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
  }

 private:
  static constexpr const char* kMarker = "log collector mark ";

  // Logs a new marker (again while the full queue drops it) until it is seen.
  std::string sync() {
    const std::string marker = kMarker + std::to_string(++marks_);
    const bool seen = zelor::test::waitFor([&] {
      spdlog::ombrel::basicLog(~kLogChannel, __LINE__, __func__, 2, "{}", marker);
      return zelor::test::waitFor([&] {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& l : lines_) {
          if (l.find(marker) != std::string::npos) return true;
        }
        return false;
      }, 200ms, 1ms);
    }, 10s, 1ms);
    EXPECT_TRUE(seen) << "the log channel never delivered the marker";
    return marker;
  }

  int marks_ = 0;
 private:
  std::atomic<bool> run_{true};
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::thread thread_;
};

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string joined(const std::vector<std::string>& packets) {
  std::string all;
  for (const std::string& p : packets) all += "[" + p + "] ";
  return all;
}

// Each expected text begins a recorded packet, in this order.
::testing::AssertionResult sentInOrder(const std::vector<std::string>& packets,
                                       const std::vector<std::string>& expected) {
  std::size_t at = 0;
  for (const std::string& e : expected) {
    while (at < packets.size() && packets[at].rfind(e, 0) != 0) ++at;
    if (at == packets.size()) {
      return ::testing::AssertionFailure() << "\"" << e << "\" missing or out of order in " << joined(packets);
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult notSent(const std::vector<std::string>& packets, const std::string& prefix) {
  for (const std::string& p : packets) {
    if (p.rfind(prefix, 0) == 0) return ::testing::AssertionFailure() << "\"" << p << "\" sent: " << joined(packets);
  }
  return ::testing::AssertionSuccess();
}

std::uint32_t controlWord(int axis) { return CoreRig::record().m_Joints[axis].m_ControlWord; }

class EnableRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.registerCore();
    kernel_ = std::make_unique<MailboxKernel>(rig_.core());
    data_ = std::make_unique<DataSubProcess>(kPort, "test");
    // The monitor hands over the host's record.
    data_->interCall(0, &CoreRig::record(), nullptr, nullptr);
    resetWords();
    log_.clear();
  }

  void TearDown() override {
    data_.reset();
    kernel_.reset();
    resetWords();
  }

  static void resetWords() {
    robotMap& map = robotMap::instance();
    std::memset(map.entry() + robot_map::kScriptStatus, 0, robot_map::kControlAreaEnd - robot_map::kScriptStatus);
    map.storeWord(robot_map::kDragMode, 0);
    map.storeWord(robot_map::kControlType, 0);
  }

  robotMap& map() { return robotMap::instance(); }

  CoreRig rig_;
  std::unique_ptr<MailboxKernel> kernel_;
  std::unique_ptr<DataSubProcess> data_;
  LogCollector log_;
};

}  // namespace

TEST_F(EnableRoad, UpdateEnableTable) {
  struct Case {
    const char* name;
    std::uint8_t flag;      // kernel's hand-teach flag before the call
    bool writeSets;         // a 41 write turns the flag
    bool readUnanswered;    // the 41 read gets no reply
    std::uint8_t on;
    int result;
    int switchState;
    std::vector<std::string> sent;
    bool writes;            // any 41 write at all
    const char* logLine;
  };
  const Case cases[] = {
      {"enable while disabled", 1, true, false, 1, 1, 2, {"41 00 ", "41 01 00"}, true, nullptr},
      {"enable while enabled", 0, true, false, 1, 1, 2, {"41 00 "}, false, "ignore this enable cmd."},
      {"disable while disabled", 1, true, false, 0, 0, 1, {"41 00 "}, false, "ignore this disable cmd."},
      {"disable, read unanswered", 0, true, true, 0, 0, 1, {"41 00 "}, false, "ignore this disable cmd."},
      {"disable while enabled", 0, true, false, 0, 0, 1, {"41 00 ", "41 01 01"}, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AxesGroupRef& rec = CoreRig::record();
    for (auto& joint : rec.m_Joints) joint.m_ControlWord = 0x300;
    rec.m_Signature = 0;
    RobotStates::Instance().UpdateEnableStatus(c.on != 0 ? 0 : 1);
    data_->setSwitchState(0);
    kernel_->setHandTeach(c.flag);
    kernel_->setWriteSetsFlag(c.writeSets);
    kernel_->setUnansweredRead(c.readUnanswered ? MailboxKernel::kSwitch : 0);
    kernel_->clear();
    log_.clear();

    EXPECT_EQ(data_->UpdateEnable(c.on), c.result);
    EXPECT_EQ(data_->switchState(), c.switchState);
    const std::vector<std::string> sent = kernel_->packets();
    EXPECT_TRUE(sentInOrder(sent, c.sent));
    if (!c.writes) {
      EXPECT_TRUE(notSent(sent, "41 01"));
    }
    if (c.logLine != nullptr) {
      EXPECT_EQ(count(log_.text(), c.logLine), 1) << log_.text();
    }
    if (c.on != 0) {
      EXPECT_EQ(rec.m_Signature, 0xAB010002u);
      EXPECT_EQ(controlWord(0), 0x300u);
      for (int axis = 1; axis < 4; ++axis) EXPECT_EQ(controlWord(axis), 0x100u) << "axis " << axis + 1;
      if (c.writes) {
        EXPECT_EQ(RobotStates::Instance().GetEnableStatus(), 1);
      }
    } else {
      if (c.writes) {
        EXPECT_EQ(RobotStates::Instance().GetEnableStatus(), 0);
      }
      for (int axis = 0; axis < 4; ++axis) EXPECT_EQ(controlWord(axis), 0x300u);
    }
  }
  kernel_->setUnansweredRead(0);
  // The monitor signs the record with the words the enable set.
  CoreRig::record().m_Signature = 0;
  data_->interCall(0, &CoreRig::record(), nullptr, nullptr);
  EXPECT_EQ(CoreRig::record().m_Signature, 0xAB010002u);
}

TEST_F(EnableRoad, AnEnableTheDrivesNeverTakeIsSwitchedBackAfterAboutASecond) {
  kernel_->setHandTeach(1);
  kernel_->setWriteSetsFlag(false);
  const auto start = Clock::now();
  EXPECT_EQ(data_->UpdateEnable(1), -1);
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 950ms);
  EXPECT_LT(took, 10s);
  EXPECT_EQ(count(log_.text(), "disable, wait for switch done ..."), 10) << log_.text();
  const std::vector<std::string> sent = kernel_->packets();
  ASSERT_FALSE(sent.empty());
  EXPECT_TRUE(sentInOrder(sent, {"41 00 ", "41 01 00", "41 00 "}));
  EXPECT_EQ(sent.back(), "41 01 01");
  // About one poll each 10 ms: the read, the write, 100 polls, the switch-back.
  EXPECT_EQ(sent.size(), 103u) << joined(sent);
  EXPECT_EQ(RobotStates::Instance().GetEnableStatus(), 0);
}

TEST_F(EnableRoad, AKernelThatDoesNotCycleKeepsTheSwitchBounded) {
  kernel_->setStopped(true);
  for (std::uint8_t on : {1, 0}) {
    SCOPED_TRACE(static_cast<int>(on));
    const auto start = Clock::now();
    EXPECT_EQ(data_->UpdateEnable(on), on != 0 ? -1 : 0);
    // Each exchange waits a bounded time and unanswered polls end the wait.
    EXPECT_LT(Clock::now() - start, 3s);
  }
  // Duty step 7 without a reply: the robot counts as disabled.
  map().storeWord(robot_map::kIsDisabled, 0);
  data_->setSwitchState(0);
  kernel_->setStopped(false);
  kernel_->setUnansweredRead(MailboxKernel::kSwitch);
  DataSubProcess::conn_timeout(-3, 0, data_.get());
  EXPECT_EQ(map().loadWord(robot_map::kIsDisabled), 1);
  EXPECT_EQ(data_->switchState(), 1);
  EXPECT_NE(log_.text().find("alloc_GetHHTTrigOutputEnabled ERROR"), std::string::npos);
}

namespace {

namespace fs = std::filesystem;

// A project whose three scripts exist, removed again by the destructor.
class FixtureProject {
 public:
  explicit FixtureProject(const std::string& name)
      : dir_(fs::path(zelor::paths::kProjectDir) / "project" / name) {
    fs::create_directories(dir_);
    std::ofstream(dir_ / "prj.json") << R"({"cpus": ["src0.lua"], "global": "global.lua", "teach_point": "point"})";
    for (const char* f : {"src0.lua", "global.lua", "point.lua"}) std::ofstream(dir_ / f) << "-- fixture\n";
  }
  ~FixtureProject() { fs::remove_all(dir_); }

 private:
  fs::path dir_;
};

// Writes the Modbus control settings and restores the earlier file.
class ModbusCtrlFile {
 public:
  explicit ModbusCtrlFile(const std::string& json)
      : path_(fs::path(zelor::paths::kProjectDir) / "settings" / "function" / "modbusctrl.json") {
    std::ifstream in(path_);
    had_ = static_cast<bool>(in);
    if (had_) old_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::ofstream(path_) << json;
  }
  ~ModbusCtrlFile() {
    if (had_) {
      std::ofstream(path_) << old_;
    } else {
      fs::remove(path_);
    }
  }

 private:
  fs::path path_;
  bool had_ = false;
  std::string old_;
};

void writeName(std::size_t offset, const std::string& name) {
  char* area = robotMap::instance().entry() + offset;
  std::memset(area, 0, 256);
  std::memcpy(area, name.data(), std::min<std::size_t>(name.size(), 256));
}

std::string nameAt(std::size_t offset) {
  const char* area = robotMap::instance().entry() + offset;
  return std::string(area, strnlen(area, 256));
}

void setHolding(int reg, std::uint16_t value) {
  std::memcpy(robotMap::instance().entry() + robot_map::holdingRegister(reg), &value, sizeof value);
}

}  // namespace

TEST_F(EnableRoad, CheckRequestTable) {
  struct Word {
    std::size_t offset;
    std::int32_t value;
  };
  struct Case {
    const char* name;
    std::function<void()> setup;
    std::vector<Word> requests;                 // set before the call
    std::vector<std::string> sent;              // packet prefixes, in order
    std::vector<std::string> notSent;           // packet prefixes never sent
    std::vector<Word> after;                    // words afterwards
    std::vector<std::string> logLines;          // each logged
    std::function<void()> check;                // further checks
    std::chrono::milliseconds atLeast{0};       // the call lasts at least
  };
  AxesGroupRef& rec = CoreRig::record();
  robotMap& m = map();
  DataSubProcess& d = *data_;
  MailboxKernel& k = *kernel_;
  const auto enabled = [&] { k.setHandTeach(0); };
  const auto script = [&](int word) { return [&m, word] { m.storeWord(robot_map::kScriptStatus, word); }; };
  FixtureProject project("roadfix");

  const Case cases[] = {
      {"enable leaving drag mode while disabled",
       [&] {
         d.setDragMode(1);
         d.setSwitchState(1);
         for (auto& joint : rec.m_Joints) joint.m_ControlWord = 0x300;
         m.storeWord(robot_map::kIsDisabled, 1);
       },
       {{robot_map::kEnableRequest, 1}},
       {"47 01 01", "41 00 ", "41 01 00"},
       {"43 "},
       {{robot_map::kDragMode, 2}, {robot_map::kIsDisabled, 0}},
       {" isRequestEnable true"},
       [&] {
         EXPECT_EQ(controlWord(0), 0x300u);
         EXPECT_EQ(controlWord(1), 0x100u);
         EXPECT_EQ(controlWord(2), 0x000u);
         EXPECT_EQ(controlWord(3), 0x000u);
         EXPECT_EQ(d.dragMode(), 2);
         EXPECT_EQ(d.switchState(), 2);
         EXPECT_TRUE(d.switchChanged());
         EXPECT_EQ(d.controlType(), 1);
       },
       300ms},
      {"enable in drag mode while enabled sends the drag exit",
       [&] {
         d.setDragMode(1);
         d.setSwitchState(2);
         k.setHandTeach(0);
       },
       {{robot_map::kEnableRequest, 1}},
       {"43 01 01", "47 01 01", "41 00 "},
       {"41 01"},
       {{robot_map::kDragMode, 2}},
       {"ignore this enable cmd."},
       nullptr},
      // The kernel never enables: the word keeps saying disabled.
      {"enable the drives never take",
       [&] {
         k.setWriteSetsFlag(false);
         m.storeWord(robot_map::kIsDisabled, 1);
       },
       {{robot_map::kEnableRequest, 1}},
       {"47 01 01", "41 00 ", "41 01 00", "41 01 01"},
       {},
       {{robot_map::kIsDisabled, 1}},
       {"disable, wait for switch done ..."},
       nullptr},
      {"disable while enabled", enabled, {{robot_map::kDisableRequest, 1}}, {"41 00 ", "41 01 01"}, {},
       {{robot_map::kIsDisabled, 1}}, {" isRequestDisable true"}, [&] { EXPECT_EQ(d.switchState(), 1); }},
      {"emergency stop outside PC mode", enabled, {{robot_map::kEStopRequest, 1}},
       {"225 01 03000000", "249 01", "41 00 ", "41 01 01", "47 01 02"}, {"242 "}, {{robot_map::kIsDisabled, 1}},
       {" isRequestEmergencyStop true", "GET ALARMS: alarm ID: 85", " statusData.emergencyStopNeedSet : 0"},
       [&] {
         EXPECT_EQ(d.getAlarmSet().count(85), 1u);
         EXPECT_EQ(d.switchState(), 1);
         EXPECT_EQ(d.controlType(), 2);
       }},
      {"clear error", [&] { d.setAlarm(4242); }, {{robot_map::kClearErrorRequest, 1}}, {"20 01"}, {}, {},
       {" isRequestClearError true"}, [&] { EXPECT_TRUE(d.getAlarmSet().empty()); }},
      {"start queue", nullptr, {{robot_map::kStartQueueRequest, 1}}, {"240 01"}, {}, {},
       {" isRequestStartQueue true"}, nullptr},
      {"stop queue", nullptr, {{robot_map::kStopQueueRequest, 1}}, {"241 01"}, {}, {},
       {" isRequestStopQueue true", " [DataSubProcess::stopQueue] enter ..."}, nullptr},
      {"stop and clear queue", nullptr, {{robot_map::kStopClearQueueRequest, 1}}, {"248 01"}, {}, {},
       {" isRequestStopClearQueue true", " [DataSubProcess::stopClearQueue] enter ..."}, nullptr, 200ms},
      {"drag on", nullptr, {{robot_map::kDragStartRequest, 1}}, {}, {"43 "}, {}, {" isRequestDragEnableStatus true"},
       [&] { EXPECT_EQ(d.dragMode(), 1); }},
      {"drag off", [&] { d.setDragMode(1); }, {{robot_map::kDragStopRequest, 1}}, {}, {"43 "}, {},
       {" isRequestDragDisableStatus true"}, [&] { EXPECT_EQ(d.dragMode(), 2); }},
      {"run an unknown project", [&] { writeName(robot_map::kScriptName, "nosuchproject"); },
       {{robot_map::kRunRequest, 1}}, {}, {"248 ", "240 "}, {{robot_map::kScriptStatus, 0}},
       {" isRequestRunScript 1", "**** startRunScript start *****", "jsonReader.RegexProjectFile"},
       [&] { EXPECT_EQ(d.getAlarmSet().count(8192), 1u); }},
      {"run a project without a name end", [&] { std::memset(m.entry() + robot_map::kScriptName, 'a', 256); },
       {{robot_map::kRunRequest, 1}}, {}, {"248 "}, {}, {"path.isNull"},
       [&] { EXPECT_EQ(d.getAlarmSet().count(8192), 1u); }},
      {"run the fixture project", [&] { writeName(robot_map::kScriptName, "roadfix"); },
       {{robot_map::kRunRequest, 1}}, {"248 01", "240 01", "52 01", "80 01", "81 01"}, {},
       {{robot_map::kScriptStatus, 1}, {robot_map::kControlType, 1}},
       {"**** startRunScript start *****", "** startRunScript end ***"},
       [&] {
         EXPECT_EQ(d.projectName(), "roadfix");
         EXPECT_EQ(d.lastDebuggerCommand(), "run");
       }},
      {"continue a paused script", script(2), {{robot_map::kContinueRequest, 1}}, {"240 01", "225 01 14000000"},
       {}, {{robot_map::kScriptStatus, 1}, {robot_map::kControlType, 1}}, {" script_status  change to running  "},
       nullptr},
      {"continue a stopped script", script(0), {{robot_map::kContinueRequest, 1}}, {}, {"240 ", "225 "},
       {{robot_map::kScriptStatus, 0}}, {}, nullptr},
      {"pause a running script", script(1), {{robot_map::kPauseRequest, 1}}, {"241 01", "225 01 13000000"}, {},
       {{robot_map::kScriptStatus, 2}, {robot_map::kControlType, 1}}, {" script_status  change to suspend"},
       [&] { EXPECT_EQ(d.lastDebuggerCommand(), "suspend"); }},
      {"pause a stopped script", script(0), {{robot_map::kPauseRequest, 1}}, {}, {"241 ", "225 "}, {}, {}, nullptr},
      {"stop a paused script", script(2), {{robot_map::kStopRequest, 1}}, {"248 01", "225 01 12000000"}, {},
       {{robot_map::kScriptStatus, 0}, {robot_map::kControlType, 2}}, {},
       [&] { EXPECT_EQ(d.lastDebuggerCommand(), "stop"); }},
      {"stop a stopped script", script(0), {{robot_map::kStopRequest, 1}}, {}, {"248 ", "225 "}, {}, {}, nullptr},
      {"collision reset",
       [&] {
         rec.m_CollisionWord = 0x3;
         m.storeWord(robot_map::kIsWarn, 1);
       },
       {{robot_map::kCollisionReset, 1}}, {}, {}, {{robot_map::kIsWarn, 0}}, {" g_isCollision true"},
       [&] { EXPECT_EQ(rec.m_CollisionWord, 0u); }},
      {"enable and disable together: enable first", nullptr,
       {{robot_map::kDisableRequest, 1}, {robot_map::kEnableRequest, 1}}, {"41 01 00", "41 01 01"}, {},
       {{robot_map::kIsDisabled, 1}}, {" isRequestEnable true", " isRequestDisable true"}, nullptr},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    k.setHandTeach(1);
    k.setWriteSetsFlag(true);
    d.setDragMode(2);
    d.setSwitchState(0);
    d.clearAlarmSet();
    resetWords();
    if (c.setup) c.setup();
    k.clear();
    log_.clear();
    for (const Word& w : c.requests) m.storeWord(w.offset, w.value);

    const auto start = Clock::now();
    d.checkRequest();
    EXPECT_GE(Clock::now() - start, c.atLeast);

    const std::vector<std::string> sent = k.packets();
    EXPECT_TRUE(sentInOrder(sent, c.sent));
    for (const std::string& p : c.notSent) EXPECT_TRUE(notSent(sent, p));
    for (const Word& w : c.requests) EXPECT_EQ(m.loadWord(w.offset), 0) << "request word " << w.offset;
    for (const Word& w : c.after) EXPECT_EQ(m.loadWord(w.offset), w.value) << "word " << w.offset;
    const std::string text = log_.text();
    for (const std::string& l : c.logLines) EXPECT_NE(text.find(l), std::string::npos) << l << "\n" << text;
    if (c.check) c.check();
  }
}

TEST_F(EnableRoad, TheLuaSubProcessIsAskedThroughTheFactory) {
  SubProcessParam param;
  rig_.factory().start(ISubProcess::LUA, &param);
  MessageRouter* router = MessageRouter::Instance();
  std::uint8_t frame[64] = {};
  router->ReadNoBlock(4, frame, sizeof frame);
  kernel_->setHandTeach(0);
  map().storeWord(robot_map::kEStopRequest, 1);
  zelor::test::StdoutCapture out;
  data_->checkRequest();
  const std::string printed = out.finish();
  EXPECT_EQ(printed.find("Can't find ISubProcess:1"), std::string::npos) << printed;
  // The emergency stop asks the router to stop the Lua program.
  ASSERT_EQ(router->ReadNoBlock(4, frame, sizeof frame), 4);
  EXPECT_EQ(std::vector<std::uint8_t>(frame, frame + 4), (std::vector<std::uint8_t>{0x00, 0x02, 0x00, 0x02}));
  EXPECT_TRUE(sentInOrder(kernel_->packets(), {"225 01 03000000", "249 01", "41 01 01", "47 01 02"}));
  rig_.factory().stop(ISubProcess::LUA);
}

TEST_F(EnableRoad, EmergencyStopInPcModeForcesTheStopAndReleasesIt) {
  alignas(8) std::uint8_t plc[8192] = {};
  const std::int32_t pcMode = 1;
  std::memcpy(plc + 6612, &pcMode, sizeof pcMode);
  RobotStates::Instance().UpdateStatus(plc);
  ASSERT_EQ(RobotStates::Instance().GetPCMode(), 1);

  data_->setDragMode(1);
  data_->setSwitchState(2);
  kernel_->setHandTeach(0);
  map().storeWord(robot_map::kScriptStatus, 1);
  map().storeWord(robot_map::kEStopRequest, 1);
  data_->checkRequest();
  const std::vector<std::string> sent = kernel_->packets();
  EXPECT_TRUE(sentInOrder(sent, {"225 01 03000000", "242 01 01", "43 01 01", "242 01 00", "41 01 01", "47 01 02"}));
  EXPECT_TRUE(notSent(sent, "249 "));
  EXPECT_EQ(map().loadWord(robot_map::kScriptStatus), 0);
  EXPECT_EQ(map().loadWord(robot_map::kDragMode), 2);
  EXPECT_EQ(map().loadWord(robot_map::kEStopRequest), 0);
  const std::string text = log_.text();
  for (const char* line : {"emergency stop!", "drageMode : 1, controlMode : 2", "tech buttom event:drag disable"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  EXPECT_EQ(data_->lastDebuggerCommand(), "stop");

  // With the stop input asserted the force stop stays.
  kernel_->clear();
  kernel_->setHandTeach(0);
  CoreRig::record().m_StopInput = kStopInputAsserted;
  data_->interCall(0, &CoreRig::record(), nullptr, nullptr);
  map().storeWord(robot_map::kEStopRequest, 1);
  data_->checkRequest();
  EXPECT_TRUE(sentInOrder(kernel_->packets(), {"242 01 01", "41 01 01"}));
  EXPECT_TRUE(notSent(kernel_->packets(), "242 01 00"));
  CoreRig::record().m_StopInput = 0;
}

TEST_F(EnableRoad, RemoteScriptNameFromTheModbusSelectionOrTheDefault) {
  ModbusCtrlFile file(R"({"hold": {"optionproject": 3, "projectlist": [{"value": 2, "name": "alpha"},
                         {"value": 4, "name": ")" + std::string(300, 'p') + R"("}]}})");
  data_->jsonReader.st_modbusctrl_load();
  ASSERT_EQ(data_->jsonReader.modbusCtrl.optionProject, 3);
  robotMap& m = map();
  struct Case {
    const char* name;
    std::int32_t remoteWord;
    std::uint16_t reg;
    const char* expected;
  };
  const Case cases[] = {
      {"Modbus remote, project 2 valid", 2, 2, "alpha"},
      {"Modbus remote, project 3 not valid", 2, 3, "fallback"},
      {"Modbus remote, register 0", 2, 0, "fallback"},
      {"Modbus remote, register 10", 2, 10, "fallback"},
      {"other remote", 1, 2, "fallback"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeName(robot_map::kScriptName, "before");
    writeName(robot_map::kRemoteProjectName, "fallback");
    m.storeWord(robot_map::kRemoteMode, c.remoteWord);
    setHolding(3, c.reg);
    log_.clear();
    m.storeWord(robot_map::kUpdateNameRequest, 1);
    data_->checkRequest();
    EXPECT_EQ(m.loadWord(robot_map::kUpdateNameRequest), 0);
    EXPECT_EQ(nameAt(robot_map::kScriptName), c.expected);
    const std::string text = log_.text();
    EXPECT_NE(text.find(" isRequestUpdateRemoteScript 1"), std::string::npos) << text;
    EXPECT_NE(text.find(std::string(" ScriptName:") + c.expected), std::string::npos) << text;
  }

  // A name longer than its area is never cut: the area stays as it was.
  writeName(robot_map::kScriptName, "before");
  m.storeWord(robot_map::kRemoteMode, 2);
  setHolding(3, 4);
  log_.clear();
  EXPECT_EQ(data_->updateRemoteScript(), 0);
  EXPECT_EQ(nameAt(robot_map::kScriptName), "before");
  EXPECT_EQ(nameAt(robot_map::kRemoteProjectName), "fallback");
  EXPECT_NE(log_.text().find("not copied"), std::string::npos) << log_.text();

  // A default name area without its end is not copied either.
  setHolding(3, 0);
  std::memset(m.entry() + robot_map::kRemoteProjectName, 'q', 256);
  log_.clear();
  data_->updateRemoteScript();
  EXPECT_EQ(nameAt(robot_map::kScriptName), "before");
  EXPECT_NE(log_.text().find("not copied"), std::string::npos) << log_.text();

  // A selection register outside the holding registers counts as none.
  std::string name;
  for (int reg : {10000, 65535}) {
    data_->jsonReader.modbusCtrl.optionProject = reg;
    setHolding(reg, 2);  // beyond the table: other data of the memory
    log_.clear();
    EXPECT_EQ(data_->getModbusProjectName(name), 0);
    EXPECT_NE(log_.text().find("outside the holding registers"), std::string::npos);
    setHolding(reg, 0);
  }
  data_->jsonReader.modbusCtrl.optionProject = -1;
  EXPECT_EQ(data_->getModbusProjectName(name), 0);
  data_->jsonReader.modbusCtrl.optionProject = 9999;
  setHolding(9999, 2);
  EXPECT_NE(data_->getModbusProjectName(name), 0);
  EXPECT_EQ(name, "alpha");
}

TEST_F(EnableRoad, StartRunScriptRefusesMissingScripts) {
  namespace fs = std::filesystem;
  FixtureProject project("roadfix");
  const fs::path dir = fs::path(zelor::paths::kProjectDir) / "project" / "roadfix";
  struct Case {
    const char* remove;
    int alarm;
    const char* line;
  };
  const Case cases[] = {
      {"src0.lua", 8193, "The cpu file not exist:"},
      {"global.lua", 8194, "The global file not exist:"},
      {"point.lua", 8195, "The teach point file not exist:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.remove);
    fs::rename(dir / c.remove, dir / "aside");
    data_->clearAlarmSet();
    kernel_->clear();
    log_.clear();
    EXPECT_EQ(data_->startRunScript("roadfix"), 0);
    EXPECT_EQ(data_->getAlarmSet().count(c.alarm), 1u);
    EXPECT_TRUE(kernel_->packets().empty()) << joined(kernel_->packets());
    EXPECT_NE(log_.text().find(c.line), std::string::npos) << log_.text();
    fs::rename(dir / "aside", dir / c.remove);
  }
  for (const char* bad : {"", "../roadfix", "roadfix/prj.json"}) {
    SCOPED_TRACE(bad);
    data_->clearAlarmSet();
    EXPECT_EQ(data_->startRunScript(bad), 0);
    EXPECT_EQ(data_->getAlarmSet().count(8192), 1u);
  }
}

TEST_F(EnableRoad, DutyStepFollowsTheKernelsEnableState) {
  struct Case {
    std::uint8_t flag;
    int startSwitch;
    std::int32_t word;
    int switchAfter;
  };
  const Case cases[] = {{1, 0, 1, 1}, {0, 0, 0, 2}, {1, 2, 1, 2}, {0, 1, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flag " << int(c.flag) << " switch " << c.startSwitch);
    kernel_->setHandTeach(c.flag);
    data_->setSwitchState(c.startSwitch);
    map().storeWord(robot_map::kIsDisabled, 1 - c.word);
    DataSubProcess::conn_timeout(-3, 0, data_.get());
    EXPECT_EQ(map().loadWord(robot_map::kIsDisabled), c.word);
    EXPECT_EQ(data_->switchState(), c.switchAfter);
  }
  // Requests run in the same duty, before the enable state.
  kernel_->setHandTeach(1);
  kernel_->clear();
  map().storeWord(robot_map::kEnableRequest, 1);
  DataSubProcess::conn_timeout(-3, 0, data_.get());
  EXPECT_EQ(map().loadWord(robot_map::kEnableRequest), 0);
  EXPECT_EQ(map().loadWord(robot_map::kIsDisabled), 0);
  EXPECT_TRUE(sentInOrder(kernel_->packets(), {"47 01 01", "41 00 ", "41 01 00", "41 00 "}));
}

TEST_F(EnableRoad, EnabledTimeCountsFromTheRecordedEnableOnly) {
  // A disable without an enable of this server adds nothing.
  kernel_->setHandTeach(0);
  const std::int32_t before = data_->enabledSeconds();
  EXPECT_EQ(data_->UpdateEnable(0), 0);
  EXPECT_EQ(data_->enabledSeconds(), before);

  EXPECT_EQ(data_->UpdateEnable(1), 1);
  EXPECT_NE(data_->enableTime(), 0);
  // At least one whole second on the clock the enable time is read from.
  ASSERT_TRUE(zelor::test::waitFor([&] { return std::time(nullptr) > data_->enableTime(); }, 3s));
  EXPECT_EQ(data_->UpdateEnable(0), 0);
  EXPECT_GE(data_->enabledSeconds() - before, 1);
  EXPECT_LE(data_->enabledSeconds() - before, 30);
  EXPECT_EQ(data_->enableTime(), 0);
}
