#include "common/kinematics/conveyor_track.h"

#include <cmath>
#include <cstring>

#include "common/kernel/core_interface.h"
#include "common/math/transform4.h"

track track1;

namespace {

bool unconfigured(double k) { return !(std::fabs(k) >= calDdt::kMinCountsPerUnit); }

}  // namespace

double track::travel(double count) const { return unconfigured(k_) ? 0.0 : (count - e0_) / k_; }

void track::place(double travelAlongX) {
  double D[4][4] = {{1, 0, 0, travelAlongX}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  matMul4(C_, D, D);
  matMul4(D, Tc_, U_);
}

int track::setTrack(const double* A, const double* B, const double* C, double k, double e0, double e, double v,
                    double period, double yOffset, double zOffset) {
  if (state_ == 1) return kAlreadyTracking;
  cart2T(A, A_);
  cart2T(B, B_);
  cart2T(C, C_);
  for (int i = 0; i < 3; ++i) C_[i][3] = A_[i][3];
  invT4(C_, invC_);

  e0_ = e0;
  k_ = k;
  period_ = period;
  yOffset_ = yOffset;
  zOffset_ = zOffset;

  matMul4(A_, B_, Tc_);
  matMul4(invC_, Tc_, Tc_);
  Tc_[1][3] += yOffset;
  Tc_[2][3] += zOffset;

  smoother_.init(e, v, period, k);
  if (unconfigured(k)) {
    KernelLog("track: encoder resolution %f too small, conveyor travel ignored\r\n", k);
    place(0.0);
  } else {
    place(travel(e) - smoother_.offset() / k);
  }
  lastEs_ = e - smoother_.offset();
  state_ = 1;
  return 0;
}

int track::sync(double raw, double /*unused*/, double (*out)[4]) {
  if (state_ != 1) return kNotTracking;
  const double es = smoother_.get(raw);
  lastEs_ = es;
  place(travel(es));
  std::memcpy(out, U_, sizeof U_);
  return es == raw ? 1 : 0;
}

int track::desync() {
  state_ = 0;
  return 0;
}

int track::getUserCoord(double (*out)[4]) const {
  std::memcpy(out, U_, sizeof U_);
  return 0;
}
