// Motion parameter functions: ratios, continuous path, arch, Z limit, speed
// factor, ECP, excitation and load.

#include <cmath>
#include <cstdio>
#include <cstring>

#include <lua.hpp>

#include "json/json_project_reader.h"
#include "log/line_log.h"
#include "lua_numbers.h"
#include "plugin_lua.h"
#include "point_options.h"
#include "script_alarm.h"
#include "script_functions.h"

namespace {

enum class NullLine { kIsQueue, kQueue };

// The standard ending of a queued command: its index pushed, tied to the
// script line, waited for when SYNC asks.
int standardEnding(lua_State* L, Packet* reply, int sync, NullLine nullLine, bool waitBeforeRelate = false) {
  pluginLua& plugin = pluginLua::instance();
  if (reply == nullptr) {
    if (nullLine == NullLine::kIsQueue)
      ZLOG_DEBUG("pack:null isQueue:%d", 1);
    else
      ZLOG_DEBUG("pack:null, Queue:%d", 1);
    return 0;
  }
  std::uint64_t index = 0;
  std::memcpy(&index, reply->params, sizeof index);
  plugin.freePluginPacket(reply);
  lua_pushinteger(L, static_cast<lua_Integer>(index));
  if (waitBeforeRelate) {
    plugin.waitCmdDone(sync, index);
    plugin.relateQueueIndex(L, index);
  } else {
    plugin.relateQueueIndex(L, index);
    plugin.waitCmdDone(sync, index);
  }
  return 1;
}

// The options of the call; the SYNC flag they give.
int parseOptions(lua_State* L, const char* name, int alarm) {
  ParamTempValue temp = pluginLua::instance().m_params;
  int sync = 0;
  processPointParams(L, temp, name, alarm, 1, &sync);
  return sync;
}

struct RatioRow {
  const char* name;
  int optionAlarm;
  float tagPTPCommonParams::*field;
  bool remembered;
  int typeAlarm;
  int rangeAlarm;
};

constexpr RatioRow kSpeed{"Speed", 45067, &tagPTPCommonParams::velocityRatio, true, 33792, 33793};
constexpr RatioRow kAccel{"Accel", 45063, &tagPTPCommonParams::accelerationRatio, true, 34048, 34049};
constexpr RatioRow kJerk{"Jerk", 45060, &tagPTPCommonParams::jerkRatio, false, 34304, 34305};
constexpr RatioRow kSpeedS{"SpeedS", 45060, &tagPTPCommonParams::xyzVelocityRatio, true, 34560, 34561};
constexpr RatioRow kSpeedR{"SpeedR", 45068, &tagPTPCommonParams::rVelocityRatio, false, 34816, 34817};
constexpr RatioRow kAccelS{"AccelS", 45065, &tagPTPCommonParams::xyzAccelerationRatio, true, 35072, 35073};
constexpr RatioRow kAccelR{"AccelR", 45060, &tagPTPCommonParams::rAccelerationRatio, false, 35328, 35329};
constexpr RatioRow kJerkS{"JerkS", 45062, &tagPTPCommonParams::xyzJerkRatio, false, 35584, 35585};
constexpr RatioRow kJerkR{"JerkR", 45061, &tagPTPCommonParams::rJerkRatio, false, 35840, 35841};

int ratioFunction(lua_State* L, const RatioRow& row) {
  if (lua_type(L, 1) != LUA_TNUMBER) return raiseScriptAlarm(L, row.typeAlarm);
  const lua_Number r = lua_tonumber(L, 1);
  const int sync = parseOptions(L, row.name, row.optionAlarm);
  float value = 0.0f;
  if (&row == &kSpeed) {
    // "Speed" takes the integer part.
    lua_Integer whole = 0;
    if (!truncateNumber(r, whole) || whole < 1 || whole > 100) return raiseScriptAlarm(L, row.rangeAlarm);
    value = static_cast<float>(whole);
  } else if (!floatInRange(r, 1.0f, 100.0f, value)) {
    return raiseScriptAlarm(L, row.rangeAlarm);
  }
  pluginLua& plugin = pluginLua::instance();
  Packet* current = plugin.alloc_GetPTPCommonParams();
  if (current == nullptr) {
    ZLOG_DEBUG("pack:null isQueue:%d", 1);
    return 0;
  }
  tagPTPCommonParams params;
  std::memcpy(&params, current->params, sizeof params);
  plugin.freePluginPacket(current);
  params.*row.field = value;
  if (row.remembered) plugin.m_params.ptpcommon.*row.field = value;
  return standardEnding(L, plugin.alloc_SetPTPCommonParams(&params, 1), sync, NullLine::kIsQueue);
}

}  // namespace

int plugin_speed(lua_State* L) { return ratioFunction(L, kSpeed); }
int plugin_accel(lua_State* L) { return ratioFunction(L, kAccel); }
int plugin_jerk(lua_State* L) { return ratioFunction(L, kJerk); }
int plugin_speedS(lua_State* L) { return ratioFunction(L, kSpeedS); }
int plugin_speedR(lua_State* L) { return ratioFunction(L, kSpeedR); }
int plugin_accelS(lua_State* L) { return ratioFunction(L, kAccelS); }
int plugin_accelR(lua_State* L) { return ratioFunction(L, kAccelR); }
int plugin_jerkS(lua_State* L) { return ratioFunction(L, kJerkS); }
int plugin_jerkR(lua_State* L) { return ratioFunction(L, kJerkR); }

int plugin_cp(lua_State* L) {
  if (!lua_isinteger(L, 1)) return raiseScriptAlarm(L, 33024);
  const lua_Integer v = lua_tointeger(L, 1);
  const int sync = parseOptions(L, "CP", 45070);
  if (v < 0 || v > 100) return raiseScriptAlarm(L, 33025);
  ZLOG_DEBUG("plugin_cp:%d", static_cast<int>(v));
  pluginLua& plugin = pluginLua::instance();
  plugin.m_params.transition = static_cast<std::uint8_t>(v);
  return standardEnding(L, plugin.alloc_SetTransitionCmd(static_cast<unsigned char>(v), true), sync,
                        NullLine::kIsQueue);
}

int plugin_arch(lua_State* L) {
  if (!lua_isinteger(L, 1)) return raiseScriptAlarm(L, 33280);
  const lua_Integer i = lua_tointeger(L, 1);
  const int sync = parseOptions(L, "Arch", 45058);
  if (i < 0 || i > 9) return raiseScriptAlarm(L, 33281);
  pluginLua& plugin = pluginLua::instance();
  const st_arch& entry = plugin.reader().arch[i];
  plugin.m_archParams = {entry.startHeight, entry.endHeight, entry.zLimit};
  if (!entry.enable) return raiseScriptAlarm(L, 33282);
  const tagPTPJump2Params& pending = plugin.m_archParams;
  ZLOG_DEBUG("plugin_arch:%d, %1.2f %1.2f %1.2f", static_cast<int>(i), pending.startJumpHeight, pending.endJumpHeight,
             pending.zLimit);
  plugin.m_params.jump = pending;
  return standardEnding(L, plugin.alloc_SetPTPJump2Params(&pending, true), sync, NullLine::kIsQueue);
}

int plugin_limZ(lua_State* L) {
  if (lua_type(L, 1) != LUA_TNUMBER) return raiseScriptAlarm(L, 33536);
  const lua_Number z = lua_tonumber(L, 1);
  const int sync = parseOptions(L, "LimZ", 45069);
  float limit = 0.0f;
  if (!floatInRange(z, 1.0f, 100.0f, limit)) return raiseScriptAlarm(L, 33537);
  pluginLua& plugin = pluginLua::instance();
  Packet* current = plugin.alloc_GetPTPJumpParams();
  if (current == nullptr) {
    ZLOG_DEBUG("pack:null isQueue:%d", 1);
    return 0;
  }
  tagPTPJumpParams params;
  std::memcpy(&params, current->params, sizeof params);
  plugin.freePluginPacket(current);
  params.zLimit = limit;
  return standardEnding(L, plugin.alloc_SetPTPJumpParams(&params, 1), sync, NullLine::kIsQueue);
}

int plugin_speedFactor(lua_State* L) {
  if (!lua_isinteger(L, 1)) return raiseScriptAlarm(L, 32768);
  const lua_Integer f = lua_tointeger(L, 1);
  const int sync = parseOptions(L, "SpeedFactor", 45066);
  const unsigned ratio = static_cast<std::uint8_t>(f & 0xFF);
  if (ratio < 1 || ratio > 100) return raiseScriptAlarm(L, 32769);
  pluginLua& plugin = pluginLua::instance();
  return standardEnding(L, plugin.alloc_SetSpeedFactorParams(static_cast<unsigned char>(ratio), true), sync,
                        NullLine::kIsQueue);
}

int plugin_ecp(lua_State* L) {
  if (!lua_isinteger(L, 1)) {
    ZLOG_DEBUG("plugin_ecp input error");
    return 0;
  }
  const lua_Integer e = lua_tointeger(L, 1);
  const int sync = parseOptions(L, "ECP", 45075);
  const unsigned char e8 = static_cast<unsigned char>(e & 0xFF);
  if (e8 > 1) {
    ZLOG_DEBUG("plugin_ecp input error,input: %d\n", e8);
    return 0;
  }
  ZLOG_DEBUG("%s: input: %d", "plugin_ecp", e8);
  return standardEnding(L, pluginLua::instance().alloc_EcpSwitch(&e8, true), sync, NullLine::kQueue);
}

int plugin_ecpSet(lua_State* L) {
  if (lua_type(L, 1) != LUA_TTABLE) {
    ZLOG_DEBUG("plugin_ecpset: INPUT error");
    return 0;
  }
  const int sync = parseOptions(L, "ECPSet", 45076);
  lua_getfield(L, 1, "coordinate");
  if (lua_isnil(L, -1)) {
    ZLOG_DEBUG("plugin_ecpset: coordinate isnil");
    return 0;
  }
  float values[4];
  for (int i = 0; i < 4; ++i) {
    lua_geti(L, -1, i + 1);
    const bool number = lua_type(L, -1) == LUA_TNUMBER && std::isfinite(lua_tonumber(L, -1));
    values[i] = number ? static_cast<float>(lua_tonumber(L, -1)) : 0.0f;
    lua_pop(L, 1);
    // A non-finite value would be refused by the kernel, though still queued.
    if (!number || !std::isfinite(values[i])) {
      ZLOG_DEBUG("plugin_ecpset: parse error");
      return 0;
    }
  }
  lua_pop(L, 1);
  const tagCoordParams frame{values[0], values[1], values[2], values[3]};
  ZLOG_DEBUG("%s: x:%f, y:%f, z:%f, r:%f", "plugin_ecpset", frame.x, frame.y, frame.z, frame.r);
  return standardEnding(L, pluginLua::instance().alloc_EcpSet(&frame, true), sync, NullLine::kQueue);
}

namespace {

// Arguments 1..count as finite 32-bit floats (a non-number reads 0); false
// when fewer are given or one is not finite.
bool excitationValues(lua_State* L, int count, float* out) {
  if (lua_gettop(L) < count) return false;
  for (int i = 0; i < count; ++i) {
    const lua_Number value = lua_tonumber(L, i + 1);
    if (!std::isfinite(value) || std::fabs(value) > 3.4e38) return false;
    out[i] = static_cast<float>(value);
  }
  return true;
}

}  // namespace

int plugin_setExicit(lua_State* L) {
  tagExcitCmd cmd{};
  if (!excitationValues(L, 6, cmd.params)) {
    ZLOG_DEBUG("[%s], input param error", "plugin_setExicit");
    return 0;
  }
  const float* p = cmd.params;
  std::printf("[%s],input: %f,%f,%f,%f,%f,%f\n", "plugin_setExicit", p[0], p[1], p[2], p[3], p[4], p[5]);
  pluginLua& plugin = pluginLua::instance();
  if (Packet* reply = plugin.alloc_SetExicitCmd(&cmd, true)) plugin.freePluginPacket(reply);
  return 0;
}

int plugin_setExicitZ(lua_State* L) {
  tagExcitCmdZ cmd{};
  if (!excitationValues(L, 3, cmd.params)) {
    ZLOG_DEBUG("[%s], input param error", "plugin_setExicitZ");
    return 0;
  }
  const float* p = cmd.params;
  std::printf("[%s],input: %f,%f,%f\n", "plugin_setExicitZ", p[0], p[1], p[2]);
  pluginLua& plugin = pluginLua::instance();
  if (Packet* reply = plugin.alloc_SetExicitZCmd(&cmd, true)) plugin.freePluginPacket(reply);
  return 0;
}

int plugin_setExicitMode(lua_State* L) {
  if (!lua_isinteger(L, 1)) return 0;
  const lua_Integer m = lua_tointeger(L, 1);
  const int sync = parseOptions(L, "SetExcitMode", 45077);
  ZLOG_DEBUG("plugin_setExicitMode: %d", static_cast<int>(m));
  return standardEnding(L, pluginLua::instance().alloc_ExcitSetMode(static_cast<unsigned char>(m & 0xFF), true), sync,
                        NullLine::kQueue);
}

int plugin_loadSet(lua_State* L) {
  if (lua_gettop(L) < 2) {
    std::printf("LoadSwitch input params numbers < 2.\n");
    return 0;
  }
  const _stLoadParams load{lua_tonumber(L, 1), lua_tonumber(L, 2)};
  if (!std::isfinite(load.payload) || !std::isfinite(load.inertia)) {
    ZLOG_DEBUG("plugin_loadSet: input error");
    return 0;
  }
  const int sync = parseOptions(L, "LoadSet", 45313);
  ZLOG_DEBUG("plugin_loadSet:weight : %.3f, inertia : %.3f", load.payload, load.inertia);
  return standardEnding(L, pluginLua::instance().alloc_loadSet(&load, true), sync, NullLine::kQueue);
}

int plugin_loadSwitch(lua_State* L) {
  const lua_Integer s = lua_tointeger(L, 1);
  const int sync = parseOptions(L, "LoadSwitch", 45312);
  ZLOG_DEBUG("plugin_loadSwitch: : %d", static_cast<int>(s));
  return standardEnding(L, pluginLua::instance().alloc_loadSwitch(static_cast<unsigned char>(s & 0xFF), true), sync,
                        NullLine::kQueue, true);
}
