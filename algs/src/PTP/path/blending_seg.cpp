// Setting up one blend: the cuts on both paths, the blend's speed and its profile.
#include <algorithm>
#include <cmath>

#include "PTP/path/blending.h"
#include "PTP/path/path_vector.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/core_interface.h"
#include "common/math/fast_trig.h"
#include "common/kernel/kernel_state.h"

namespace ps = path_slot;

namespace {

// Below this a speed or length cannot carry a blend profile.
constexpr double kTiny = 1e-9;

double pathLength(const PathInfo& p) {
  return p.kind == kPathLine ? p.para[ps::kLineLength] : p.kind == kPathArc ? p.para[ps::kArcLength] : 0.0;
}

double pathDeltaR(const PathInfo& p) {
  return p.kind == kPathLine ? p.para[ps::kLineDeltaR] : p.kind == kPathArc ? p.para[ps::kArcDeltaR] : 0.0;
}

// How much of a path a blend may take from one end: half a line, or the chord
// of half an arc.
double room(const PathInfo& p) {
  if (p.kind == kPathLine) return p.para[ps::kLineLength] / 2.0;
  if (p.kind == kPathArc) {
    const double radius = p.para[ps::kArcRadius];
    return 2.0 * radius * sinQ(p.para[ps::kArcLength] / (4.0 * radius));
  }
  return 0.0;
}

// Angle of an arc whose chord is d.
double chordAngle(double d, double radius) { return 2.0 * asinQ(std::fmin(1.0, d / (2.0 * radius))); }

// The first path's cut at its end. Without an external TCP a short straight
// rest is either swallowed whole or kept at a usable length.
void cutFirst(PathInfo& first, PathInfo& slot, double d) {
  double* q = first.para;
  const double length = pathLength(first);
  if (first.kind == kPathLine) {
    const double blendIn = q[ps::kLineBlendIn];
    double out = d;
    if (gInputECP == 0) {
      const double rest = length - (d + blendIn);
      if (rest <= 5.0) {
        out = length - blendIn;
      } else if (rest < 10.0 && d > 10.0) {
        out = length - blendIn - 10.0;
      }
    }
    q[ps::kLineBlendOut] = out;
    slot = first;
    slot.kind = kPathLine;
    const double deltaR = q[ps::kLineDeltaR];
    slot.para[ps::kLineBlendR] = q[ps::kLineStartR] + deltaR * (1.0 - out / length);
    slot.para[ps::kLineBlendOutDR] = deltaR * out / length;
    return;
  }
  const double radius = q[ps::kArcRadius];
  const double blendIn = q[ps::kArcBlendIn];
  double out = chordAngle(d, radius);
  if (gInputECP == 0) {
    const double rest = length - (blendIn + out) * radius;
    if (rest <= 5.0) {
      out = length / radius - blendIn;
    } else if (rest < 20.0 && d > 20.0) {
      out = (length - 20.0) / radius - blendIn;
    }
  }
  q[ps::kArcBlendOut] = out;
  slot = first;
  slot.kind = kPathArc;
  const double deltaR = q[ps::kArcDeltaR];
  slot.para[ps::kArcBlendR] = q[ps::kArcStartR] + deltaR * (1.0 - out * radius / length);
  slot.para[ps::kArcBlendOutDR] = deltaR * out * radius / length;
}

// The second path's cut at its start, leaving room for its own blend at the far end.
void cutSecond(PathInfo& second, PathInfo& slot, double d, double dNext) {
  double* q = second.para;
  const double length = pathLength(second);
  if (second.kind == kPathLine) {
    double in = d;
    if (gInputECP == 0 && length - (d + dNext) < 10.0 && d > 10.0) {
      const double x = length / 2.0 - d;
      if (x < 5.0) {
        in = length / 2.0;
      } else if (x < 10.0) {
        in = length / 2.0 - 10.0;
      }
    }
    q[ps::kLineBlendIn] = in;
    slot = second;
    slot.kind = kPathLine;
    slot.para[ps::kLineBlendR] = q[ps::kLineStartR];
    slot.para[ps::kLineBlendInDR] = q[ps::kLineDeltaR] * in / length;
    return;
  }
  const double radius = q[ps::kArcRadius];
  double in = chordAngle(d, radius);
  if (gInputECP == 0 && d > 20.0 && room(second) < dNext && length / 2.0 - in * radius < 20.0) {
    in = (length / 2.0 - 20.0) / radius;
  }
  q[ps::kArcBlendIn] = in;
  slot = second;
  slot.kind = kPathArc;
  slot.para[ps::kArcBlendR] = q[ps::kArcStartR];
  slot.para[ps::kArcBlendInDR] = q[ps::kArcDeltaR] * in * radius / length;
}

// Straight (or circular) rest of the first path between its two cuts.
double firstRest(const PathInfo& first) {
  const double* q = first.para;
  if (first.kind == kPathLine) return q[ps::kLineLength] - q[ps::kLineBlendIn] - q[ps::kLineBlendOut];
  return q[ps::kArcLength] - (q[ps::kArcBlendIn] + q[ps::kArcBlendOut]) * q[ps::kArcRadius];
}

void clearCut(PathInfo& p, bool outgoing) {
  if (p.kind == kPathLine) p.para[outgoing ? ps::kLineBlendOut : ps::kLineBlendIn] = 0.0;
  if (p.kind == kPathArc) p.para[outgoing ? ps::kArcBlendOut : ps::kArcBlendIn] = 0.0;
}

}  // namespace

void Blending::refuse(PathInfo& first, PathInfo& second, bool clearCuts) {
  if (clearCuts) {
    clearCut(first, true);
    clearCut(second, false);
  }
  reset();
  first.endSpeed = entrySpeed;
  second.startSpeed = exitSpeed;
}

// Chooses the blend's entry and exit speeds and its scales. False when the
// blend cannot be made; the caller then stops at the corner.
bool Blending::planSpeeds(PathInfo& first, PathInfo& second, const double* t1, const double* t2) {
  const double period = gPeriodTime;
  const double lb = calcPathLen(0.0, 1.0);
  blendLen = lb;

  const double length1 = pathLength(first);
  const double length2 = pathLength(second);
  const double dr1 = std::fabs(pathDeltaR(first));
  const double dr2 = std::fabs(pathDeltaR(second));
  const double v1 = first.velScale * length1;
  const double v = std::fmin(v1, second.velScale * length2);
  const double a1 = first.accScale * length1;
  const double a = std::fmin(a1, second.accScale * length2);
  const double e = std::fmin(first.decScale * length1, second.decScale * length2);
  const double j1 = first.jerkScale * length1;
  const double jerk = j1;
  // A path that does not turn r sets no rotation speed; taking its zero would
  // forbid every blend into a turning path.
  double w = -1.0;
  if (dr1 > 0.0) w = first.velScale * dr1;
  if (dr2 > 0.0) w = w < 0.0 ? second.velScale * dr2 : std::fmin(w, second.velScale * dr2);

  // One speed along the whole curve: capped where it bends hardest.
  const double kMax = largestCurvature();
  const double cap = kMax > 0.0 ? std::sqrt(a / kMax) : v;
  double entry = std::fmin(v, cap);
  double exit = std::fmin(v, cap);
  double middle = std::fmin(v, cap);

  if (lb < 10.0) {
    // Radius of the arc tangent to both directions that passes 0.1 mm from the corner.
    const double cosine = std::fmin(1.0, std::fmax(-1.0, path_vector::dot3(t1, t2)));
    const double ch = cosQ(acosQ(cosine) / 2.0);
    const double rho = 1.0 - ch > 0.0001 ? 0.1 * ch / (1.0 - ch) : lb;
    middle = std::fmin(middle, std::sqrt(rho * a));
  }

  const double rest = firstRest(first);
  entry = calForwardVm(rest, entry, first.startSpeed, v1, a1, j1, period);

  if (std::trunc(rest) == 0.0) {
    // Too short a rest to change speed on: the blend starts at the speed the
    // previous blend left this path with.
    entry = exitSpeed;
    const double top = std::fmax(entry, exit);
    if (!(lb > kTiny) || !(top > kTiny)) return false;
    scale[0] = top / lb;
    scale[1] = a / lb;
    scale[2] = e / lb;
    scale[3] = jerk / lb;
    first.endSpeed = entry;
    second.startSpeed = exit;
    entrySpeed = entry;
    exitSpeed = exit;
    return true;
  }

  const double vb = std::min({middle, entry, exit});
  if (!(lb > kTiny) || !(vb > kTiny)) return false;
  // Whole periods at no more than vb.
  const double n = std::floor(lb / vb / period);
  const double t = n * period;
  double speed = n > 0.0 ? lb / t : lb / period;
  if (speed > vb) speed = lb / (t + period);
  // The r change the blend carries, from the slot copies' pieces (the caller's
  // records do not hold it); too fast a turn stretches the blend to whole
  // periods at the rotation limit.
  const bool fstLine = fst.kind == kPathLine;
  const bool secLine = sec.kind == kPathLine;
  const double drBlend = std::fabs(fst.para[fstLine ? ps::kLineBlendOutDR : ps::kArcBlendOutDR]) +
                         std::fabs(sec.para[secLine ? ps::kLineBlendInDR : ps::kArcBlendInDR]);
  if (drBlend > 0.0 && w > 0.0 && drBlend > w * t) {
    const double m = std::floor(drBlend / w / period);
    speed = lb / (period + m * period);
  }
  if (!(speed > kTiny)) return false;

  scale[0] = speed / lb;
  scale[1] = a / lb;
  scale[2] = e / lb;
  scale[3] = jerk / lb;
  first.endSpeed = speed;
  exit = calForwardVm(lb, speed, speed, speed, a, jerk, period);
  second.startSpeed = exit;
  entrySpeed = speed;
  exitSpeed = exit;
  return true;
}

void Blending::getBlendingSeg(PathInfo& first, PathInfo& second, double d, double dNext) {
  const double limit = std::fmin(room(first), room(second));
  if (limit < d) d = limit;

  const bool blendable = (first.kind == kPathLine || first.kind == kPathArc) &&
                         (second.kind == kPathLine || second.kind == kPathArc);
  if (!blendable || !(d > 1e-5)) {
    refuse(first, second, false);
  } else {
    cutFirst(first, fst, d);
    cutSecond(second, sec, d, dNext);

    double t1[3], t2[3];
    blendTangent(1.0, t1, first);
    blendTangent(0.0, t2, second);
    // Nearly opposite tangents: the curve would fold back on itself.
    const double sum[3] = {t1[0] + t2[0], t1[1] + t2[1], t1[2] + t2[2]};
    const double ds = path_vector::norm3(sum);
    KernelLog("blend ds : %1.8f\n", ds);

    if (!(ds > 0.001) || !planSpeeds(first, second, t1, t2) || calcTrajectory() != 0) {
      refuse(first, second, true);
    }
  }
  lastU = 0.0;
  isInit = true;
  first.blended = 1;
}

std::int32_t Blending::calcTrajectory() {
  profile.dist = 1.0;
  profile.vMax = scale[0];
  profile.aMax = scale[1];
  profile.aMaxDec = scale[2];
  profile.jerk = std::fmin(scale[3], 1000.0);
  profile.vStart = entrySpeed / blendLen;
  profile.vEnd = exitSpeed / blendLen;
  profile.period = gPeriodTime;
  const std::int32_t result = TrajPlan7S(&profile);
  totalTime = profile.tTotal;
  return result;
}
