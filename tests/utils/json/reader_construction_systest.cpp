// Construction and reload of the settings reader on whole project trees: the
// shipped default tree, an empty tree, broken files and wrongly typed values.
#include <sys/stat.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "json/collision_switch.h"
#include "json/json_project_reader.h"
#include "json/parameter_globals.h"
#include "json/project_structure.h"
#include "settings_tree.h"

using namespace zelor::test;

namespace {

// The files that the twenty loaders of the construction read.
const std::vector<std::string> kLoaderFiles = {
    "properties/ratio_default.json",        "properties/default.json",
    "settings/common.json",                 "settings/productInfo/types.json",
    "settings/teach/joint.json",            "settings/teach/coordinate.json",
    "settings/function/ioctrl.json",        "settings/function/modbusctrl.json",
    "settings/playback/joint.json",         "settings/playback/coordinate.json",
    "settings/playback/arch.json",          "settings/coordinate/user.json",
    "settings/coordinate/tool.json",        "settings/quillon/config.json",
    "settings/function/pointLoad.json",     "settings/teach/inch.json",
    "settings/teach/latch_pos.json",        "settings/function/fanCtrl.json",
    "settings/function/extEStop.json",      "process/auxJoint/switch.json",
    "settings/function/loadParams.json",    "settings/function/collisionDect.json",
    "properties/collisionParams.json",      "settings/function/dynamicsParams.json",
    "settings/function/modbus_io_config.json",
};

bool allFinite(const float* v, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (!std::isfinite(v[i])) return false;
  }
  return true;
}

}  // namespace

TEST(SettingsReaderConstruction, EmptyTreeGivesTheBuiltInDefaults) {
  emptyProjectTree();
  JsonProjectReader reader;

  const st_triple& ratioLimit = reader.limits.commonRatio;
  EXPECT_EQ(ratioLimit.max, 100.0f);
  EXPECT_EQ(ratioLimit.min, 1.0f);
  EXPECT_EQ(ratioLimit.def, 50.0f);
  EXPECT_EQ(reader.common.ratio, 50.0f);
  EXPECT_EQ(reader.motoTypes, 1);
  EXPECT_EQ(reader.inch.distance, 0.1f);
  EXPECT_EQ(reader.inch.angle, 0.1f);
  // Limits that only a file gives stay zero, and so do the speeds taken from them.
  EXPECT_EQ(reader.limits.teachJointVelocity[0].def, 0.0f);
  EXPECT_EQ(reader.teach.jointVelocity[0], 0.0f);
  EXPECT_EQ(reader.playback.coordinateVelocity[1], 0.0f);

  const int inPins[] = {11, 12, 13, 14, 15, 16};
  const int outPins[] = {13, 14, 15, 16, 0};
  for (int i = 0; i < kIoCtrlInCount; ++i) EXPECT_EQ(reader.ioctrl.inPins[i], inPins[i]) << "in " << i;
  for (int i = 0; i < kIoCtrlOutCount; ++i) EXPECT_EQ(reader.ioctrl.outPins[i], outPins[i]) << "out " << i;
  EXPECT_EQ(reader.fanCtrl.mode, 2);
  EXPECT_EQ(reader.fanCtrl.alarmThreshold, 109);
  EXPECT_EQ(reader.fanCtrl.openThreshold, 89);
  EXPECT_EQ(reader.fanCtrl.closeThreshold, 74);
  EXPECT_EQ(reader.fanCtrl.minimumRunTime, 60);
  EXPECT_FALSE(reader.pointLoadEnabled);

  struct stat st {};
  ASSERT_EQ(stat(projectFile("settings/quillon").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST(SettingsReaderConstruction, ShippedDefaultTreeFillsEveryRecord) {
  OutputCapture output;
  JsonProjectReader reader;

  // The shipped tree is complete: nothing is reported missing or broken.
  const std::string log = output.text();
  EXPECT_EQ(log.find("error"), std::string::npos) << log;
  EXPECT_EQ(log.find("Can't find"), std::string::npos) << log;

  EXPECT_EQ(reader.common.ratio, 50.0f);
  EXPECT_EQ(reader.motoTypes, 1);
  EXPECT_GT(reader.limits.playbackJointVelocity[5].max, 0.0f);
  EXPECT_GT(reader.playback.jointVelocity[3], 0.0f);
  EXPECT_GT(reader.playback.coordinateJerk[1], 0.0f);
  EXPECT_GT(reader.teach.coordinateAcceleration[5], 0.0f);
  EXPECT_TRUE(reader.userCoord[0].enable);
  EXPECT_TRUE(reader.toolCoord[0].enable);
  EXPECT_FALSE(reader.userCoord[1].enable);
  EXPECT_TRUE(reader.arch[9].enable);
  EXPECT_EQ(reader.modbusCtrl.optionProject, -1);
  EXPECT_EQ(reader.modbusIO.deviceCount, 0);
  EXPECT_GT(m_st_basicdynamicparams6.torqueLimit[0], 0.0f);
  EXPECT_EQ(*zelor::config::collisionSwitch(), 0);

  // The ratio defaults are what the kernel is given as common parameters.
  const tagPTPCommonParams* common = reader.paramsPTPCommon_ratiodefault();
  EXPECT_EQ(common->velocityRatio, reader.ratioDefault.joint_vel.def);
  EXPECT_EQ(common->rJerkRatio, reader.ratioDefault.coord_jerk.def);
  EXPECT_EQ(reader.paramsSpeedFactor(), 50);

  st_structure* s = reader.RegexStructureParams();
  ASSERT_EQ(s, reader.structure.get());
  EXPECT_GT(s->L1, 0.0);
  EXPECT_EQ(s->motors[5].bitNum, 17.0);
}

TEST(SettingsReaderConstruction, BrokenFileLogsOnceAndActsAsMissing) {
  for (const std::string& file : kLoaderFiles) {
    SCOPED_TRACE(file);
    emptyProjectTree(true);
    // Restore the shipped tree, then compare a missing file with a broken one.
    std::filesystem::copy(std::string(built::kSourceDir) + "/data/project", zelor::paths::kProjectDir,
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
    // The threshold file is read only for a collision level 1..5.
    writeFile("settings/function/collisionDect.json", R"({"value": true, "level": 3})");
    removeFile(file);
    const std::string missing = describe(JsonProjectReader());

    writeFile(file, "{\"ratio\": 3,, \"velocity\": [");
    OutputCapture output;
    const std::string broken = describe(JsonProjectReader());
    const bool teachFile = file.rfind("settings/teach/joint", 0) == 0 || file.rfind("settings/teach/coordinate", 0) == 0;
    const std::string line = "read file[" + projectFile(file) + (teachFile ? "] error, nothing" : "] error:");
    EXPECT_EQ(output.count(line), 1u) << output.text();
    EXPECT_EQ(broken, missing);
  }
}

// Seeded random damage to the shipped tree: values replaced by strings,
// objects, arrays, huge or negative numbers. The reader never throws and
// every float it keeps is finite.
TEST(SettingsReaderConstruction, WronglyTypedValuesNeverThrow) {
  const std::string source = std::string(built::kSourceDir) + "/data/project/";
  const Json::Value kJunk[] = {
      Json::Value("text"), Json::Value(Json::objectValue), Json::Value(Json::arrayValue), Json::Value(1e300),
      Json::Value(-1e300), Json::Value(-7), Json::Value(true), Json::Value(Json::UInt64(1) << 63),
      Json::Value(Json::nullValue), Json::Value(4294967295u)};

  std::vector<std::pair<std::string, Json::Value>> documents;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(source)) {
    if (entry.path().extension() != ".json") continue;
    std::ifstream in(entry.path());
    Json::Value doc;
    ASSERT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &doc, nullptr)) << entry.path();
    documents.emplace_back(entry.path().lexically_relative(source).string(), doc);
  }
  documents.emplace_back("settings/function/pointLoad.json",
                         Json::Value(Json::arrayValue).append(Json::Value(Json::objectValue)));

  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    for (auto [file, doc] : documents) {
      // Walk down a random path and replace what is found there.
      for (int damage = 0; damage < 4; ++damage) {
        Json::Value* node = &doc;
        while ((node->isObject() || node->isArray()) && node->size() > 0 && rng() % 4 != 0) {
          if (node->isArray()) {
            node = &(*node)[static_cast<Json::ArrayIndex>(rng() % node->size())];
          } else {
            const auto names = node->getMemberNames();
            node = &(*node)[names[rng() % names.size()]];
          }
        }
        *node = kJunk[rng() % std::size(kJunk)];
      }
      writeFile(file, Json::writeString(Json::StreamWriterBuilder(), doc));
    }

    OutputCapture output;
    JsonProjectReader reader;
    reader.loadAll();
    reader.RegexStructureParams();
    reader.st_driver_load(1);
    reader.st_mulRobot_load();
    st_advanced_function advanced{};
    reader.st_advanced_function_load(advanced);
    stStopConf stop{};
    reader.loadStopConf(stop);
    double acc[4], jerk[4];
    reader.loadMaxEStopAccConf(acc, jerk);
    DragSenseAdjust drag{};
    reader.GetDragSenseAdjust(drag);
    stModbusConf modbus{};
    reader.loadModbusConf(modbus);

    EXPECT_TRUE(allFinite(&reader.limits.commonRatio.max, sizeof(st_default) / sizeof(float)));
    EXPECT_TRUE(allFinite(reader.playback.jointVelocity, sizeof(st_playback) / sizeof(float)));
    EXPECT_TRUE(allFinite(reader.teach.jointVelocity, sizeof(st_teach) / sizeof(float)));
    EXPECT_TRUE(allFinite(&m_st_loadParams.inertiaX, 5));
    EXPECT_TRUE(allFinite(&m_st_basicdynamicparams6.ZZ1, 24));
    EXPECT_TRUE(allFinite(&m_st_collisionParams.torDiff[0][0], 30));
    EXPECT_TRUE(reader.modbusIO.deviceCount >= 0 && reader.modbusIO.deviceCount <= kModbusDeviceCount);
  }
}

TEST(SettingsReaderConstruction, LoadAllAfterEditingCommonChangesOnlyTheRatio) {
  JsonProjectReader reader;
  const std::string before = describe(reader);
  ASSERT_EQ(reader.common.ratio, 50.0f);

  writeFile("settings/common.json", R"({"ratio": 80})");
  reader.loadAll();
  EXPECT_EQ(reader.common.ratio, 80.0f);
  reader.common.ratio = 50.0f;
  EXPECT_EQ(describe(reader), before);
}

TEST(SettingsReaderConstruction, ReloadKeepsEntriesAShorterFileDoesNotName) {
  JsonProjectReader reader;
  writeFile("settings/coordinate/user.json",
            R"([{"enable": true}, {"enable": true, "params": [1, 2, 3, 4, 5, 6]},
                {"enable": true, "params": [7, 8, 9, 10, 11, 12]}])");
  reader.loadAll();
  EXPECT_EQ(reader.userCoord[2].params[0], 7.0f);

  writeFile("settings/coordinate/user.json", R"([{}, {"enable": false, "params": [1, 1, 1, 1, 1, 1]}])");
  reader.loadAll();
  EXPECT_FALSE(reader.userCoord[1].enable);
  EXPECT_EQ(reader.userCoord[1].params[0], 1.0f);
  EXPECT_TRUE(reader.userCoord[2].enable);
  EXPECT_EQ(reader.userCoord[2].params[5], 12.0f);
}
