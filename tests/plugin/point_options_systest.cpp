// The move options in-process against the fake request service: the
// settings frames before a move, their restore after it, and the alarms.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <lua.hpp>

#include "json/json_project_reader.h"
#include "plugin_lua.h"
#include "point_options.h"
#include "support/fake_request_service.h"
#include "support/lua_run.h"

namespace zelor::test {
namespace {

constexpr int kMoveAlarm = 0x8D03;
constexpr std::uint16_t kMoveMarker = 27;  // stands for the move between options and restore

struct Sent {
  std::uint16_t id;
  std::vector<std::uint8_t> params;
  bool operator==(const Sent&) const = default;
};

std::vector<std::uint8_t> bytesOf(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  return {p, p + size};
}

// options(point, opts...): the calling order of a move.
int moveWithOptions(lua_State* L) {
  pluginLua& plugin = pluginLua::instance();
  ParamTempValue temp = plugin.m_params;
  int sync = -7;
  processPointParams(L, temp, "MoveJ", kMoveAlarm, 1, &sync);
  plugin.freePluginPacket(plugin.alloc_GetCmdAllDone());
  recoveryPointParams(temp);
  lua_pushinteger(L, sync);
  return 1;
}

class PointOptions : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.setLeftSpace(60);
    writeFile(kIni, "[MoveJ]\nkey=ARM,CP,Tool,User,Speed,SpeedS,Accel,AccelS,Load,Arch,Start,ZLimit,End\n");
    plugin.initApiOption(kIni);
    plugin.m_params.transition = 7;
    plugin.m_params.ptpcommon = {20, 21, 22, 23, 24, 25, 26, 27, 28};
    plugin.m_params.jump = {1, 2, 3};
    JsonProjectReader& reader = plugin.reader();
    reader.toolCoord[3] = {false, {5, 6, 7, 8, 0, 0}};
    reader.toolCoord[4] = {true, {9, 10, 11, 12, 0, 0}};
    reader.userCoord[5] = {false, {1, 1, 1, 1, 0, 0}};
    reader.arch[2] = {true, 40, 50, 60};
    reader.arch[3] = {false, 1, 1, 1};
    L = luaL_newstate();
    luaL_openlibs(L);
    lua_register(L, "options", moveWithOptions);
  }
  void TearDown() override {
    lua_close(L);
    unlink(kIni);
  }

  // Runs chunk; the frames it sent, its error text ("" when none) and the sync value.
  struct Run {
    std::vector<Sent> sent;
    std::string error;
    long sync = 0;
  };
  Run run(const std::string& chunk) {
    fake.memory()->alarmFlag = 0;
    std::memset(fake.memory()->alarmCode, 0, 4);
    const std::size_t before = fake.frames().size();
    Run r;
    if (luaL_dostring(L, ("return " + chunk).c_str()) != LUA_OK) {
      r.error = lua_tostring(L, -1);
      // Without the calling line's position that luaL_error puts first.
      const std::size_t at = r.error.find("]:1: ");
      if (at != std::string::npos) r.error.erase(0, at + 5);
    } else
      r.sync = static_cast<long>(lua_tointeger(L, -1));
    lua_settop(L, 0);
    const std::vector<SeenFrame> frames = fake.frames();
    for (std::size_t i = before; i < frames.size(); ++i)
      if (frames[i].id() != 247) r.sent.push_back({frames[i].id(), frames[i].params()});
    return r;
  }
  std::int32_t alarm() const {
    std::int32_t code = 0;
    if (fake.memory()->alarmFlag != 0) std::memcpy(&code, fake.memory()->alarmCode, 4);
    return code;
  }

  Sent transition(std::uint8_t value) { return {51, {value}}; }
  Sent ratios(const tagPTPCommonParams& r) { return {83, bytesOf(&r, sizeof r)}; }
  Sent jump(float start, float end, float limit) {
    const tagPTPJump2Params j{start, end, limit};
    return {87, bytesOf(&j, sizeof j)};
  }
  Sent move() { return {kMoveMarker, {}}; }

  static constexpr const char* kIni = "/tmp/api_options_test.ini";
  FakeRequestService fake;
  pluginLua& plugin = pluginLua::instance();
  lua_State* L = nullptr;
};

TEST_F(PointOptions, TextOptionsAreSentBeforeTheMoveAndRestoredAfter) {
  tagPTPCommonParams speed30 = plugin.m_params.ptpcommon;
  speed30.velocityRatio = 30;
  const Run r = run("options({}, 'CP=50 Speed=30')");
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.sent, (std::vector<Sent>{transition(50), ratios(speed30), move(), transition(7),
                                       ratios(plugin.m_params.ptpcommon)}));
  EXPECT_EQ(r.sync, -7) << "without SYNC the caller's value stays";

  // Without options: the current transition, nothing to restore.
  EXPECT_EQ(run("options({})").sent, (std::vector<Sent>{transition(7), move()}));
  // A repeated key keeps its first value.
  EXPECT_EQ(run("options({}, 'CP=30,CP=80')").sent, (std::vector<Sent>{transition(30), move(), transition(7)}));
  // No decimal point: Speed=50.5 reads as 50.
  tagPTPCommonParams speed50 = plugin.m_params.ptpcommon;
  speed50.velocityRatio = 50;
  EXPECT_EQ(run("options({}, 'Speed=50.5')").sent.at(1), ratios(speed50));
  EXPECT_EQ(run("options({}, 'SYNC=1')").sync, 1);
}

TEST_F(PointOptions, RatiosOutsideOneToHundredRaiseTheirAlarm) {
  struct Case {
    const char* call;
    int alarm;
  };
  const Case cases[] = {
      {"options({}, 'Speed=0')", 45082},     {"options({}, 'Speed=101')", 45082},
      {"options({}, 'Speed=abc')", 45082},   {"options({}, 'SpeedS=0')", 45083},
      {"options({}, 'Accel=-5')", 45084},    {"options({}, 'AccelS=200')", 45085},
      {"options({}, {SpeedJ = 0/0})", 45082}, {"options({}, {AccL = 100.5})", 45085},
      {"options({}, 'CP=101')", 45079},      {"options({}, 'CP=x')", 45079},
      {"options({}, {CP = 200})", 45079},    {"options({}, 'Arch=a')", 45086},
      {"options({}, 'Start=s')", 45087},     {"options({}, 'ZLimit=z')", 45088},
      {"options({}, 'End=e')", 45089},       {"options({}, {ARM = 'Up'})", 45091},
  };
  for (const Case& c : cases) {
    const Run r = run(c.call);
    EXPECT_EQ(r.error, "Options Error alarm " + std::string(c.alarm == 45091 ? "id:" : ":") + "API usage error")
        << c.call;
    EXPECT_EQ(alarm(), c.alarm) << c.call;
    for (const Sent& s : r.sent) EXPECT_NE(s.id, kMoveMarker) << c.call << ": the move never ran";
  }
  const Run speed0 = run("options({}, 'Speed=0')");
  const std::uint8_t code[4] = {0x1A, 0xB0, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(fake.memory()->alarmCode, code, 4), 0);
  EXPECT_EQ(speed0.sent, std::vector<Sent>{transition(7)}) << "commands of earlier options stay queued";

  // The limits themselves are accepted; the option mutex is free after each alarm.
  for (const char* ok : {"options({}, 'Speed=100')", "options({}, 'Speed=1')", "options({}, {SpeedJ = 1})"}) {
    const Run r = run(ok);
    EXPECT_EQ(r.error, "") << ok;
    EXPECT_EQ(alarm(), 0) << ok;
  }
}

TEST_F(PointOptions, AKeyTheFunctionDoesNotListRaisesTheCallersAlarm) {
  const Run r = run("options({}, 'CP=5 Foo=1')");
  EXPECT_EQ(alarm(), kMoveAlarm);
  EXPECT_EQ(r.error, "Options Error alarm :\"Incorrect control parameter for MovJ instruction\"\n");
  EXPECT_TRUE(r.sent.empty());
}

TEST_F(PointOptions, ArmOrientationFromTheOptionOrThePoint) {
  EXPECT_EQ(run("options({armOrientation = 'left'})").sent, (std::vector<Sent>{{50, {0}}, transition(7), move()}));
  EXPECT_EQ(run("options({armOrientation = 'Lefty'})").sent.at(0), (Sent{50, {1}}));
  EXPECT_EQ(run("options({}, {ARM = 'Right'})").sent.at(0), (Sent{50, {1}}));
  EXPECT_EQ(run("options({}, 'ARM=Left')").sent.at(0), (Sent{50, {0}}));
  const Run left = run("options({}, {ARM = 'left'})");
  EXPECT_EQ(alarm(), 45091);
  EXPECT_EQ(left.error, "Options Error alarm id:API usage error");
  run("options({}, 'ARM=left')");
  EXPECT_EQ(alarm(), 45091);
  // A point orientation of another type counts as absent.
  EXPECT_EQ(run("options({armOrientation = 3})").sent, (std::vector<Sent>{transition(7), move()}));
}

TEST_F(PointOptions, ToolAndUserFrames) {
  const tagCoordParamsFull tool4{4, 9, 10, 11, 12};
  EXPECT_EQ(run("options({}, 'Tool=4')").sent,
            (std::vector<Sent>{transition(7), {251, bytesOf(&tool4, sizeof tool4)}, move()}));
  EXPECT_EQ(run("options({tool = 4})").sent.at(1), (Sent{251, bytesOf(&tool4, sizeof tool4)}));

  for (const char* refused : {"options({}, 'Tool=3')", "options({}, 'Tool=10')", "options({}, 'Tool=-1')",
                              "options({}, {Tool = 3})", "options({}, 'Tool=x')"}) {
    run(refused);
    EXPECT_EQ(alarm(), 45080) << refused;
  }
  run("options({}, 'User=5')");
  EXPECT_EQ(alarm(), 45081);
  // A point naming a disabled or missing entry sends nothing, whatever its sign.
  for (const char* point : {"options({tool = 3})", "options({tool = -1})", "options({user = 5})",
                            "options({user = -1})", "options({user = 12})"}) {
    const Run r = run(point);
    EXPECT_EQ(r.error, "") << point;
    EXPECT_EQ(r.sent, (std::vector<Sent>{transition(7), move()})) << point;
  }
  // The entry became the current frame before the enabled test.
  EXPECT_FLOAT_EQ(plugin.m_userFrame.x, 1.0f);
}

TEST_F(PointOptions, ArchAndHeights) {
  for (const char* logged : {"options({}, 'Arch=10')", "options({}, 'Arch=11')", "options({}, 'Arch=-1')",
                             "options({}, 'Arch=3')", "options({}, {Arch = 3})"}) {
    const Run r = run(logged);
    EXPECT_EQ(r.error, "") << logged;
    EXPECT_EQ(alarm(), 0) << logged;
    EXPECT_EQ(r.sent, (std::vector<Sent>{transition(7), move()})) << logged;
  }
  EXPECT_EQ(run("options({}, 'Arch=2')").sent,
            (std::vector<Sent>{transition(7), jump(40, 50, 60), move(), jump(1, 2, 3)}));
  EXPECT_EQ(run("options({}, 'Start=10')").sent,
            (std::vector<Sent>{transition(7), jump(10, 2, 3), move(), jump(1, 2, 3)}));
  EXPECT_EQ(run("options({}, {ZLimit = 9, End = 8})").sent,
            (std::vector<Sent>{transition(7), jump(1, 8, 9), move(), jump(1, 2, 3)}));
  // The same values as in force: sent, nothing to restore.
  EXPECT_EQ(run("options({}, 'Start=1')").sent, (std::vector<Sent>{transition(7), jump(1, 2, 3), move()}));
}

TEST_F(PointOptions, LoadOutsideTheTableIsOnlyLogged) {
  JsonProjectReader& reader = plugin.reader();
  reader.pointLoadEnabled = true;
  reader.lynload[7] = {true, {2.5f, 0.25f}};
  _stLoadFullParams load{};
  load.index = 7;
  load.weight = 2.5;
  load.inertia = 0.25;
  EXPECT_EQ(run("options({}, {Load = 7})").sent,
            (std::vector<Sent>{transition(7), {253, bytesOf(&load, sizeof load)}, move()}));
  EXPECT_EQ(run("options({}, 'Load=7')").sent.at(1), (Sent{253, bytesOf(&load, sizeof load)}));
  for (const char* logged : {"options({}, {Load = 8})", "options({}, 'Load=200')", "options({}, 'Load=-1')"}) {
    const Run r = run(logged);
    EXPECT_EQ(r.error, "") << logged;
    EXPECT_EQ(alarm(), 0) << logged;
    EXPECT_EQ(r.sent, (std::vector<Sent>{transition(7), move()})) << logged;
  }
}

}  // namespace
}  // namespace zelor::test
