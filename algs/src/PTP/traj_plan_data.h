#pragma once

#include <cstdint>

// A one-dimensional move stored as the boundary states of its (up to seven)
// segments: index k is the state at the start of segment k, index 7 the end.
struct MotionData {
  double pos[8];
  double vel[8];
  double acc[8];
  double jerk[8];
  double time[8];
};

// Inputs and results of one velocity-profile plan. Embedded by value in the
// planned entries and read by the blending code, so the order is fixed.
struct TrajPlanData {
  double dist;
  double vMax;
  double t1;
  double tConst;
  double tAcc;
  double tDec;
  double tTotal;
  double jerk;
  std::int32_t accDir;
  std::uint8_t noMotion;
  double aMax;
  double aMaxDec;
  double vStart;
  double vEnd;
  double t1Dec;
  double vCurrent;
  double sPrev;
  MotionData motion;
  double period;
  std::uint8_t variableSpeed;
};
