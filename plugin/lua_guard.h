#pragma once

// No C++ exception may leave a Lua C function: Debian's Lua unwinds its own
// errors by longjmp and knows nothing of C++ unwinding.

#include <cstdio>
#include <exception>

#include <lua.hpp>

template <lua_CFunction F>
int luaGuarded(lua_State* L) {
  char message[256];
  message[0] = '\0';
  try {
    return F(L);
  } catch (const std::exception& e) {
    std::snprintf(message, sizeof message, "%s", e.what());
  } catch (...) {
    std::snprintf(message, sizeof message, "%s", "unknown error");
  }
  // Raised outside the handler, with nothing left to destroy.
  return luaL_error(L, "%s", message);
}
