// Start-up, timing and diagnostic script functions.

#include <dirent.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/time.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include <lua.hpp>

#include "log/line_log.h"
#include "plugin_lua.h"
#include "script_functions.h"

namespace {

constexpr int kMaxScriptIndex = 4;
constexpr int kEncoderMemoryId = 996;
constexpr std::size_t kEncoderMemorySize = 4096;

timeval g_startElapseTime{};
timeval g_endElapseTime{};

long long toMilliseconds(long long seconds, long long microseconds) {
  return (seconds * 1000000LL + microseconds) / 1000LL;
}

void waitAllDone(const char* function) {
  const unsigned long long count = pluginLua::instance().waitAllCmdDone();
  std::printf("[%s],waiting all cmd done , count: %llu...\n", function, count);
}

}  // namespace

int plugin_init(lua_State* L) {
  const int n = static_cast<int>(luaL_checkinteger(L, 1));
  if (static_cast<unsigned>(n) > kMaxScriptIndex) {
    lua_pushboolean(L, 0);
    ZLOG_TRACE("Init plugin lua failed, pix:%d", n);
    return 1;
  }
  lua_pushboolean(L, 1);
  pluginLua::instance().plugin_do_init();
  ZLOG_TRACE("Init plugin lua successfully, pix:%d", n);
  return 1;
}

int plugin_sleep(lua_State* L) {
  if (!lua_isinteger(L, 1)) {
    ZLOG_DEBUG("*** [plugin_sleep]: is not integer");
    return 0;
  }
  const lua_Integer ms = lua_tointeger(L, 1);
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return 0;
}

int plugin_getAngle(lua_State* L) {
  pluginLua& plugin = pluginLua::instance();
  float joints[4] = {};
  if (Packet* reply = plugin.alloc_GetJointAngle()) {
    std::memcpy(joints, reply->params, sizeof joints);
    plugin.freePluginPacket(reply);
  }
  lua_createtable(L, 0, 1);
  lua_createtable(L, 4, 0);
  for (int j = 0; j < 4; ++j) {
    lua_pushnumber(L, joints[j]);
    lua_rawseti(L, -2, j + 1);
  }
  lua_setfield(L, -2, "joint");
  return 1;
}

int plugin_resetElapsedTime(lua_State*) {
  waitAllDone("plugin_resetElapsedTime");
  gettimeofday(&g_startElapseTime, nullptr);
  g_endElapseTime = g_startElapseTime;
  return 0;
}

int plugin_endElapsedTime(lua_State* L) {
  waitAllDone("plugin_endElapsedTime");
  gettimeofday(&g_endElapseTime, nullptr);
  const long long elapsed = toMilliseconds(static_cast<long long>(g_endElapseTime.tv_sec) - g_startElapseTime.tv_sec,
                                           static_cast<long long>(g_endElapseTime.tv_usec) - g_startElapseTime.tv_usec);
  lua_pushinteger(L, elapsed);
  return 1;
}

int plugin_systime(lua_State* L) {
  waitAllDone("plugin_systime");
  timeval now{};
  gettimeofday(&now, nullptr);
  lua_pushinteger(L, toMilliseconds(now.tv_sec, now.tv_usec));
  return 1;
}

int plugin_udiskTest(lua_State* L) {
  int count = 0;
  if (DIR* dir = opendir("/media/")) {
    while (const dirent* entry = readdir(dir)) {
      if (std::strncmp(entry->d_name, "sd", 2) == 0) ++count;
    }
    closedir(dir);
  }
  lua_pushinteger(L, count);
  return 1;
}

int plugin_encTest(lua_State* L) {
  double value = 0.0;
  const key_t key = ftok("/zelor", kEncoderMemoryId);
  const int shmid = key == -1 ? -1 : shmget(key, kEncoderMemorySize, IPC_CREAT | 0666);
  if (shmid != -1) {
    void* memory = shmat(shmid, nullptr, SHM_RDONLY);
    if (memory != reinterpret_cast<void*>(-1)) {
      std::memcpy(&value, memory, sizeof value);
      shmdt(memory);
    }
  }
  lua_pushnumber(L, value);
  return 1;
}
