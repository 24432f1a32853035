#include "common/kernel/speed_ratio_change.h"

std::uint8_t gbModifySpeedRatio = 0;
std::uint32_t guiModdifyCount = 0;
std::uint32_t guiStartID = 0;
