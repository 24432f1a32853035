#pragma once

// The script functions: Lua C functions, each taking the interpreter's state
// and returning the number of results it pushed.

struct lua_State;

// Request channel and command queue.
int plugin_getQueuedCmdCurrentIndex(lua_State* L);
int plugin_setQueuedCmdStartExec(lua_State* L);
int plugin_setQueuedCmdStopExec(lua_State* L);
int plugin_setQueuedCmdForceStopExec(lua_State* L);
int plugin_setQueuedCmdClear(lua_State* L);
int plugin_setQueuedCmdStopClear(lua_State* L);
int plugin_sync(lua_State* L);
int plugin_pause(lua_State* L);
int plugin_pushQueue(lua_State* L);
int plugin_popQueue(lua_State* L);

// Start-up and runtime.
int plugin_init(lua_State* L);
int plugin_sleep(lua_State* L);
int plugin_getAngle(lua_State* L);
int plugin_resetElapsedTime(lua_State* L);
int plugin_endElapsedTime(lua_State* L);
int plugin_systime(lua_State* L);
int plugin_udiskTest(lua_State* L);
int plugin_encTest(lua_State* L);

// Points.
int plugin_getpoint(lua_State* L);
int plugin_createPointJoint(lua_State* L);
int plugin_createPoint(lua_State* L);

// Frames, collision level and latch.
int plugin_set_user(lua_State* L);
int plugin_set_tool(lua_State* L);
int plugin_calc_user(lua_State* L);
int plugin_calc_tool(lua_State* L);
int plugin_setCollisionLevel(lua_State* L);
int plugin_set_latch(lua_State* L);
int plugin_latch_enable(lua_State* L);
int plugin_get_latch_pos(lua_State* L);

// Motion parameters.
int plugin_speed(lua_State* L);
int plugin_accel(lua_State* L);
int plugin_jerk(lua_State* L);
int plugin_speedS(lua_State* L);
int plugin_speedR(lua_State* L);
int plugin_accelS(lua_State* L);
int plugin_accelR(lua_State* L);
int plugin_jerkS(lua_State* L);
int plugin_jerkR(lua_State* L);
int plugin_cp(lua_State* L);
int plugin_arch(lua_State* L);
int plugin_limZ(lua_State* L);
int plugin_speedFactor(lua_State* L);
int plugin_speedE(lua_State* L);
int plugin_accelE(lua_State* L);
int plugin_ecp(lua_State* L);
int plugin_ecpSet(lua_State* L);
int plugin_setExicit(lua_State* L);
int plugin_setExicitZ(lua_State* L);
int plugin_setExicitMode(lua_State* L);
int plugin_loadSet(lua_State* L);
int plugin_loadSwitch(lua_State* L);
int plugin_setServoParam(lua_State* L);
int plugin_setPayload(lua_State* L);

// Reports.
int plugin_print(lua_State* L);
int plugin_eventLog(lua_State* L);
