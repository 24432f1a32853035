#pragma once

#include <cstdint>

// The kernel's 256 alarms: alarm i is bit (i & 7) of byte (i >> 3).
inline constexpr int kAlarmMapBytes = 32;
extern std::uint8_t gAlarmSysState[kAlarmMapBytes];
// Last-seen copy, so each newly set byte is logged once.
extern std::uint8_t gAlarmSysStateBK[kAlarmMapBytes];

// Sets (and logs, every time) or clears one alarm; indices above 255 do nothing.
void AlarmSysSetBit(unsigned index, bool on);
// 1 when any alarm of bytes 1-31 is set (alarms 0-7 never count); logs each
// byte that became non-zero since the last check.
int AlarmSysCheck();
// Logs the first non-zero byte of the map with the caller's line.
void detectAlarm(int line);
bool AlarmIsSet(unsigned index);

// Motion-type classes: 0 joint moves (1, 4, 6, 8), 1 linear moves (2, 7).
int IsMotiontypeBelongto(int type, int motionClass);
