// The small settings files through the settings-file utilities: vision
// cameras, controller type, collision level, version history, joint limits,
// serial number and speed factor.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "common/util/json_util.h"
#include "json/project_records.h"
#include "log/ombrel.h"
#include "log_reader/log_queue_reader.h"
#include "project_file.h"

using zelor::common::util::JsonUtil;
using zelor::common::util::VisionCamMap;
using zelor::common::util::VisionCamParams;
using namespace zelor::test;

namespace {

constexpr const char* kVision = "process/vision/params.json";
constexpr const char* kStructure = "properties/structure.json";

// Owns the records a test's map receives.
struct OwnedCameras {
  VisionCamMap map;
  ~OwnedCameras() {
    for (auto& entry : map) delete entry.second;
  }
};

VisionCamParams camera(const std::string& name, int seed, bool head, bool tail) {
  VisionCamParams c;
  c.name = name;
  c.installType = seed;
  c.triggerMode = seed + 1;
  c.triggerForm = "form" + std::to_string(seed);
  c.head = head;
  c.tail = tail;
  c.dataLen = static_cast<std::uint8_t>(seed + 2);
  c.split = ",";
  c.frameGap = "\\r\\n";
  c.triggerIO = static_cast<std::uint8_t>(seed + 3);
  c.netMode = seed + 4;
  c.ip = "192.168.1." + std::to_string(seed);
  c.port = 6000 + seed;
  c.blockMode = seed + 5;
  c.netTimeout = 3000;
  c.blockTime = seed + 6;
  c.IsRobotCalib = 1;
  c.calibType = seed + 7;
  c.user = 1;
  c.tool = 2;
  c.PtNumType = 9;
  c.fixType = 1;
  for (int i = 0; i < 16; ++i) c.calibResult[i] = seed * 100 + i + 0.25;
  c.offsetX = -1.5;
  c.offsetY = 2.75;
  return c;
}

void expectSameCamera(const VisionCamParams& a, const VisionCamParams& b) {
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.installType, b.installType);
  EXPECT_EQ(a.triggerMode, b.triggerMode);
  EXPECT_EQ(a.triggerForm, b.triggerForm);
  EXPECT_EQ(a.head, b.head);
  EXPECT_EQ(a.tail, b.tail);
  EXPECT_EQ(a.dataLen, b.dataLen);
  EXPECT_EQ(a.split, b.split);
  EXPECT_EQ(a.frameGap, b.frameGap);
  EXPECT_EQ(a.triggerIO, b.triggerIO);
  EXPECT_EQ(a.netMode, b.netMode);
  EXPECT_EQ(a.ip, b.ip);
  EXPECT_EQ(a.port, b.port);
  EXPECT_EQ(a.blockMode, b.blockMode);
  EXPECT_EQ(a.netTimeout, b.netTimeout);
  EXPECT_EQ(a.blockTime, b.blockTime);
  EXPECT_EQ(a.IsRobotCalib, b.IsRobotCalib);
  EXPECT_EQ(a.calibType, b.calibType);
  EXPECT_EQ(a.user, b.user);
  EXPECT_EQ(a.tool, b.tool);
  EXPECT_EQ(a.PtNumType, b.PtNumType);
  EXPECT_EQ(a.fixType, b.fixType);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(a.calibResult[i], b.calibResult[i]) << i;
  EXPECT_EQ(a.offsetX, b.offsetX);
  EXPECT_EQ(a.offsetY, b.offsetY);
}

const char* kOneCamera = R"({"cam": {"installType": 1, "triggerMode": 2, "triggerIO": 3, "netMode": 4,
  "blockMode": 5, "blockTime": 6, "IsRobotCalib": 0, "net": {"port": 7, "netTimeout": 8, "ip": "1.2.3.4"},
  "triggerForm": "tcp"%s}})";

std::string oneCamera(const std::string& extra) {
  std::string text = kOneCamera;
  text.replace(text.find("%s"), 2, extra);
  return text;
}

}  // namespace

TEST(VisionParams, WrittenCamerasReadBackEqual) {
  std::vector<VisionCamParams> cams = {camera("left", 1, true, false), camera("right", 2, false, true)};
  VisionCamMap out;
  for (auto& c : cams) out[c.name] = &c;
  ASSERT_EQ(JsonUtil::setVisionParams(out, true), 0);

  OwnedCameras back;
  ASSERT_EQ(JsonUtil::getVisionParams(back.map, false), 0);
  ASSERT_EQ(back.map.size(), 2u);
  for (const auto& c : cams) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(back.map[c.name], nullptr);
    expectSameCamera(*back.map[c.name], c);
  }
  // A second read replaces the records (the map owns them; the sanitizer
  // reports one that is dropped).
  ASSERT_EQ(JsonUtil::getVisionParams(back.map, false), 0);
  EXPECT_EQ(back.map.size(), 2u);
}

TEST(VisionParams, MembersAreCheckedInOrder) {
  struct Case {
    std::string extra;
    int status;
    bool stored;
  };
  const Case cases[] = {
      // Optional groups may be absent.
      {"", 0, true},
      {R"(, "calib": {"calibType": 1, "user": 2, "tool": 3, "PtNumType": 4, "fixType": 5,
          "calibResult": [1, 2.5, 3000000000], "offsetX": 1, "offsetY": 2})", 0, true},
      {R"(, "calib": {"calibType": 1, "user": 2, "tool": 3, "PtNumType": 4, "fixType": 5,
          "calibResult": [1, "2"], "offsetX": 1, "offsetY": 2})", -1, false},
      {R"(, "recvForm": {"dataLen": 1, "head": "true", "tail": 1, "split": ",", "frameGap": ""})", 0, true},
      {R"(, "recvForm": {"dataLen": 1, "head": true, "tail": true, "split": 5, "frameGap": ""})", -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extra);
    writeProjectFile(kVision, oneCamera(c.extra));
    OwnedCameras cams;
    EXPECT_EQ(JsonUtil::getVisionParams(cams.map, false), c.status);
    EXPECT_EQ(cams.map.count("cam"), c.stored ? 1u : 0u);
  }

  writeProjectFile(kVision, oneCamera(R"(, "calib": {"calibType": 1, "user": 258, "tool": 3, "PtNumType": 4,
      "fixType": 5, "calibResult": [1, 2.5, 3000000000, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17],
      "offsetX": 1, "offsetY": 2}, "recvForm": {"dataLen": 1, "head": "true", "tail": true, "split": ",",
      "frameGap": ""})"));
  OwnedCameras cams;
  ASSERT_EQ(JsonUtil::getVisionParams(cams.map, false), 0);
  const VisionCamParams& cam = *cams.map.at("cam");
  EXPECT_EQ(cam.calibResult[1], 2.5);
  EXPECT_EQ(cam.calibResult[2], 3000000000.0) << "any number type";
  EXPECT_EQ(cam.calibResult[15], 16.0) << "at most 16 numbers";
  EXPECT_EQ(cam.user, 2) << "8 bits";
  EXPECT_FALSE(cam.head) << "true only for the literal true";
  EXPECT_TRUE(cam.tail);
}

TEST(VisionParams, AnErrorKeepsTheCamerasBeforeIt) {
  writeProjectFile(kVision, R"({"a": {"installType": 1, "triggerMode": 2, "triggerIO": 3, "netMode": 4,
      "blockMode": 5, "blockTime": 6, "IsRobotCalib": 0, "net": {"port": 7, "netTimeout": 8, "ip": "x"},
      "triggerForm": "tcp"},
    "b": {"installType": 1, "triggerMode": 2, "triggerIO": 3, "netMode": 4, "blockMode": 5, "blockTime": 6,
      "IsRobotCalib": 0, "triggerForm": "tcp"}})");
  OwnedCameras cams;
  EXPECT_EQ(JsonUtil::getVisionParams(cams.map, false), -1);
  EXPECT_EQ(cams.map.count("a"), 1u);
  EXPECT_EQ(cams.map.count("b"), 0u) << "\"net\" is required";
}

TEST(VisionParams, OnlyAMissingFileGetsTheEmptyTable) {
  removeProjectFile(kVision);
  OwnedCameras cams;
  EXPECT_EQ(JsonUtil::getVisionParams(cams.map, true), -1);
  EXPECT_EQ(readProjectFile(kVision), "{}");

  // A broken table is the user's cameras: it stays for repair.
  writeProjectFile(kVision, "{\"cam\": {");
  EXPECT_EQ(JsonUtil::getVisionParams(cams.map, true), -2);
  EXPECT_EQ(readProjectFile(kVision), "{\"cam\": {");
  EXPECT_TRUE(cams.map.empty());
}

TEST(SmallSettings, ControllerTypeAndCollisionLevel) {
  writeProjectFile("properties/controllerType.json", R"({"name": "M1"})");
  std::string name;
  EXPECT_EQ(JsonUtil::getControllerType(name), 0);
  EXPECT_EQ(name, "M1");
  EXPECT_EQ(JsonUtil::setControllerType(name, true), -1);
  EXPECT_EQ(JsonUtil::setControllerType(static_cast<rapidjson::Document*>(nullptr), true), -1);

  struct Case {
    const char* file;  // null: no file
    int level;
    int status;
  };
  const Case cases[] = {
      {nullptr, 0, -1},
      {R"({"level": 3})", 3, 0},
      {R"({"value": true})", 0, 0},
      {R"({"level": 2.5})", 0, 0},
      {R"({"level": "4"})", 0, 0},
      {"[", 0, -2},
  };
  for (const Case& c : cases) {
    const char* file = "settings/function/collisionDect.json";
    if (c.file == nullptr) {
      removeProjectFile(file);
    } else {
      writeProjectFile(file, c.file);
    }
    int level = 99;
    EXPECT_EQ(JsonUtil::getCollisionLevel(level), c.status) << (c.file ? c.file : "no file");
    EXPECT_EQ(level, c.level) << (c.file ? c.file : "no file");
  }
}

TEST(SmallSettings, VersionHistoryAppendsOnlyANewVersion) {
  const char* file = "properties/versionInfo.json";
  removeProjectFile(file);
  EXPECT_EQ(JsonUtil::setVersionInfo("1.0"), 0);
  EXPECT_EQ(JsonUtil::setVersionInfo("1.0"), 0);
  EXPECT_EQ(JsonUtil::setVersionInfo("1.1"), 0);
  EXPECT_EQ(JsonUtil::setVersionInfo("1.0"), 0) << "only the last entry counts";
  rapidjson::Document doc;
  ASSERT_EQ(JsonUtil::readJsonFile(projectFile(file).c_str(), doc), 0);
  ASSERT_TRUE(doc["controllerVersion"].IsArray());
  std::vector<std::string> versions;
  for (const auto& v : doc["controllerVersion"].GetArray()) versions.emplace_back(v.GetString());
  EXPECT_EQ(versions, (std::vector<std::string>{"1.0", "1.1", "1.0"}));

  // Other members of the file stay.
  writeProjectFile(file, R"({"hardware": "B2", "controllerVersion": ["0.9"]})");
  EXPECT_EQ(JsonUtil::setVersionInfo("1.2"), 0);
  ASSERT_EQ(JsonUtil::readJsonFile(projectFile(file).c_str(), doc), 0);
  EXPECT_EQ(doc["hardware"], "B2");
  EXPECT_EQ(doc["controllerVersion"].Size(), 2u);
}

TEST(JointLimits, ReadGivesTheLimitsAlone) {
  rapidjson::Document doc;
  std::string text;
  ASSERT_EQ(JsonUtil::getJointLimts(doc, text), 0);
  rapidjson::Document limits;
  limits.Parse(text.c_str());
  ASSERT_TRUE(limits.IsObject()) << text;
  EXPECT_EQ(limits.MemberCount(), 1u);
  ASSERT_EQ(limits["limits"].Size(), 6u);
  EXPECT_EQ(limits["limits"][0][1].GetInt(), 132);

  spdlog::ombrel::Instance();
  zelor::sim::drainLogChannel(14);
  removeProjectFile(kStructure);
  EXPECT_EQ(JsonUtil::getJointLimts(doc, text), -1);
  const auto lines = zelor::sim::drainLogChannel(14);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("cann't open!"), std::string::npos) << lines[0];
}

TEST(JointLimits, AFaultyRequestLeavesTheFileByteIdentical) {
  const std::string before = readProjectFile(kStructure);
  ASSERT_FALSE(before.empty());
  struct Case {
    const char* request;
    const char* line;
  };
  const Case cases[] = {
      {"{", "The content of request is error!"},
      {R"({"other": 1})", "can't find the key limits!"},
      {R"({"limits": [[1, 2]]})", "the content is wrong!,please check!"},
      {R"({"limits": [[-1, 1], [-2, 2], [-3, 3], [-4, 4.5], [0, 0], [0, 0]]})",
       "the parameter of the request or the structure is not integer!"},
      {R"({"limits": [[-1, 1], [-2, 2], [-3, 3], [-4, 4], [0, 0, 0], [0, 0]]})",
       "please check the request or the structure file!"},
  };
  spdlog::ombrel::Instance();
  zelor::sim::drainLogChannel(15);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    rapidjson::Document request;
    request.Parse(c.request);
    EXPECT_EQ(JsonUtil::setJointLimts(request), -1);
    EXPECT_EQ(readProjectFile(kStructure), before);
    const auto lines = zelor::sim::drainLogChannel(15);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(c.line), std::string::npos) << lines[0];
  }
}

TEST(JointLimits, AGoodRequestReplacesTheSixRowsOnly) {
  rapidjson::Document request;
  request.Parse(R"({"limits": [[-100, 100], [-120, 120], [-150, 0], [-300, 300], [0, 0], [0, 0]]})");
  ASSERT_EQ(JsonUtil::setJointLimts(request), 0);
  rapidjson::Document doc;
  ASSERT_EQ(JsonUtil::readJsonFile(projectFile(kStructure).c_str(), doc), 0);
  EXPECT_EQ(doc["structure"]["limits"][0][0].GetInt(), -100);
  EXPECT_EQ(doc["structure"]["limits"][3][1].GetInt(), 300);
  EXPECT_EQ(doc["structure"]["L1"].GetInt(), 225);
  EXPECT_EQ(doc["motors"].Size(), 6u);
}

TEST(SmallSettings, SerialNumber) {
  spdlog::ombrel::Instance();
  zelor::sim::drainLogChannel(14);
  zelor::sim::drainLogChannel(15);
  const char* file = "settings/productInfo/hardwareInfo.json";
  writeProjectFile(file, R"({"SNcode": "ZL2024001"})");
  std::string sn;
  EXPECT_EQ(JsonUtil::getSNcode(sn), 1);
  EXPECT_EQ(sn, "ZL2024001");
  auto lines = zelor::sim::drainLogChannel(15);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("ZL2024001,ret:0"), std::string::npos) << lines[0];

  writeProjectFile(file, R"({"SNcode": 7})");
  EXPECT_EQ(JsonUtil::getSNcode(sn), -1);
  removeProjectFile(file);
  EXPECT_EQ(JsonUtil::getSNcode(sn), -1);
  lines = zelor::sim::drainLogChannel(14);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("hardwareInfo.json SNcode error"), std::string::npos) << lines[1];
}

TEST(SmallSettings, SpeedFactorFromTheRecordWritesNoFile) {
  spdlog::ombrel::Instance();
  zelor::sim::drainLogChannel(13);
  const std::string before = readProjectFile("settings/common.json");
  st_common common{37.5f};
  EXPECT_EQ(JsonUtil::setSpeedFactor(common), 0);
  EXPECT_EQ(readProjectFile("settings/common.json"), before);
  const auto lines = zelor::sim::drainLogChannel(13);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("setting speed factor to 37.5 "), std::string::npos) << lines[0];
}
