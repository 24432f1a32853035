#pragma once

#include "PTP/profiles/traj_plan_data.h"

// A plan record with its inputs set (vCurrent = vStart), period 4 ms.
inline TrajPlanData planInputs(double dist, double vMax, double aMax, double aMaxDec, double jerk, double vStart,
                               double vEnd) {
  TrajPlanData p{};
  p.dist = dist;
  p.vMax = vMax;
  p.aMax = aMax;
  p.aMaxDec = aMaxDec;
  p.jerk = jerk;
  p.vStart = vStart;
  p.vEnd = vEnd;
  p.vCurrent = vStart;
  p.period = 0.004;
  return p;
}
