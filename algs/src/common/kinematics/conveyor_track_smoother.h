#pragma once

// Start-up smoother of the conveyor's moving frame. The tracked count starts
// a catch-up offset behind the raw count, at rest, and merges with it along a
// jerk-limited relative motion in five segments (+jerk, -jerk, cruise, -jerk,
// +jerk) that starts at relative velocity -v.
class calDdt {
 public:
  // Counts per unit below this mean an unconfigured conveyor: no smoothing.
  static constexpr double kMinCountsPerUnit = 1e-6;

  // start: count now; v: conveyor speed (counts/s); dt: time per get();
  // k: counts per unit of travel.
  void init(double start, double v, double dt, double k);
  // Smoothed count for the raw count of the next time step; the raw count
  // itself once the profile is over.
  double get(double raw);
  double offset() const { return offset_; }

 private:
  double displacement(double t) const;

  double start_ = 0.0;
  double segS_[5] = {};  // relative displacement at the start of each segment
  double segV_[5] = {};  // relative velocity at the start of each segment
  double cruise_ = 500.0;
  double jerk_ = 100000.0;
  double segT_[5] = {};  // t1, t1, tc, t3, t3
  double total_ = 0.0;
  double elapsed_ = 0.0;
  double lastT_ = 0.0;
  double lastS_ = 0.0;
  double v0_ = 0.0;
  double dt_ = 0.0;
  double offset_ = 100.0;
};
