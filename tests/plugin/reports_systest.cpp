// The report datagrams on 127.0.0.1: print output, call cursor, run cursor
// and event log.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <lua.hpp>

#include "plugin_lua.h"
#include "support/fake_request_service.h"
#include "support/lua_run.h"

extern "C" int luaopen_libquillonPlugin(lua_State* L);

namespace zelor::test {
namespace {

void expectCleanEnd(const ProcessResult& r) {
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
}

class PluginReports : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.setLeftSpace(10);
    fake.setAllDone(true);
    ASSERT_TRUE(prints.bound());
  }
  // Runs body after init(0); the datagrams that arrived on 5000.
  std::vector<std::string> printed(const std::string& body) {
    const ProcessResult r = runSrc0("init(0)\n" + body);
    expectCleanEnd(r);
    return prints.drain();
  }

  FakeRequestService fake;
  UdpListener prints{kPrintPort};
};

TEST_F(PluginReports, PrintSendsTheTextOfItsValues) {
  const std::vector<std::string> values = printed("print(1, 2.5, 'a', nil, true)\n");
  ASSERT_EQ(values, std::vector<std::string>{"1 2.500000 a nil true \n"});
  EXPECT_EQ(values[0].size(), 23u);

  EXPECT_EQ(printed("print({1, {2}})\n"), std::vector<std::string>{"{ [1]=1.000000 [2]={ [1]=2.000000 }, }\n"});
  // Texts queued within one period travel together.
  EXPECT_EQ(printed("print('x'); print('y')\nSleep(300)\nprint('z')\n"),
            (std::vector<std::string>{"x \ny \n", "z \n"}));
  // Nothing printed, nothing sent.
  EXPECT_TRUE(printed("print()\n").empty());
}

TEST_F(PluginReports, AnErrorTextIsSentAtOnceWithoutQueueing) {
  const std::vector<std::string> values = printed("print('ERROR x')\nprint('after')\n");
  EXPECT_EQ(values, (std::vector<std::string>{"ERROR x ", "after \n"}));
}

TEST_F(PluginReports, ASelfContainingTablePrintsWithoutACrash) {
  const std::vector<std::string> values = printed("local t = {1}; t[2] = t; print(t)\n");
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].rfind("{ [1]=1.000000 [2]={ [1]=1.000000 [2]={", 0), 0u) << values[0];
  EXPECT_NE(values[0].find("{...}"), std::string::npos);
}

TEST_F(PluginReports, PrintsQueuedAtTheEndAreNotLost) {
  std::string body;
  for (int i = 0; i < 120; ++i) body += "print('line " + std::to_string(i) + "')\n";
  std::string all;
  for (const std::string& d : printed(body)) all += d;
  std::string expected;
  for (int i = 0; i < 120; ++i) expected += "line " + std::to_string(i) + " \n";
  EXPECT_EQ(all, expected);
}

TEST_F(PluginReports, OnlyLinesOfSrc0MoveTheCallCursor) {
  UdpListener calls(kCallCursorPort);
  writeFile("/tmp/helper.lua",
            "local M = {}\n"
            "function M.work()\n"
            "  local x = 1\n"
            "  Sleep(600)\n"
            "  x = x + 1\n"
            "  return x\n"
            "end\n"
            "return M\n");
  const ProcessResult r = runSrc0(
      "package.path = '/tmp/?.lua;' .. package.path\n"  // 3
      "init(0)\n"                                        // 4
      "local helper = require 'helper'\n"                // 5
      "Sleep(400)\n"                                     // 6
      "helper.work()\n"                                  // 7
      "Sleep(400)\n");                                   // 8
  unlink("/tmp/helper.lua");
  expectCleanEnd(r);
  const std::vector<std::string> lines = calls.drain();
  EXPECT_EQ(lines, (std::vector<std::string>{"@/tmp/src0.lua:6", "@/tmp/src0.lua:7", "@/tmp/src0.lua:8"}));
}

TEST_F(PluginReports, EventLogJoinsItsValues) {
  UdpListener events(kEventLogPort);
  const ProcessResult r = runSrc0("init(0)\nEventLog('a', 1)\nEventLog()\nEventLog(true, nil, 2.5)\n");
  expectCleanEnd(r);
  EXPECT_EQ(events.drain(), (std::vector<std::string>{"a1", "truenil2.5"}));
}

// In-process: a script line ties a queued command's index to its line.
int relateFive(lua_State* L) {
  pluginLua::instance().relateQueueIndex(L, 5);
  return 0;
}

TEST_F(PluginReports, TheRunCursorFollowsTheKernelsIndex) {
  UdpListener runs(kRunCursorPort);
  fake.setCurrentIndex(3);
  pluginLua& plugin = pluginLua::instance();
  plugin.plugin_do_init();

  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  lua_register(L, "relate", relateFive);
  ASSERT_EQ(luaL_loadbuffer(L, "local a = 1\nrelate()\n", 21, "@src0.lua"), LUA_OK);
  ASSERT_EQ(lua_pcall(L, 0, 0, 0), LUA_OK) << lua_tostring(L, -1);
  lua_close(L);
  {
    std::lock_guard lock(pluginLua::m_debugMapMutex);
    ASSERT_EQ(pluginLua::m_debugMap.count("4"), 1u) << "keyed by index - 1";
  }
  EXPECT_FALSE(runs.next(600ms).has_value()) << "nothing while the kernel is before it";
  fake.setCurrentIndex(4);
  EXPECT_EQ(runs.next(2s), std::optional<std::string>("@src0.lua:2"));
  EXPECT_FALSE(runs.next(600ms).has_value()) << "nothing more while the index stays";
}

TEST_F(PluginReports, ReachingAKeyDropsItAndEveryKeyBeforeItAsText) {
  UdpListener runs(kRunCursorPort);
  fake.setCurrentIndex(0);
  pluginLua::instance().plugin_do_init();
  {
    std::lock_guard lock(pluginLua::m_debugMapMutex);
    pluginLua::m_debugMap = {{"1", "@src0.lua:1"}, {"9", "@src0.lua:9"}, {"10", "@src0.lua:10"}};
  }
  fake.setCurrentIndex(10);
  EXPECT_EQ(runs.next(2s), std::optional<std::string>("@src0.lua:10"));
  std::lock_guard lock(pluginLua::m_debugMapMutex);
  EXPECT_EQ(pluginLua::m_debugMap, (std::map<std::string, std::string>{{"9", "@src0.lua:9"}}));
  EXPECT_EQ(pluginLua::m_strRunLine, "@src0.lua:10");
}

}  // namespace
}  // namespace zelor::test
