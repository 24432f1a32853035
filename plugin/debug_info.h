#pragma once

// Where a script is: "<chunk source>:<line>".

#include <cstddef>

struct lua_State;

inline constexpr std::size_t kPositionTextSize = 1024;

// The position text of the Lua function that called the running C function
// (stack level 1) into out, its line into line; an empty text (line 0) when
// there is no such level. out is always terminated.
void getDebugInfo(lua_State* L, int& line, char* out, std::size_t size);
