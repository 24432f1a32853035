#include "PTP/path/path.h"

#include <cmath>

#include "PTP/path/path_vector.h"
#include "common/kernel/core_interface.h"
#include "common/math/fast_trig.h"

PathInfo fstPath{};
PathInfo secPath{};

namespace ps = path_slot;
using path_vector::cross3;
using path_vector::dot3;
using path_vector::norm3;

namespace {

constexpr double kTwoPi = 6.283185307179586;

// A path that takes no time under its jerk limit is empty; its scales are
// then left as they were.
void storeScales(const double* scale, double jerkRatio, PathInfo& path) {
  if (!(jerkRatio > 0.0)) {
    path.extent = 0.0;
    return;
  }
  path.extent = 1.0;
  path.velScale = scale[0];
  path.accScale = scale[1];
  path.decScale = scale[2];
  path.jerkScale = scale[3];
}

// Joint move: each limit kind is governed by the joint that needs the most time
// under it (first wins a tie); only joints with a positive limit take part.
void buildJoint(const MotionCmd& cmd, PathInfo& path) {
  double change[4];
  for (int i = 0; i < 4; ++i) {
    change[i] = cmd.end[i] - cmd.start[i];
    path.para[ps::kJointStart + i] = cmd.start[i];
    path.para[ps::kJointChange + i] = change[i];
  }
  path.kind = kPathJoint;

  const double* limits[4] = {cmd.jointVel, cmd.jointAcc, cmd.jointDec, cmd.jointJerk};
  double scale[4];
  double jerkRatio = 0.0;
  for (int k = 0; k < 4; ++k) {
    int dominant = -1;
    double best = 0.0;
    for (int i = 0; i < 4; ++i) {
      if (!(limits[k][i] > 0.0)) continue;
      const double ratio = std::fabs(change[i] / limits[k][i]);
      if (dominant < 0 || ratio > best) {
        dominant = i;
        best = ratio;
      }
    }
    // A kind whose dominant joint does not move limits nothing that moves;
    // its scale stays 0 instead of an infinite quotient.
    scale[k] = (dominant >= 0 && best > 0.0) ? std::fabs(limits[k][dominant] / change[dominant]) : 0.0;
    if (k == 3) jerkRatio = best;
  }
  storeScales(scale, jerkRatio, path);
}

// Cartesian scales: each limit kind is governed by the length or by the
// rotation change, whichever needs more time under its limit.
void setCartesianScales(const MotionCmd& cmd, double length, double deltaR, PathInfo& path) {
  double scale[4];
  double jerkRatio = 0.0;
  for (int k = 0; k < 4; ++k) {
    const double a = cmd.linear[k];
    const double b = cmd.rotation[k];
    const double linearRatio = a > 0.0 ? std::fabs(length / a) : 0.0;
    const double rotationRatio = b > 0.0 ? std::fabs(deltaR / b) : 0.0;
    const bool rotationDominates = b > 0.0 && linearRatio < rotationRatio;
    if (rotationDominates) {
      scale[k] = std::fabs(b / deltaR);
    } else {
      // A zero length under a governing length limit would give 0/0 or 1/0.
      scale[k] = length > 0.0 ? std::fabs(a / length) : 0.0;
    }
    if (k == 3) jerkRatio = rotationDominates ? rotationRatio : linearRatio;
  }
  storeScales(scale, jerkRatio, path);
}

void buildLine(const MotionCmd& cmd, PathInfo& path) {
  double d[3] = {cmd.end[0] - cmd.start[0], cmd.end[1] - cmd.start[1], cmd.end[2] - cmd.start[2]};
  double length = norm3(d);
  for (int i = 0; i < 3; ++i) {
    path.para[ps::kLineStart + i] = cmd.start[i];
    path.para[ps::kLineDir + i] = length > 1e-10 ? d[i] / length : 0.0;
  }
  if (!(length > 1e-10)) length = 0.0;
  const double deltaR = cmd.end[3] - cmd.start[3];
  path.para[ps::kLineLength] = length;
  path.para[ps::kLineStartR] = cmd.start[3];
  path.para[ps::kLineEndR] = cmd.end[3];
  path.para[ps::kLineDeltaR] = deltaR;
  path.kind = kPathLine;
  setCartesianScales(cmd, length, deltaR, path);
}

void buildArc(const MotionCmd& cmd, PathInfo& path) {
  double start[3] = {cmd.start[0], cmd.start[1], cmd.start[2]};
  double middle[3] = {cmd.middle[0], cmd.middle[1], cmd.middle[2]};
  double end[3] = {cmd.end[0], cmd.end[1], cmd.end[2]};
  double centre[3];
  double U[3], V[3], W[3];
  if (calArcCenter(start, middle, end, centre) != 0) {
    buildLine(cmd, path);
    return;
  }
  calArcCoodinate(start, middle, end, centre, U, V, W);
  const double a[3] = {start[0] - centre[0], start[1] - centre[1], start[2] - centre[2]};
  const double radius = norm3(a);
  // Points so nearly in line that the frame cannot be formed are a line too.
  if (!(radius > 0.0) || !std::isfinite(radius) || !(norm3(W) > 0.0)) {
    buildLine(cmd, path);
    return;
  }
  const double e[3] = {end[0] - centre[0], end[1] - centre[1], end[2] - centre[2]};
  const double c = dot3(e, U);
  const double s = dot3(e, V);
  const double h = std::sqrt(c * c + s * s);
  double cosine = h > 0.0 ? c / h : 1.0;
  cosine = std::fmin(1.0, std::fmax(-1.0, cosine));
  const double alpha = acosQ(cosine);
  const double sweep = s >= 0.0 ? alpha : kTwoPi - alpha;
  const double length = sweep * radius;
  const double deltaR = cmd.end[3] - cmd.start[3];

  path.para[ps::kArcBlendIn] = 0.0;
  for (int i = 0; i < 3; ++i) {
    path.para[ps::kArcCentre + i] = centre[i];
    path.para[ps::kArcU + i] = U[i];
    path.para[ps::kArcW + i] = W[i];
    path.para[ps::kArcV + i] = V[i];
  }
  path.para[ps::kArcRadius] = radius;
  path.para[ps::kArcLength] = length;
  path.para[ps::kArcStartR] = cmd.start[3];
  path.para[ps::kArcEndR] = cmd.end[3];
  path.para[ps::kArcDeltaR] = deltaR;
  path.kind = kPathArc;
  setCartesianScales(cmd, length, deltaR, path);
}

// Angle of an arc record at u, from U.
double arcAngle(const PathInfo& path, double u) {
  return path.para[ps::kArcBlendIn] + u * path.para[ps::kArcLength] / path.para[ps::kArcRadius];
}

}  // namespace

void getPath(MotionCmd cmd, PathInfo& path) {
  switch (cmd.kind) {
    case kPathNone:
      path.kind = kPathNone;
      path.extent = 0.0;
      return;
    case kPathJoint:
      buildJoint(cmd, path);
      return;
    case kPathLine:
      buildLine(cmd, path);
      return;
    case kPathArc:
      buildArc(cmd, path);
      return;
    default:
      KernelLog("unsupported type\r\n");
      path.extent = 0.0;
      return;
  }
}

void getPos(PathInfo path, double u, double* out) {
  const double* p = path.para;
  switch (path.kind) {
    case kPathJoint:
      for (int i = 0; i < 4; ++i) {
        out[i] = p[ps::kJointStart + i] + (u + p[ps::kJointOffset]) * p[ps::kJointChange + i];
      }
      return;
    case kPathLine: {
      const double length = p[ps::kLineLength];
      const double shifted = u + (length != 0.0 ? p[ps::kLineBlendIn] / length : 0.0);
      for (int i = 0; i < 3; ++i) out[i] = p[ps::kLineStart + i] + length * shifted * p[ps::kLineDir + i];
      out[3] = p[ps::kLineStartR] + shifted * p[ps::kLineDeltaR];
      out[4] = 0.0;
      out[5] = 0.0;
      return;
    }
    case kPathArc: {
      const double radius = p[ps::kArcRadius];
      const double length = p[ps::kArcLength];
      const double phi = arcAngle(path, u);
      const double c = cosQ(phi);
      const double s = sinQ(phi);
      for (int i = 0; i < 3; ++i) {
        out[i] = p[ps::kArcCentre + i] + radius * c * p[ps::kArcU + i] + radius * s * p[ps::kArcV + i];
      }
      // An arc of zero length has nowhere to spread its rotation.
      const double share = length != 0.0 ? radius * phi / length : 0.0;
      out[3] = p[ps::kArcStartR] + share * p[ps::kArcDeltaR];
      out[4] = 0.0;
      out[5] = 0.0;
      return;
    }
    default:
      KernelLog("unsupported type\r\n");
      return;
  }
}

void getTangent(double u, double* out, PathInfo path) {
  const double* p = path.para;
  switch (path.kind) {
    case kPathJoint:
      for (int i = 0; i < 4; ++i) out[i] = p[ps::kJointChange + i];
      return;
    case kPathLine:
      for (int i = 0; i < 3; ++i) out[i] = p[ps::kLineLength] * p[ps::kLineDir + i];
      out[3] = p[ps::kLineDeltaR];
      out[4] = 0.0;
      out[5] = 0.0;
      return;
    case kPathArc: {
      const double phi = arcAngle(path, u);
      const double c = cosQ(phi);
      const double s = sinQ(phi);
      const double length = p[ps::kArcLength];
      for (int i = 0; i < 3; ++i) out[i] = length * (c * p[ps::kArcV + i] - s * p[ps::kArcU + i]);
      out[3] = p[ps::kArcDeltaR];
      out[4] = 0.0;
      out[5] = 0.0;
      return;
    }
    default:
      return;
  }
}

void getCurvature(double u, double* out, PathInfo path) {
  const double* p = path.para;
  switch (path.kind) {
    case kPathJoint:
      for (int i = 0; i < 4; ++i) out[i] = 0.0;
      return;
    case kPathLine:
      for (int i = 0; i < 6; ++i) out[i] = 0.0;
      return;
    case kPathArc: {
      const double phi = arcAngle(path, u);
      const double c = cosQ(phi);
      const double s = sinQ(phi);
      const double k = p[ps::kArcLength] * p[ps::kArcLength] / p[ps::kArcRadius];
      for (int i = 0; i < 3; ++i) out[i] = k * (-c * p[ps::kArcU + i] - s * p[ps::kArcV + i]);
      for (int i = 3; i < 6; ++i) out[i] = 0.0;
      return;
    }
    default:
      return;
  }
}

int calArcCenter(double* p1, double* p2, double* p3, double* centre) {
  const double a[3] = {p1[0] - p3[0], p1[1] - p3[1], p1[2] - p3[2]};
  const double b[3] = {p2[0] - p3[0], p2[1] - p3[1], p2[2] - p3[2]};
  double n[3];
  cross3(a, b, n);
  // Rows: the plane of the three points and the two bisector planes.
  const double m[3][3] = {{n[0], n[1], n[2]},
                          {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]},
                          {p3[0] - p2[0], p3[1] - p2[1], p3[2] - p2[2]}};
  const double rhs[3] = {dot3(n, p3), (dot3(p2, p2) - dot3(p1, p1)) / 2.0, (dot3(p3, p3) - dot3(p2, p2)) / 2.0};
  const double det = path_vector::det3(m);
  if (det == 0.0) return -1;
  for (int col = 0; col < 3; ++col) {
    double mc[3][3];
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) mc[r][c] = c == col ? rhs[r] : m[r][c];
    }
    centre[col] = path_vector::det3(mc) / det;
  }
  return 0;
}

void calArcCoodinate(double* start, double* middle, double* end, double* centre, double* U, double* V,
                     double* W) {
  const double a[3] = {start[0] - centre[0], start[1] - centre[1], start[2] - centre[2]};
  const double radius = norm3(a);
  const double d1[3] = {middle[0] - start[0], middle[1] - start[1], middle[2] - start[2]};
  const double d2[3] = {end[0] - middle[0], end[1] - middle[1], end[2] - middle[2]};
  double w[3];
  cross3(d1, d2, w);
  const double wn = norm3(w);
  for (int i = 0; i < 3; ++i) {
    U[i] = radius > 0.0 ? a[i] / radius : 0.0;
    W[i] = wn > 0.0 ? w[i] / wn : 0.0;
  }
  cross3(W, U, V);
}
