#pragma once

// Friction sign with a linear band: 1 above w, -1 below -w, x/w in between.
inline float bandSign(float x, float w) {
  if (x > w) return 1.0f;
  if (x < -w) return -1.0f;
  return x / w;
}
