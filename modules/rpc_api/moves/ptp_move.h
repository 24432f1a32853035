#pragma once

// What the move commands share: the point-to-point modes, the option record
// of one command, and the steps every move command runs.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/protocol/command_records.h"
#include "rpc_api/checks/cp_setting.h"
#include "rpc_api/rpc_execute_api.h"

namespace zelor::modules::rpcExecuteApis {

// Modes of a point-to-point move packet (id 84), numbered as their names.
enum PTPMode : std::uint8_t {
  PTPJUMPXYZMode,
  PTPMOVJXYZMode,
  PTPMOVLXYZMode,
  PTPJUMPANGLEMode,
  PTPMOVJANGLEMode,
  PTPMOVLANGLEMode,
  PTPMOVJANGLEINCMode,
  PTPMOVLXYZINCMode,
  PTPMOVJXYZINCMode,
  PTPJUMPMOVLXYZMode,
  PTPGOTRACKXYZMode,
  PTPGOTRACKANGLEMode,
};

inline constexpr std::array<const char*, 12> PTPModeStr = {
    "PTPJUMPXYZMode",     "PTPMOVJXYZMode",      "PTPMOVLXYZMode",    "PTPJUMPANGLEMode",
    "PTPMOVJANGLEMode",   "PTPMOVLANGLEMode",    "PTPMOVJANGLEINCMode", "PTPMOVLXYZINCMode",
    "PTPMOVJXYZINCMode",  "PTPJUMPMOVLXYZMode",  "PTPGOTRACKXYZMode", "PTPGOTRACKANGLEMode",
};

inline const char* modeName(std::uint8_t mode) { return mode < PTPModeStr.size() ? PTPModeStr[mode] : ""; }

// The inline options of one command ("SpeedJ=50", "User=1", ...).
#pragma pack(push, 1)
struct OptParams {
  std::uint8_t user;
  std::uint8_t tool;
  std::uint8_t userChanged;
  std::uint8_t toolChanged;
  std::uint8_t anyOption;
  tagPTPCommonParams cmParams;      // for this move
  tagPTPCommonParams lastCmParams;  // in force before it, put back after it
};
#pragma pack(pop)
static_assert(sizeof(OptParams) == 77);
static_assert(offsetof(OptParams, cmParams) == 5);

// The range a coordinate must lie in.
struct CoordRange {
  double min;
  double max;
};

inline constexpr CoordRange kAnyPosition{-1e10, 1e10};

// Positions 0 .. count - 1 must be numbers: the first that is not logs
// "The {} parameter contains a string" and sets "-3000<N>,{},".
bool coordinatesAreNumbers(const Args& args, std::size_t count, std::string& reply);

// The values of positions 0 .. count - 1 (strtod) into x, y, z, r, the
// others 0; each must lie in its range (a NaN never does): -(40000 + N)
// otherwise, the record then untouched.
bool readCoordinates(const Args& args, std::size_t count, const CoordRange* ranges, tagPTPCmd& move,
                     std::string& reply);

// The continuous-path ratio of one move: a "CP=" value is read from the
// arguments, the kernel's ratio saved and the new one queued; the saved one
// is queued back by restore() (or when the object goes).
class MoveCp {
 public:
  // False with the reader's error reply, or "-1,{}," when the kernel's ratio
  // could not be read (it could never be put back) or the new one could not
  // be queued; nothing is left to put back then.
  bool apply(const Args& args, std::string& reply);
  // Queues the saved ratio, once (a failure retried once).
  void restore();

 private:
  std::optional<CPSetting> cp_{std::in_place};
};

// x, y, z, r of the packed record, copied out.
std::array<float, 4> positionOf(const tagPTPCmd& move);

// Queues the move (id 84); false when it got no reply.
bool queueMove(const tagPTPCmd& move);

// Queues the common parameters (id 83); a missing reply logs failure and
// gives false.
bool queueCommonParams(tagPTPCommonParams params, const char* failure);

// One step that puts back what a move changed: when it fails (nothing was
// queued) it is logged as "restore failed ..." and tried once more.
void restoreStep(const char* what, const std::function<bool()>& step);

}  // namespace zelor::modules::rpcExecuteApis
