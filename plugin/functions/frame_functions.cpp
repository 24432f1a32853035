// Frame tables, frame correction, collision level and latch.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include <lua.hpp>

#include "json/json_project_reader.h"
#include "log/line_log.h"
#include "plugin_lua.h"
#include "script_functions.h"

namespace {

constexpr int kCollisionAlarm = 46097;

// Toward zero; a value no integer can hold reads as 0.
lua_Integer truncated(float value) {
  if (!std::isfinite(value) || std::fabs(value) >= 9.0e18f) return 0;
  return static_cast<lua_Integer>(value);
}

// Up to max numbers of the table at index into out (zeros beyond).
void readValues(lua_State* L, int index, float* out, int max) {
  std::memset(out, 0, sizeof(float) * 6);
  const int n = lua_type(L, index) == LUA_TTABLE ? static_cast<int>(lua_rawlen(L, index)) : 0;
  for (int i = 0; i < n && i < max; ++i) {
    lua_rawgeti(L, index, i + 1);
    out[i] = static_cast<float>(lua_tonumber(L, -1));
    lua_pop(L, 1);
  }
}

int setFrame(lua_State* L, bool tool) {
  const int index = static_cast<int>(lua_tointeger(L, 1));
  float values[6];
  readValues(L, 2, values, 6);
  const char* name = tool ? "tool" : "user";
  std::printf("[set_%s]:index:%d, update to %s:[[%f,%f,%f,%f,%f,%f]\n", name, index, name, values[0], values[1],
              values[2], values[3], values[4], values[5]);
  if (index < 0 || index >= kFrameCount) return 0;
  JsonProjectReader& reader = pluginLua::instance().reader();
  st_coord& entry = tool ? reader.toolCoord[index] : reader.userCoord[index];
  entry.enable = true;
  std::memcpy(entry.params, values, sizeof values);
  return 0;
}

int calcFrame(lua_State* L, bool tool) {
  pluginLua& plugin = pluginLua::instance();
  const int index = static_cast<int>(lua_tointeger(L, 1));
  const auto direction = static_cast<std::uint8_t>(lua_tointeger(L, 2));
  CorrectParams_t params{};
  float diff[6];
  readValues(L, 3, diff, tool ? 6 : 4);
  std::memcpy(params.diff, diff, sizeof diff);
  if (index >= 0 && index < kFrameCount) {
    const st_coord& entry = tool ? plugin.reader().toolCoord[index] : plugin.reader().userCoord[index];
    tagCoordParamsFull& current = tool ? plugin.m_toolFrame : plugin.m_userFrame;
    current.x = entry.params[0];
    current.y = entry.params[1];
    current.z = entry.params[2];
    current.r = entry.params[3];
    if (entry.enable) std::memcpy(params.coordinate, entry.params, 4 * sizeof(float));
  }
  params.matrix_direction = direction;
  const char* name = tool ? "calc_tool" : "calc_user";
  const float* c = params.coordinate;
  std::printf("[%s]: index:%d, direction:%d, diff:[%f,%f,%f,%f,%f,%f],coordinate:[%f,%f,%f,%f,%f,%f]\n", name, index,
              direction, diff[0], diff[1], diff[2], diff[3], diff[4], diff[5], c[0], c[1], c[2], c[3], c[4], c[5]);

  float result[6] = {};
  if (Packet* reply = plugin.alloc_setUserMatrixCalcParams(&params, false)) {
    // Without the six values (the kernel's answer to non-finite input) there is no result.
    if (reply->length >= sizeof result + 2) std::memcpy(result, reply->params, sizeof result);
    plugin.freePluginPacket(reply);
  }
  lua_createtable(L, 6, 0);
  for (int i = 0; i < 6; ++i) {
    lua_pushnumber(L, result[i]);
    lua_rawseti(L, -2, i + 1);
  }
  std::printf("[%s]: result:[%f,%f,%f,%f,%f,%f]\n", name, result[0], result[1], result[2], result[3], result[4],
              result[5]);
  return 1;
}

// A queued latch command: its index is the result.
int latchCommand(lua_State* L, Packet* reply) {
  pluginLua& plugin = pluginLua::instance();
  if (reply == nullptr) {
    ZLOG_DEBUG("pack:null, Queue:%d", 1);
    return 0;
  }
  std::uint64_t index = 0;
  std::memcpy(&index, reply->params, sizeof index);
  plugin.freePluginPacket(reply);
  lua_pushinteger(L, static_cast<lua_Integer>(index));
  plugin.relateQueueIndex(L, index);
  return 1;
}

}  // namespace

int plugin_set_user(lua_State* L) { return setFrame(L, false); }

int plugin_set_tool(lua_State* L) { return setFrame(L, true); }

int plugin_calc_user(lua_State* L) { return calcFrame(L, false); }

int plugin_calc_tool(lua_State* L) { return calcFrame(L, true); }

int plugin_setCollisionLevel(lua_State* L) {
  pluginLua& plugin = pluginLua::instance();
  if (!lua_isinteger(L, 1)) {
    plugin.SetScriptAlarm(kCollisionAlarm);
    return luaL_error(L, "Error alarm id:%d", kCollisionAlarm);
  }
  const int level = static_cast<int>(lua_tointeger(L, 1));
  ZLOG_TRACE("plugin_setCollisionLevel:%d", level);
  if (Packet* reply = plugin.alloc_SetCollisionLevel(level, false))
    plugin.freePluginPacket(reply);
  else
    ZLOG_DEBUG("pack:null, Queue:%d", 0);
  return 0;
}

int plugin_set_latch(lua_State* L) {
  const auto condition = static_cast<std::uint8_t>(lua_tointeger(L, 1));
  ZLOG_DEBUG("plugin_set_latch,condition : %d", condition);
  return latchCommand(L, pluginLua::instance().alloc_SetLatch(condition, true));
}

int plugin_latch_enable(lua_State* L) {
  const auto enable = static_cast<std::uint8_t>(lua_tointeger(L, 1));
  ZLOG_DEBUG("plugin_latch_enable,isEnable : %d", enable);
  return latchCommand(L, pluginLua::instance().alloc_latchEnable(enable, true));
}

int plugin_get_latch_pos(lua_State* L) {
  pluginLua& plugin = pluginLua::instance();
  ZLOG_DEBUG("plugin_get_latch_pos into");
  std::uint8_t valid = 0;
  float pose[4] = {};
  while (true) {
    if (Packet* reply = plugin.alloc_GetLatchPose()) {
      valid = reply->params[0];
      std::memcpy(pose, reply->params + 4, sizeof pose);
      plugin.freePluginPacket(reply);
    }
    if (valid != 0) break;
    std::printf("wait for get latch pos ... isvalid:%d, [%f,%f,%f,%f]\n", valid, pose[0], pose[1], pose[2], pose[3]);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  ZLOG_DEBUG("plugin_get_latch_pos,isvalid : %d", valid);
  lua_createtable(L, 0, 2);
  lua_pushinteger(L, valid);
  lua_setfield(L, -2, "isok");
  lua_createtable(L, 4, 0);
  for (int i = 0; i < 4; ++i) {
    lua_pushinteger(L, truncated(pose[i]));
    lua_rawseti(L, -2, i + 1);
  }
  lua_setfield(L, -2, "coordinate");
  plugin.relateQueueIndex(L, 0);
  return 1;
}
