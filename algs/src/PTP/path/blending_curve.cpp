// The transition curve of a blend: evaluation, length, arc-length parameter
// and the per-period set point.
#include <cmath>
#include <cstring>

#include "PTP/path/blending.h"
#include "PTP/path/path_vector.h"
#include "PTP/profiles/traj_plan.h"
#include "common/math/fast_trig.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/kinematics_constants.h"

namespace ps = path_slot;
using path_vector::dot3;
using path_vector::norm3;

Blending blendSeg;

namespace {

// Point and first and second derivatives of one piece of a slot copy. The
// first path's piece runs from its cut point to its end, the second path's
// from its start to its cut point; both at the rate the cut sets.
struct PieceState {
  double p[3];
  double d1[3];
  double d2[3];
};

void evalPiece(const PathInfo& path, bool outgoing, double u, PieceState& st) {
  const double* q = path.para;
  if (path.kind == kPathLine) {
    const double length = q[ps::kLineLength];
    const double span = outgoing ? q[ps::kLineBlendOut] : q[ps::kLineBlendIn];
    const double s = outgoing ? length - (1.0 - u) * span : u * span;
    for (int i = 0; i < 3; ++i) {
      const double dir = q[ps::kLineDir + i];
      st.p[i] = q[ps::kLineStart + i] + s * dir;
      st.d1[i] = span * dir;
      st.d2[i] = 0.0;
    }
    return;
  }
  if (path.kind == kPathArc) {
    const double radius = q[ps::kArcRadius];
    const double span = outgoing ? q[ps::kArcBlendOut] : q[ps::kArcBlendIn];
    const double phi = outgoing ? q[ps::kArcLength] / radius - (1.0 - u) * span : u * span;
    const double c = cosQ(phi);
    const double s = sinQ(phi);
    for (int i = 0; i < 3; ++i) {
      const double U = q[ps::kArcU + i];
      const double V = q[ps::kArcV + i];
      st.p[i] = q[ps::kArcCentre + i] + radius * (c * U + s * V);
      st.d1[i] = radius * span * (c * V - s * U);
      st.d2[i] = -radius * span * span * (c * U + s * V);
    }
    return;
  }
  std::memset(&st, 0, sizeof st);
}

// The smoothing weight and its first two derivatives.
struct Weight {
  double s;
  double d1;
  double d2;
};

Weight weight(double u) {
  const double u2 = u * u;
  const double v = 1.0 - u;
  return {u2 * u * (10.0 - 15.0 * u + 6.0 * u2), 30.0 * u2 * v * v, u * (60.0 - 180.0 * u + 120.0 * u2)};
}

double speedAt(const Blending& b, double u) {
  double d[3];
  b.calcFstDeri(u, d);
  return norm3(d);
}

}  // namespace

Blending::Blending() { reset(); }

void Blending::reset() {
  std::memset(&fst, 0, sizeof fst);
  std::memset(&sec, 0, sizeof sec);
  std::memset(scale, 0, sizeof scale);
  std::memset(&profile, 0, sizeof profile);
  isInit = false;
  lastU = 0.0;
  blendLen = 0.0;
  entrySpeed = 0.0;
  exitSpeed = 0.0;
  totalTime = 0.0;
}

void Blending::calcPos(double u, double* out) const {
  PieceState a, b;
  evalPiece(fst, true, u, a);
  evalPiece(sec, false, u, b);
  const Weight w = weight(u);
  for (int i = 0; i < 3; ++i) out[i] = a.p[i] + (b.p[i] - a.p[i]) * w.s;
}

void Blending::calcOri(double u, double* out) const {
  const bool fstLine = fst.kind == kPathLine;
  const bool secLine = sec.kind == kPathLine;
  const double rA = fst.para[fstLine ? ps::kLineBlendR : ps::kArcBlendR] +
                    u * fst.para[fstLine ? ps::kLineBlendOutDR : ps::kArcBlendOutDR];
  const double rB = sec.para[secLine ? ps::kLineBlendR : ps::kArcBlendR] +
                    u * sec.para[secLine ? ps::kLineBlendInDR : ps::kArcBlendInDR];
  out[0] = (rA + (rB - rA) * weight(u).s) * kDegToRad;
  out[1] = 0.0;
  out[2] = 0.0;
}

void Blending::calcFstDeri(double u, double* out) const {
  PieceState a, b;
  evalPiece(fst, true, u, a);
  evalPiece(sec, false, u, b);
  const Weight w = weight(u);
  for (int i = 0; i < 3; ++i) out[i] = a.d1[i] + (b.d1[i] - a.d1[i]) * w.s + (b.p[i] - a.p[i]) * w.d1;
}

void Blending::calcSecDeri(double u, double* out) const {
  PieceState a, b;
  evalPiece(fst, true, u, a);
  evalPiece(sec, false, u, b);
  const Weight w = weight(u);
  for (int i = 0; i < 3; ++i) {
    out[i] = a.d2[i] + (b.d2[i] - a.d2[i]) * w.s + 2.0 * (b.d1[i] - a.d1[i]) * w.d1 + (b.p[i] - a.p[i]) * w.d2;
  }
}

double Blending::Simpson(int n, double a, double b) const {
  if (n < 1) return 0.0;
  const int intervals = 2 * n;
  const double h = (b - a) / intervals;
  double sum = speedAt(*this, a) + speedAt(*this, b);
  for (int i = 1; i < intervals; ++i) sum += (i % 2 == 1 ? 4.0 : 2.0) * speedAt(*this, a + i * h);
  return h / 3.0 * sum;
}

double Blending::calcPathLen(double a, double b) const {
  constexpr int kMaxHalfIntervals = 102;
  double previous = Simpson(1, a, b);
  double current = Simpson(2, a, b);
  for (int n = 4; n <= kMaxHalfIntervals && !(std::fabs(current - previous) <= 0.0001); n += 2) {
    previous = current;
    current = Simpson(n, a, b);
  }
  return current;
}

double Blending::GetCurveParameter(double ds, double L) const {
  if (!(L > 0.0)) return lastU;
  double lo = lastU;
  double hi = 1.0;
  double u = lo + (1.0 - lo) * ds / L;
  for (int round = 0; round < 10; ++round) {
    const double f = calcPathLen(lastU, u) - ds;
    if (std::fabs(f) < 1e-6) break;
    const double speed = speedAt(*this, u);
    // Where the curve stands still Newton has no slope; halve the bracket instead.
    double next = speed > 1e-12 ? u - f / speed : (f <= 0.0 ? hi : lo);
    if (f <= 0.0) {
      lo = u;
      if (next >= hi) next = (u + hi) / 2.0;
    } else {
      hi = u;
      if (next <= lo) next = (u + lo) / 2.0;
    }
    u = next;
  }
  return u;
}

double Blending::calcVeloLimit(double u, double v, double a) const {
  double d2[3];
  calcSecDeri(u, d2);
  const double k = norm3(d2);
  if (!(k > 0.0)) return v;
  return std::fmin(v, speedAt(*this, u) * std::sqrt(a / k));
}

void Blending::getCartPos(double t, double* out) {
  const double period = gPeriodTime;
  double now = 0.0, before = 0.0, vel = 0.0, acc = 0.0;
  getPosVelAcc(profile.motion, t, period, now, vel, acc);
  getPosVelAcc(profile.motion, std::fabs(t - period), period, before, vel, acc);
  const double ds = now - before;
  const double n = std::floor(t / period + 0.5);
  const double last = std::floor(totalTime / period + 0.5);
  if (n < last) {
    double u = GetCurveParameter(ds * blendLen, blendLen);
    // The curve is only ever run forwards and ends at 1.
    u = std::fmin(1.0, u);
    if (!(u >= lastU)) u = lastU;
    calcPos(u, out);
    calcOri(u, out + 3);
    lastU = u;
    return;
  }
  calcPos(1.0, out);
  calcOri(1.0, out + 3);
  lastU = n == last ? 0.0 : 1.0;
}

double Blending::getUiteraion(double v, double a, double* h) const {
  const double period = gPeriodTime;
  const double step = v * period;
  double anchor[3];
  calcPos(h[3], anchor);
  auto chordGap = [&](double u) {
    double p[3];
    calcPos(u, p);
    const double d[3] = {p[0] - anchor[0], p[1] - anchor[1], p[2] - anchor[2]};
    return norm3(d) - step;
  };

  double result = 0.0;
  bool found = false;
  double x0 = 3.0 * h[3] - 3.0 * h[2] + h[1];
  double x1 = (99.0 * h[3] - 73.0 * h[2] + 41.0 * h[1] - 19.0 * h[0]) / 48.0;
  if (x0 < 1.0 && x1 < 1.0) {
    double g0 = chordGap(x0);
    double g1 = chordGap(x1);
    for (int k = 0; k < 10 && g1 != g0; ++k) {
      const double x2 = x1 - g1 * (x1 - x0) / (g1 - g0);
      x0 = x1;
      g0 = g1;
      x1 = x2;
      g1 = chordGap(x1);
      if (std::fabs(x1 - x0) < 1e-8) {
        const double chord = g1 + step;
        if (x1 > h[3] && step > 0.0 && std::fabs(1.0 - chord / step) < 0.0001) {
          result = x1;
          found = true;
        }
        break;
      }
    }
  }
  if (!found) {
    // Second-order Taylor step of the arc length at the last parameter.
    double d1[3], d2[3];
    calcFstDeri(h[3], d1);
    calcSecDeri(h[3], d2);
    const double speed = norm3(d1);
    if (speed > 1e-12) {
      const double s2 = speed * speed;
      result = h[3] + step / speed + period * period / 2.0 * (a / speed - v * v * dot3(d1, d2) / (s2 * s2));
    } else {
      result = h[3];
    }
  }
  h[0] = h[1];
  h[1] = h[2];
  h[2] = h[3];
  h[3] = result;
  return result;
}

void blendTangent(double u, double* out, PathInfo path) {
  const double* q = path.para;
  if (path.kind == kPathLine) {
    for (int i = 0; i < 3; ++i) out[i] = q[ps::kLineDir + i];
  } else if (path.kind == kPathArc) {
    const double theta = u * q[ps::kArcLength] / q[ps::kArcRadius];
    const double c = cosQ(theta);
    const double s = sinQ(theta);
    for (int i = 0; i < 3; ++i) out[i] = c * q[ps::kArcV + i] - s * q[ps::kArcU + i];
  }
}
