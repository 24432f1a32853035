#include "debug_info.h"

#include <cstdio>

#include <lua.hpp>

void getDebugInfo(lua_State* L, int& line, char* out, std::size_t size) {
  line = 0;
  if (size == 0) return;
  out[0] = '\0';
  lua_Debug ar;
  if (lua_getstack(L, 1, &ar) == 0) return;
  if (lua_getinfo(L, "Sl", &ar) == 0) return;
  line = ar.currentline;
  std::snprintf(out, size, "%s:%d", ar.source != nullptr ? ar.source : "", ar.currentline);
}
