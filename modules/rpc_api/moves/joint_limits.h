#pragma once

#include <array>
#include <string>

#include "rpc_api/moves/ptp_move.h"

namespace zelor::modules::rpcExecuteApis {

// J1 .. J4 ranges when the project's limits cannot be had.
inline constexpr std::array<CoordRange, 4> kDefaultJointLimits = {
    CoordRange{-85, 85}, CoordRange{-135, 135}, CoordRange{5, 245}, CoordRange{-360, 360}};

// The ranges of J1 .. J4 from the numbers of a limits text, in order (J1 min,
// J1 max, J2 min, ...); the defaults when it holds fewer than eight.
std::array<CoordRange, 4> jointLimitsFromText(const std::string& text);

// The project's joint limits (properties/structure.json), or the defaults.
std::array<CoordRange, 4> projectJointLimits();

}  // namespace zelor::modules::rpcExecuteApis
