#include "common/command/conveyor_handlers.h"

#include <cstddef>
#include <cstring>

#include "common/command/command_params.h"
#include "common/kernel/conveyor_state.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/packed_cmd_queue.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/conveyor_track.h"

namespace {

constexpr std::uint32_t kRefused = 1;
constexpr std::uint8_t kCameraSource = 1;
constexpr float kPi = 3.1415927f;
// The rotation of a frame: its fourth value, sent in degrees.
constexpr int kRotation = 3;

// The frames, matrix and work area of the record are one run of floats.
constexpr std::size_t kFloatRunAt = offsetof(Conveyor, conveyorFrame);
constexpr std::size_t kFloatRunCount = (offsetof(Conveyor, encoderChannel) - kFloatRunAt) / sizeof(float);
constexpr std::size_t kSingleFloatsAt[] = {offsetof(Conveyor, encoderResolution),
                                           offsetof(Conveyor, sensorRepeatDistance),
                                           offsetof(Conveyor, triggerDistance),
                                           offsetof(Conveyor, cameraRepeatDistance)};

bool conveyorFloatsFinite(const Conveyor& conveyor) {
  if (!FloatsFinite("OnSetConveyorParams", &conveyor, kFloatRunAt, kFloatRunCount)) return false;
  for (const std::size_t at : kSingleFloatsAt) {
    if (!FloatsFinite("OnSetConveyorParams", &conveyor, at, 1)) return false;
  }
  return true;
}

float degreesToRadians(float degrees) { return degrees / 180.0f * kPi; }

double d(float value) { return static_cast<double>(value); }

void logConveyor(const Conveyor& c) {
  CMD_LOG("test conveyor:%d %d %d \r\n", c.conveyorIndex, c.conveyorType, c.dataSource);
  CMD_LOG("cConv:%1.3f %1.3f %1.3f %1.3f %1.3f %1.3f\r\n", d(c.conveyorFrame[0]), d(c.conveyorFrame[1]),
          d(c.conveyorFrame[2]), d(c.conveyorFrame[3]), d(c.conveyorFrame[4]), d(c.conveyorFrame[5]));
  CMD_LOG("cVis:%1.3f %1.3f %1.3f %1.3f %1.3f %1.3f\r\n", d(c.visionFrame[0]), d(c.visionFrame[1]),
          d(c.visionFrame[2]), d(c.visionFrame[3]), d(c.visionFrame[4]), d(c.visionFrame[5]));
  CMD_LOG("visM:%1.3f %1.3f %1.3f %1.3f %1.3f %1.3f %1.3f %1.3f %1.3f\r\n", d(c.visionMatrix[0]),
          d(c.visionMatrix[1]), d(c.visionMatrix[2]), d(c.visionMatrix[3]), d(c.visionMatrix[4]),
          d(c.visionMatrix[5]), d(c.visionMatrix[6]), d(c.visionMatrix[7]), d(c.visionMatrix[8]));
  CMD_LOG("work:%1.3f %1.3f %1.3f\r\n", d(c.workArea[0]), d(c.workArea[1]), d(c.workArea[2]));
  CMD_LOG("encoder:%d %d %1.3f\r\n", c.encoderChannel, c.direction, d(c.encoderResolution));
  CMD_LOG("sensor:%d %d %1.3f\r\n", c.sensorInput, c.sensorTriggerType, d(c.sensorRepeatDistance));
  CMD_LOG("camera:%d %d %1.3f %1.3f %d %d %d\r\n", c.cameraTriggerOutput, c.cameraTriggerType, d(c.triggerDistance),
          d(c.cameraRepeatDistance), c.dataUnitType, c.imageHeight, c.imageWidth);
}

}  // namespace

std::uint32_t OnSetConveyorParams(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  if (rw == 0) return 0;
  Conveyor conveyor;
  const bool taken = TakeRecord(__func__, params, len, conveyor);
  len = 0;
  if (!taken) return kRefused;
  const std::uint32_t number = conveyor.conveyorIndex;
  if (number >= static_cast<std::uint32_t>(kEncoderChannels)) {
    CMD_LOG("Command %s executed...error: conveyor %u outside 0..%d  \r\n", __func__, static_cast<unsigned>(number),
            kEncoderChannels - 1);
    return kRefused;
  }
  if (!conveyorFloatsFinite(conveyor)) return kRefused;
  conveyor.conveyorFrame[kRotation] = degreesToRadians(conveyor.conveyorFrame[kRotation]);
  conveyor.visionFrame[kRotation] = degreesToRadians(conveyor.visionFrame[kRotation]);
  // A camera reports the object's rotation itself.
  if (conveyor.dataSource == kCameraSource) conveyor.visionFrame[kRotation] = 0.0f;
  gConveyor[number] = conveyor;
  // From now on the pause command runs the conveyor stop.
  encoder[number].inUse = 1;
  track1.desync();
  logConveyor(conveyor);
  return 0;
}

std::uint32_t OnSynCnv(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                       bool isQueued) {
  CMD_LOG("Command OnSynCnv isQueued:%d\r\n", isQueued ? 1 : 0);
  if (rw == 0) {
    params[0] = sysParams->refSysFlag;
    len = 1;
    return 0;
  }
  sysParams->refSysFlag = 1;
  CMD_LOG("SynCnv %d\r\n", sysParams->refSysFlag);
  len = 0;
  if (isQueued) EnqueueParamPlaceholder();
  return 0;
}

std::uint32_t OnStopSynCnv(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                           bool isQueued) {
  CMD_LOG("Command OnStopSynCnv isQueued:%d\r\n", isQueued ? 1 : 0);
  if (rw == 0) {
    params[0] = sysParams->refSysFlag;
    len = 1;
    return 0;
  }
  sysParams->refSysFlag = 0;
  CMD_LOG("StopSynCnv %d\r\n", sysParams->refSysFlag);
  len = 0;
  if (!isQueued) return 0;
  CMD_LOG("isQueued\r\n");
  PackedBaseCmd packed{};
  packed.type = kPackedStopSynCnv;
  return EnqueuePackedCmd(packed) ? 0 : kRefused;
}

// Read or write alike: the channel's current position.
std::uint32_t OnGetEncoder(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  const std::uint32_t channel = params[0];
  float position = 0.0f;
  if (channel < static_cast<std::uint32_t>(kEncoderChannels)) {
    position = static_cast<float>(gCurrentEncoder[channel].position);
    CMD_LOG("encoder %1.3f\r\n", static_cast<double>(position));
  } else {
    CMD_LOG("Command %s executed...error: channel %u outside 0..%d  \r\n", __func__, static_cast<unsigned>(channel),
            kEncoderChannels - 1);
  }
  ReplyRecord(position, params, len);
  return 0;
}

std::uint32_t OnSetCnvPointOffset(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  if (rw == 0) return 0;
  stConvPointOffset offset;
  const bool taken = TakeRecord(__func__, params, len, offset) && AllFloatsFinite(__func__, offset);
  len = 0;
  if (!taken) return kRefused;
  gConvPointOffset = offset;
  CMD_LOG("test ConvPointOffset:%1.3f %1.3f\r\n", d(offset.x), d(offset.y));
  return 0;
}

std::uint32_t OnSetCnvTimeCompensation(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                                       bool) {
  if (rw == 0) return 0;
  std::uint16_t compensation = 0;
  const bool taken = TakeRecord(__func__, params, len, compensation);
  len = 0;
  if (!taken) return kRefused;
  gCnvTimeCompensation = compensation;
  CMD_LOG("CnvTimeCompensation:%d\r\n", gCnvTimeCompensation);
  return 0;
}
