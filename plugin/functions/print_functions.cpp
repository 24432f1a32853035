// "print" and "EventLog": a script's output as report datagrams.

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <lua.hpp>

#include "log/ombrel.h"
#include "plugin_lua.h"
#include "print_text.h"
#include "script_functions.h"

using namespace std::chrono_literals;

namespace {

// 0, or a Lua error status with the error value on top of the stack.
int printLocked(lua_State* L) {
  std::lock_guard lock(pluginLua::m_printMutex);
  std::string text;
  if (Lua2String(L, text) != 0) return 1;
  if (text.empty()) return 0;

  if (const auto& channel = spdlog::ombrel::Instance().loggers[12]) channel->info("{}", text);

  if (text.find("ERROR") != std::string::npos) {
    const int n = static_cast<int>(text.size());
    pluginLua::m_udpPrint.sendMsg(text.data(), n);
    pluginLua::m_udpPrint.sendMsg("eth1", text.data(), n);
    pluginLua::m_udpPrint.sendMsg("eth2", text.data(), n);
    return 0;
  }
  while (pluginLua::m_printQueue.getSize() >= pluginLua::kPrintQueueLimit) std::this_thread::sleep_for(50ms);
  pluginLua::m_printQueue.insertString(text);
  return 0;
}

int eventLogLocked(lua_State* L) {
  std::lock_guard lock(pluginLua::m_eventLogMutex);
  std::string text;
  const int n = lua_gettop(L);
  for (int i = 1; i <= n; ++i) {
    if (appendToString(L, i, text) != 0) return 1;
  }
  if (text.empty()) return 0;
  std::printf("[ LuaEventLog ]: [length : %u], %s \n", static_cast<unsigned>(text.size()), text.c_str());
  pluginLua::instance().sendReport(pluginLua::m_udpEventLog, text.data(), text.size());
  return 0;
}

}  // namespace

int plugin_print(lua_State* L) {
  if (printLocked(L) != 0) return lua_error(L);
  return 0;
}

int plugin_eventLog(lua_State* L) {
  if (eventLogLocked(L) != 0) return lua_error(L);
  return 0;
}
