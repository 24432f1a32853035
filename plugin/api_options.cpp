#include "api_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <lua.hpp>

#include "plugin_lua.h"

namespace {

enum class Kind { Text, Byte, Float };

struct OptionField {
  const char* key;
  Kind kind;
  std::size_t flag;   // offset of the presence flag
  std::size_t value;  // offset of the value
};

#define OPTION(name, kind) {#name, kind, offsetof(Options_t, is##name), offsetof(Options_t, name)}
constexpr OptionField kFields[] = {
    OPTION(ARM, Kind::Text),    OPTION(CP, Kind::Byte),     OPTION(Tool, Kind::Byte),   OPTION(User, Kind::Byte),
    OPTION(SpeedJ, Kind::Float), OPTION(AccJ, Kind::Float), OPTION(SpeedL, Kind::Float), OPTION(AccL, Kind::Float),
    OPTION(SpeedE, Kind::Float), OPTION(AccE, Kind::Float), OPTION(Arch, Kind::Byte),   OPTION(Start, Kind::Float),
    OPTION(ZLimit, Kind::Float), OPTION(End, Kind::Float),  OPTION(Load, Kind::Byte),   OPTION(SYNC, Kind::Byte),
};
#undef OPTION

void setOption(Options_t* options, const OptionField& field, const char* text) {
  auto* base = reinterpret_cast<unsigned char*>(options);
  base[field.flag] = 1;
  switch (field.kind) {
    case Kind::Text: {
      char* out = reinterpret_cast<char*>(base + field.value);
      std::snprintf(out, sizeof options->ARM, "%s", text);
      break;
    }
    case Kind::Byte:
      base[field.value] = static_cast<std::uint8_t>(std::strtol(text, nullptr, 10));
      break;
    case Kind::Float: {
      const float f = std::strtof(text, nullptr);
      std::memcpy(base + field.value, &f, sizeof f);
      break;
    }
  }
}

}  // namespace

int TraverseTable(lua_State* L, Options_t* options) {
  std::memset(options, 0, sizeof *options);
  const int t = lua_gettop(L);
  if (t < 2 || lua_type(L, t) != LUA_TTABLE) return -1;
  lua_pushnil(L);
  while (lua_next(L, t) != 0) {
    // Only the value is converted; the key stays a string for lua_next.
    if (lua_type(L, -2) == LUA_TSTRING && lua_type(L, -1) != LUA_TTABLE) {
      const char* key = lua_tostring(L, -2);
      const int valueType = lua_type(L, -1);
      if (valueType == LUA_TSTRING || valueType == LUA_TNUMBER) {
        const char* value = lua_tostring(L, -1);
        std::printf("TraverseTable: key:%s, value:%s \n", key, value);
        for (const OptionField& field : kFields) {
          if (std::strcmp(field.key, key) == 0) {
            setOption(options, field, value);
            break;
          }
        }
      } else {
        std::printf("TraverseTable: key:%s, value of type %s skipped \n", key, lua_typename(L, valueType));
      }
    }
    lua_pop(L, 1);
  }
  return 0;
}

int pluginLua::initApiOption(const char* path) {
  if (path == nullptr) return -1;
  m_ini.Reset();
  // A missing file leaves no accepted options.
  m_ini.LoadFile(path);
  return 0;
}

int pluginLua::checkApiOption(const char* api, const char* option, int alarm) {
  if (api == nullptr || option == nullptr) {
    SetScriptAlarm(alarm);
    return 0;
  }
  if (std::strcmp(option, "SYNC") == 0) return 1;
  const char* value = m_ini.GetValue(api, "key", nullptr);
  if (value == nullptr) {
    SetScriptAlarm(alarm);
    return 0;
  }
  std::printf("pVal: %s\n", value);
  std::string_view rest(value);
  while (true) {
    const std::size_t comma = rest.find(',');
    if (rest.substr(0, comma) == option) return 1;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  std::printf("pOptions : %s\n", option);
  SetScriptAlarm(alarm);
  return 0;
}
