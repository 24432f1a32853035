#include "PTP/planners/line_span.h"

#include <cmath>

LineSpan LineSpanOf(const WCSPosition& origin, const WCSPosition& target) {
  LineSpan span{};
  span.d[0] = target.x - origin.x;
  span.d[1] = target.y - origin.y;
  span.d[2] = target.z - origin.z;
  span.L = std::sqrt(span.d[0] * span.d[0] + span.d[1] * span.d[1] + span.d[2] * span.d[2]);
  const double dr = target.r - origin.r;
  span.sign = dr < 0.0 ? -1.0 : 1.0;
  span.dr = std::fabs(dr);
  return span;
}

bool LineIsEmpty(const LineSpan& span) { return span.L < 1e-5 && span.dr < 1e-5; }

void StoreLine(PreDealData* entry, const WCSPosition& origin, const JointTheta& startJoints, const LineSpan& span) {
  const double s = std::sqrt(span.dr * span.dr + span.L * span.L);
  entry->lineStart = origin;
  for (int i = 0; i < 3; ++i) entry->lineDir[i] = span.L < 1e-5 ? 0.0 : span.d[i] / span.L;
  entry->lineLength = span.L / s;
  entry->lineDeltaR = span.sign * span.dr / s;
  entry->lineStartJoints[0] = startJoints.j1;
  entry->lineStartJoints[1] = startJoints.j2;
  entry->lineStartJoints[2] = startJoints.j3;
  entry->lineStartJoints[3] = startJoints.j4;
  entry->trajPlan.dist = s;
}
