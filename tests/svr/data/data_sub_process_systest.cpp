// The data sub-process in the test process: the real core sub-process and
// motion kernel cycling on a simulated axes group behind a plain factory,
// the HTTP server on its port, the cyclic monitor on the rig's record.
#include "subProcess/data/data_sub_process.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/ipc/semlib.h"
#include "install_paths.h"
#include "json/parameter_globals.h"
#include "log_reader/log_queue_reader.h"
#include "robot_states/robot_states.h"
#include "subProcess/data/servo_payload_request.h"
#include "support/core_rig.h"
#include "support/http_client.h"
#include "support/script_alarm.h"

using namespace std::chrono_literals;
using zelor::test::CoreRig;
using zelor::test::httpRequest;
using zelor::test::HttpReply;

namespace {

constexpr int kPort = 12345;
constexpr int kLogChannel = 15;

std::uint8_t* attachMemory(int id) {
  const int shmid = shmget(ftok(zelor::paths::kRoot, id), 4096, IPC_CREAT | 0666);
  void* at = shmat(shmid, nullptr, 0);
  return at == reinterpret_cast<void*>(-1) ? nullptr : static_cast<std::uint8_t*>(at);
}

class DataSubProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.startExchange();
    rig_.registerCore();
    rig_.startCycling();
    SubProcessParam param;
    param.data_port = kPort;
    param.version = "test";
    rig_.factory().start(ISubProcess::DATA, &param);
    data_ = static_cast<DataSubProcess*>(rig_.factory().getInterface(ISubProcess::DATA));
    ASSERT_NE(data_, nullptr);
    ASSERT_TRUE(zelor::test::waitForHttp(kPort, "/properties/axis", 30000));
    zelor::sim::drainLogChannel(kLogChannel);
  }

  void TearDown() override {
    rig_.factory().stop(ISubProcess::DATA);
    rig_.stopCycling();
    for (std::uint8_t* m : attached_) shmdt(m);
    zelor::sim::drainLogChannel(kLogChannel);
  }

  std::uint8_t* memory(int id) {
    std::uint8_t* m = attachMemory(id);
    if (m != nullptr) attached_.push_back(m);
    return m;
  }

  // Log lines of channel 15 since the last call, kept for the test's checks.
  const std::vector<std::string>& logLines() {
    for (std::string& l : zelor::sim::drainLogChannel(kLogChannel)) lines_.push_back(std::move(l));
    return lines_;
  }
  int countLines(const std::string& text) {
    int n = 0;
    for (const std::string& l : logLines()) n += l.find(text) != std::string::npos ? 1 : 0;
    return n;
  }
  void monitor() {
    rig_.factory().interCall(ISubProcess::DATA, 0, &CoreRig::record(), nullptr, nullptr);
    logLines();
  }

  // Waits until pred holds, draining the log meanwhile.
  template <typename Pred>
  bool waitFor(Pred pred, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
      logLines();
      if (pred()) return true;
      std::this_thread::sleep_for(10ms);
    }
    return pred();
  }

  CoreRig rig_;
  DataSubProcess* data_ = nullptr;
  std::vector<std::uint8_t*> attached_;
  std::vector<std::string> lines_;
};

}  // namespace

TEST_F(DataSubProcessTest, TheRoutesOfThisServerAnswer) {
  struct Case {
    const char* method;
    const char* path;
    const char* body;
    int status;
    const char* text;
  };
  const Case cases[] = {
      {"GET", "/", "", 503, ""},
      {"GET", "/settings", "", 503, ""},
      {"GET", "/nosuch/x", "", 405, ""},
      {"GET", "/settings/nosuch", "", 405, ""},
      {"GET", "/properties/axis?x=1", "", 405, ""},
      {"POST", "/properties/axis", "{}", 200, "{\"status\":false}"},
      {"POST", "/interface/updateFile", "", 200, "{\"status\":true}"},
      {"GET", "/debugger/stepOver", "", 200, "{\"status\":true}"},
      {"POST", "/debugger/delallb", "", 200, "{\"status\":true}"},
      {"GET", "/connection/state", "", 200, "{\"value\":\"connected\"}"},
  };
  for (const Case& c : cases) {
    const HttpReply r = httpRequest(kPort, c.method, c.path, c.body);
    logLines();  // the log queue holds a few lines only
    ASSERT_TRUE(r.answered) << c.path;
    EXPECT_EQ(r.status, c.status) << c.path;
    if (c.status == 200) {
      EXPECT_EQ(r.body, c.text) << c.path;
    }
  }
  const HttpReply axis = httpRequest(kPort, "GET", "/properties/axis");
  logLines();
  EXPECT_NE(axis.headers.find("Content-Type: application/json;charset=utf-8"), std::string::npos);
  rapidjson::Document doc;
  doc.Parse(axis.body.c_str());
  ASSERT_TRUE(doc.IsObject()) << axis.body;
  EXPECT_EQ(doc["axis"].GetInt(), 4);
  doc.Parse(httpRequest(kPort, "GET", "/properties/businessType").body.c_str());
  ASSERT_TRUE(doc.IsObject());
  EXPECT_STREQ(doc["type"].GetString(), "industry");

  EXPECT_GE(countLines("GET uri : /properties/axis"), 1);
  EXPECT_EQ(countLines("uri : /connection/state"), 0);
}

TEST_F(DataSubProcessTest, DebuggerRunIsAnsweredAtOnceAndSetsTheScriptWord) {
  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kScriptStatus, 0);
  const HttpReply r = httpRequest(kPort, "POST", "/debugger/run", "{}");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "{\"status\":true}");
  EXPECT_EQ(map.loadWord(robot_map::kScriptStatus), 1);
  httpRequest(kPort, "POST", "/debugger/stop", "{}");
  EXPECT_EQ(map.loadWord(robot_map::kScriptStatus), 0);
}

TEST_F(DataSubProcessTest, AFailedHardwareRequestLeavesNothingForTheNext) {
  EXPECT_EQ(httpRequest(kPort, "GET", "/interface/hardware").status, 500);
  const HttpReply axis = httpRequest(kPort, "GET", "/properties/axis");
  rapidjson::Document doc;
  doc.Parse(axis.body.c_str());
  EXPECT_TRUE(doc.IsObject()) << axis.body;
  // A body beyond 8192 bytes is cut and fails to parse; the server goes on.
  const std::string big = "{\"enable\":false,\"pad\":\"" + std::string(9000, 'x') + "\"}";
  EXPECT_EQ(httpRequest(kPort, "POST", "/interface/hardware", big).status, 500);
  EXPECT_TRUE(data_->hardware());
  EXPECT_EQ(httpRequest(kPort, "POST", "/interface/hardware", std::string(2 << 20, ' ')).status, 413);
  EXPECT_EQ(httpRequest(kPort, "GET", "/properties/axis").status, 200);
}

TEST_F(DataSubProcessTest, TheMonitorSignsTheRecordAndFollowsModesAfterHardwareIsCleared) {
  AxesGroupRef& rec = CoreRig::record();
  const double pair = 12.5;
  std::memcpy(rec.m_JointPair, &pair, sizeof pair);
  rec.m_AppMode = 2;
  rec.m_AppModeDone = 0;
  rec.m_AutoMode = 0;
  rec.m_EnableState = 0;
  rec.m_HoldWord = 0;
  monitor();
  EXPECT_EQ(rec.m_Signature, 0xAB010001u);
  EXPECT_EQ(rec.m_LightCode, 1);
  EXPECT_EQ(data_->robotData(), &rec);
  std::uint8_t* pairs = memory(996);
  ASSERT_NE(pairs, nullptr);
  EXPECT_EQ(std::memcmp(pairs, &pair, sizeof pair), 0);
  EXPECT_EQ(rec.m_AppModeDone, 0u);  // hardware still set

  EXPECT_EQ(httpRequest(kPort, "POST", "/interface/hardware", "{\"enable\": false}").body, "{\"value\":true}");
  EXPECT_FALSE(data_->hardware());
  monitor();
  EXPECT_EQ(rec.m_AppModeDone, 1u);

  rec.m_AutoMode = 2;
  monitor();
  EXPECT_EQ(data_->controlType(), DataSubProcess::kControlAuto);
  rec.m_AutoMode = 0;
  monitor();
  EXPECT_EQ(data_->controlType(), DataSubProcess::kControlManual);
  rec.m_EnableState = 1;
  monitor();
  EXPECT_EQ(data_->switchState(), DataSubProcess::kSwitchEnabled);
  EXPECT_TRUE(waitFor([&] { return countLines("monitor: three position switch change to enable") == 1; }, 1s));
  EXPECT_EQ(countLines("monitor: controlType change to auto"), 1);
  EXPECT_EQ(countLines("monitor: controlType change to manual"), 1);
  rec.m_EnableState = 0;
  monitor();
  EXPECT_EQ(data_->switchState(), DataSubProcess::kSwitchDisabled);

  // A script alarm waiting in the semlib slot is raised once.
  semlib_shm* shm = zelor::test::raiseScriptAlarm(4242);
  ASSERT_NE(shm, nullptr);
  monitor();
  EXPECT_EQ(shm->alarmFlag, 0);
  EXPECT_EQ(data_->getAlarmSet().count(4242), 1u);
  EXPECT_TRUE(waitFor([&] { return countLines("GET ALARMS: alarm ID: 4242") == 1; }, 1s));
  // The next 200 ms tick shows it to the snapshot.
  EXPECT_TRUE(waitFor([] { return RobotStates::Instance().GetAlarm() == 4242; }, 1s));
  shmdt(shm);
}

TEST_F(DataSubProcessTest, TheScanPassesJointsToTheSnapshotOnceInFiveCalls) {
  ASSERT_EQ(httpRequest(kPort, "POST", "/interface/hardware", "{\"enable\": false}").status, 200);
  AxesGroupRef& rec = CoreRig::record();
  monitor();  // the counter's first turn copies
  const float first = RobotStates::Instance().joint(0);
  EXPECT_FLOAT_EQ(first, static_cast<float>(rec.m_Joints[0].m_ActPosition));
}

TEST_F(DataSubProcessTest, ServoAndPayloadRequestsAreCarriedOutByTheTick) {
  std::uint8_t* request = memory(67);
  ASSERT_NE(request, nullptr);
  const st_loadParams before = m_st_loadParams;
  auto post = [&](std::int32_t index, float v8, float v12, float v16, float mass) {
    std::memset(request, 0, servo_payload::kRecordSize);
    std::memcpy(request, &index, 4);
    std::memcpy(request + 8, &v8, 4);
    std::memcpy(request + 12, &v12, 4);
    std::memcpy(request + 16, &v16, 4);
    std::memcpy(request + 20, &mass, 4);
    std::atomic_ref<std::uint8_t>(request[servo_payload::kFlagOffset]).store(1);
    return waitFor([&] { return std::atomic_ref<std::uint8_t>(request[4]).load() == 0; }, 1000ms);
  };
  ASSERT_TRUE(post(3, 0, 0, 0, 0));
  EXPECT_EQ(data_->driverLevel(), 3);
  EXPECT_EQ(m_st_loadParams.loadValue, before.loadValue);  // a servo request keeps the payload

  ASSERT_TRUE(post(0, 10.0f, 20.0f, 30.0f, 2.5f));
  EXPECT_EQ(m_st_loadParams.loadValue, 2.5f);
  EXPECT_EQ(m_st_loadParams.inertiaX, 10.0f);
  EXPECT_EQ(m_st_loadParams.inertiaY, 20.0f);
  EXPECT_EQ(m_st_loadParams.inertiaZ, before.inertiaZ);

  ASSERT_TRUE(post(0, 1.0f, 1.0f, 1.0f, 25.0f));
  ASSERT_TRUE(post(0, 1.0f, std::numeric_limits<float>::quiet_NaN(), 1.0f, 1.0f));
  EXPECT_EQ(m_st_loadParams.loadValue, 2.5f);
  EXPECT_EQ(m_st_loadParams.inertiaY, 20.0f);
  EXPECT_GE(countLines("servo/payload request refused"), 2);
}

TEST_F(DataSubProcessTest, AlarmSetAndAlarmStatus) {
  AxesGroupRef& rec = CoreRig::record();
  monitor();
  zelor::sim::drainLogChannel(kLogChannel);
  lines_.clear();
  data_->clearAlarmSet();
  EXPECT_EQ(countLines("Clear ALARMS"), 0);
  data_->setAlarm(8192);
  data_->setAlarm(8192);
  EXPECT_EQ(data_->getAlarmSet().size(), 1u);
  EXPECT_EQ(DataSubProcess::getControllerAlarmStatus(data_), 1);
  EXPECT_EQ(data_->getAlarmStatus(), 1);
  EXPECT_EQ(RobotStates::Instance().GetAlarm(), 8192);
  data_->clearAlarmSet();
  EXPECT_EQ(countLines("Clear ALARMS: alarm ID: 8192"), 1);

  rec.m_Joints[1].m_ErrorCode = 0x1234;
  EXPECT_EQ(data_->getAlarmStatus(), 1);
  EXPECT_EQ(RobotStates::Instance().GetAlarm(), 0x1234);
  EXPECT_TRUE(waitFor([&] { return countLines("GET Servo[2] ALARMS:raw alarm:") >= 2; }, 1s));
  EXPECT_TRUE(data_->inAlarmNow());
  rec.m_Joints[1].m_ErrorCode = 0;
  EXPECT_EQ(data_->getAlarmStatus(), 0);
  EXPECT_FALSE(data_->inAlarmNow());

  // A collision alone: alarm 1 shown, not in alarm, one reaction per edge.
  rec.m_CollisionWord = 1;
  EXPECT_EQ(data_->getAlarmStatus(), 0);
  EXPECT_EQ(RobotStates::Instance().GetAlarm(), 1);
  data_->getAlarmStatus();
  EXPECT_TRUE(waitFor([&] { return countLines("碰撞检测") == 1; }, 1s));
  rec.m_CollisionWord = 0;
  data_->getAlarmStatus();
  EXPECT_TRUE(waitFor([&] { return countLines("Clear collision flag") == 1; }, 1s));
  EXPECT_EQ(RobotStates::Instance().GetAlarm(), 0);
}

// The snapshot thread that the data sub-process starts finds the host's
// record through it and rewrites the real-time record behind its flag.
TEST_F(DataSubProcessTest, TheSnapshotWritesTheRecordOnceTheMonitorHoldsTheHostRecord) {
  ASSERT_EQ(httpRequest(kPort, "POST", "/interface/hardware", "{\"enable\": false}").status, 200);
  robotMap& map = robotMap::instance();
  std::memset(map.record(), 0, sizeof(RealTimeData_t));
  // A script alarm in the semlib slot reaches the record through the monitor,
  // the 200 ms tick and the snapshot.
  semlib_shm* shm = zelor::test::raiseScriptAlarm(4242);
  ASSERT_NE(shm, nullptr);
  std::atomic<bool> cycling{true};
  std::thread host([&] {
    while (cycling) {
      monitor();
      std::this_thread::sleep_for(40ms);
    }
  });
  const bool written = waitFor(
      [&] {
        return std::atomic_ref<std::uint64_t>(map.record()->TestValue).load() == kRealTimeTestValue &&
               std::atomic_ref<std::uint16_t>(*map.recordValid()).load() == 1;
      },
      15s);
  cycling = false;
  host.join();
  ASSERT_TRUE(written);
  EXPECT_EQ(map.record()->RobotType, 2);
  EXPECT_EQ(std::atomic_ref<std::uint8_t>(shm->alarmFlag).load(), 0);
  shmdt(shm);
  std::uint16_t alarmRegister = 0;
  std::memcpy(&alarmRegister, map.entry() + robot_map::inputRegister(0), sizeof alarmRegister);
  EXPECT_EQ(alarmRegister, 4242);
  EXPECT_EQ(map.record()->RobotMode, 9u);
  float joint1 = 0.0f;
  std::memcpy(&joint1, map.entry() + robot_map::inputRegister(202), sizeof joint1);
  // Registers 202-203 hold joint 1's actual position (low half first).
  EXPECT_NEAR(joint1, static_cast<float>(CoreRig::record().m_Joints[0].m_ActPosition), 1e-3);
}
