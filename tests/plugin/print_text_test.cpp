// Script values as print text, the option table reader and the alarm texts.
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <json/value.h>
#include <lua.hpp>

#include "api_options.h"
#include "functions/print_text.h"
#include "script_alarm.h"

namespace {

class LuaState : public ::testing::Test {
 protected:
  void SetUp() override {
    L = luaL_newstate();
    luaL_openlibs(L);
  }
  void TearDown() override { lua_close(L); }

  // Runs chunk, which returns the values to convert, then converts them as
  // "print" does.
  std::string printText(const char* chunk) {
    lua_settop(L, 0);
    EXPECT_EQ(luaL_dostring(L, chunk), LUA_OK) << lua_tostring(L, -1);
    std::string out;
    EXPECT_EQ(Lua2String(L, out), 0);
    return out;
  }

  lua_State* L = nullptr;
};

TEST_F(LuaState, PrintTextOfEachType) {
  struct Case {
    const char* chunk;
    const char* text;
  };
  const Case cases[] = {
      {"return 1, 2.5, 'a', nil, true", "1 2.500000 a nil true "},
      {"return false, -7, 1e3", "false -7 1000.000000 "},
      {"return {1, {2}}", "{ [1]=1.000000 [2]={ [1]=2.000000 }, }"},
      {"return {x = true, y = false}, 'after'", nullptr},  // key order is the table's
      {"return print", "function "},
      {"return {f = print}", "{ [f]=function }"},
      {"return {}", "{ }"},
      {"return {co = coroutine.create(print)}", "{ [co]=type : 8 is not support }"},
      {"return setmetatable({}, {__tostring = function() return 'T' end}), io.stdout", nullptr},
  };
  for (const Case& c : cases) {
    const std::string text = printText(c.chunk);
    if (c.text != nullptr) {
      EXPECT_EQ(text, c.text) << c.chunk;
    }
  }
  // Booleans inside a table print as 1 and 0; a table has no blank behind it.
  const std::string flags = printText("return {x = true, y = false}, 'after'");
  EXPECT_TRUE(flags == "{ [x]=1 [y]=0 }after " || flags == "{ [y]=0 [x]=1 }after ") << flags;
  EXPECT_EQ(printText("return coroutine.create(print)").rfind("thread: ", 0), 0u);
}

TEST_F(LuaState, NumericKeysStayNumbersDuringTheWalk) {
  // Converting the key itself would turn it into a string and end lua_next early.
  EXPECT_EQ(printText("return {10, 20, 30}"), "{ [1]=10.000000 [2]=20.000000 [3]=30.000000 }");
}

TEST_F(LuaState, SelfContainingAndDeepTablesEnd) {
  const std::string self = printText("local t = {1}; t[2] = t; return t");
  EXPECT_EQ(self.rfind("{ [1]=1.000000 [2]={ [1]=1.000000 [2]={", 0), 0u) << self;
  EXPECT_NE(self.find("{...}"), std::string::npos);

  // 16 levels below the top print in full, deeper ones are cut.
  std::string expected = "{ [1]=1.000000 }";
  for (int level = 0; level < 16; ++level) expected = "{ [1]=" + expected + ", }";
  EXPECT_EQ(printText("local t = {1}; for i = 1, 16 do t = {t} end; return t"), expected);
  EXPECT_NE(printText("local t = {1}; for i = 1, 17 do t = {t} end; return t").find("{...}"), std::string::npos);
}

TEST_F(LuaState, ToStringThatReturnsNoStringIsAnError) {
  ASSERT_EQ(luaL_dostring(L, "tostring = function() return {} end"), LUA_OK);
  lua_settop(L, 0);
  ASSERT_EQ(luaL_dostring(L, "return 1, io.stdout"), LUA_OK);
  std::string out;
  EXPECT_EQ(Lua2String(L, out), 1);
  EXPECT_STREQ(lua_tostring(L, -1), "'tostring' must return a string to 'print'");

  ASSERT_EQ(luaL_dostring(L, "tostring = function() error('boom') end"), LUA_OK);
  lua_settop(L, 0);
  ASSERT_EQ(luaL_dostring(L, "return io.stdout"), LUA_OK);
  EXPECT_EQ(Lua2String(L, out), 1);
  EXPECT_NE(std::string(lua_tostring(L, -1)).find("boom"), std::string::npos);
}

// Calls TraverseTable with the values chunk returns as arguments.
Options_t traverse(lua_State* L, const char* chunk, int* result) {
  lua_settop(L, 0);
  EXPECT_EQ(luaL_dostring(L, chunk), LUA_OK) << lua_tostring(L, -1);
  Options_t options;
  std::memset(&options, 0xEE, sizeof options);
  *result = TraverseTable(L, &options);
  return options;
}

TEST_F(LuaState, OptionTableReader) {
  int result = 0;
  Options_t o = traverse(L, "return 'P1', {CP = '3', Speed = 20, [1] = 5}", &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(o.isCP, 1);
  EXPECT_EQ(o.CP, 3);
  Options_t onlyCp{};
  onlyCp.isCP = 1;
  onlyCp.CP = 3;
  EXPECT_EQ(std::memcmp(&o, &onlyCp, sizeof o), 0) << "only CP is set";

  o = traverse(L, "return 1, {SYNC = true, User = 2}", &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(o.isSYNC, 0);
  EXPECT_EQ(o.isUser, 1);
  EXPECT_EQ(o.User, 2);

  o = traverse(L, "return 1, {ARM = '01234567890123456789', SpeedJ = 12.5, cp = 4, Tool = 300}", &result);
  EXPECT_STREQ(o.ARM, "012345678901234");
  EXPECT_EQ(o.isSpeedJ, 1);
  EXPECT_FLOAT_EQ(o.SpeedJ, 12.5f);
  EXPECT_EQ(o.isCP, 0) << "keys match with their case";
  EXPECT_EQ(o.Tool, 300 & 0xFF);

  o = traverse(L, "return 1, {Start = '2.5', ZLimit = -3, End = 'x', Load = 1, Arch = 9}", &result);
  EXPECT_FLOAT_EQ(o.Start, 2.5f);
  EXPECT_FLOAT_EQ(o.ZLimit, -3.0f);
  EXPECT_EQ(o.isEnd, 1);
  EXPECT_FLOAT_EQ(o.End, 0.0f);
  EXPECT_EQ(o.Load, 1);
  EXPECT_EQ(o.Arch, 9);

  o = traverse(L, "return {CP = 1}", &result);
  EXPECT_EQ(result, -1) << "fewer than two arguments";
  EXPECT_EQ(o.isCP, 0);
  traverse(L, "return {CP = 1}, 'x'", &result);
  EXPECT_EQ(result, -1) << "last argument not a table";
}

TEST(ScriptAlarmText, EntryInStyledFormOrUsageError) {
  Json::Value table;
  fillScriptAlarmTexts(table);
  struct Case {
    int code;
    const char* text;
  };
  const Case cases[] = {
      {32770, "\"DO input parameters Error\"\n"},
      {36101, "\"No motion point parameter for  JointMovJ instruction\"\n"},
      {36100, "\"No input parameters for JointMovJ instruction\"\n"},
      {36110, "\"Incorrect motion point for  MoveJR instruction\"\n"},
      {36120, "\"Exter axis status is not ready\"\n"},
      {33280, "\"No input parameters for Arch instruction\"\n"},
      {36608, "\"No input parameters for Arch instruction\"\n"},
      {40963, "\"Incorrect control parameter for Circle instruction\"\n"},
      {45314, "API usage error"},
      {32772, "API usage error"},
      {-1, "API usage error"},
  };
  for (const Case& c : cases) {
    char text[256];
    scriptAlarmText(table, c.code, text, sizeof text);
    EXPECT_STREQ(text, c.text) << c.code;
  }
  char small[8];
  scriptAlarmText(table, 32770, small, sizeof small);
  EXPECT_STREQ(small, "\"DO inp");
}

}  // namespace
