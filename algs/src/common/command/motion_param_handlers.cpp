#include "common/command/motion_param_handlers.h"

#include <algorithm>
#include <cstddef>

#include "common/command/command_params.h"
#include "common/links/exter_axis_rtu.h"
#include "common/kernel/packed_cmd_queue.h"
#include "common/kernel/speed_ratio_change.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr std::uint32_t kRefused = 1;

float clampTo(float value, float low, float high) { return std::clamp(value, low, high); }

// A stored ratio as the byte a read replies: clamped into 0..255 first (a
// NaN reads 0), since converting a float outside the byte's range is undefined.
std::uint8_t ratioByte(float ratio) {
  if (!(ratio > 0.0f)) return 0;
  if (ratio >= 255.0f) return 255;
  return static_cast<std::uint8_t>(ratio);
}
float atLeastOne(float value) { return std::max(value, 1.0f); }

enum class Access { kRead, kRefused, kTaken };

// A read replies the stored record. A write takes the request's record into
// `incoming` when it is whole and its `floatCount` floats from byte
// `floatsAt` are finite (by default: all of it); its reply has length 0.
template <typename Record>
Access readOrTake(const char* handler, const Record& stored, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                  Record& incoming, std::size_t floatsAt = 0, std::size_t floatCount = sizeof(Record) / sizeof(float)) {
  if (rw == 0) {
    ReplyRecord(stored, params, len);
    return Access::kRead;
  }
  const bool taken =
      TakeRecord(handler, params, len, incoming) && FloatsFinite(handler, &incoming, floatsAt, floatCount);
  len = 0;
  return taken ? Access::kTaken : Access::kRefused;
}

std::uint32_t resultOf(Access access) { return access == Access::kRefused ? kRefused : 0; }

// One byte of the system parameters; a write stores what `take` makes of the
// request's byte and, when queued, leaves a placeholder.
template <typename Take>
std::uint32_t byteParam(const char* handler, std::uint8_t& stored, std::uint8_t rw, std::uint8_t* params,
                        std::uint32_t& len, bool isQueued, Take take) {
  if (rw == 0) {
    params[0] = stored;
    len = 1;
    return 0;
  }
  std::uint8_t value = 0;
  const bool taken = TakeRecord(handler, params, len, value);
  len = 0;
  if (!taken) return kRefused;
  take(value);
  if (isQueued) EnqueueParamPlaceholder();
  return 0;
}

// Percent ratio of the point-to-point common block, 1..100; written so that a
// value that is not a number is refused too.
bool ratioInRange(float ratio) { return ratio >= 1.0f && ratio <= 100.0f; }

}  // namespace

std::uint32_t OnControlType(tagSysParams* sysParams, std::uint8_t, std::uint8_t* params, std::uint32_t&, bool) {
  sysParams->controlType = params[0];
  CMD_LOG("Command %s executed(write)...protocolParams[0]:%d \r\n", __func__, params[0]);
  return 0;
}

std::uint32_t OnArmOrientation(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                               bool isQueued) {
  return byteParam(__func__, sysParams->armOrientation, rw, params, len, isQueued, [sysParams](std::uint8_t value) {
    if (value <= 1) sysParams->armOrientation = value;
  });
}

std::uint32_t OnTransition(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                           bool isQueued) {
  return byteParam(__func__, sysParams->transition, rw, params, len, isQueued,
                   [sysParams](std::uint8_t value) { sysParams->transition = std::min<std::uint8_t>(value, 100); });
}

std::uint32_t OnSpeedFactorParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                                  bool) {
  if (rw == 0) {
    params[0] = ratioByte(sysParams->speedFactorRatio);
    len = 1;
    CMD_LOG("Command %s executed(read) ... sysParams->speedFactorRatio: %f \r\n", __func__,
            static_cast<double>(sysParams->speedFactorRatio));
    return 0;
  }
  std::uint8_t value = 0;
  const bool taken = TakeRecord(__func__, params, len, value);
  len = 0;
  if (!taken) return kRefused;
  if (value < 1 || value > 100) {
    CMD_LOG(" sysParams->speedFactorRatio <1 or sysParams->speedFactorRatio >100!!!\r\n");
    return kRefused;
  }
  const float ratio = value;
  if (ratio != sysParams->speedFactorRatio) {
    sysParams->speedFactorRatio = ratio;
    sysParams->speedFactorRatioCopy = ratio;
    // Moves already planned are re-planned once queued execution runs again.
    if (sysParams->runQueuedCmd == 0) gbModifySpeedRatio = 1;
    guiModdifyCount = 0;
    std::uint32_t index = 0;
    ExterAxisRTU::setRate(ratio / 100.0f, &index);
  }
  CMD_LOG("Command %s executed(write) ... sysParams->speedFactorRatio: %f \r\n", __func__,
          static_cast<double>(sysParams->speedFactorRatio));
  return 0;
}

std::uint32_t OnManualSpeedParams(tagSysParams*, std::uint8_t, std::uint8_t*, std::uint32_t&, bool) { return 0; }

std::uint32_t OnJOGJointParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                               bool) {
  tagJOGJointParams p;
  const Access access = readOrTake(__func__, sysParams->jogJointParams, rw, params, len, p);
  if (access != Access::kTaken) return resultOf(access);
  for (int j = 0; j < 4; ++j) {
    p.velocity[j] = clampTo(p.velocity[j], 1.0f, 50.0f);
    p.acceleration[j] = clampTo(p.acceleration[j], 1.0f, 200.0f);
    CMD_LOG("jog jointParams:%1.3f %1.3f \r\n", static_cast<double>(p.velocity[j]),
            static_cast<double>(p.acceleration[j]));
  }
  sysParams->jogJointParams = p;
  return 0;
}

std::uint32_t OnJOGCoordinateParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                                    bool) {
  tagJOGCoordinateParams p;
  const Access access = readOrTake(__func__, sysParams->jogCoordinateParams, rw, params, len, p);
  if (access != Access::kTaken) return resultOf(access);
  for (int i = 0; i < 4; ++i) {
    p.velocity[i] = clampTo(p.velocity[i], 1.0f, 100.0f);
    p.acceleration[i] = clampTo(p.acceleration[i], 1.0f, 200.0f);
  }
  sysParams->jogCoordinateParams = p;
  return 0;
}

std::uint32_t OnJOGCommonParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                                bool) {
  tagJOGCommonParams p;
  const Access access = readOrTake(__func__, sysParams->jogCommonParams, rw, params, len, p);
  if (access != Access::kTaken) return resultOf(access);
  p.velocityRatio = clampTo(p.velocityRatio, 1.0f, 100.0f);
  p.accelerationRatio = clampTo(p.accelerationRatio, 1.0f, 100.0f);
  sysParams->jogCommonParams = p;
  return 0;
}

std::uint32_t OnINCHParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  tagINCHParams p;
  const Access access =
      readOrTake(__func__, sysParams->inchParams, rw, params, len, p, offsetof(tagINCHParams, distanceANG), 2);
  if (access != Access::kTaken) return resultOf(access);
  p.distanceANG = clampTo(p.distanceANG, 0.0f, 10.0f);
  p.distanceMM = clampTo(p.distanceMM, 0.0f, 10.0f);
  sysParams->inchParams = p;
  CMD_LOG("Command %s executed...isInch:%d,distanceANG:%f,distanceMM:%f  \r\n", __func__, static_cast<int>(p.isInch),
          static_cast<double>(p.distanceANG), static_cast<double>(p.distanceMM));
  return 0;
}

std::uint32_t OnPTPJointParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                               bool isQueued) {
  tagPTPJointParams p;
  const Access access = readOrTake(__func__, sysParams->ptpParams.joint, rw, params, len, p);
  if (access != Access::kTaken) return resultOf(access);
  double v[4][3];
  for (int j = 0; j < 4; ++j) {
    p.velocity[j] = atLeastOne(p.velocity[j]);
    p.acceleration[j] = atLeastOne(p.acceleration[j]);
    p.jerk[j] = atLeastOne(p.jerk[j]);
    v[j][0] = p.velocity[j];
    v[j][1] = p.acceleration[j];
    v[j][2] = p.jerk[j];
  }
  sysParams->ptpParams.joint = p;
  CMD_LOG(
      "cmd PTP JointParams:%1.3f %1.3f %1.3f\r\ncmd PTP JointParams: %1.3f %1.3f %1.3f\r\n cmd PTP "
      "JointParams:%1.3f %1.3f %1.3f\r\n %1.3f %1.3f %1.3f\r\n",
      v[0][0], v[0][1], v[0][2], v[1][0], v[1][1], v[1][2], v[2][0], v[2][1], v[2][2], v[3][0], v[3][1], v[3][2]);
  if (isQueued) EnqueueParamPlaceholder();
  return 0;
}

std::uint32_t OnPTPCoordinateParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                                    bool isQueued) {
  tagPTPCoordinateParams p;
  const Access access = readOrTake(__func__, sysParams->ptpParams.coordinate, rw, params, len, p);
  if (access != Access::kTaken) return resultOf(access);
  // The linear velocity is taken as sent.
  p.rVelocity = atLeastOne(p.rVelocity);
  p.xyzAcceleration = atLeastOne(p.xyzAcceleration);
  p.rAcceleration = atLeastOne(p.rAcceleration);
  p.xyzJerk = atLeastOne(p.xyzJerk);
  p.rJerk = atLeastOne(p.rJerk);
  sysParams->ptpParams.coordinate = p;
  CMD_LOG("cmd PTP CoorParams:xyz vaj %1.3f %1.3f %1.3f\r\n r vaj%1.3f %1.3f %1.3f\r\n",
          static_cast<double>(p.xyzVelocity), static_cast<double>(p.xyzAcceleration), static_cast<double>(p.xyzJerk),
          static_cast<double>(p.rVelocity), static_cast<double>(p.rAcceleration), static_cast<double>(p.rJerk));
  if (isQueued) EnqueueParamPlaceholder();
  return 0;
}

std::uint32_t OnPTPJumpParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                              bool isQueued) {
  tagPTPJumpParams p;
  // Two floats, then the planner's option word.
  const Access access = readOrTake(__func__, sysParams->ptpParams.jump, rw, params, len, p, 0, 2);
  if (access != Access::kTaken) return resultOf(access);
  sysParams->ptpParams.jump = p;
  CMD_LOG("cmd PTPJumpParams %1.3f %1.3f %d\r\n", static_cast<double>(p.jumpHeight), static_cast<double>(p.zLimit),
          static_cast<int>(p.option));
  if (isQueued) EnqueueParamPlaceholder();
  return 0;
}

std::uint32_t OnPTPJump2Params(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                               bool isQueued) {
  tagPTPJump2Params p;
  const Access access = readOrTake(__func__, sysParams->ptpParams.jump2, rw, params, len, p);
  if (access != Access::kTaken) return resultOf(access);
  sysParams->ptpParams.jump2 = p;
  CMD_LOG("test PTPJump2Params %1.3f %1.3f %1.3f\r\n", static_cast<double>(p.startJumpHeight),
          static_cast<double>(p.endJumpHeight), static_cast<double>(p.zLimit));
  if (isQueued) EnqueueParamPlaceholder();
  return 0;
}

std::uint32_t OnPTPCommonParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                                bool isQueued) {
  tagPTPCommonParams& stored = sysParams->ptpParams.common;
  if (rw == 0) {
    ReplyRecord(stored, params, len);
    return 0;
  }
  tagPTPCommonParams incoming;
  const bool taken = TakeRecord(__func__, params, len, incoming);
  len = 0;
  if (!taken) return kRefused;

  // Only these four are used; the other five follow from them.
  const struct {
    float value;
    const char* name;
  } checks[] = {{incoming.velocityRatio, "velocityRatio"},
                {incoming.accelerationRatio, "accelerationRatio"},
                {incoming.xyzVelocityRatio, "xyzVelocityRatio"},
                {incoming.xyzAccelerationRatio, "xyzAccelerationRatio"}};
  for (std::uint32_t i = 0; i < 4; ++i) {
    if (ratioInRange(checks[i].value)) continue;
    CMD_LOG(" CommonParams  %s <1 || CommonParams  %s > 100, index:%llu\r\n", checks[i].name, checks[i].name,
            static_cast<unsigned long long>(NextQueuedCmdIndex()));
    return i + 1;
  }

  stored.velocityRatio = incoming.velocityRatio;
  stored.accelerationRatio = incoming.accelerationRatio;
  stored.jerkRatio = incoming.accelerationRatio;
  stored.xyzVelocityRatio = incoming.xyzVelocityRatio;
  stored.rVelocityRatio = incoming.xyzVelocityRatio;
  stored.xyzAccelerationRatio = incoming.xyzAccelerationRatio;
  stored.rAccelerationRatio = incoming.xyzAccelerationRatio;
  stored.xyzJerkRatio = incoming.xyzAccelerationRatio;
  stored.rJerkRatio = incoming.xyzAccelerationRatio;
  CMD_LOG("CommonParams %1.3f %1.3f %1.3f  %1.3f\r\n", static_cast<double>(stored.velocityRatio),
          static_cast<double>(stored.accelerationRatio), static_cast<double>(stored.xyzVelocityRatio),
          static_cast<double>(stored.xyzAccelerationRatio));
  CMD_LOG("CommonParams jerk %1.3f %1.3f\r\n", static_cast<double>(stored.jerkRatio),
          static_cast<double>(stored.xyzJerkRatio));
  CMD_LOG("CommonParams r %1.3f %1.3f %1.3f\r\n", static_cast<double>(stored.rVelocityRatio),
          static_cast<double>(stored.rAccelerationRatio), static_cast<double>(stored.rJerkRatio));
  if (isQueued) EnqueueParamPlaceholder();
  return 0;
}
