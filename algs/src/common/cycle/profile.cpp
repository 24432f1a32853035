#include "common/cycle/profile.h"

#include "Dynamics/dynamics_stage.h"

void Profile(AxesGroupRef* axesGroup) {
  if (axesGroup == nullptr) return;
  KineticFdCal(*axesGroup);
  Dynamics(true);
  ProfileCalculate();
  AxisCheck();
  JointAngleToPulse(*axesGroup);
}
