// Teach and playback speeds, arch table, frames, frame selection, inch steps
// and the latch template, each clamped to the factory limits.
#include <string>

#include <json/reader.h>
#include <json/value.h>

#include <gtest/gtest.h>

#include "json/json_project_reader.h"
#include "settings_tree.h"

using namespace zelor::test;

namespace {

// Limits used by these tests: every triple {max 200, min 1, def 20}, the common
// ratio {100, 1, 50}, playback coordinate {2000, 1, 100} and {300, 1, 50}.
const char* kLimits = R"({
  "common": {"ratio": {"def": 50, "min": 1, "max": 100}},
  "teach": {
    "joint": {"velocity": [{"def": 20, "min": 1, "max": 200}, {"def": 20, "min": 1, "max": 200},
                           {"def": 20, "min": 1, "max": 200}, {"def": 20, "min": 1, "max": 200},
                           {"def": 20, "min": 1, "max": 200}, {"def": 20, "min": 1, "max": 200}]}},
  "playback": {
    "coordinate": {"velocity": [{"def": 100, "min": 1, "max": 2000}, {"def": 50, "min": 1, "max": 300}]},
    "arch": {"startHeight": {"def": 20, "min": 0, "max": 100}, "endHeight": {"def": 30, "min": 0, "max": 100},
             "zLimit": {"def": 5, "min": -50, "max": 50}}}
})";

class TeachPlayback : public ::testing::Test {
 protected:
  void SetUp() override { writeFile("properties/default.json", kLimits); }
};

}  // namespace

TEST_F(TeachPlayback, CommonRatioIsClampedToItsLimit) {
  struct Case {
    const char* file;
    float ratio;
  };
  const Case cases[] = {
      {R"({"ratio": 150})", 100}, {R"({"ratio": 0})", 1},     {R"({})", 50},
      {R"({"ratio": 42.5})", 42.5f}, {R"({"ratio": "fast"})", 50}, {R"({"ratio": -3})", 1},
  };
  JsonProjectReader reader;
  for (const Case& c : cases) {
    writeFile("settings/common.json", c.file);
    reader.st_common_load();
    EXPECT_EQ(reader.common.ratio, c.ratio) << c.file;
  }
}

TEST_F(TeachPlayback, MotorTypeOutsideOneToThreeBecomesOne) {
  const std::pair<const char*, int> cases[] = {
      {R"({"motoTypes": 0})", 1}, {R"({"motoTypes": 4})", 1}, {R"({"motoTypes": 3})", 3},
      {R"({"motoTypes": 2})", 2}, {R"({})", 1},               {R"({"motoTypes": [2]})", 1},
  };
  JsonProjectReader reader;
  for (const auto& [file, type] : cases) {
    writeFile("settings/productInfo/types.json", file);
    reader.st_types_load();
    EXPECT_EQ(reader.motoTypes, type) << file;
  }
}

TEST_F(TeachPlayback, TeachArraysMustHoldSix) {
  writeFile("settings/teach/joint.json", R"({"velocity": [300, 0, 5, 6, 7, 8]})");
  writeFile("settings/teach/coordinate.json", R"({"velocity": [1, 2, 3, 4, 5, 6]})");
  OutputCapture output;
  JsonProjectReader reader;
  EXPECT_EQ(reader.teach.jointVelocity[0], 200.0f);
  EXPECT_EQ(reader.teach.jointVelocity[1], 1.0f);
  EXPECT_EQ(reader.teach.jointVelocity[5], 8.0f);
  EXPECT_EQ(reader.teach.coordinateVelocity[5], 0.0f);  // no limits given: clamped to {0, 0, 0}

  // A five-element joint velocity ends the whole load: both files keep their values.
  writeFile("settings/teach/joint.json", R"({"velocity": [9, 9, 9, 9, 9], "acceleration": [1, 1, 1, 1, 1, 1]})");
  writeFile("settings/teach/coordinate.json", R"({"velocity": [1, 2, 3, 4, 5, 6]})");
  reader.teach.coordinateVelocity[0] = 77;
  reader.st_teach_load();
  EXPECT_EQ(output.count("get velocity error"), 1u);
  EXPECT_EQ(reader.teach.jointVelocity[0], 200.0f);
  EXPECT_EQ(reader.teach.coordinateVelocity[0], 77.0f);
}

TEST_F(TeachPlayback, BadCoordinateAccelerationSkipsOnlyItself) {
  writeFile("settings/teach/coordinate.json", R"({"velocity": [1, 2, 3, 4, 5, 6], "acceleration": 5})");
  JsonProjectReader reader;
  reader.teach.coordinateAcceleration[0] = 9;
  writeFile("settings/teach/coordinate.json", R"({"velocity": [0, 0, 0, 0, 0, 0], "acceleration": [1, 2]})");
  OutputCapture output;
  reader.st_teach_load();
  EXPECT_EQ(output.count("get acceleration error"), 1u);
  EXPECT_EQ(reader.teach.coordinateAcceleration[0], 9.0f);
}

TEST_F(TeachPlayback, PlaybackCoordinateClampsEachEntryToItsOwnLimit) {
  writeFile("settings/playback/coordinate.json", R"({"velocity": [5000, 10]})");
  JsonProjectReader reader;
  EXPECT_EQ(reader.playback.coordinateVelocity[0], 2000.0f);
  EXPECT_EQ(reader.playback.coordinateVelocity[1], 10.0f);
  const tagPTPCoordinateParams* ptp = reader.paramsPTPCoordinate();
  EXPECT_EQ(ptp->xyzVelocity, 2000.0f);
  EXPECT_EQ(ptp->rVelocity, 10.0f);
}

TEST_F(TeachPlayback, AnyBadPlaybackArrayEndsTheLoad) {
  JsonProjectReader reader;
  const float coordinateBefore = reader.playback.coordinateVelocity[0];
  const bool archBefore = reader.arch[0].enable;
  writeFile("settings/playback/joint.json",
            R"({"velocity": [1, 1, 1, 1, 1, 1], "acceleration": [1, 1, 1, 1, 1, 1], "jerk": [1, 1]})");
  writeFile("settings/playback/coordinate.json", R"({"velocity": [7, 7]})");
  writeFile("settings/playback/arch.json", R"([{"enable": )" + std::string(archBefore ? "false" : "true") + "}]");
  OutputCapture output;
  reader.st_playback_load();
  EXPECT_EQ(output.count("get jerk error"), 1u);
  EXPECT_EQ(reader.playback.coordinateVelocity[0], coordinateBefore);
  EXPECT_EQ(reader.arch[0].enable, archBefore);
}

TEST_F(TeachPlayback, ArchTableTakesTenEntriesAndClampsHeights) {
  std::string arch = "[";
  for (int k = 0; k < 12; ++k) {
    arch += k ? "," : "";
    arch += R"({"enable": true, "params": {"startHeight": )" + std::to_string(10 * k) + "}}";
  }
  writeFile("settings/playback/arch.json", arch + "]");
  JsonProjectReader reader;
  EXPECT_EQ(reader.arch[3].startHeight, 30.0f);
  EXPECT_EQ(reader.arch[9].startHeight, 90.0f);
  EXPECT_EQ(reader.arch[9].endHeight, 30.0f);  // missing: def
  EXPECT_EQ(reader.arch[9].zLimit, 5.0f);

  // An entry without params keeps its heights but takes its enable.
  writeFile("settings/playback/arch.json", R"([{"enable": false}, {"params": {"startHeight": 500}}])");
  reader.st_playback_load();
  EXPECT_FALSE(reader.arch[0].enable);
  EXPECT_EQ(reader.arch[0].startHeight, 0.0f);
  EXPECT_FALSE(reader.arch[1].enable);
  EXPECT_EQ(reader.arch[1].startHeight, 100.0f);
  EXPECT_TRUE(reader.arch[2].enable);
}

TEST_F(TeachPlayback, FrameZeroIsTheBaseFrame) {
  writeFile("settings/coordinate/user.json",
            R"([{"enable": false, "params": [1, 2, 3, 4, 5, 6]},
                {"enable": true, "params": [1, 2, 3, 4, 5, 6]},
                {"enable": true, "params": [1, 2, 3, 4, 5]},
                {"enable": true, "params": [1, 2, "3", 4, 5, 6]}])");
  writeFile("settings/coordinate/tool.json", R"([{}, {"enable": true, "params": [9, 8, 7, 6, 5, 4]}])");
  OutputCapture output;
  JsonProjectReader reader;
  EXPECT_TRUE(reader.userCoord[0].enable);
  for (float p : reader.userCoord[0].params) EXPECT_EQ(p, 0.0f);
  EXPECT_EQ(reader.userCoord[1].params[5], 6.0f);
  EXPECT_TRUE(reader.userCoord[2].enable);
  EXPECT_EQ(reader.userCoord[2].params[0], 0.0f);
  EXPECT_EQ(reader.userCoord[3].params[0], 0.0f);
  EXPECT_EQ(output.count("get user coord error"), 2u);
  EXPECT_EQ(reader.toolCoord[1].params[0], 9.0f);
}

TEST_F(TeachPlayback, UserFileNotAnArrayStopsBeforeTheToolFile) {
  JsonProjectReader reader;
  writeFile("settings/coordinate/user.json", R"({"enable": true})");
  writeFile("settings/coordinate/tool.json", R"([{}, {"enable": true, "params": [9, 8, 7, 6, 5, 4]}])");
  OutputCapture output;
  reader.st_coord_load();
  EXPECT_EQ(output.count("get user tool error"), 1u);
  EXPECT_EQ(reader.toolCoord[1].params[0], 0.0f);

  output.resume();
  writeFile("settings/coordinate/user.json", "[]");
  writeFile("settings/coordinate/tool.json", "7");
  reader.st_coord_load();
  EXPECT_EQ(output.count("get tool tool error"), 1u);
}

TEST_F(TeachPlayback, InchSteps) {
  JsonProjectReader reader;
  removeFile("settings/teach/inch.json");
  reader.inch = {5, 5};
  reader.st_inch_load();
  EXPECT_EQ(reader.inch.distance, 0.1f);
  EXPECT_EQ(reader.inch.angle, 0.1f);

  writeFile("settings/teach/inch.json", R"({"distance": 2})");
  reader.st_inch_load();
  EXPECT_EQ(reader.inch.distance, 2.0f);
  EXPECT_EQ(reader.inch.angle, 0.1f);

  writeFile("settings/teach/inch.json", R"({"angle": 3})");
  reader.st_inch_load();
  EXPECT_EQ(reader.inch.distance, 2.0f);  // missing distance stays
  EXPECT_EQ(reader.inch.angle, 3.0f);
}

TEST_F(TeachPlayback, LatchTemplateTakesAtMostFourAnglesAndNoZ) {
  JsonProjectReader reader;
  reader.latchPos.z = 12;
  writeFile("settings/teach/latch_pos.json",
            R"({"x": 1, "y": 2, "z": 99, "r": 4, "jointAngle": [10, 20, 30, 40, 50, 60]})");
  OutputCapture output;
  reader.st_load_latchPos();
  EXPECT_EQ(reader.latchPos.x, 1.0f);
  EXPECT_EQ(reader.latchPos.z, 12.0f);
  EXPECT_EQ(reader.latchPos.joint[3], 40.0f);
  EXPECT_EQ(output.count("pos template:jointAngle["), 4u);
  EXPECT_EQ(output.count("pos template:[x,y,z,r]:[1.000000,2.000000,12.000000,4.000000]"), 1u);

  output.resume();
  writeFile("settings/teach/latch_pos.json", R"({"jointAngle": {"a": 1}})");
  reader.st_load_latchPos();
  EXPECT_EQ(output.count("get pos template:jointAngle error"), 1u);
  EXPECT_EQ(reader.latchPos.joint[0], 10.0f);
}

TEST_F(TeachPlayback, FrameSelectionSaveKeepsTheOtherMembers) {
  writeFile("settings/quillon/config.json", R"({"name": "cell 4", "coordinate": {"user": 0, "tool": 0, "note": "x"},
                                                "list": [1, 2]})");
  JsonProjectReader reader;
  reader.st_temp_coord_save(3, 1);
  EXPECT_EQ(reader.temp.user, 3);
  EXPECT_EQ(reader.temp.tool, 1);

  std::ifstream in(projectFile("settings/quillon/config.json"));
  Json::Value saved;
  ASSERT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &saved, nullptr));
  EXPECT_EQ(saved["name"], "cell 4");
  EXPECT_EQ(saved["list"].size(), 2u);
  EXPECT_EQ(saved["coordinate"]["user"], 3);
  EXPECT_EQ(saved["coordinate"]["tool"], 1);
  EXPECT_EQ(saved["coordinate"]["note"], "x");

  // The saved selection is what a new reader starts with; no temporary is left behind.
  JsonProjectReader next;
  EXPECT_EQ(next.temp.user, 3);
  EXPECT_EQ(next.temp.tool, 1);
  for (const auto& entry : std::filesystem::directory_iterator(projectFile("settings/quillon"))) {
    EXPECT_EQ(entry.path().filename(), "config.json");
  }
}

TEST_F(TeachPlayback, FrameSelectionSaveOnAMissingOrForeignFile) {
  JsonProjectReader reader;
  removeFile("settings/quillon/config.json");
  reader.st_temp_coord_save(2, 5);
  JsonProjectReader next;
  EXPECT_EQ(next.temp.user, 2);
  EXPECT_EQ(next.temp.tool, 5);

  // A document that is not an object cannot hold the selection: it is replaced.
  writeFile("settings/quillon/config.json", "[1, 2]");
  reader.st_temp_coord_save(4, 4);
  next.st_temp_load();
  EXPECT_EQ(next.temp.user, 4);
}
