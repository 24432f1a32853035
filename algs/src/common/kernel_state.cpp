#include "common/kernel_state.h"

// The robot set-up overwrites the profile kind from the parameter block; until
// then the kernel plans with its default, the seven-segment S-curve.
std::int32_t gAccType = 1;
double gPeriodTime = 0.004;
