#include "function_table.h"

#include "lua_guard.h"
#include "script_functions.h"

#define FN(name, function) {name, luaGuarded<function>}

const luaL_Reg kPluginFunctions[] = {
    FN("GetQueuedCmdCurrentIndex", plugin_getQueuedCmdCurrentIndex),
    FN("SetQueuedCmdStartExec", plugin_setQueuedCmdStartExec),
    FN("SetQueuedCmdStopExec", plugin_setQueuedCmdStopExec),
    FN("SetQueuedCmdForceStopExec", plugin_setQueuedCmdForceStopExec),
    FN("SetQueuedCmdClear", plugin_setQueuedCmdClear),
    FN("SetQueuedCmdStopClear", plugin_setQueuedCmdStopClear),
    FN("Sleep", plugin_sleep),
    FN("GetPose", plugin_getpoint),
    FN("GetAngle", plugin_getAngle),
    FN("init", plugin_init),
    FN("ResetElapsedTime", plugin_resetElapsedTime),
    FN("ElapsedTime", plugin_endElapsedTime),
    FN("Systime", plugin_systime),
    FN("SetLatch", plugin_set_latch),
    FN("LatchEnable", plugin_latch_enable),
    FN("GetLatchPos", plugin_get_latch_pos),
    FN("Sync", plugin_sync),
    FN("Pause", plugin_pause),
    FN("Push", plugin_pushQueue),
    FN("Pop", plugin_popQueue),
    FN("EventLog", plugin_eventLog),
    FN("print", plugin_print),
    FN("CreatePointJoint", plugin_createPointJoint),
    FN("CreatePoint", plugin_createPoint),
    FN("SetCollisionLevel", plugin_setCollisionLevel),
    FN("SetUser", plugin_set_user),
    FN("CalcUser", plugin_calc_user),
    FN("SetTool", plugin_set_tool),
    FN("CalcTool", plugin_calc_tool),
    FN("udisk_test", plugin_udiskTest),
    FN("enc_test", plugin_encTest),
    {nullptr, nullptr},
};

#undef FN
