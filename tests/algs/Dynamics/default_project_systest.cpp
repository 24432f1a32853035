// The project as installed: collision detection off, every model parameter
// and the payload 0, so that even with detection switched on the simulated
// drive's zero torque never looks like a collision.
#include <json/reader.h>
#include <json/value.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "dynamics_stage_fixture.h"
#include "install_paths.h"
#include "json/collision_switch.h"
#include "json/json_project_reader.h"
#include "json/parameter_globals.h"

using namespace zelor::test;

TEST_F(DynamicsStage, DefaultProjectNeverFlagsTheSimulatedDrive) {
  // As the data server binds it: the reader's switch is the kernel's.
  zelor::config::bindCollisionSwitch(&gIsCollisionDect);
  gIsCollisionDect = 1;
  m_st_loadParams.loadValue = 5.0f;
  m_st_basicdynamicparams6.M3 = 5.0f;
  JsonProjectReader reader;
  EXPECT_EQ(*zelor::config::collisionSwitch(), 0);
  EXPECT_EQ(gIsCollisionDect, 0);
  EXPECT_EQ(m_st_collisionParams.level, 0);
  const st_basicdynamicparams6& P = m_st_basicdynamicparams6;
  const float model[13] = {P.ZZ1, P.FS1, P.FV1, P.ZZ2, P.MX2, P.MY2, P.IA2, P.FS2, P.FV2, P.ZZ3, P.M3, P.FS3, P.FV3};
  for (int i = 0; i < 13; ++i) EXPECT_EQ(model[i], 0.0f) << "model parameter " << i;
  EXPECT_EQ(m_st_loadParams.loadValue, 0.0f);

  // Switched on at level 5: the installed project's level-5 thresholds.
  std::ifstream file(std::string(zelor::paths::kProjectDir) + "/properties/collisionParams.json");
  Json::Value thresholds;
  Json::CharReaderBuilder builder;
  std::string errors;
  ASSERT_TRUE(Json::parseFromStream(builder, file, &thresholds, &errors)) << errors;
  const float level5[4] = {2.0f, 2.0f, 0.8f, 0.1f};
  for (int j = 0; j < 4; ++j) {
    gTorDiffParams.torDiff[j] = thresholds["Level5"][j].asFloat();
    EXPECT_EQ(gTorDiffParams.torDiff[j], level5[j]) << "joint " << j + 1;
  }
  AxesGroupRef axes{};
  robotAxesGroup = &axes;
  gIsCollisionDect = 1;
  gRobotEnableFlag = 1;
  gRobotPrfMode = kPrfExecute;
  gSysParams.controlType = 1;
  // Joint 1 turning at 30 deg/s, joint 3 travelling at 20 mm/s, no torque fed back.
  for (int i = 0; i < 126 + 500; ++i) {
    const double t = i * 0.004;
    SetFeedback(0, 30.0 * t, 30.0, 0.0);
    SetFeedback(1, 15.0, 0.0, 0.0);
    SetFeedback(2, 20.0 * t, 20.0, 0.0);
    SetFeedback(3, 0.0, 0.0, 0.0);
    Dynamics(true);
    ASSERT_EQ(axes.m_CollisionWord, 0u) << "cycle " << i;
  }
  EXPECT_EQ(gCollisionPause, 0);
  EXPECT_EQ(logCount("collision - Pause \r\n"), 0);
}
