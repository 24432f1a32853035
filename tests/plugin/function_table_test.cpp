// The module's function table: names in the script interface's order, no
// name twice, and the module entry registers exactly the table.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <lua.hpp>

#include "function_table.h"

extern "C" int luaopen_libquillonPlugin(lua_State* L);

namespace {

// The script interface's 105 function names in registration order.
const std::vector<std::string> kAllNames = {
    "InitCam", "TriggerCam", "SendCam", "RecvCam", "DestryCam", "GetQueuedCmdCurrentIndex",
    "SetQueuedCmdStartExec", "SetQueuedCmdStopExec", "SetQueuedCmdForceStopExec", "SetQueuedCmdClear",
    "SetQueuedCmdStopClear", "DI", "DOExecute", "DO", "DOGroup", "CP", "Arch", "LimZ", "SpeedFactor", "Speed",
    "Accel", "SpeedE", "AccelE", "Jerk", "SpeedS", "SpeedR", "AccelS", "AccelR", "JerkS", "JerkR", "Go", "Move",
    "Arc3", "Jump", "Circle3", "Wait", "Sleep", "GetPose", "GetAngle", "MoveJ", "MoveExtraJ", "CnvVison",
    "GetCnvObject", "SetCnvPointOffset", "SetCnvTimeCompensation", "SyncCnv", "StopSyncCnv", "ECP", "ECPSet", "init",
    "TCPCreate", "TCPStart", "TCPReadVision", "TCPReadMultiVision", "TCPRead", "TCPWrite", "TCPDestroy", "UDPCreate",
    "UDPRead", "UDPWrite", "ModbusCreate", "ModbusClose", "GetInBits", "GetInRegs", "GetCoils", "SetCoils",
    "SetHoldRegs", "GetHoldRegs", "SetExicitCmd", "SetExicitCmdZ", "SetExcitMode", "LoadSet", "LoadSwitch",
    "ResetElapsedTime", "ElapsedTime", "Systime", "RP", "RJ", "GoR", "MoveR", "MoveJR", "GoIO", "MoveIO", "MoveJIO",
    "SetLatch", "LatchEnable", "GetLatchPos", "Sync", "SyncExter", "Pause", "Push", "Pop", "EventLog", "print",
    "SetServoParam", "SetPayload", "CreatePointJoint", "CreatePoint", "SetCollisionLevel", "SetUser", "CalcUser",
    "SetTool", "CalcTool", "udisk_test", "enc_test"};

std::vector<std::string> registeredNames() {
  std::vector<std::string> names;
  for (const luaL_Reg* row = kPluginFunctions; row->name != nullptr; ++row) {
    EXPECT_NE(row->func, nullptr) << row->name;
    names.push_back(row->name);
  }
  return names;
}

TEST(FunctionTable, TheInterfaceListHasItsNamesOnce) {
  ASSERT_EQ(kAllNames.size(), 105u);
  EXPECT_EQ(std::set<std::string>(kAllNames.begin(), kAllNames.end()).size(), kAllNames.size());
}

TEST(FunctionTable, RowsAreUniqueInterfaceNamesInInterfaceOrder) {
  const std::vector<std::string> names = registeredNames();
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
  std::size_t at = 0;
  for (const std::string& name : names) {
    while (at < kAllNames.size() && kAllNames[at] != name) ++at;
    ASSERT_LT(at, kAllNames.size()) << name << " is not an interface name or is out of order";
    ++at;
  }
}

TEST(FunctionTable, ModuleEntryReturnsATableOfTheRowsAndHooksLines) {
  lua_State* L = luaL_newstate();
  ASSERT_EQ(luaopen_libquillonPlugin(L), 1);
  ASSERT_TRUE(lua_istable(L, -1));
  std::set<std::string> fields;
  lua_pushnil(L);
  while (lua_next(L, -2) != 0) {
    EXPECT_TRUE(lua_iscfunction(L, -1));
    fields.insert(lua_tostring(L, -2));
    lua_pop(L, 1);
  }
  const std::vector<std::string> names = registeredNames();
  EXPECT_EQ(fields, std::set<std::string>(names.begin(), names.end()));
  // A stock Lua has no user hook: the line hook is the debug hook.
  EXPECT_NE(lua_gethook(L), nullptr);
  EXPECT_EQ(lua_gethookmask(L), LUA_MASKLINE);
  lua_close(L);
}

}  // namespace
