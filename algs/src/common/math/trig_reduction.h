#pragma once

// Reduction of huge arguments of the sine, cosine and tangent: x = (4m + q)·pi/2 + r.

inline constexpr int kTwoOverPiRows = 4;
inline constexpr int kTwoOverPiPieceCount = 45;

// The bits of 2/pi cut into 27-bit pieces, scaled by 2^400; the four rows cut
// the same bits at offsets 0, 8, 16 and 24 (layout in two_over_pi_table.py).
extern const double kTwoOverPiPieces[kTwoOverPiRows][kTwoOverPiPieceCount];

// For finite |x| >= 1: r in about [-pi/4, pi/4] and the quadrant q in 0..3,
// exact up to the final rounding of r for every finite double (the fast
// trigonometry uses it from 2^19 up). Smaller x comes back as r = x, q = 0.
void ReduceFull(double* r, int* q, double x);
// The same with the rounding error of r in rLow (r + rLow to about 2^-100 relative).
void ReduceFull(double* r, double* rLow, int* q, double x);
