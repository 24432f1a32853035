#pragma once

// Script alarms: the table of alarm texts and the bad-argument convention of
// the script functions.

#include <cstddef>

#include <json/value.h>

struct lua_State;

// Alarm code of a script function used the wrong way, without its own text.
inline constexpr int kApiUsageAlarm = 45314;

// Fills value, indexed by alarm code, with the script alarm texts.
void fillScriptAlarmTexts(Json::Value& value);

// The entry of code as the styled JSON writer prints it (the text in double
// quotes, then a line break), or "API usage error" without an entry; cut to
// fit size, always terminated.
void scriptAlarmText(const Json::Value& table, int code, char* out, std::size_t size);

// Raises alarm code for the script: writes it to the request memory, then
// raises the Lua error "Error alarm :<text>". Never returns. The caller holds
// no lock and no object with a destructor when it calls this: the Lua error
// unwinds by longjmp.
int raiseScriptAlarm(lua_State* L, int code);
