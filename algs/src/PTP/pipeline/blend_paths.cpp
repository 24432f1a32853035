// Path records of lines and arcs, read from their planned entries.
#include <cmath>

#include "PTP/pipeline/blend_setup.h"

namespace ps = path_slot;

namespace {

constexpr double kMinExtent = 1e-05;

void SetScales(const TrajPlanData& plan, double factor, bool absolute, PathInfo& path) {
  double scale[4] = {plan.vMax * factor, plan.aMax * factor, plan.aMaxDec * factor, plan.jerk * factor};
  if (absolute) {
    for (double& s : scale) s = std::fabs(s);
  }
  path.velScale = scale[0];
  path.accScale = scale[1];
  path.decScale = scale[2];
  path.jerkScale = scale[3];
  path.extent = 1.0;
}

void BuildLine(const PreDealData& e, PathInfo& path) {
  const double dist = e.trajPlan.dist;
  const double length = e.lineLength * dist;
  const double travel = e.lineDeltaR * dist;
  path.para[ps::kLineStart + 0] = e.lineStart.x;
  path.para[ps::kLineStart + 1] = e.lineStart.y;
  path.para[ps::kLineStart + 2] = e.lineStart.z;
  for (int i = 0; i < 3; ++i) path.para[ps::kLineDir + i] = e.lineDir[i];
  path.para[ps::kLineLength] = length;
  path.para[ps::kLineStartR] = e.lineStart.r;
  path.para[ps::kLineEndR] = e.lineStart.r + travel;
  path.para[ps::kLineDeltaR] = travel;
  path.kind = kPathLine;
  if (length >= kMinExtent) {
    SetScales(e.trajPlan, e.lineLength / length, false, path);
  } else if (std::fabs(travel) >= kMinExtent) {
    SetScales(e.trajPlan, e.lineDeltaR / travel, true, path);
  }
}

void BuildArc(const PreDealData& e, PathInfo& path) {
  const double length = e.arcRadius * e.arcAngle;
  const double travel = e.arcDeltaR * e.trajPlan.dist;
  path.para[ps::kArcCentre + 0] = e.arcCentre.x;
  path.para[ps::kArcCentre + 1] = e.arcCentre.y;
  path.para[ps::kArcCentre + 2] = e.arcCentre.z;
  path.para[ps::kArcRadius] = e.arcRadius;
  for (int i = 0; i < 3; ++i) {
    path.para[ps::kArcU + i] = e.arcRotation.m[i][0];
    path.para[ps::kArcV + i] = e.arcRotation.m[i][1];
    path.para[ps::kArcW + i] = e.arcRotation.m[i][2];
  }
  path.para[ps::kArcLength] = length;
  path.para[ps::kArcStartR] = e.arcOrigin.r;
  path.para[ps::kArcEndR] = e.arcOrigin.r + travel;
  path.para[ps::kArcDeltaR] = travel;
  path.kind = kPathArc;
  if (length > 0.0) SetScales(e.trajPlan, e.arcShare / length, false, path);
}

}  // namespace

void BuildPathRecord(const PreDealData& entry, PathInfo& path) {
  path = PathInfo{};
  if (entry.motionType == 2) {
    BuildLine(entry, path);
  } else if (entry.motionType == 10) {
    BuildArc(entry, path);
  }
}
