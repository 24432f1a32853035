#pragma once

#include "PTP/planners/cart_command.h"
#include "common/kernel/pre_deal_data.h"

// The translation and rotation of a line from origin to target.
struct LineSpan {
  double d[3];   // target - origin
  double L;      // |d|
  double dr;     // |target r - origin r|
  double sign;   // +1, or -1 when r decreases
};

LineSpan LineSpanOf(const WCSPosition& origin, const WCSPosition& target);
// Below 1e-5 in both: a line of no length, finished without an alarm.
bool LineIsEmpty(const LineSpan& span);

// The line's geometry in the entry (after its profile's distance is known):
// start, unit direction (zero for a pure rotation), translation share and
// signed rotation share.
void StoreLine(PreDealData* entry, const WCSPosition& origin, const JointTheta& startJoints, const LineSpan& span);

// The torque-limited limits of the entry's line (gDynamicOptimal).
void LineDynOpt(PreDealData* entry, const CartLimits& lim, const CartCommand& c);
