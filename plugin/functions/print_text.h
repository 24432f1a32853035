#pragma once

// Script values as print text.

#include <string>

struct lua_State;

// A table nested deeper than this prints as "{...}".
inline constexpr int kMaxTableDepth = 16;

// Appends every argument of the call: nil, booleans, integers "%lld", floats
// "%f", strings, tables, "function", others through the global tostring;
// each but a table followed by one space. 0, or a Lua error status with the
// error value on top of the stack (raise it once no C++ object is alive).
int Lua2String(lua_State* L, std::string& out);

// Appends the table at index (nothing for a non-table).
void gxx_table_to_str(lua_State* L, int index, std::string& out, int depth = 0);

// Appends tostring(value at index); 0, or a Lua error status as above.
int appendToString(lua_State* L, int index, std::string& out);
