// Factory limits and the arm structure from the properties folder.
#include <gtest/gtest.h>

#include "json/json_project_reader.h"
#include "json/project_structure.h"
#include "settings_tree.h"

using namespace zelor::test;

namespace {

void expectTriple(const st_triple& t, float max, float min, float def, const char* what) {
  EXPECT_EQ(t.max, max) << what;
  EXPECT_EQ(t.min, min) << what;
  EXPECT_EQ(t.def, def) << what;
}

}  // namespace

TEST(PropertyLimits, RatioDefaultsFillPresentTriplesOnly) {
  writeFile("properties/ratio_default.json",
            R"({"playback": {"joint_vel": {"def": 30}, "coord_jerk": {"def": 70, "min": 150, "max": 120},
                             "arch_zLimit": 5}})");
  JsonProjectReader reader;
  expectTriple(reader.ratioDefault.joint_vel, 100, 1, 30, "joint_vel");
  // Ratio defaults are taken as they are, without clamping.
  expectTriple(reader.ratioDefault.coord_jerk, 120, 150, 70, "coord_jerk");

  // A missing key, or one that is not an object, leaves its triple.
  writeFile("properties/ratio_default.json", R"({"playback": {"joint_acc": {"max": 60}}})");
  reader.st_ratiodefault_load();
  expectTriple(reader.ratioDefault.joint_vel, 100, 1, 30, "joint_vel kept");
  expectTriple(reader.ratioDefault.joint_acc, 60, 1, 50, "joint_acc");
  const tagPTPCommonParams* common = reader.paramsPTPCommon_ratiodefault();
  EXPECT_EQ(common->velocityRatio, 30.0f);
  EXPECT_EQ(common->accelerationRatio, 50.0f);
  EXPECT_EQ(common->xyzJerkRatio, 70.0f);
  EXPECT_EQ(common->rJerkRatio, 70.0f);
}

TEST(PropertyLimits, DefaultArraysFillUpToSixAndKeepTheRest) {
  JsonProjectReader reader;
  const st_triple before = reader.limits.teachJointVelocity[4];
  writeFile("properties/default.json", R"({"teach": {"joint": {"velocity": [
      {"def": 1, "min": 0, "max": 2}, {"def": 30}, {}, {"max": 9}]}}, "playback": {"arch": {"zLimit": {"def": 7}}}})");
  OutputCapture output;
  reader.st_default_load();
  expectTriple(reader.limits.teachJointVelocity[0], 2, 0, 1, "entry 0");
  expectTriple(reader.limits.teachJointVelocity[1], 100, 1, 30, "entry 1");
  expectTriple(reader.limits.teachJointVelocity[3], 9, 1, 50, "entry 3");
  expectTriple(reader.limits.teachJointVelocity[4], before.max, before.min, before.def, "entry 4");
  expectTriple(reader.limits.commonRatio, 100, 1, 50, "common missing");
  expectTriple(reader.limits.archStartHeight, 100, 1, 50, "arch start missing");
  expectTriple(reader.limits.archZLimit, 100, 1, 7, "arch zLimit");
  EXPECT_EQ(output.count("Can't find teach joint acceleration default param"), 1u);
  EXPECT_EQ(output.count("Can't find teach coordinate velocity default param"), 0u);  // no "coordinate"
  EXPECT_EQ(output.count("Can't find driver default param"), 1u);
}

TEST(PropertyLimits, MinAboveMaxClampsToMax) {
  writeFile("properties/default.json", R"({"common": {"ratio": {"def": 5, "min": 90, "max": 60}}})");
  writeFile("settings/common.json", R"({"ratio": 10})");
  JsonProjectReader reader;
  EXPECT_EQ(reader.common.ratio, 60.0f);
}

TEST(PropertyLimits, DriverSectionMessages) {
  writeFile("properties/default.json", R"({"driver": {"velocityP": 4, "positionP": [{"def": 3}]}})");
  OutputCapture output;
  JsonProjectReader reader;
  EXPECT_EQ(output.count("Can't find driver velocityP default param"), 1u);
  EXPECT_EQ(output.count("Can't find driver velocityI default param"), 0u);
  EXPECT_EQ(reader.limits.driverPositionP[0].def, 3.0f);
}

TEST(PropertyLimits, StructureDefaultsAndKeptMotors) {
  writeFile("properties/structure.json", R"({
      "structure": {"L1": 225, "L2": 175, "limits": [[-130, 130], [-140, 145]], "singularity12": 4},
      "motors": [{"simulated": true, "motor": {"type": "m1", "rated": 2000, "limit": 2500, "inverted": true}},
                 {"encoder": {"type": "abs", "bitNum": 23}, "gearBox": {"num": 50, "den": 2}}]})");
  JsonProjectReader reader;
  st_structure* s = reader.RegexStructureParams();
  ASSERT_EQ(s, reader.structure.get());
  EXPECT_EQ(s->L1, 225.0);
  EXPECT_EQ(s->L3, 0.0);
  EXPECT_EQ(s->limits[1][1], 145.0);
  EXPECT_EQ(s->limits[2][0], 0.0);
  EXPECT_EQ(s->singularity12, 4.0);
  EXPECT_TRUE(s->motors[0].simulated);
  EXPECT_EQ(s->motors[0].type, "m1");
  EXPECT_EQ(s->motors[0].rated, 2000.0);
  EXPECT_TRUE(s->motors[0].inverted);
  EXPECT_EQ(s->motors[0].bitNum, 17.0);
  EXPECT_EQ(s->motors[0].gearBoxNum, 101.0);
  EXPECT_EQ(s->motors[0].gearBoxDen, 1.0);
  EXPECT_EQ(s->motors[0].positionScalingNum, 360.0);
  EXPECT_EQ(s->motors[1].rated, 3000.0);
  EXPECT_EQ(s->motors[1].limit, 3500.0);
  EXPECT_EQ(s->motors[1].encoderType, "abs");
  EXPECT_EQ(s->motors[1].bitNum, 23.0);
  EXPECT_EQ(s->motors[1].gearBoxDen, 2.0);

  // Without "motors" the motor entries stay; the pointer is the member all the same.
  writeFile("properties/structure.json", R"({"structure": {"L1": 300}})");
  OutputCapture output;
  EXPECT_EQ(reader.RegexStructureParams(), reader.structure.get());
  EXPECT_EQ(s->L1, 300.0);
  EXPECT_EQ(s->motors[1].bitNum, 23.0);
  EXPECT_EQ(output.count("Can't find motors params"), 1u);
  EXPECT_EQ(output.count("Structure params limits is not array"), 1u);

  removeFile("properties/structure.json");
  EXPECT_EQ(reader.RegexStructureParams(), reader.structure.get());
}
