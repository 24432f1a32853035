// Point tables from the robot's pose, from joints and from a position.

#include <cstdio>
#include <cstring>

#include <lua.hpp>

#include "common/ipc/robot_map.h"
#include "json/json_project_reader.h"
#include "plugin_lua.h"
#include "script_alarm.h"
#include "script_functions.h"

namespace {

constexpr int kPointAlarm = 36104;
constexpr int kSoftLimitAlarm = 36121;
constexpr int kUnreachableAlarm = 36122;
constexpr std::int32_t kSoftLimitResult = 18;

void pushFloats(lua_State* L, const float* values, int count) {
  lua_createtable(L, count, 0);
  for (int i = 0; i < count; ++i) {
    lua_pushnumber(L, values[i]);
    lua_rawseti(L, -2, i + 1);
  }
}

// Elements 1..4 of the table at index as numbers; false when one is missing.
bool readFour(lua_State* L, int index, float* out) {
  if (lua_type(L, index) != LUA_TTABLE) return false;
  for (int i = 0; i < 4; ++i) {
    lua_rawgeti(L, index, i + 1);
    const bool number = lua_type(L, -1) == LUA_TNUMBER;
    out[i] = number ? static_cast<float>(lua_tonumber(L, -1)) : 0.0f;
    lua_pop(L, 1);
    if (!number) return false;
  }
  return true;
}

// Fills part from frame entry index (0..9): the current frame takes the
// entry; an enabled entry goes into the request.
void selectFrame(const st_coord* table, int index, tagCoordParamsFull& current, double* part) {
  if (index < 0 || index >= kFrameCount) return;
  const float* p = table[index].params;
  current = {static_cast<std::uint32_t>(index), p[0], p[1], p[2], p[3]};
  if (!table[index].enable) return;
  for (int i = 0; i < 4; ++i) part[i] = p[i];
}

}  // namespace

int plugin_getpoint(lua_State* L) {
  pluginLua& plugin = pluginLua::instance();
  const int arguments = lua_gettop(L);
  int user = 0;
  int tool = 0;
  if (arguments == 0) {
    robotMap& map = robotMap::instance();
    tool = map.loadWord(robot_map::kCurrentTool);
    user = map.loadWord(robot_map::kCurrentUser);
  } else if (arguments == 2 && lua_type(L, 1) == LUA_TNUMBER && lua_type(L, 2) == LUA_TNUMBER) {
    user = static_cast<int>(lua_tointeger(L, 1));
    tool = static_cast<int>(lua_tointeger(L, 2));
    if (user < 0 || user >= kFrameCount || tool < 0 || tool >= kFrameCount) return 0;
  } else {
    return 0;
  }
  JsonProjectReader& reader = plugin.reader();
  reader.st_coord_load();

  tagGetPoseInput input{};
  selectFrame(reader.toolCoord, tool, plugin.m_toolFrame, input.tool);
  selectFrame(reader.userCoord, user, plugin.m_userFrame, input.user);
  if (Packet* reply = plugin.alloc_GetPose(input)) {
    // A reply without the whole pose record counts as none.
    if (reply->length >= sizeof(tagGetPoseOutput) + 2) {
      tagGetPoseOutput pose;
      std::memcpy(&pose, reply->params, sizeof pose);
      std::memcpy(plugin.m_poseArm, pose.hand, kHandTextSize);
      plugin.m_poseArm[kHandTextSize] = '\0';
      double values[6];
      std::memcpy(values, &pose.x, sizeof values);
      for (int i = 0; i < 6; ++i) plugin.m_pose[i] = static_cast<float>(values[i]);
      plugin.m_poseTool = static_cast<std::uint8_t>(tool);
      plugin.m_poseUser = static_cast<std::uint8_t>(user);
    }
    plugin.freePluginPacket(reply);
  }
  lua_createtable(L, 0, 4);
  lua_pushstring(L, plugin.m_poseArm);
  lua_setfield(L, -2, "armOrientation");
  pushFloats(L, plugin.m_pose, 4);
  lua_setfield(L, -2, "coordinate");
  lua_pushinteger(L, plugin.m_poseTool);
  lua_setfield(L, -2, "tool");
  lua_pushinteger(L, plugin.m_poseUser);
  lua_setfield(L, -2, "user");
  plugin.relateQueueIndex(L, 0);
  return 1;
}

namespace {

// Both constructors: forward (joints in) or inverse (position in).
int createPoint(lua_State* L, bool inverse) {
  float input[4];
  if (!readFour(L, 1, input)) return raiseScriptAlarm(L, kPointAlarm);
  std::printf(inverse ? "position: %f, %f, %f, %f\n" : "joint: %f, %f, %f, %f\n", input[0], input[1], input[2],
              input[3]);

  pluginLua& plugin = pluginLua::instance();
  JsonProjectReader& reader = plugin.reader();
  const float* user = reader.userCoord[0].params;
  const float* tool = reader.toolCoord[0].params;
  plugin.m_userFrame = {0, user[0], user[1], user[2], user[3]};
  plugin.m_toolFrame = {0, tool[0], tool[1], tool[2], tool[3]};

  KinematicsPose pose{};
  std::memcpy(pose.position, input, sizeof input);
  std::memcpy(pose.user, user, sizeof pose.user);
  std::memcpy(pose.tool, tool, sizeof pose.tool);
  if (inverse) {
    pose.handType = 1;
    pose.usedefhandType = 0;
  }
  Packet* reply = inverse ? plugin.alloc_GetPointInverseCal(&pose) : plugin.alloc_GetPointForwardCal(&pose);
  if (reply == nullptr) return raiseScriptAlarm(L, kPointAlarm);
  // Only a whole record is an answer.
  const bool whole = reply->length == sizeof(KinematicsPose) + 2;
  KinematicsPose answer{};
  if (whole) std::memcpy(&answer, reply->params, sizeof answer);
  plugin.freePluginPacket(reply);
  if (!whole) return raiseScriptAlarm(L, kPointAlarm);
  if (inverse && answer.result != 0)
    return raiseScriptAlarm(L, answer.result == kSoftLimitResult ? kSoftLimitAlarm : kUnreachableAlarm);

  const char* arm = "right";
  int toolIndex = 0;
  int userIndex = 0;
  bool hasLoad = false;
  lua_Integer load = 0;
  if (lua_type(L, 2) == LUA_TTABLE) {
    lua_getfield(L, 2, "armOrientation");
    if (lua_type(L, -1) == LUA_TSTRING) arm = lua_tostring(L, -1);  // stays on the stack while used
    std::printf("strArm = %s\n", arm);
    lua_getfield(L, 2, "tool");
    toolIndex = lua_type(L, -1) == LUA_TNUMBER ? static_cast<int>(lua_tointeger(L, -1)) : 0;
    std::printf("nTool = %d\n", toolIndex);
    lua_getfield(L, 2, "user");
    userIndex = lua_type(L, -1) == LUA_TNUMBER ? static_cast<int>(lua_tointeger(L, -1)) : 0;
    std::printf("nUser = %d\n", userIndex);
    lua_getfield(L, 2, "load");
    if (!lua_isnil(L, -1)) {
      hasLoad = true;
      load = lua_tointeger(L, -1);
      std::printf("nLoad = %d\n", static_cast<int>(load));
    }
    lua_pop(L, 3);  // the arm text stays
  }
  lua_createtable(L, 0, 6);
  lua_pushstring(L, arm);
  lua_setfield(L, -2, "armOrientation");
  pushFloats(L, inverse ? input : answer.position, 4);
  lua_setfield(L, -2, "coordinate");
  pushFloats(L, inverse ? answer.position : input, 4);
  lua_setfield(L, -2, "joint");
  lua_pushinteger(L, toolIndex);
  lua_setfield(L, -2, "tool");
  lua_pushinteger(L, userIndex);
  lua_setfield(L, -2, "user");
  if (hasLoad) {
    lua_pushinteger(L, load);
    lua_setfield(L, -2, "load");
  }
  return 1;
}

}  // namespace

int plugin_createPointJoint(lua_State* L) { return createPoint(L, false); }

int plugin_createPoint(lua_State* L) { return createPoint(L, true); }
