#include "common/kinematics/conveyor_track_filter.h"

#include <cmath>

void CEncoderFilter::set(bool reverse, double scale, double raw, double period) {
  reverse_ = reverse ? 1 : 0;
  scale_ = scale;
  lastRaw_ = raw;
  period_ = period;
  travel_ = 0.0;
  previous_ = 0.0;
  index_ = 0;
  for (double& w : window_) w = 0.0;
}

void CEncoderFilter::feed(double raw) {
  travel_ += reverse_ ? lastRaw_ - raw : raw - lastRaw_;
  window_[index_] = travel_;
  lastRaw_ = raw;
  index_ = (index_ + 1) % kWindow;
}

void CEncoderFilter::getFiltered(double* filtered, double* velocity) {
  double sum = 0.0;
  for (double w : window_) sum += w;
  const double mean = sum / kWindow;
  *filtered = mean;
  // The last slot is still empty until ten samples came in; a period that is
  // not positive would give no finite speed.
  const bool full = std::fabs(window_[kWindow - 1]) >= 1e-6;
  *velocity = (full && period_ > 0.0) ? (mean - previous_) / period_ : 0.0;
  previous_ = mean;
}

void CEncoderFilter::reset(bool reverse) {
  reverse_ = reverse ? 1 : 0;
  travel_ = 0.0;
  index_ = 0;
  for (double& w : window_) w = 0.0;
}
