#pragma once

#include <cstdint>

#include "PTP/path/path_records.h"
#include "PTP/profiles/traj_plan_data.h"
#include "zelor_export.h"

// Corner blending of two consecutive lines or arcs. The tail of the first path
// (A) and the head of the second (B) are run with one parameter u in [0, 1]
// and mixed: P(u) = A(u) + (B(u) - A(u))·S(u), S = 10u³ - 15u⁴ + 6u⁵, so the
// curve leaves A and joins B with matching speed and acceleration. r is mixed
// the same way. The kernel holds one object and reuses it blend after blend:
// the exit speed of one blend feeds the next when the path between is short.
class ZELOR_EXPORT Blending {
 public:
  Blending();

  // Cuts a piece of length about d off the end of `first` and the start of
  // `second` (dNext is the second path's own blend distance at its far end),
  // writes the cuts and the speeds at the cut points into both records and
  // plans the blend's speed profile. A blend that cannot be made leaves both
  // records joining at the corner with speed 0.
  void getBlendingSeg(PathInfo& first, PathInfo& second, double d, double dNext);
  // Pose at time t since the blend started: x, y, z (mm), r (rad), 0, 0.
  void getCartPos(double t, double* out);
  double getPathLen() const { return blendLen; }
  double getAllTime() const { return totalTime; }
  void initLastU() { lastU = 0.0; }
  void reset();

  // The curve: out[3] of the point and its first and second derivatives in u.
  void calcPos(double u, double* out) const;
  // out[0] = r (rad), out[1] = out[2] = 0.
  void calcOri(double u, double* out) const;
  void calcFstDeri(double u, double* out) const;
  void calcSecDeri(double u, double* out) const;
  // Curve length from a to b by Simpson's rule with 2n intervals.
  double Simpson(int n, double a, double b) const;
  // Curve length from a to b, refined until two results agree within 1e-4.
  double calcPathLen(double a, double b) const;
  // Parameter at curve length ds beyond the last parameter (L is the blend length).
  double GetCurveParameter(double ds, double L) const;
  // Speed limit at u from the curve's second derivative under acceleration a.
  double calcVeloLimit(double u, double v, double a) const;
  // Largest curvature (1/mm) of the curve over u in [0, 1], by a bounded search.
  double largestCurvature() const;
  // Plans the blend profile from the scales and speeds; the planner's result.
  std::int32_t calcTrajectory();
  // Predicts the next parameter from the history h[4] of the last four for
  // speed v and acceleration a, and shifts the history.
  double getUiteraion(double v, double a, double* h) const;

  PathInfo fst;  // first path, with the r where its piece starts and the piece's r change
  PathInfo sec;  // second path, alike
  double scale[4];      // velocity, acceleration, deceleration, jerk of the blend parameter
  TrajPlanData profile;  // speed profile of the blend parameter
  bool isInit;
  double lastU;  // parameter reached at the previous period
  double blendLen;    // mm
  double entrySpeed;  // mm/s
  double exitSpeed;   // mm/s; survives into the next blend computation
  double totalTime;   // s

 private:
  void refuse(PathInfo& first, PathInfo& second, bool clearCuts);
  bool planSpeeds(PathInfo& first, PathInfo& second, const double* t1, const double* t2);
};

// The kernel's blending object.
extern Blending blendSeg;

// Unit tangent of a line or arc record at u (the arc's blend-in angle is not
// added); nothing is written for other kinds.
ZELOR_EXPORT void blendTangent(double u, double* out, PathInfo path);

// Highest speed, not above vT nor vmax, that a jerk-limited move starting at
// speed vs reaches within distance s under acceleration a and jerk j. T is not used.
ZELOR_EXPORT double calForwardVm(double s, double vT, double vs, double vmax, double a, double j, double T);

// A root of c3·x³ + c2·x² + c1·x + c0 in [lo, hi] on a monotone piece whose
// ends differ in sign; 0 when there is none.
ZELOR_EXPORT double calCubicEq(double c3, double c2, double c1, double c0, double hi, double lo);
