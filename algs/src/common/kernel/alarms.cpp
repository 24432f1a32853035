#include "common/kernel/alarms.h"

#include "common/kernel/core_interface.h"

std::uint8_t gAlarmSysState[kAlarmMapBytes] = {};
std::uint8_t gAlarmSysStateBK[kAlarmMapBytes] = {};

void AlarmSysSetBit(unsigned index, bool on) {
  if (index > 255) return;
  const std::uint8_t bit = static_cast<std::uint8_t>(1u << (index & 7));
  if (on) {
    gAlarmSysState[index >> 3] |= bit;
    KernelLog("%s(index=%d,isOn=%d) executed \r\n", "AlarmSysSetBit", static_cast<int>(index), 1);
  } else {
    gAlarmSysState[index >> 3] &= static_cast<std::uint8_t>(~bit);
  }
}

bool AlarmIsSet(unsigned index) {
  return index <= 255 && (gAlarmSysState[index >> 3] & (1u << (index & 7))) != 0;
}

int AlarmSysCheck() {
  int any = 0;
  for (int i = 1; i < kAlarmMapBytes; ++i) {
    if (gAlarmSysState[i] != 0) {
      any = 1;
      if (gAlarmSysState[i] != gAlarmSysStateBK[i]) KernelLog("[ALARM]ID Occur:%d\r\n", i);
    }
    gAlarmSysStateBK[i] = gAlarmSysState[i];
  }
  return any;
}

void detectAlarm(int line) {
  for (int i = 0; i < kAlarmMapBytes; ++i) {
    if (gAlarmSysState[i] != 0) {
      KernelLog("[%s], alarmsState[%d] = 0x%x, line = %d\r\n", "detectAlarm", i, gAlarmSysState[i], line);
      return;
    }
  }
}

int IsMotiontypeBelongto(int type, int motionClass) {
  switch (motionClass) {
    case 0:
      return type == 1 || type == 4 || type == 6 || type == 8;
    case 1:
      return type == 2 || type == 7;
    default:
      return 0;
  }
}
