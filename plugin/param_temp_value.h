#pragma once

// The settings a move may change for itself, and whether it did.

#include <cstdint>

#include "common/protocol/command_records.h"

struct ParamTempValue {
  std::uint8_t transition;  // continuous-path value
  std::int32_t cpChanged;
  std::int32_t ptpCommonChanged;
  std::int32_t jumpChanged;
  tagPTPJump2Params jump;        // start, end, limit height
  tagPTPCommonParams ptpcommon;  // the nine ratios, percent
};
