#include "common/kernel_state.h"

std::int32_t gAccType = 0;
double gPeriodTime = 0.004;
std::int32_t elapsed[kStageStampCount] = {};
double gScaraMechPara[5] = {};
double gSoftLimitPara[9] = {};
