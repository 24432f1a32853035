#include <lua.hpp>

#include "zelor_export.h"

// Entry point found by require "libquillonPlugin".
extern "C" ZELOR_EXPORT int luaopen_libquillonPlugin(lua_State* L) {
  lua_newtable(L);
  return 1;
}
