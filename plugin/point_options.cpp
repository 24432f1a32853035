// The move options: a table or key=value text after the point becomes queued
// settings commands, in a fixed order, restored after the move.

#include "point_options.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <string>

#include <lua.hpp>

#include "json/json_project_reader.h"
#include "log/line_log.h"
#include "plugin_lua.h"

namespace {

constexpr const char* kFunction = "processPointParams";

enum OptionAlarm : int {
  kAlarmCP = 45079,
  kAlarmTool = 45080,
  kAlarmUser = 45081,
  kAlarmSpeed = 45082,
  kAlarmSpeedS = 45083,
  kAlarmAccel = 45084,
  kAlarmAccelS = 45085,
  kAlarmArch = 45086,
  kAlarmStart = 45087,
  kAlarmZLimit = 45088,
  kAlarmEnd = 45089,
  kAlarmSync = 45090,
  kAlarmArm = 45091,
};

// An option refused: its alarm and the form of the Lua error.
struct OptionError {
  int code = 0;
  bool idForm = false;  // "Options Error alarm id:%s"
};

using TextOptions = std::map<std::string, std::string>;

bool toInteger(const std::string& text, long& out) {
  const char* end = text.data() + text.size();
  auto [at, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && at == end;
}

bool toNumber(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

const std::string* find(const TextOptions& map, const char* key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : &it->second;
}

// Queues a settings command, frees the reply; the queue index, 0 without one.
std::uint64_t queued(pluginLua& plugin, Packet* reply) {
  if (reply == nullptr) return 0;
  std::uint64_t index = 0;
  std::memcpy(&index, reply->params, sizeof index);
  plugin.freePluginPacket(reply);
  return index;
}

// The integer field key of the point table at point; another type, or a
// number with a fraction, counts as absent.
bool pointInteger(lua_State* L, int point, const char* key, long& out) {
  if (lua_type(L, point) != LUA_TTABLE) return false;
  lua_getfield(L, point, key);
  int isInteger = 0;
  const lua_Integer value = lua_type(L, -1) == LUA_TNUMBER ? lua_tointegerx(L, -1, &isInteger) : 0;
  lua_pop(L, 1);
  if (isInteger == 0) return false;
  out = static_cast<long>(value);
  return true;
}

class OptionSteps {
 public:
  OptionSteps(lua_State* L, ParamTempValue& temp, const char* api, int optionAlarm, int point, int* sync)
      : L_(L), temp_(temp), api_(api), optionAlarm_(optionAlarm), point_(point), sync_(sync),
        plugin_(pluginLua::instance()), options_(plugin_.m_options) {}

  OptionError run() {
    temp_.cpChanged = 0;
    temp_.ptpCommonChanged = 0;
    temp_.jumpChanged = 0;
    if (!readOptions()) return error_;
    if (arm() && cp() && tool() && user() && ratios() && load() && arch() && heights() && syncOption()) return {};
    return error_;
  }

 private:
  bool fail(int code, bool idForm = false) {
    error_ = {code, idForm};
    return false;
  }

  bool readOptions() {
    std::memset(&options_, 0, sizeof options_);
    const int type = lua_type(L_, -1);
    if (type == LUA_TTABLE) {
      TraverseTable(L_, &options_);
      return true;
    }
    if (type != LUA_TSTRING) return true;
    const std::string text = lua_tostring(L_, -1);
    static const std::regex pattern("([a-zA-Z0-9_]+)=(-?[a-zA-Z0-9_]+)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
      const std::string key = (*it)[1].str();
      if (text_.count(key) != 0) continue;
      const std::string value = (*it)[2].str();
      text_[key] = value;
      std::printf("[%s], key:[%s], value:[%s]\n", kFunction, key.c_str(), value.c_str());
      if (plugin_.checkApiOption(api_, key.c_str(), optionAlarm_) == 0) {
        // Raised like the other option alarms, with the caller's code.
        return fail(optionAlarm_);
      }
    }
    lua_pop(L_, 1);
    return true;
  }

  bool arm() {
    auto fromText = [&](const char* value, bool idForm) {
      int orientation;
      if (std::strcmp(value, "Left") == 0) {
        orientation = 0;
      } else if (std::strcmp(value, "Right") == 0) {
        orientation = 1;
      } else {
        ZLOG_TRACE("OPTIONS ARM param: %s", value);
        return fail(kAlarmArm, idForm);
      }
      queued(plugin_, plugin_.alloc_SetArmOrientation(static_cast<char>(orientation), 1));
      return true;
    };
    if (options_.isARM) return fromText(options_.ARM, true);
    if (const std::string* value = find(text_, "ARM")) return fromText(value->c_str(), false);
    if (lua_type(L_, point_) != LUA_TTABLE) return true;
    lua_getfield(L_, point_, "armOrientation");
    if (lua_type(L_, -1) == LUA_TSTRING) {
      const char* value = lua_tostring(L_, -1);
      const int orientation = std::strcmp(value, "Left") == 0 || std::strcmp(value, "left") == 0 ? 0 : 1;
      queued(plugin_, plugin_.alloc_SetArmOrientation(static_cast<char>(orientation), 1));
    } else if (lua_isnil(L_, -1)) {
      ZLOG_DEBUG(" ======== armOrientation: lua_isnil");
    }
    lua_pop(L_, 1);
    return true;
  }

  bool cp() {
    long value = 0;
    if (options_.isCP) {
      value = options_.CP;
    } else if (const std::string* text = find(text_, "CP")) {
      if (!toInteger(*text, value) || value < 0) {
        ZLOG_TRACE("OPTIONS CP param: %s", text->c_str());
        return fail(kAlarmCP);
      }
    } else {
      queued(plugin_, plugin_.alloc_SetTransitionCmd(temp_.transition, true));
      return true;
    }
    if (value > 100) {
      ZLOG_TRACE("OPTIONS CP param: %d", static_cast<int>(value));
      return fail(kAlarmCP);
    }
    queued(plugin_, plugin_.alloc_SetTransitionCmd(static_cast<unsigned char>(value), true));
    temp_.cpChanged = 1;
    return true;
  }

  // Tool and user: the option's index, else the point's.
  bool frame(bool isTool) {
    const char* name = isTool ? "TOOL" : "User";
    const int alarm = isTool ? kAlarmTool : kAlarmUser;
    const st_coord* table = isTool ? plugin_.reader().toolCoord : plugin_.reader().userCoord;
    tagCoordParamsFull& current = isTool ? plugin_.m_toolFrame : plugin_.m_userFrame;
    char shown[32];
    long index = -1;
    bool fromOption = true;
    if (isTool ? options_.isTool : options_.isUser) {
      index = isTool ? options_.Tool : options_.User;
      std::snprintf(shown, sizeof shown, "%ld", index);
    } else if (const std::string* text = find(text_, isTool ? "Tool" : "User")) {
      std::snprintf(shown, sizeof shown, "%s", text->c_str());
      if (!toInteger(*text, index) || index < 0) {
        ZLOG_TRACE("OPTIONS %s param1: %s", name, shown);
        return fail(alarm);
      }
    } else {
      fromOption = false;
      if (!pointInteger(L_, point_, isTool ? "tool" : "user", index)) return true;
      std::snprintf(shown, sizeof shown, "%ld", index);
    }
    const bool inTable = index >= 0 && index < kFrameCount;
    if (inTable) {
      const float* p = table[index].params;
      current.x = p[0];
      current.y = p[1];
      current.z = p[2];
      current.r = p[3];
    }
    const bool enabled = inTable && table[index].enable;
    if (!enabled) {
      if (fromOption) {
        ZLOG_TRACE("OPTIONS %s param2: %s", name, shown);
        return fail(alarm);
      }
      if (!isTool) std::printf("The user coord is disabled, index = %ld\n", index);
      return true;
    }
    current.index = static_cast<std::uint32_t>(index);
    queued(plugin_, isTool ? plugin_.alloc_SetToolCoordParams(&current, true)
                           : plugin_.alloc_SetUserCoordParams(&current, true));
    return true;
  }
  bool tool() { return frame(true); }
  bool user() { return frame(false); }

  bool ratios() {
    tagPTPCommonParams ratios = temp_.ptpcommon;
    struct Ratio {
      std::uint8_t given;
      float value;
      const char* textKey;
      float* target;
      int alarm;
      const char* logName;
    };
    const Ratio table[] = {
        {options_.isSpeedJ, options_.SpeedJ, "Speed", &ratios.velocityRatio, kAlarmSpeed, "params_speed"},
        {options_.isSpeedL, options_.SpeedL, "SpeedS", &ratios.xyzVelocityRatio, kAlarmSpeedS, "params_speeds"},
        {options_.isAccJ, options_.AccJ, "Accel", &ratios.accelerationRatio, kAlarmAccel, "params_accel"},
        {options_.isAccL, options_.AccL, "AccelS", &ratios.xyzAccelerationRatio, kAlarmAccelS, "params_accels"},
    };
    for (const Ratio& r : table) {
      double value;
      if (r.given) {
        value = r.value;
      } else if (const std::string* text = find(text_, r.textKey)) {
        if (!toNumber(*text, value)) return fail(r.alarm);
      } else {
        continue;
      }
      // Written so that NaN fails too.
      if (!(value >= 1.0 && value <= 100.0)) return fail(r.alarm);
      *r.target = static_cast<float>(value);
      temp_.ptpCommonChanged = 1;
      ZLOG_DEBUG("[input] %s:%f\n", r.logName, value);
    }
    if (temp_.ptpCommonChanged) {
      const std::uint64_t index = queued(plugin_, plugin_.alloc_SetPTPCommonParams(&ratios, 1));
      ZLOG_TRACE("[ %s ]:%llu PTPCommonParams: params_speed:%f, params_speeds:%f, params_accel:%f, params_accels:%f\n",
                 kFunction, static_cast<unsigned long long>(index), ratios.velocityRatio, ratios.xyzVelocityRatio,
                 ratios.accelerationRatio, ratios.xyzAccelerationRatio);
    }
    return true;
  }

  bool load() {
    long index = -1;
    char shown[32];
    if (options_.isLoad) {
      index = options_.Load;
      std::snprintf(shown, sizeof shown, "%ld", index);
    } else if (const std::string* text = find(text_, "Load")) {
      std::snprintf(shown, sizeof shown, "%s", text->c_str());
      if (!toInteger(*text, index)) index = -1;
    } else {
      return true;
    }
    JsonProjectReader& reader = plugin_.reader();
    if (!reader.pointLoadEnabled || index < 0 || index >= kPointLoadCount || !reader.lynload[index].enable) {
      std::printf("OPTIONS error: LoadWeight param: %s\n", shown);
      return true;
    }
    plugin_.m_loadWeight = reader.lynload[index].params[0];
    plugin_.m_loadInertia = reader.lynload[index].params[1];
    _stLoadFullParams load{};
    load.index = static_cast<std::uint8_t>(index);
    load.weight = plugin_.m_loadWeight;
    load.inertia = plugin_.m_loadInertia;
    std::printf("[%s], LOAD: index:%d, Weight: %f, Inertia: %f\n", kFunction, static_cast<int>(index), load.weight,
                load.inertia);
    queued(plugin_, plugin_.alloc_SetDynLoadParams(&load, true));
    return true;
  }

  static bool differs(const tagPTPJump2Params& a, const tagPTPJump2Params& b) {
    return a.startJumpHeight != b.startJumpHeight || a.endJumpHeight != b.endJumpHeight || a.zLimit != b.zLimit;
  }

  bool arch() {
    long index;
    char shown[32];
    if (options_.isArch) {
      index = options_.Arch;
      std::snprintf(shown, sizeof shown, "%ld", index);
    } else if (const std::string* text = find(text_, "Arch")) {
      std::snprintf(shown, sizeof shown, "%s", text->c_str());
      if (!toInteger(*text, index)) return fail(kAlarmArch);
    } else {
      return true;
    }
    if (index > kArchCount || index < 0) {
      ZLOG_ERROR("Parse arch params index overflow:%s", shown);
      return true;
    }
    const st_arch* entry = index < kArchCount ? &plugin_.reader().arch[index] : nullptr;
    if (entry == nullptr || !entry->enable) {
      ZLOG_ERROR("Get arch jump params error");
      return true;
    }
    plugin_.m_archParams = {entry->startHeight, entry->endHeight, entry->zLimit};
    const std::uint64_t queueIndex = queued(plugin_, plugin_.alloc_SetPTPJump2Params(&plugin_.m_archParams, true));
    std::printf("[input] %s:%llu params_arch:%d, %1.2f %1.2f %1.2f\n", kFunction,
                static_cast<unsigned long long>(queueIndex), static_cast<int>(index),
                plugin_.m_archParams.startJumpHeight, plugin_.m_archParams.endJumpHeight, plugin_.m_archParams.zLimit);
    if (differs(plugin_.m_archParams, temp_.jump)) temp_.jumpChanged = 1;
    return true;
  }

  bool heights() {
    tagPTPJump2Params jump = temp_.jump;
    if (options_.isStart || options_.isZLimit || options_.isEnd) {
      if (options_.isStart) jump.startJumpHeight = options_.Start;
      if (options_.isEnd) jump.endJumpHeight = options_.End;
      if (options_.isZLimit) jump.zLimit = options_.ZLimit;
    } else {
      const std::string* start = find(text_, "Start");
      const std::string* zLimit = find(text_, "ZLimit");
      const std::string* end = find(text_, "End");
      if (start == nullptr && zLimit == nullptr && end == nullptr) return true;
      double value;
      if (start != nullptr) {
        if (!toNumber(*start, value)) return fail(kAlarmStart);
        jump.startJumpHeight = static_cast<float>(value);
      }
      if (zLimit != nullptr) {
        const bool ok = toNumber(*zLimit, value);
        std::printf("[%s]: zLimit:%f, isOk: %d\n", kFunction, ok ? value : 0.0, ok ? 1 : 0);
        if (!ok) return fail(kAlarmZLimit);
        jump.zLimit = static_cast<float>(value);
      }
      if (end != nullptr) {
        if (!toNumber(*end, value)) return fail(kAlarmEnd);
        jump.endJumpHeight = static_cast<float>(value);
      }
    }
    std::printf("[%s]: Start: %f, zLimit: %f, end: %f\n", kFunction, jump.startJumpHeight, jump.zLimit,
                jump.endJumpHeight);
    queued(plugin_, plugin_.alloc_SetPTPJump2Params(&jump, true));
    if (differs(jump, temp_.jump)) temp_.jumpChanged = 1;
    return true;
  }

  bool syncOption() {
    if (options_.isSYNC) {
      if (sync_ != nullptr) *sync_ = options_.SYNC;
    } else if (const std::string* text = find(text_, "SYNC")) {
      long value;
      if (!toInteger(*text, value)) return fail(kAlarmSync);
      if (sync_ != nullptr) *sync_ = static_cast<int>(value);
    }
    return true;
  }

  lua_State* L_;
  ParamTempValue& temp_;
  const char* api_;
  int optionAlarm_;
  int point_;
  int* sync_;
  pluginLua& plugin_;
  Options_t& options_;
  TextOptions text_;
  OptionError error_;
};

OptionError runUnderLock(lua_State* L, ParamTempValue& temp, const char* api, int optionAlarm, int point,
                         int* sync) {
  std::lock_guard lock(pluginLua::m_option_mutex);
  return OptionSteps(L, temp, api, optionAlarm, point, sync).run();
}

}  // namespace

void processPointParams(lua_State* L, ParamTempValue& temp, const char* api, int optionAlarm, int pointIndex,
                        int* sync) {
  const int point = pointIndex == 0 ? 0 : lua_absindex(L, pointIndex);
  const OptionError error = runUnderLock(L, temp, api, optionAlarm, point, sync);
  if (error.code == 0) return;
  // Every lock and C++ object is gone: the Lua error may unwind from here.
  char text[512];
  pluginLua& plugin = pluginLua::instance();
  plugin.SetScriptAlarm(error.code);
  plugin.alarmMessage(error.code, text, sizeof text);
  luaL_error(L, error.idForm ? "Options Error alarm id:%s" : "Options Error alarm :%s", text);
}

void recoveryPointParams(ParamTempValue& temp) {
  pluginLua& plugin = pluginLua::instance();
  if (temp.cpChanged) {
    const std::uint64_t index = queued(plugin, plugin.alloc_SetTransitionCmd(temp.transition, true));
    ZLOG_TRACE("[ %s ]:%llu cpChanged\n", "recoveryPointParams", static_cast<unsigned long long>(index));
  }
  if (temp.ptpCommonChanged) {
    const std::uint64_t index = queued(plugin, plugin.alloc_SetPTPCommonParams(&temp.ptpcommon, 1));
    ZLOG_TRACE("[ %s ]:%llu  tempValue.ptpcommon.velocityRatio:%1.2f\n", "recoveryPointParams",
               static_cast<unsigned long long>(index), temp.ptpcommon.velocityRatio);
  }
  if (temp.jumpChanged) {
    const std::uint64_t index = queued(plugin, plugin.alloc_SetPTPJump2Params(&temp.jump, true));
    ZLOG_TRACE("[ %s ]:%llu jump_changed\n", "recoveryPointParams", static_cast<unsigned long long>(index));
  }
}
