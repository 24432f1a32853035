#include "tramlet/limit_state.h"

namespace tramlet_detail {

void applyLimitRules(std::int32_t pos, std::int32_t limitPos, std::int32_t limitNeg, bool enabled,
                     std::int32_t& state, std::uint16_t& flags) {
  const std::int64_t p = pos;
  const auto clearBoth = [&flags] { flags = static_cast<std::uint16_t>(flags & ~(kFlagLimitPos | kFlagLimitNeg)); };
  bool testNegative = true;
  if (state <= 0 && p > limitPos + kLimitHysteresis) {
    state = 1;
    flags |= kFlagLimitPos;
  } else if (state == -1) {
    if (p > limitNeg + kLimitHysteresis) {
      state = 0;
      clearBoth();
    }
    testNegative = false;
  } else if (state == 1 && p < limitPos - kLimitHysteresis) {
    state = 0;
    clearBoth();
  }
  if (testNegative && p < limitNeg - kLimitHysteresis) {
    state = -1;
    flags |= kFlagLimitNeg;
  }
  if (!enabled && state != 0) clearBoth();
}

}  // namespace tramlet_detail
