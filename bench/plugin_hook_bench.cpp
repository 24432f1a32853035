// The script plug-in's line hook: the added cost per executed line of a
// chunk named "@src0.lua" (hooked minus unhooked, in one run). The median
// must stay under 1 us; p99 and the maximum are reported beside it.
#include <algorithm>
#include <chrono>
#include <vector>

#include <benchmark/benchmark.h>
#include <lua.hpp>

#include "plugin_lua.h"

namespace {

constexpr const char* kChunk =
    "local n = ...\n"
    "local x = 0\n"
    "for i = 1, n do\n"
    "  x = x + i\n"
    "  x = x - 1\n"
    "end\n"
    "return x\n";
constexpr int kLoop = 2000;

int g_lines = 0;
void countLines(lua_State*, lua_Debug*) { ++g_lines; }

lua_State* newState() {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  luaL_loadbuffer(L, kChunk, std::char_traits<char>::length(kChunk), "@src0.lua");
  lua_setglobal(L, "chunk");
  return L;
}

double runChunk(lua_State* L) {
  lua_getglobal(L, "chunk");
  lua_pushinteger(L, kLoop);
  const auto start = std::chrono::steady_clock::now();
  lua_call(L, 1, 1);
  const auto end = std::chrono::steady_clock::now();
  lua_pop(L, 1);
  return std::chrono::duration<double, std::nano>(end - start).count();
}

// Lines one run of the chunk executes.
int linesPerRun() {
  lua_State* L = newState();
  g_lines = 0;
  lua_sethook(L, countLines, LUA_MASKLINE, 0);
  runChunk(L);
  lua_close(L);
  return g_lines;
}

void BM_HookAddedCostPerLine(benchmark::State& state) {
  const int lines = linesPerRun();
  lua_State* plain = newState();
  lua_State* hooked = newState();
  lua_sethook(hooked, pluginLua::hook, LUA_MASKLINE, 0);
  std::vector<double> added;
  for (auto _ : state) {
    const double without = runChunk(plain);
    const double with = runChunk(hooked);
    added.push_back((with - without) / lines);
  }
  lua_close(plain);
  lua_close(hooked);
  std::sort(added.begin(), added.end());
  auto at = [&](double q) { return added[static_cast<std::size_t>(q * static_cast<double>(added.size() - 1))]; };
  state.counters["lines_per_run"] = lines;
  state.counters["median_added_ns_per_line"] = at(0.5);
  state.counters["p99_added_ns_per_line"] = at(0.99);
  state.counters["max_added_ns_per_line"] = added.back();
  if (at(0.5) >= 1000.0) state.SkipWithError("median added cost per line is 1 us or more");
}
BENCHMARK(BM_HookAddedCostPerLine)->Iterations(500);

}  // namespace

BENCHMARK_MAIN();
