#pragma once

#include <cstdint>

// Re-plan of queued moves after a change of the global speed ratio: set by the
// speed-ratio command while queued execution is stopped, worked off by the
// pre-processing once execution runs again.
extern std::uint8_t gbModifySpeedRatio;
// Ring position (from the head) of the next queued entry to re-plan.
extern std::uint32_t guiModdifyCount;
// Ring position of the queued entry the pass re-plans in this cycle; the
// search for its previous motion starts below it.
extern std::uint32_t guiStartID;
