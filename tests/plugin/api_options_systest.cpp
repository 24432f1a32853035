// The option list of api.ini: which options a script function accepts.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "plugin_lua.h"
#include "support/fake_request_service.h"
#include "support/lua_run.h"

namespace zelor::test {
namespace {

class ApiOptions : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(kIni, "[MoveJ]\nkey=CP,Speed\n\n[Go]\nKEY=User\n");
    ASSERT_EQ(plugin.initApiOption(kIni), 0);
    clearAlarm();
  }
  void TearDown() override { unlink(kIni); }

  void clearAlarm() {
    fake.memory()->alarmFlag = 0;
    std::memset(fake.memory()->alarmCode, 0, 4);
  }
  std::int32_t alarm() const {
    std::int32_t code = 0;
    if (fake.memory()->alarmFlag != 0) std::memcpy(&code, fake.memory()->alarmCode, 4);
    return code;
  }

  static constexpr const char* kIni = "/tmp/api_test.ini";
  FakeRequestService fake;
  pluginLua& plugin = pluginLua::instance();
};

TEST_F(ApiOptions, OptionsAreComparedExactlyFunctionNamesWithoutCase) {
  struct Case {
    const char* api;
    const char* option;
    int accepted;
  };
  const Case cases[] = {
      {"MoveJ", "CP", 1},      {"MoveJ", "Speed", 1},  {"movej", "CP", 1},  {"MOVEJ", "Speed", 1},
      {"Go", "User", 1},       {"MoveJ", "cp", 0},     {"MoveJ", " Speed", 0}, {"MoveJ", "Spee", 0},
      {"MoveJ", "CP,Speed", 0}, {"MoveJ", "", 0},      {"Move", "CP", 0},   {"MoveJ", "SYNC", 1},
      {"NoSuchFunction", "SYNC", 1},
  };
  for (const Case& c : cases) {
    clearAlarm();
    EXPECT_EQ(plugin.checkApiOption(c.api, c.option, 0x8D03), c.accepted) << c.api << " " << c.option;
    EXPECT_EQ(alarm(), c.accepted ? 0 : 0x8D03) << c.api << " " << c.option;
  }
  EXPECT_EQ(plugin.checkApiOption(nullptr, "CP", 0x8E03), 0);
  EXPECT_EQ(alarm(), 0x8E03);
  clearAlarm();
  EXPECT_EQ(plugin.checkApiOption("MoveJ", nullptr, 0x8E02), 0);
  EXPECT_EQ(alarm(), 0x8E02);
}

TEST_F(ApiOptions, AMissingFileAcceptsOnlySync) {
  ASSERT_EQ(plugin.initApiOption("/tmp/no_such_api.ini"), 0);
  EXPECT_EQ(plugin.checkApiOption("MoveJ", "CP", 0x8D03), 0);
  EXPECT_EQ(plugin.checkApiOption("MoveJ", "SYNC", 0x8D03), 1);
  EXPECT_EQ(plugin.initApiOption(nullptr), -1);
}

TEST_F(ApiOptions, TheInstalledListNamesTheMoveOptions) {
  const std::string installed = std::string(built::kSourceDir) + "/plugin/install/api.ini";
  ASSERT_EQ(plugin.initApiOption(installed.c_str()), 0);
  for (const char* api : {"MoveJ", "Go", "GoR", "Move", "MoveR", "Arc3", "Circle3", "Jump"}) {
    for (const char* option : {"ARM", "CP", "Tool", "User", "Speed", "SpeedS", "Accel", "AccelS", "Load", "Arch",
                               "Start", "ZLimit", "End"})
      EXPECT_EQ(plugin.checkApiOption(api, option, 1), 1) << api << " " << option;
  }
}

}  // namespace
}  // namespace zelor::test
