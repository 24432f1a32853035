#include "print_text.h"

#include <cstdio>

#include <lua.hpp>

namespace {

constexpr const char* kToStringError = "'tostring' must return a string to 'print'";

void appendFormat(std::string& out, const char* format, auto value) {
  char buffer[400];  // "%f" of the largest double fits
  const int n = std::snprintf(buffer, sizeof buffer, format, value);
  if (n > 0) out.append(buffer, static_cast<std::size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
}

// The key at index as text, converting a copy: converting the key itself
// would break lua_next.
void appendKey(lua_State* L, int index, std::string& out) {
  switch (lua_type(L, index)) {
    case LUA_TSTRING:
    case LUA_TNUMBER: {
      lua_pushvalue(L, index);
      std::size_t length = 0;
      const char* text = lua_tolstring(L, -1, &length);
      out.append(text, length);
      lua_pop(L, 1);
      break;
    }
    case LUA_TBOOLEAN:
      out += lua_toboolean(L, index) ? "true" : "false";
      break;
    default:
      out += lua_typename(L, lua_type(L, index));
      appendFormat(out, ": %p", lua_topointer(L, index));
      break;
  }
}

}  // namespace

int appendToString(lua_State* L, int index, std::string& out) {
  const int at = lua_absindex(L, index);
  lua_getglobal(L, "tostring");
  lua_pushvalue(L, at);
  if (lua_pcall(L, 1, 1, 0) != LUA_OK) return 1;
  std::size_t length = 0;
  const char* text = lua_tolstring(L, -1, &length);
  if (text == nullptr) {
    lua_pop(L, 1);
    lua_pushstring(L, kToStringError);
    return 1;
  }
  out.append(text, length);
  lua_pop(L, 1);
  return 0;
}

void gxx_table_to_str(lua_State* L, int index, std::string& out, int depth) {
  if (lua_type(L, index) != LUA_TTABLE) return;
  // A table that holds itself, or a very deep one, stops here.
  if (depth > kMaxTableDepth || !lua_checkstack(L, 4)) {
    out += "{...}";
    return;
  }
  const int table = lua_absindex(L, index);
  out += "{";
  lua_pushnil(L);
  while (lua_next(L, table) != 0) {
    out += " [";
    appendKey(L, -2, out);
    out += "]=";
    const int type = lua_type(L, -1);
    switch (type) {
      case LUA_TTABLE:
        gxx_table_to_str(L, -1, out, depth + 1);
        out += ",";
        break;
      case LUA_TBOOLEAN:
        out += lua_toboolean(L, -1) ? "1" : "0";
        break;
      case LUA_TNUMBER:
        appendFormat(out, "%f", static_cast<double>(lua_tonumber(L, -1)));
        break;
      case LUA_TSTRING: {
        std::size_t length = 0;
        const char* text = lua_tolstring(L, -1, &length);
        out.append(text, length);
        break;
      }
      case LUA_TFUNCTION:
        out += "function";
        break;
      default:
        out += "type : ";
        out += std::to_string(type);
        out += " is not support";
        break;
    }
    lua_pop(L, 1);
  }
  out += " }";
}

int Lua2String(lua_State* L, std::string& out) {
  const int n = lua_gettop(L);
  for (int i = 1; i <= n; ++i) {
    switch (lua_type(L, i)) {
      case LUA_TNIL:
        out += "nil";
        break;
      case LUA_TBOOLEAN:
        out += lua_toboolean(L, i) ? "true" : "false";
        break;
      case LUA_TNUMBER:
        if (lua_isinteger(L, i))
          appendFormat(out, "%lld", static_cast<long long>(lua_tointeger(L, i)));
        else
          appendFormat(out, "%f", static_cast<double>(lua_tonumber(L, i)));
        break;
      case LUA_TSTRING: {
        std::size_t length = 0;
        const char* text = lua_tolstring(L, i, &length);
        out.append(text, length);
        break;
      }
      case LUA_TTABLE:
        gxx_table_to_str(L, i, out);
        continue;  // no blank after a table
      case LUA_TFUNCTION:
        out += "function";
        break;
      default:
        if (appendToString(L, i, out) != 0) return 1;
        break;
    }
    out += ' ';
  }
  return 0;
}
