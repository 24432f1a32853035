#pragma once

#include <lua.hpp>

// The module's functions in registration order, ended by a null pair.
extern const luaL_Reg kPluginFunctions[];
