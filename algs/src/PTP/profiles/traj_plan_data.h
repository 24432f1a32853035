#pragma once

#include <cstddef>
#include <cstdint>

// A one-dimensional move stored as the boundary states of its (up to seven)
// segments: index k is the state at the start of segment k+1, index 7 the end.
// Segment k (1..7) runs from time[k-1] to time[k] with jerk jerk[k].
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

static_assert(sizeof(MotionData) == 320);
static_assert(offsetof(MotionData, time) == 256);
static_assert(offsetof(TrajPlanData, jerk) == 56);
static_assert(offsetof(TrajPlanData, accDir) == 64);
static_assert(offsetof(TrajPlanData, noMotion) == 68);
static_assert(offsetof(TrajPlanData, aMax) == 72);
static_assert(offsetof(TrajPlanData, vEnd) == 96);
static_assert(offsetof(TrajPlanData, sPrev) == 120);
static_assert(offsetof(TrajPlanData, motion) == 128);
static_assert(offsetof(TrajPlanData, period) == 448);
static_assert(offsetof(TrajPlanData, variableSpeed) == 456);
static_assert(sizeof(TrajPlanData) == 464);
