#include <dlfcn.h>

#include <lua.hpp>

#include "function_table.h"
#include "plugin_lua.h"
#include "zelor_export.h"

namespace {

constexpr int kFunctionCount = 105;
// The line event mask of the interpreter's user hook.
constexpr int kUserHookLineMask = 4;

using SetUserHook = void (*)(lua_State*, lua_Hook, int, int);

// The controller's interpreter offers a user hook beside the debug hook; a
// stock interpreter has only the debug hook.
void installLineHook(lua_State* L) {
  auto setUserHook = reinterpret_cast<SetUserHook>(dlsym(RTLD_DEFAULT, "lua_setuserhook"));
  if (setUserHook != nullptr)
    setUserHook(L, pluginLua::hook, kUserHookLineMask, 0);
  else
    lua_sethook(L, pluginLua::hook, LUA_MASKLINE, 0);
}

}  // namespace

// Entry point found by require "libquillonPlugin".
extern "C" ZELOR_EXPORT int luaopen_libquillonPlugin(lua_State* L) {
  luaL_checkversion(L);
  lua_createtable(L, 0, kFunctionCount);
  luaL_setfuncs(L, kPluginFunctions, 0);
  installLineHook(L);
  return 1;
}
