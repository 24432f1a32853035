// Script functions of the kernel's command queue, "Sync", "Pause" and the
// script's own text queue.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <lua.hpp>

#include "common/ipc/robot_map.h"
#include "log/ombrel.h"
#include "plugin_lua.h"
#include "script_alarm.h"
#include "script_functions.h"

using namespace std::chrono_literals;

namespace {

constexpr const char* kPauseText = " script_status  change to suspend by script pause .... ";
constexpr int kScriptPaused = 2;
constexpr std::uint32_t kExterAxisPause = 19;

// Sends a queue command that carries no index and reports its line as run.
int queueCommand(lua_State* L, Packet* (PluginBase::*builder)()) {
  pluginLua& plugin = pluginLua::instance();
  if (Packet* reply = (plugin.*builder)()) plugin.freePluginPacket(reply);
  plugin.relateQueueIndex(L, 0);
  return 0;
}

}  // namespace

int plugin_getQueuedCmdCurrentIndex(lua_State* L) {
  pluginLua& plugin = pluginLua::instance();
  std::uint64_t index = 0;
  if (Packet* reply = plugin.alloc_GetQueuedCmdCurrentIndex()) {
    std::memcpy(&index, reply->params, sizeof index);
    plugin.freePluginPacket(reply);
  }
  lua_pushinteger(L, static_cast<lua_Integer>(index));
  return 1;
}

int plugin_setQueuedCmdStartExec(lua_State* L) { return queueCommand(L, &PluginBase::alloc_SetQueuedCmdStartExec); }

int plugin_setQueuedCmdStopExec(lua_State* L) { return queueCommand(L, &PluginBase::alloc_SetQueuedCmdStopExec); }

int plugin_setQueuedCmdForceStopExec(lua_State* L) {
  pluginLua& plugin = pluginLua::instance();
  if (Packet* reply = plugin.alloc_SetQueuedCmdForceStopExec(true)) plugin.freePluginPacket(reply);
  plugin.relateQueueIndex(L, 0);
  return 0;
}

int plugin_setQueuedCmdClear(lua_State* L) { return queueCommand(L, &PluginBase::alloc_SetQueuedCmdClear); }

int plugin_setQueuedCmdStopClear(lua_State* L) { return queueCommand(L, &PluginBase::alloc_SetQueuedCmdStopClear); }

int plugin_sync(lua_State*) {
  pluginLua& plugin = pluginLua::instance();
  plugin.waitSyncDone();

  std::string callLine;
  std::string runLine;
  {
    std::lock_guard lock(pluginLua::m_callMutex);
    callLine = pluginLua::m_strCallLine;
  }
  {
    std::lock_guard lock(pluginLua::m_debugMapMutex);
    runLine = pluginLua::m_strRunLine;
  }
  if (!callLine.empty()) plugin.sendReport(pluginLua::m_udpCallCursor, callLine.data(), callLine.size());
  if (!runLine.empty()) plugin.sendReport(pluginLua::m_udpRunCursor, runLine.data(), runLine.size());
  return 0;
}

int plugin_pause(lua_State*) {
  pluginLua& plugin = pluginLua::instance();
  plugin.waitAllCmdDone(kPauseText);

  Packet* stop = plugin.alloc_SetQueuedCmdStopExec();
  robotMap::instance().storeWord(robot_map::kScriptStatus, kScriptPaused);
  spdlog::ombrel::basicLog(-16, __LINE__, __func__, 2, "{}", kPauseText);
  if (stop != nullptr) plugin.freePluginPacket(stop);

  stTramletCmd axis{};
  axis.cmd = kExterAxisPause;
  if (Packet* reply = plugin.alloc_SetExterAxisCmd(axis, 0)) plugin.freePluginPacket(reply);

  static constexpr char kPauseEvent[] = "command:pause";
  plugin.sendReport(pluginLua::m_udpEventLog, kPauseEvent, sizeof kPauseEvent - 1);
  std::this_thread::sleep_for(2s);
  return 0;
}

namespace {

void pushText(const char* text) {
  std::lock_guard lock(pluginLua::m_queueFuncMutex);
  std::printf("[%s], insert data: %s to queue\n", "plugin_pushQueue", text);
  pluginLua::m_sysQueue.insertString(text);
}

}  // namespace

int plugin_pushQueue(lua_State* L) {
  const int type = lua_type(L, 1);
  if (type != LUA_TSTRING && type != LUA_TNUMBER) return raiseScriptAlarm(L, kApiUsageAlarm);
  // A number becomes its text.
  pushText(lua_tostring(L, 1));
  return 0;
}

int plugin_popQueue(lua_State* L) {
  std::string text;
  {
    std::lock_guard lock(pluginLua::m_queueFuncMutex);
    text = pluginLua::m_sysQueue.getString();
    if (!text.empty()) std::printf("[%s], GET data: %s from queue\n", "plugin_popQueue", text.c_str());
  }
  lua_createtable(L, 0, 2);
  lua_pushinteger(L, static_cast<lua_Integer>(text.size()));
  lua_setfield(L, -2, "size");
  lua_pushlstring(L, text.data(), text.size());
  lua_setfield(L, -2, "buf");
  return 1;
}
