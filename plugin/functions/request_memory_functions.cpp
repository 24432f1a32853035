// The slide axis's ratios, and the servo parameter set and payload handed to
// the data server through the request memory.

#include <cmath>
#include <cstdio>
#include <cstring>

#include <lua.hpp>

#include "common/ipc/payload_memory_holder.h"
#include "log/line_log.h"
#include "lua_numbers.h"
#include "plugin_lua.h"
#include "script_alarm.h"
#include "script_functions.h"

namespace {

constexpr int kExterAxisNotReady = 36120;
constexpr std::uint32_t kExterAxisSpeed = 9;
constexpr std::uint32_t kExterAxisAccel = 10;

int exterAxisRatio(lua_State* L, bool speed) {
  const int alarm = speed ? 33792 : 34048;
  // A non-finite ratio would become an undefined pulse rate in the slide driver.
  if (lua_type(L, 1) != LUA_TNUMBER || !std::isfinite(lua_tonumber(L, 1)) || std::fabs(lua_tonumber(L, 1)) > 3.4e38)
    return raiseScriptAlarm(L, alarm);
  const float v = static_cast<float>(lua_tonumber(L, 1));
  pluginLua& plugin = pluginLua::instance();
  (speed ? plugin.m_speedRatio : plugin.m_accelRatio) = v;
  stTramletCmd cmd{};
  cmd.cmd = speed ? kExterAxisSpeed : kExterAxisAccel;
  cmd.value.f = v / 100.0f;
  cmd.third = 0;
  std::printf(speed ? "speed set %f%%\n" : "accel set %f%%\n", v);
  Packet* reply = plugin.alloc_SetExterAxisCmd(cmd, 0);
  if (reply == nullptr) return 0;
  std::int32_t status = 0;
  std::memcpy(&status, reply->params + 4, sizeof status);
  plugin.freePluginPacket(reply);
  if (status < 0) return raiseScriptAlarm(L, kExterAxisNotReady);
  return 0;
}

// Waits as "Sync" does, then publishes the request; nothing when the memory
// cannot be attached.
void publishBetweenMotions(const zelor::common::ipc::PayloadRequest& record) {
  zelor::common::ipc::PayloadMemoryHolder holder;
  if (holder.memory() == nullptr) {
    ZLOG_ERROR("payload memory cannot be attached: %s", std::strerror(errno));
    return;
  }
  pluginLua::instance().waitSyncDone();
  zelor::common::ipc::publishPayloadRequest(holder.memory(), record);
}

}  // namespace

int plugin_speedE(lua_State* L) { return exterAxisRatio(L, true); }

int plugin_accelE(lua_State* L) { return exterAxisRatio(L, false); }

int plugin_setServoParam(lua_State* L) {
  if (lua_gettop(L) != 1) {
    ZLOG_DEBUG("[%s], input param error", "plugin_setServoParam");
    return 0;
  }
  lua_Integer index = 0;
  if (!truncateNumber(lua_tonumber(L, 1), index) || index < 1 || index > 5) {
    ZLOG_DEBUG("[%s], index param error", "plugin_setServoParam");
    return 0;
  }
  zelor::common::ipc::PayloadRequest record{};
  record.servoParamIndex = static_cast<std::int32_t>(index);
  publishBetweenMotions(record);
  return 0;
}

int plugin_setPayload(lua_State* L) {
  const int arguments = lua_gettop(L);
  if (arguments < 1 || arguments > 3) {
    ZLOG_DEBUG("[%s], input param error", "plugin_setPayload");
    return 0;
  }
  zelor::common::ipc::PayloadRequest record{};
  // A second argument that is no table reads as an empty one.
  if (arguments >= 2 && lua_type(L, 2) == LUA_TTABLE) {
    float* values[2] = {&record.inertiaX, &record.inertiaY};
    for (int i = 0; i < 2; ++i) {
      lua_rawgeti(L, 2, i + 1);
      const bool number = lua_type(L, -1) == LUA_TNUMBER;
      if (number) *values[i] = static_cast<float>(lua_tonumber(L, -1));
      lua_pop(L, 1);
      if (!number) break;
    }
  }
  record.payload = static_cast<float>(static_cast<double>(lua_tonumber(L, 1)) / 1000.0);
  publishBetweenMotions(record);
  return 0;
}
