#pragma once

#include "common/protocol/axes_group_ref.h"

// The profile stage of each cycle: actual values in, dynamics, this cycle's
// set points by motion mode, speed and limit checks with their reactions,
// set-point bookkeeping and the run data.
void Profile(AxesGroupRef* axesGroup);

// Its steps, in order.
void KineticFdCal(AxesGroupRef& g);
void ProfileCalculate();
void AxisCheck();
void JointAngleToPulse(AxesGroupRef& g);

// The stop of the kind in force (gStopMode), as the output stage runs it in
// motion mode 7.
void RunStop();

// Set point following the conveyor object the last conveyor move reached.
void ConvSys();
// While a limit alarm is set a jog may only move back inside its limits;
// one moving further in starts a teach stop.
void JogOffLimit();
// Joint speeds from this cycle's set points, motor speeds and following
// errors; with check, a motor speed jump raises its alarm.
void CalAxisSpeed(bool check);

// Motor speed (rpm) and following error of each joint, as CalAxisSpeed left them.
struct tagProfileMotionInfo {
  double motorRpm[4];
  double followError[4];
};
extern tagProfileMotionInfo gProfileMotion;

// Motor speed in rpm of a joint moving by `travel` in one period (joint
// index 2 is the screw axis, travel in mm).
double MotorRpm(int joint, double travel);
