#include "common/cycle/profile.h"

void Profile(AxesGroupRef* axesGroup) {
  if (axesGroup == nullptr) return;
  KineticFdCal(*axesGroup);
  ProfileCalculate();
  AxisCheck();
  JointAngleToPulse(*axesGroup);
}
