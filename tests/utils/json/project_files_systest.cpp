// Projects and point files: script paths of a project, the Lua table of a
// point file, and the pendant's point list.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <json/value.h>

#include <gtest/gtest.h>

#include "json/json_project_reader.h"
#include "json/project_structure.h"
#include "json/settings_json.h"
#include "settings_tree.h"

using namespace zelor::test;

namespace {

const std::string kProjects = projectFile("project");

Json::Value parsed(const std::string& path) {
  Json::Value root;
  std::string errors;
  EXPECT_TRUE(zelor::config::parseFile(path, root, errors)) << path << ": " << errors;
  return root;
}

std::string pointLine(const std::string& name, int i) {
  return R"({"name": ")" + name + R"(", "armOrientation": "left", "coordinate": [)" + std::to_string(i) +
         R"(, 2, 3, 4, 0, 0], "tool": 1, "user": 2})";
}

void replaceOnce(std::string& text, const std::string& from, const std::string& to) {
  const std::string::size_type at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

// A point file of n points named P1..Pn.
std::string pointFile(int n) {
  std::string text = "[";
  for (int i = 1; i <= n; ++i) text += (i > 1 ? ", " : "") + pointLine("P" + std::to_string(i), i);
  return text + "]";
}

}  // namespace

TEST(ProjectFiles, ProjectResolvesIntoItsScriptPaths) {
  writeFile("project/demo/prj.json",
            R"({"cpus": ["src0.lua", "src1.lua"], "global": "global.lua", "teach_point": "point.json"})");
  JsonProjectReader reader;
  OutputCapture output;
  st_project* project = nullptr;
  ASSERT_TRUE(reader.RegexProjectFile("demo", &project));
  ASSERT_EQ(project, reader.project.get());
  ASSERT_EQ(project->cpus.size(), 2);
  EXPECT_EQ(project->cpus[0].toStdString(), "/zelor/userdata/project/project/demo/src0.lua");
  EXPECT_EQ(project->cpus[1].toStdString(), "/zelor/userdata/project/project/demo/src1.lua");
  EXPECT_EQ(project->global.toStdString(), "/zelor/userdata/project/project/demo/global.lua");
  EXPECT_EQ(project->teachPoint.toStdString(), "/zelor/userdata/project/project/demo/point.json.lua");
  EXPECT_TRUE(project->reserved.isEmpty());
  EXPECT_EQ(output.count("Check lua project path:/zelor/userdata/project/project/demo/prj.json"), 1u)
      << output.text();
}

TEST(ProjectFiles, AProjectThatCannotBeResolvedLeavesNothing) {
  writeFile("project/demo/prj.json", R"({"cpus": ["a.lua"], "global": "g.lua", "teach_point": "p.json"})");
  writeFile("project/empty/prj.json", R"({"cpus": [], "global": "g.lua"})");
  writeFile("project/nocpus/prj.json", R"({"global": "g.lua"})");
  writeFile("project/escape/prj.json", R"({"cpus": ["../../../../etc/x.lua"], "global": "g.lua"})");
  writeFile("project/escape2/prj.json", R"({"cpus": ["a.lua"], "global": "sub/../../other/g.lua"})");
  struct Case {
    const char* name;
    const char* line;
  };
  const Case cases[] = {
      {"empty", "Can't find cpus files"},
      {"nocpus", "Can't find cpus files"},
      {"missing", "Can't find cpus files"},
      {"escape", "is not a script of the project"},
      {"escape2", "lies outside the project"},
      {"..", "is not a folder name"},
      {".", "is not a folder name"},
      {"", "is not a folder name"},
      {"demo/..", "is not a folder name"},
  };
  JsonProjectReader reader;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    st_project* project = nullptr;
    ASSERT_TRUE(reader.RegexProjectFile("demo", &project));
    OutputCapture output;
    st_project* untouched = nullptr;
    EXPECT_FALSE(reader.RegexProjectFile(c.name, &untouched));
    EXPECT_EQ(untouched, nullptr);
    EXPECT_TRUE(reader.project->cpus.isEmpty());
    EXPECT_TRUE(reader.project->global.isEmpty());
    EXPECT_TRUE(reader.project->teachPoint.isEmpty());
    EXPECT_EQ(output.count(c.line), 1u) << output.text();
  }
  EXPECT_FALSE(reader.RegexProjectFile(nullptr, nullptr));
}

TEST(ProjectFiles, PointFileBecomesLuaTable) {
  const char* p1 = R"("name": "P1", "armOrientation": "left", "coordinate": [1, 2, 3, 4, 0, 0], "tool": 0, "user": 0)";
  struct Case {
    std::string point;
    bool auxSwitch;
    const char* line;
  };
  const Case cases[] = {
      {std::string("{") + p1 + "}", false,
       R"(P1={armOrientation="left", coordinate={1.000000, 2.000000, 3.000000, 4.000000, 0.000000, 0.000000},  tool=0, user=0 })"},
      {std::string("{") + p1 + R"(, "load": 2})", false,
       R"(P1={armOrientation="left", coordinate={1.000000, 2.000000, 3.000000, 4.000000, 0.000000, 0.000000},  tool=0, user=0, load=2})"},
      {std::string("{") + p1 + R"(, "auxJoint": [7, 8, 9]})", false,
       R"(P1={armOrientation="left", coordinate={1.000000, 2.000000, 3.000000, 4.000000, 0.000000, 0.000000},  tool=0, user=0 })"},
      {std::string("{") + p1 + R"(, "auxJoint": [7, 8, 9]})", true,
       R"(P1={armOrientation="left", coordinate={1.000000, 2.000000, 3.000000, 4.000000, 0.000000, 0.000000},  auxJoint={7.000000, 8.000000, 9.000000},tool=0, user=0 })"},
      {R"({"name": "P2", "armOrientation": "right", "coordinate": [1.5, -2], "joint": [1, 2, 3, 4], "tool": 3, "user": 4})",
       false,
       R"(P2={armOrientation="right", coordinate={1.500000, -2.000000, 0.000000, 0.000000, 0.000000, 0.000000}, joint={1.000000, 2.000000, 3.000000, 4.000000, 0.000000, 0.000000}, tool=3, user=4 })"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.point);
    writeFile("process/auxJoint/switch.json",
              c.auxSwitch ? R"({"auxJoint": true, "addPoints": true})" : R"({"auxJoint": true, "addPoints": false})");
    writeFile("project/demo/point.json", "[" + c.point + "]");
    JsonProjectReader reader;
    ASSERT_TRUE(reader.JsonToLua("demo/point.json"));
    EXPECT_EQ(readFile(kProjects + "/demo/point.json.lua"), std::string(c.line) + "\n");
    EXPECT_EQ(readFile(kProjects + "/demo/point.json"), "[" + c.point + "]");
  }
}

TEST(ProjectFiles, MissingPointFileLeavesAnEmptyLuaFile) {
  std::filesystem::create_directories(kProjects + "/demo");
  JsonProjectReader reader;
  OutputCapture output;
  EXPECT_TRUE(reader.JsonToLua("demo/none.json"));
  EXPECT_EQ(output.count("Can't find file:/zelor/userdata/project/project/demo/none.json"), 1u) << output.text();
  EXPECT_TRUE(std::filesystem::exists(kProjects + "/demo/none.json.lua"));
  EXPECT_EQ(readFile(kProjects + "/demo/none.json.lua"), "");
}

TEST(ProjectFiles, LongPointFileNamesNeverCostThePoints) {
  JsonProjectReader reader;
  // Longer than the old 200-byte path buffers, but a valid file name.
  const std::string longName = std::string(200, 'p') + ".json";
  writeFile("project/demo/" + longName, pointFile(1));
  EXPECT_TRUE(reader.JsonToLua(("demo/" + longName).c_str()));
  EXPECT_EQ(readFile(kProjects + "/demo/" + longName), pointFile(1));
  EXPECT_NE(readFile(kProjects + "/demo/" + longName + ".lua").find("P1={"), std::string::npos);

  // A name whose Lua file cannot exist: refused, the point file untouched.
  const std::string tooLong = std::string(250, 'q') + ".json";
  writeFile("project/demo/" + tooLong, pointFile(2));
  OutputCapture output;
  EXPECT_FALSE(reader.JsonToLua(("demo/" + tooLong).c_str()));
  EXPECT_EQ(readFile(kProjects + "/demo/" + tooLong), pointFile(2));
  EXPECT_EQ(output.count("Create file lua error"), 1u) << output.text();
}

TEST(ProjectFiles, PointScriptNamesStayInsideTheProjects) {
  writeFile("victim.json", pointFile(1));
  writeFile("project/victim.json", pointFile(1));
  writeFile("project/demo/victim.lua", "keep");
  writeFile("project/victim.lua", "keep");
  JsonProjectReader reader;
  for (const char* name : {"../victim.json", "demo/../../victim.json", "demo/sub/point.json", "victim.json",
                           "demo/", "/demo/point.json", "demo/.."}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(reader.JsonToLua(name));
  }
  EXPECT_FALSE(std::filesystem::exists(projectFile("victim.json.lua")));
  EXPECT_FALSE(std::filesystem::exists(kProjects + "/victim.json.lua"));
  EXPECT_FALSE(reader.JsonToLua(nullptr));

  for (const char* name : {"../victim", "demo/../victim", "victim", "..", "demo/.."}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(reader.DeleteLua(name), 0);
  }
  EXPECT_EQ(readFile(kProjects + "/victim.lua"), "keep");
  EXPECT_EQ(readFile(kProjects + "/demo/victim.lua"), "keep");
  EXPECT_EQ(reader.DeleteLua(nullptr), 0);
}

TEST(ProjectFiles, DeleteLuaRemovesOnlyTheScript) {
  writeFile("project/demo/point.json", pointFile(1));
  JsonProjectReader reader;
  ASSERT_TRUE(reader.JsonToLua("demo/point.json"));
  EXPECT_EQ(reader.DeleteLua("demo/point.json"), 1);
  EXPECT_FALSE(std::filesystem::exists(kProjects + "/demo/point.json.lua"));
  EXPECT_EQ(readFile(kProjects + "/demo/point.json"), pointFile(1));
  EXPECT_EQ(reader.DeleteLua("demo/point.json"), 1) << "nothing to delete is done";
  EXPECT_EQ(reader.DeleteLua("nodemo/point.json"), 1);

  // Long names are never cut back onto the point file.
  const std::string longName = std::string(200, 'p') + ".json";
  writeFile("project/demo/" + longName, pointFile(1));
  EXPECT_EQ(reader.DeleteLua(("demo/" + longName).c_str()), 1);
  EXPECT_EQ(readFile(kProjects + "/demo/" + longName), pointFile(1));
}

TEST(ProjectFiles, PointListTakesTheFirstSixteenPoints) {
  std::string text = pointFile(20);
  // A long name and orientation are cut; frame indices keep 8 bits.
  replaceOnce(text, R"("name": "P2", "armOrientation": "left")",
              R"("name": "P2-with-a-long-name", "armOrientation": "leftmost")");
  replaceOnce(text, R"([3, 2, 3, 4, 0, 0], "tool": 1, "user": 2)", R"([3, 2, 3, 4, 0, 0], "tool": 257, "user": -1)");
  writeFile("project/demo/point.json", text);
  JsonProjectReader reader;
  std::vector<HMIPoint> points(kHmiPointCount);
  for (auto& p : points) p.reserved[0] = p.reserved[1] = 42.0f;
  EXPECT_EQ(reader.GetAllTeachPoint((kProjects + "/demo/point.json").c_str(), points.data()), 20);
  EXPECT_STREQ(points[0].name, "P1");
  EXPECT_STREQ(points[15].name, "P16");
  EXPECT_STREQ(points[1].name, "P2-with");
  EXPECT_STREQ(points[1].armOrientation, "leftmos");
  EXPECT_EQ(points[2].tool, 1);
  EXPECT_EQ(points[2].user, 255);
  EXPECT_EQ(points[9].x, 10.0f);
  EXPECT_EQ(points[9].r, 4.0f);
  EXPECT_EQ(points[0].reserved[0], 42.0f) << "left untouched";

  EXPECT_EQ(reader.GetAllTeachPoint(nullptr, points.data()), -1);
  EXPECT_EQ(reader.GetAllTeachPoint((kProjects + "/demo/none.json").c_str(), points.data()), 0);
}

TEST(ProjectFiles, PointUpdateChangesOnlyMatchingNames) {
  const std::string path = kProjects + "/demo/point.json";
  writeFile("project/demo/point.json", pointFile(20));
  JsonProjectReader reader;
  std::vector<HMIPoint> points(kHmiPointCount);  // exactly the sixteen the caller holds
  ASSERT_EQ(reader.GetAllTeachPoint(path.c_str(), points.data()), 20);
  const Json::Value before = parsed(path);

  // Names in another order: nothing matches, nothing changes.
  std::vector<HMIPoint> reversed(points.rbegin(), points.rend());
  for (auto& p : reversed) p.x = -1.0f;
  reader.UpdateLuaJson(path.c_str(), reversed.data());
  EXPECT_EQ(parsed(path), before);

  points[3].x = 11.5f;
  points[3].user = 7;
  points[3].tool = 8;
  std::strcpy(points[3].armOrientation, "right");
  points[4].x = 12.0f;
  std::strcpy(points[4].armOrientation, "up");
  reader.UpdateLuaJson(path.c_str(), points.data());
  const Json::Value after = parsed(path);
  EXPECT_EQ(after[3]["coordinate"][0].asDouble(), 11.5);
  EXPECT_EQ(after[3]["coordinate"][4].asDouble(), 0.0) << "only x, y, z, r are set";
  EXPECT_EQ(after[3]["armOrientation"].asString(), "right");
  EXPECT_EQ(after[3]["user"].asInt(), 7);
  EXPECT_EQ(after[3]["tool"].asInt(), 8);
  EXPECT_EQ(after[4]["armOrientation"].asString(), "left") << "only left or right is taken";
  EXPECT_EQ(after[4]["coordinate"][0].asDouble(), 12.0);
  EXPECT_EQ(after.size(), 20u);
  for (unsigned i = 16; i < 20; ++i) EXPECT_EQ(after[i], before[i]) << "element " << i;
  EXPECT_EQ(readFile(path), zelor::config::styledText(after));
}

TEST(ProjectFiles, PointUpdateNeverOverwritesABrokenFile) {
  const std::string path = kProjects + "/demo/point.json";
  writeFile("project/demo/point.json", "[{\"name\": \"P1\",");
  JsonProjectReader reader;
  std::vector<HMIPoint> points(kHmiPointCount);
  std::strcpy(points[0].name, "P1");
  OutputCapture output;
  reader.UpdateLuaJson(path.c_str(), points.data());
  EXPECT_EQ(readFile(path), "[{\"name\": \"P1\",");
  EXPECT_EQ(output.count("read file[" + path + "] error:"), 1u) << output.text();

  // A missing file gets the empty document, as before.
  const std::string fresh = kProjects + "/demo/fresh.json";
  reader.UpdateLuaJson(fresh.c_str(), points.data());
  EXPECT_EQ(readFile(fresh), "null\n");
}
