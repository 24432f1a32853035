// The real-time feedback configuration files of ports 30005 and 30006.
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "common/util/json_util.h"
#include "log/ombrel.h"
#include "log_reader/log_queue_reader.h"
#include "project_file.h"

using namespace zelor::common::util;
using namespace zelor::test;

namespace {

constexpr const char* k30005 = "settings/function/tcp30005Feedback.json";
constexpr const char* k30006 = "settings/function/tcp30006Feedback.json";

// The 30006 file with every switch set to value, and extra members after.
std::string allSwitches(const std::string& value, const std::string& tail = R"(, "cycle": 8)") {
  std::string text = "{";
  for (int i = 0; i < kFeedbackSwitchCount; ++i) {
    text += std::string(i ? ", " : "") + "\"" + kFeedbackSwitchKeys[i].key + "\": " + value;
  }
  return text + tail + "}";
}

int switchesOn(tcpipRealTimeDataFormater& rec) {
  int n = 0;
  for (const auto& k : kFeedbackSwitchKeys) n += rec.*k.flag ? 1 : 0;
  return n;
}

}  // namespace

TEST(Feedback30006, KeysNameTheirSwitchesInFileOrder) {
  tcpipRealTimeDataFormater rec;
  EXPECT_EQ(feedbackSwitch(rec, "MessageSize"), &rec.MessageSize);
  EXPECT_EQ(feedbackSwitch(rec, "TraceIndex"), &rec.TraceIndex);
  EXPECT_EQ(feedbackSwitch(rec, "User[6]"), &rec.User6);
  EXPECT_EQ(feedbackSwitch(rec, "ActualQuaternion[4]"), &rec.ActualQuaternion4);
  EXPECT_EQ(feedbackSwitch(rec, "cycle"), nullptr);
  // Table order is memory order: the 65th key is TraceIndex.
  for (int i = 0; i < kFeedbackSwitchCount; ++i) {
    EXPECT_EQ(reinterpret_cast<char*>(&(rec.*kFeedbackSwitchKeys[i].flag)) - reinterpret_cast<char*>(&rec), i);
  }
  EXPECT_STREQ(kFeedbackSwitchKeys[64].key, "TraceIndex");
}

TEST(Feedback30006, MissingFileWithCreateWritesEverythingOff) {
  removeProjectFile(k30006);
  tcpipRealTimeDataFormater rec;
  rec.MessageSize = true;
  rec.cycle = 9;
  EXPECT_EQ(JsonUtil::getTcpipRealTimeConf30006(rec, false), -1);
  EXPECT_TRUE(rec.MessageSize) << "without create nothing changes";

  EXPECT_EQ(JsonUtil::getTcpipRealTimeConf30006(rec, true), 0);
  EXPECT_EQ(switchesOn(rec), 0);
  EXPECT_EQ(rec.cycle, 0);
  tcpipRealTimeDataFormater again;
  again.Load = true;
  EXPECT_EQ(JsonUtil::getTcpipRealTimeConf30006(again, true), 0);
  EXPECT_EQ(switchesOn(again), 0);
  EXPECT_EQ(again.cycle, 0) << "a cycle of 0 reads back as 0";
}

TEST(Feedback30006, TheFirstBadKeyStopsTheRead) {
  // Every switch on, but "TraceIndex" (key 65) is a string.
  std::string text = allSwitches("true");
  const std::string key = "\"TraceIndex\": true";
  text.replace(text.find(key), key.size(), "\"TraceIndex\": \"true\"");
  writeProjectFile(k30006, text);
  tcpipRealTimeDataFormater rec;
  rec.cycle = 77;
  EXPECT_EQ(JsonUtil::getTcpipRealTimeConf30006(rec, true), -1);
  EXPECT_EQ(switchesOn(rec), 64) << "the 64 switches before it are set";
  EXPECT_FALSE(rec.TraceIndex);
  EXPECT_FALSE(rec.ActualQuaternion4);
  EXPECT_EQ(rec.cycle, 77);
  EXPECT_EQ(readProjectFile(k30006), text) << "the file is not changed";

  struct Case {
    std::string file;
    int status;
  };
  const Case cases[] = {
      {allSwitches("true", ""), -1},                       // no cycle
      {allSwitches("false", R"(, "cycle": 2.5)"), -1},     // cycle not an integer
      {allSwitches("1"), -1},                              // numbers are not booleans
      {"[]", -1},
      {"{", -2},
  };
  for (const Case& c : cases) {
    writeProjectFile(k30006, c.file);
    EXPECT_EQ(JsonUtil::getTcpipRealTimeConf30006(rec, true), c.status) << c.file;
    EXPECT_EQ(readProjectFile(k30006), c.file) << "a broken file stays for repair";
  }
}

TEST(Feedback30006, AWrittenRecordReadsBackEqual) {
  tcpipRealTimeDataFormater rec;
  for (int i = 0; i < kFeedbackSwitchCount; ++i) rec.*kFeedbackSwitchKeys[i].flag = i % 3 == 0;
  rec.cycle = 16;
  ASSERT_EQ(JsonUtil::setTcpipRealTimeConf30006(rec, false), 0);
  tcpipRealTimeDataFormater back;
  ASSERT_EQ(JsonUtil::getTcpipRealTimeConf30006(back, false), 0);
  EXPECT_EQ(std::memcmp(&rec, &back, sizeof rec), 0);
  EXPECT_EQ(back.cycle, 16);
}

TEST(Feedback30005, CycleReadsStrictly) {
  struct Case {
    const char* file;
    int status;
    std::uint32_t cycle;
  };
  const Case cases[] = {
      {R"({"cycle": 20})", 0, 20},
      {R"({"cycle": 0})", 0, 0},
      {R"({"cycle": -5})", 0, 0},
      {R"({"cycle": 99999999999})", 0, 0xFFFFFFFFu},
      {R"({"cycle": "20"})", -1, 1234},
      {R"({"cycle": 1.5})", -1, 1234},
      {R"({})", -1, 1234},
      {R"([1])", -1, 1234},
  };
  for (const Case& c : cases) {
    writeProjectFile(k30005, c.file);
    TCPIPRealTimeDataFormater30005 rec{1234};
    EXPECT_EQ(JsonUtil::getTcpipRealTimeConf30005(rec, false), c.status) << c.file;
    EXPECT_EQ(rec.cycle, c.cycle) << c.file;
  }
}

TEST(Feedback30005, MissingFileWithCreateWritesCycleZero) {
  spdlog::ombrel::Instance();
  zelor::sim::drainLogChannel(13);
  removeProjectFile(k30005);
  TCPIPRealTimeDataFormater30005 rec{40};
  EXPECT_EQ(JsonUtil::getTcpipRealTimeConf30005(rec, true), 0);
  EXPECT_EQ(rec.cycle, 0u);
  rapidjson::Document doc;
  ASSERT_EQ(JsonUtil::getTcpipRealTimeConf30005(doc, false), 0);
  EXPECT_EQ(doc["cycle"].GetInt(), 0);
  const auto lines = zelor::sim::drainLogChannel(13);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("setting cycle to 0 "), std::string::npos) << lines[0];

  rec.cycle = 50;
  ASSERT_EQ(JsonUtil::setTcpipRealTimeConf30005(rec, false), 0);
  TCPIPRealTimeDataFormater30005 back;
  EXPECT_EQ(JsonUtil::getTcpipRealTimeConf30005(back, false), 0);
  EXPECT_EQ(back.cycle, 50u);
}
