#pragma once

#include <cstdint>

#include "common/kinematics/conveyor_track_smoother.h"

// The user frame that moves with a conveyor. setTrack fixes the captured
// object's frame against the conveyor; each sync moves it along the
// conveyor's x axis by the (smoothed) encoder travel since capture.
class track {
 public:
  static constexpr int kAlreadyTracking = 1001;
  static constexpr int kNotTracking = 1002;

  // Poses are {x, y, z, rz, ry, rx}, angles in radians: capture pose A, object
  // pose B in A, conveyor pose C (its translation is taken from A). k counts
  // per unit of travel, e0 the count at capture, e the count now, v the
  // conveyor speed in counts/s, period the cycle time; the offsets are added
  // to the object in the conveyor frame. Returns 0 or kAlreadyTracking.
  int setTrack(const double* A, const double* B, const double* C, double k, double e0, double e, double v,
               double period, double yOffset, double zOffset);
  // Advances the frame to the raw count and copies it out. Returns 1 once the
  // start-up smoothing is over, else 0; kNotTracking while idle.
  int sync(double raw, double unused, double (*out)[4]);
  int desync();
  int getUserCoord(double (*out)[4]) const;
  int getState() const { return state_; }

 private:
  double travel(double count) const;
  void place(double travelAlongX);

  double A_[4][4] = {};
  double B_[4][4] = {};
  double Tc_[4][4] = {};
  double C_[4][4] = {};
  double invC_[4][4] = {};
  double U_[4][4] = {};
  double e0_ = 0.0;
  double k_ = 100000.0;
  double period_ = 0.0;
  std::int32_t state_ = 0;
  double lastEs_ = 0.0;
  double yOffset_ = 0.0;
  double zOffset_ = 0.0;
  calDdt smoother_;
};

// The kernel's one conveyor tracker.
extern track track1;
