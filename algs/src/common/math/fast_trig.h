#pragma once

#include "zelor_export.h"

// The motion library's own trigonometry, in radians. Each result lies within
// one unit in the last place of the correctly rounded value, for every finite
// argument; infinities and NaN give NaN, and none of them touches errno.
extern "C" {
ZELOR_EXPORT double sinQ(double x);
ZELOR_EXPORT double cosQ(double x);
ZELOR_EXPORT double tanQ(double x);
// Defined on [-1, 1]; anything else gives NaN.
ZELOR_EXPORT double acosQ(double x);
ZELOR_EXPORT double asinQ(double x);
}
