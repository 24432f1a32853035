#include "common/kernel/dynamics_state.h"

tagDynamicInfo gDynamicInfo = {};
tagTorDiffParams gTorDiffParams = {};
float gBasicDynamicParams[kBasicDynamicParamCount] = {};
float LoadParams = 0.0f;
std::uint8_t gSafeMode = 0;
std::uint8_t gFeedForwardMode = 0;
std::uint8_t gIsHandGuiding = 0;
