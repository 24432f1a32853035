#pragma once

#include <cstddef>
#include <cstdint>

// Input shaping: a profile value sampled every control cycle is convolved with
// three impulses (zero-vibration-derivative shaper) set by the arm's natural
// frequency and damping ratio. Four independent channels; channel 0 carries
// the current move, channel 1 the blend into the next one.

inline constexpr int kShapingChannels = 4;
inline constexpr int kShapingHistory = 2000;
// A channel with this frequency passes values through unchanged.
inline constexpr double kShapingOffFrequency = 100.0;

// Shaper set-up, passed by value.
struct ShapCmdTypedef {
  double zeta;       // damping ratio
  double frequency;  // natural frequency, Hz
  double period;     // sampling period, s
};

// One shaping channel. The planners and stops read delay2 (cycles a move runs
// on after its profile ends) and endFlag (shaping started for the move; the
// settle flag of the stops) of channel 0 in place, so the layout is fixed.
struct ShapChannel {
  double frequency;
  double damping;
  std::uint32_t reserved;
  std::int32_t delay1;      // samples, 0..1999
  std::int32_t delay2;      // samples, 0..1999
  std::int32_t writeIndex;  // last sample written, 0..1999
  std::int32_t readIndex1;
  std::int32_t readIndex2;
  double history[kShapingHistory];
  double A1;
  double A2;
  double A3;
  std::uint8_t endFlag;
};

static_assert(offsetof(ShapChannel, frequency) == 0);
static_assert(offsetof(ShapChannel, damping) == 8);
static_assert(offsetof(ShapChannel, reserved) == 16);
static_assert(offsetof(ShapChannel, delay1) == 20);
static_assert(offsetof(ShapChannel, delay2) == 24);
static_assert(offsetof(ShapChannel, writeIndex) == 28);
static_assert(offsetof(ShapChannel, readIndex1) == 32);
static_assert(offsetof(ShapChannel, readIndex2) == 36);
static_assert(offsetof(ShapChannel, history) == 40);
static_assert(offsetof(ShapChannel, A1) == 16040);
static_assert(offsetof(ShapChannel, A3) == 16056);
static_assert(offsetof(ShapChannel, endFlag) == 16064);
static_assert(sizeof(ShapChannel) == 16072);

// The four channels, one after another. Until set up, each passes values through.
extern ShapChannel strLocalVar[kShapingChannels];

// Channel numbers outside 0..3 are ignored by all four functions (an ignored
// vCalcInputShaping still hands the value through, so y is always written).

// Sets up channel n from cmd. Settings that give no finite shaper (damping of
// 1 or more, frequency or period of 0 or below, non-finite values) leave the
// channel passing values through, with a log line.
void vInitShape(int n, ShapCmdTypedef cmd);

// Shapes one sample x of channel n into *y. Once per control cycle.
void vCalcInputShaping(int n, double x, double* y);

// Fills channel n's whole history with value; the indices stay.
void vInitHistoryData(int n, double value);

// Copies channel src's history, write index and both read indices into dst.
void vInputShapingCopy(int dst, int src);
