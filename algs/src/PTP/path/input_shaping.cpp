#include "PTP/path/input_shaping.h"

#include <cmath>

#include "common/kernel/core_interface.h"

namespace {

// pi and 2·pi as the shaper has always used them: rounded to single precision.
constexpr double kPiF = 3.1415927410125732;
constexpr double kTwoPiF = 6.2831854820251465;
constexpr int kMaxDelay = kShapingHistory - 1;

constexpr ShapChannel passThroughChannel() {
  ShapChannel ch{};
  ch.frequency = kShapingOffFrequency;
  ch.A1 = 1.0;
  return ch;
}

inline bool validChannel(int n) { return n >= 0 && n < kShapingChannels; }

// trunc(samples + 0.5), the ring's last index at most; samples >= 0 and finite.
inline std::int32_t delayOf(double samples) {
  const double rounded = samples + 0.5;
  return rounded > kMaxDelay ? kMaxDelay : static_cast<std::int32_t>(rounded);
}

// The ring index `back` samples before `index`.
inline std::int32_t ringBack(std::int32_t index, std::int32_t back) {
  const std::int32_t i = index - back;
  return i < 0 ? i + kShapingHistory : i;
}

}  // namespace

ShapChannel strLocalVar[kShapingChannels] = {passThroughChannel(), passThroughChannel(), passThroughChannel(),
                                             passThroughChannel()};

void vInitShape(int n, ShapCmdTypedef cmd) {
  if (!validChannel(n)) return;
  ShapChannel& ch = strLocalVar[n];
  ch.frequency = cmd.frequency;
  ch.damping = cmd.zeta;
  ch.reserved = 0;

  // Half the damped period and the impulse ratio, single precision where the
  // shaper was tuned that way. A damping of 1 or more has no damped period;
  // its square root is not even taken (it would raise EDOM).
  const double undamped = 1.0 - cmd.zeta * cmd.zeta;
  const float root = undamped > 0.0 ? std::sqrt(static_cast<float>(undamped)) : 0.0f;
  const double halfPeriod = kPiF / (root * cmd.frequency * kTwoPiF);
  const double k = std::exp(static_cast<float>(-cmd.zeta * kPiF / root));
  const double a1 = 1.0 / (1.0 + 2.0 * k + k * k);
  const double a2 = 2.0 * k * a1;
  const double a3 = k * k * a1;
  const double samples1 = halfPeriod / cmd.period;
  const double samples2 = 2.0 * halfPeriod / cmd.period;

  // Negative delays (a frequency or period below zero) would read outside the
  // ring; an infinite frequency or period yields finite numbers but is no setting.
  const bool finite = undamped > 0.0 && std::isfinite(cmd.frequency) && std::isfinite(cmd.period) &&
                      std::isfinite(samples1) && std::isfinite(samples2) && samples1 >= 0.0 &&
                      samples2 >= 0.0 && std::isfinite(a1) && std::isfinite(a2) && std::isfinite(a3);
  if (!finite) {
    ch.frequency = kShapingOffFrequency;
    ch.delay1 = 0;
    ch.delay2 = 0;
    ch.A1 = 1.0;
    ch.A2 = 0.0;
    ch.A3 = 0.0;
    KernelLog("vInitShape: channel %d damping %g frequency %g period %g give no shaper, values pass through\r\n", n,
              cmd.zeta, cmd.frequency, cmd.period);
    return;
  }
  ch.A1 = a1;
  ch.A2 = a2;
  ch.A3 = a3;
  ch.delay1 = delayOf(samples1);
  ch.delay2 = delayOf(samples2);
}

void vCalcInputShaping(int n, double x, double* y) {
  if (!validChannel(n)) {
    *y = x;
    return;
  }
  ShapChannel& ch = strLocalVar[n];
  if (ch.frequency == kShapingOffFrequency) {
    *y = x;
    ch.writeIndex = 0;
    return;
  }
  const std::int32_t w = ch.writeIndex;
  const std::int32_t next = w + 1 == kShapingHistory ? 0 : w + 1;
  ch.readIndex1 = ringBack(w, ch.delay1);
  ch.readIndex2 = ringBack(w, ch.delay2);
  ch.history[next] = x;
  *y = ch.A1 * x + ch.A2 * ch.history[ch.readIndex1] + ch.A3 * ch.history[ch.readIndex2];
  ch.writeIndex = next;
}

void vInitHistoryData(int n, double value) {
  if (!validChannel(n)) return;
  for (double& sample : strLocalVar[n].history) sample = value;
}

void vInputShapingCopy(int dst, int src) {
  if (!validChannel(dst) || !validChannel(src) || dst == src) return;
  ShapChannel& to = strLocalVar[dst];
  const ShapChannel& from = strLocalVar[src];
  for (int i = 0; i < kShapingHistory; ++i) to.history[i] = from.history[i];
  to.writeIndex = from.writeIndex;
  to.readIndex1 = from.readIndex1;
  to.readIndex2 = from.readIndex2;
}
