// The motion library reads the collision, load and dynamics records that a
// settings reader of libutils filled, in the process that loads both.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "install_paths.h"
#include "json/json_project_reader.h"
#include "json/parameter_globals.h"

extern "C" void probeSettingsGlobals(const st_collisionParams** collision, const st_loadParams** load,
                                     const st_basicdynamicparams6** model);

namespace {

void writeSettings(const std::string& relative, const std::string& text) {
  const std::filesystem::path path = std::string(zelor::paths::kProjectDir) + "/" + relative;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::trunc) << text;
}

}  // namespace

TEST(SettingsGlobals, MotionLibrarySeesWhatTheReaderFilled) {
  writeSettings("settings/function/collisionDect.json", R"({"value": true, "level": 2})");
  writeSettings("properties/collisionParams.json",
                R"({"Level1": [1, 2, 3, 4, 0, 0], "Level2": [5, 6, 7, 8, 0, 0], "Level3": [9, 9, 9, 9, 0, 0],
                    "Level4": [9, 9, 9, 9, 0, 0], "Level5": [9, 9, 9, 9, 0, 0]})");
  writeSettings("settings/function/loadParams.json",
                R"({"inertiaX": 1.5, "inertiaY": 2.5, "inertiaZ": 3.5, "loadValue": 2, "toolLength": 80})");
  writeSettings("settings/function/dynamicsParams.json",
                R"({"dynamicparams": {"ZZ1": 0.25, "M3": 1.75}, "gripper": {"weigth": 0.5, "inertia": 0.01},
                    "limit": {"torqueLimit1": 11, "torqueLimit4": 2.5}})");
  JsonProjectReader reader;

  const st_collisionParams* collision = nullptr;
  const st_loadParams* load = nullptr;
  const st_basicdynamicparams6* model = nullptr;
  probeSettingsGlobals(&collision, &load, &model);
  ASSERT_NE(collision, nullptr);

  // One record per process, whoever asks.
  EXPECT_EQ(collision, &m_st_collisionParams);
  EXPECT_EQ(load, &m_st_loadParams);
  EXPECT_EQ(model, &m_st_basicdynamicparams6);

  EXPECT_EQ(collision->level, 2);
  EXPECT_EQ(collision->torDiff[0][1], 5.0f);
  EXPECT_EQ(collision->torDiff[3][1], 8.0f);
  EXPECT_EQ(collision->torDiff[3][0], 4.0f);
  EXPECT_EQ(load->loadValue, 2.0f);
  EXPECT_EQ(load->toolLength, 80.0f);
  EXPECT_EQ(model->ZZ1, 0.25f);
  EXPECT_EQ(model->M3, 1.75f);
  EXPECT_EQ(model->gripperWeight, 0.5f);
  EXPECT_EQ(model->torqueLimit[3], 2.5f);
}
