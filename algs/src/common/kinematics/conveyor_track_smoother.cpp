#include "common/kinematics/conveyor_track_smoother.h"

#include <cmath>

void calDdt::init(double start, double v, double dt, double k) {
  start_ = start;
  dt_ = dt;
  elapsed_ = 0.0;
  lastT_ = 0.0;
  lastS_ = 0.0;
  v0_ = -v;
  for (int i = 0; i < 5; ++i) segS_[i] = segV_[i] = segT_[i] = 0.0;
  if (!(std::fabs(k) >= kMinCountsPerUnit)) {
    // No travel to smooth: the profile is over before it starts.
    cruise_ = jerk_ = offset_ = total_ = 0.0;
    return;
  }
  if (std::fabs(v) < std::fabs(k)) {
    cruise_ = 20.0 * k;
    jerk_ = 5000.0 * k;
    offset_ = 5.0 * k;
  } else {
    const double r = std::fabs(v) / std::fabs(k);
    cruise_ = r * k;
    jerk_ = 100.0 * r * k;
    offset_ = 0.2 * r * k;
  }
  // Both ratios are non-negative by the choice above; max() guards rounding.
  const double t1 = std::sqrt(std::fmax(0.0, (v + cruise_) / jerk_));
  const double t3 = std::sqrt(std::fmax(0.0, cruise_ / jerk_));
  // Rise from -v to cruise covers (cruise - v)·t1, the fall to rest cruise·t3.
  const double tc = (offset_ - (cruise_ - v) * t1 - cruise_ * t3) / cruise_;
  segT_[0] = segT_[1] = t1;
  segT_[2] = tc;
  segT_[3] = segT_[4] = t3;
  total_ = 2.0 * t1 + tc + 2.0 * t3;

  const double J = jerk_;
  const double acc[5] = {0.0, J * t1, 0.0, 0.0, -J * t3};  // acceleration at each segment's start
  const double jerk[5] = {J, -J, 0.0, -J, J};
  double s = 0.0, vel = v0_;
  for (int i = 0; i < 5; ++i) {
    segS_[i] = s;
    segV_[i] = vel;
    const double t = segT_[i];
    s += vel * t + acc[i] * t * t / 2.0 + jerk[i] * t * t * t / 6.0;
    vel += acc[i] * t + jerk[i] * t * t / 2.0;
  }
}

double calDdt::displacement(double t) const {
  const double J = jerk_;
  const double acc[5] = {0.0, J * segT_[0], 0.0, 0.0, -J * segT_[3]};
  const double jerk[5] = {J, -J, 0.0, -J, J};
  int i = 0;
  double begin = 0.0;
  while (i < 4 && t > begin + segT_[i]) {
    begin += segT_[i];
    ++i;
  }
  const double tau = std::fmin(t - begin, segT_[i]);
  return segS_[i] + segV_[i] * tau + acc[i] * tau * tau / 2.0 + jerk[i] * tau * tau * tau / 6.0;
}

double calDdt::get(double raw) {
  if (elapsed_ - total_ > -1e-6) return raw;
  // The raw count belongs to the next time step, so is the displacement:
  // the frame starts from rest instead of one step at full speed.
  elapsed_ += dt_;
  lastT_ = std::fmin(elapsed_, total_);
  lastS_ = displacement(lastT_);
  return raw + lastS_ - offset_;
}
