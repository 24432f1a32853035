#include "common/command/collision_handlers.h"

#include "common/command/command_params.h"
#include "common/kernel/collision_detection.h"
#include "common/kernel/dynamics_state.h"
#include "json/parameter_globals.h"

namespace {

constexpr std::uint32_t kRefused = 1;
constexpr std::uint8_t kLevels = 5;

double threshold(int joint) { return static_cast<double>(gTorDiffParams.torDiff[joint]); }

}  // namespace

std::uint32_t OnCollisionThreshold(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  if (rw == 0) {
    ReplyRecord(gTorDiffParams, params, len);
    return 0;
  }
  tagTorDiffParams thresholds;
  const bool taken = TakeRecord(__func__, params, len, thresholds) && AllFloatsFinite(__func__, thresholds);
  len = 0;
  if (!taken) return kRefused;
  gTorDiffParams = thresholds;
  CMD_LOG("Command OnCollisionThreshold params:%1.3f %1.3f %1.3f %1.3f \r\n", threshold(0), threshold(1), threshold(2),
          threshold(3));
  return 0;
}

// Read and write alike; the reply repeats the request.
std::uint32_t OnSetTorDiffLevel(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  std::uint8_t level = 0;
  // Taken as zeros, a request without its level would switch detection off.
  if (!TakeRecord(__func__, params, len, level)) return kRefused;
  if (level == 0) {
    gIsCollisionDect = 0;
  } else if (level <= kLevels) {
    gIsCollisionDect = 1;
    for (int j = 0; j < 4; ++j) gTorDiffParams.torDiff[j] = m_st_collisionParams.torDiff[j][level - 1];
  }
  if (level == 2) {
    const auto& t = m_st_collisionParams.torDiff;
    CMD_LOG("Command OnSetTorDiffLevel params:%1.3f %1.3f %1.3f %1.3f  %1.3f %1.3f;\r\n", static_cast<double>(t[0][1]),
            static_cast<double>(t[1][1]), static_cast<double>(t[2][1]), static_cast<double>(t[3][1]),
            static_cast<double>(t[4][1]), static_cast<double>(t[5][1]));
  }
  CMD_LOG("Command OnSetTorDiffLevel params:%1.3f %1.3f %1.3f %1.3f;gIsCollisionDect:%d;level:%d\r\n", threshold(0),
          threshold(1), threshold(2), threshold(3), gIsCollisionDect, level);
  return 0;
}
