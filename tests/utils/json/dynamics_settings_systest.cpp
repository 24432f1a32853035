// Collision detection, payload and dynamic model parameters, and the
// threshold selection the data server sends to the kernel.
#include <string>

#include <gtest/gtest.h>

#include "json/collision_switch.h"
#include "json/json_project_reader.h"
#include "json/parameter_globals.h"
#include "settings_tree.h"

using namespace zelor::test;

namespace {

const char* kThresholds = R"({"Level1": [1, 2, 3, 4, 5, 6], "Level2": [11, 12, 13, 14, 15],
                              "Level3": [21, 22, 23, 24, 25, 26], "Level4": [31, 32, 33, 34, 35, 36],
                              "Level5": [41, 42, 43, 44, 45, 46]})";

std::uint8_t collisionOn() { return *zelor::config::collisionSwitch(); }

}  // namespace

TEST(DynamicsSettings, FirstBadThresholdLevelEndsTheLoad) {
  for (auto& joint : m_st_collisionParams.torDiff)
    for (float& t : joint) t = -1;
  writeFile("properties/collisionParams.json", kThresholds);
  writeFile("settings/function/collisionDect.json", R"({"value": true, "level": 3, "mode": 2})");
  OutputCapture output;
  JsonProjectReader reader;

  EXPECT_EQ(collisionOn(), 1);
  EXPECT_EQ(zelor::config::gCollisonMode, 2);
  EXPECT_EQ(m_st_collisionParams.level, 3);
  for (int j = 0; j < 4; ++j) EXPECT_EQ(m_st_collisionParams.torDiff[j][0], j + 1.0f) << "joint " << j;
  // Joints 5 and 6 are never taken from the file; level 2 and later stay.
  EXPECT_EQ(m_st_collisionParams.torDiff[4][0], -1.0f);
  EXPECT_EQ(m_st_collisionParams.torDiff[0][1], -1.0f);
  EXPECT_EQ(m_st_collisionParams.torDiff[0][4], -1.0f);
  EXPECT_EQ(output.count("get Level2 error"), 1u);
  EXPECT_EQ(output.count("st_collision_load torDiffJ1[0]:1:1.000000,2:2.000000,3:3.000000,4:4.000000,5:-1.000000"), 1u)
      << output.text();
}

TEST(DynamicsSettings, CollisionSwitchLevelAndStopOptions) {
  writeFile("properties/collisionParams.json", R"({"Level1": [1, 2, 3, 4, 5, 6], "Level2": [1, 2, 3, 4, 5, 6],
      "Level3": [1, 2, 3, 4, 5, 6], "Level4": [1, 2, 3, 4, 5, 6], "Level5": [9, 8, 7, 6, 5, 4]})");
  writeFile("settings/function/collisionDect.json", R"({"value": true, "level": 5, "resumeType": 2, "stopType": 1})");
  JsonProjectReader reader;
  EXPECT_EQ(m_st_collisionParams.torDiff[0][4], 9.0f);
  EXPECT_EQ(reader.collisionStop.resumeType, 2);
  EXPECT_EQ(reader.collisionStop.stopType, 1);

  // "Level" is only reported; missing switch, mode and level stay as they were.
  writeFile("settings/function/collisionDect.json", R"({"Level": 4})");
  OutputCapture output;
  reader.st_collision_load();
  EXPECT_EQ(output.count("Level:4"), 1u);
  EXPECT_EQ(m_st_collisionParams.level, 5);
  EXPECT_EQ(collisionOn(), 1);
  EXPECT_EQ(reader.collisionStop.resumeType, 0);

  // Level 0 reads no threshold file.
  output.resume();
  writeFile("settings/function/collisionDect.json", R"({"value": false, "level": 0})");
  writeFile("properties/collisionParams.json", "not json");
  reader.st_collision_load();
  EXPECT_EQ(collisionOn(), 0);
  EXPECT_EQ(output.count("collisionParams.json] error"), 0u);
}

TEST(DynamicsSettings, ThresholdSelectionByLevel) {
  writeFile("properties/collisionParams.json", kThresholds);
  writeFile("settings/function/collisionDect.json", R"({"value": true, "level": 1})");
  JsonProjectReader reader;
  struct Case {
    int level;
    float expected[4];
    std::uint8_t collision;
  };
  m_st_collisionParams.torDiff[3][2] = 77;
  const Case cases[] = {
      {1, {1, 2, 3, 4}, 1},
      {3, {0, 0, 0, 77}, 1},
      {9, {3, 3, 1.2f, 0.15f}, 1},
      {0, {3, 3, 1.2f, 0.15f}, 0},  // off, thresholds kept
      {-2, {3, 3, 1.2f, 0.15f}, 0},
  };
  for (const Case& c : cases) {
    m_st_collisionParams.level = c.level;
    const tagTorDiffParams* t = reader.GetTorDiffParams();
    ASSERT_EQ(t, &reader.torDiffSelection);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(t->torDiff[j], c.expected[j]) << "level " << c.level << " joint " << j;
    EXPECT_EQ(collisionOn(), c.collision) << "level " << c.level;
  }
}

TEST(DynamicsSettings, LoadParamsAbsentIsReportedNullIsKept) {
  m_st_loadParams = {1, 2, 3, 4, 5};
  writeFile("settings/function/loadParams.json", R"({"inertiaX": 0.5, "loadValue": null, "toolLength": "long"})");
  OutputCapture output;
  JsonProjectReader reader;
  EXPECT_EQ(m_st_loadParams.inertiaX, 0.5f);
  EXPECT_EQ(m_st_loadParams.inertiaY, 2.0f);
  EXPECT_EQ(m_st_loadParams.loadValue, 4.0f);
  EXPECT_EQ(m_st_loadParams.toolLength, 5.0f);
  EXPECT_EQ(output.count("get inertiaY error"), 1u);
  EXPECT_EQ(output.count("get loadValue error"), 0u);
  EXPECT_EQ(output.count("inertiaX:0.500000"), 1u);
}

TEST(DynamicsSettings, BasicDynamicParameters) {
  writeFile("settings/function/dynamicsParams.json",
            R"({"dynamicparams": {"ZZ1": 1.5, "FV4": 16}, "gripper": {"weigth": 0.7, "inertia": 0.01},
                "limit": {"torqueLimit1": 10, "torqueLimit6": 60}})");
  JsonProjectReader reader;
  EXPECT_EQ(m_st_basicdynamicparams6.ZZ1, 1.5f);
  EXPECT_EQ(m_st_basicdynamicparams6.FS1, 0.0f);
  EXPECT_EQ(m_st_basicdynamicparams6.FV4, 16.0f);
  EXPECT_EQ(m_st_basicdynamicparams6.gripperWeight, 0.7f);
  EXPECT_EQ(m_st_basicdynamicparams6.torqueLimit[5], 60.0f);

  // Without "limit" the torque limits stay; without "dynamicparams" the model stays.
  writeFile("settings/function/dynamicsParams.json", R"({"gripper": {"weigth": 0.2}})");
  OutputCapture output;
  reader.st_dynamicparams6_load();
  EXPECT_EQ(m_st_basicdynamicparams6.ZZ1, 1.5f);
  EXPECT_EQ(m_st_basicdynamicparams6.gripperWeight, 0.2f);
  EXPECT_EQ(m_st_basicdynamicparams6.torqueLimit[0], 10.0f);
  EXPECT_EQ(output.count("Can't find dynamicparams params"), 1u);
  EXPECT_EQ(output.count("Can't find limit params"), 1u);
}

TEST(DynamicsSettings, IdentifiedModelReturnRules) {
  struct Case {
    const char* file;
    int result;
    float zz1;
    double weight;
    double torque4;
  };
  const Case cases[] = {
      {R"({"dynamics": {"ZZ1": 2}, "load": {"weight": 1.1}, "optimalRatio": {"num": 0.5},
           "torqueLimit": {"torque1": 1, "torque4": 4}})", 1, 2, static_cast<double>(1.1f), 4},
      {R"({"dynamics": {"ZZ1": 2}, "load": {"weight": 1.1}})", 0, 2, static_cast<double>(1.1f), -1},
      {R"({"dynamics": {"ZZ1": 2}})", 0, 2, -1, -1},
      {R"({"load": {"weight": 1.1}})", 0, -1, -1, -1},
      {R"({"dynamics": 5})", 0, -1, -1, -1},
  };
  JsonProjectReader reader;
  for (const Case& c : cases) {
    writeFile("properties/dynamics.json", c.file);
    st_dynamicParams p{};
    p.ZZ1 = -1;
    p.loadWeight = -1;
    p.torqueLimit[3] = -1;
    EXPECT_EQ(reader.st_dynamics_load(p), c.result) << c.file;
    EXPECT_EQ(p.ZZ1, c.zz1) << c.file;
    EXPECT_EQ(p.loadWeight, c.weight) << c.file;
    EXPECT_EQ(p.torqueLimit[3], c.torque4) << c.file;
  }
}
