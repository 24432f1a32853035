#pragma once

#include <cstdint>

// Smooths one conveyor encoder channel: travel accumulated from the raw count
// (its sign inverted for a reversed channel), a 10-sample moving mean of it,
// and the mean's change per sample period.
class CEncoderFilter {
 public:
  static constexpr int kWindow = 10;

  // Starts from raw: travel, window, index and previous mean cleared.
  void set(bool reverse, double scale, double raw, double period);
  void feed(double raw);
  // Mean of the window and its velocity; the velocity stays 0 until the
  // window has filled.
  void getFiltered(double* filtered, double* velocity);
  // New direction; clears travel, index and window, keeps the last raw count.
  void reset(bool reverse);

 private:
  double period_ = 0.0;
  std::uint8_t reverse_ = 0;
  double scale_ = 0.0;  // kept for the channel's configuration; unused here
  double travel_ = 0.0;
  double window_[kWindow] = {};
  double previous_ = 0.0;
  std::int32_t index_ = 0;
  double lastRaw_ = 0.0;
};
