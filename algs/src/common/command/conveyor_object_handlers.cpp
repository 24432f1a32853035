#include "common/command/conveyor_object_handlers.h"

#include <cmath>
#include <cstring>

#include "common/command/command_log.h"
#include "common/kernel/conveyor_state.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/camera_correction.h"
#include "common/kinematics/kinematics_constants.h"

std::int32_t triggerCount = 0;

namespace {

constexpr std::uint8_t kTriggerCamera = 1;
// A resolution this small cannot turn a travel into millimetres.
constexpr double kMinResolution = 1e-9;

void replyNoObject(std::uint8_t* params, std::uint32_t& len) {
  const stConveyorObj none{};
  std::memcpy(params, &none, sizeof none);
  len = sizeof none;
}

}  // namespace

std::uint32_t OnGetCnvObject(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  CMD_LOG("Command OnGetCnvObject\r\n");
  const int n = params[0];
  if (n >= kConveyorCount) {
    replyNoObject(params, len);
    CMD_LOG("Command OnGetCnvObject conveyor %d out of range 0..%d\r\n", n, kConveyorCount - 1);
    return 0;
  }
  MulRobotConveyor::ObjectData& object = gNextCnvObject[n];
  if (object.available == 0) {
    replyNoObject(params, len);
    CMD_LOG("RingBufferIsEmpty\r\n");
    CMD_LOG("conveyorObjGet:%d %d %1.3f %1.3f %1.3f\r\n", 0, 0, 0.0, 0.0, 0.0);
    return 0;
  }
  const Conveyor& conveyor = gConveyor[n];
  // Other trigger kinds hand nothing over; the request comes back as it came.
  if (conveyor.dataSource > kTriggerCamera) return 0;

  const double position = gCurrentEncoder[n].position;
  const double resolution = conveyor.encoderResolution;
  const double travel = (position - object.encCount) / resolution;
  if (!std::isfinite(resolution) || std::fabs(resolution) <= kMinResolution || !std::isfinite(travel)) {
    replyNoObject(params, len);
    CMD_LOG("Command OnGetCnvObject conveyor %d: no travel from encoder resolution %f\r\n", n, resolution);
    return 0;
  }
  const double windowStart = conveyor.workArea[0];
  const double windowEnd = conveyor.workArea[2];
  if (travel > windowEnd) {
    CMD_LOG("sensor pickMax:%1.3f %1.3f %1.3f %1.3f\r\n", position, object.encCount, resolution, windowEnd);
    object.available = 0;  // passed the window: dropped
    replyNoObject(params, len);
    return 0;
  }
  if (travel <= windowStart) {
    replyNoObject(params, len);
    CMD_LOG("conveyorObjGet:%d %d %1.3f %1.3f %1.3f\r\n", 0, 0, 0.0, 0.0, 0.0);
    return 0;
  }

  CMD_LOG("sensor workmin:%1.3f %1.3f %1.3f %1.3f\r\n", position, object.encCount, resolution, windowStart);
  gOutObj.newObject = 1;
  gOutObj.captureCount = object.encCount;
  std::memcpy(&gConveyor0, &conveyor, sizeof gConveyor0);
  // A sensor object carries its position as it is, a camera object image pixels.
  Point2D at{object.x, object.y};
  if (conveyor.dataSource == kTriggerCamera) {
    Cal9PManual(conveyor.visionMatrix, conveyor.imageWidth, conveyor.imageHeight, at);
  }
  gOutObj.pose[0] = at.x;
  gOutObj.pose[1] = at.y;
  gOutObj.pose[2] = 0.0;
  gOutObj.pose[3] = object.r / 180.0 * kKinPi;
  gOutObj.pose[4] = 0.0;
  gOutObj.pose[5] = 0.0;
  object.available = 0;
  ++triggerCount;
  CMD_LOG("GetCnvObjectCount %d\r\n", triggerCount);
  gOutObj.reached = 0;

  stConveyorObj reply{};
  reply.objGetFlag = 1;
  reply.attribute = object.attribute;
  reply.x = static_cast<float>(at.x);
  reply.y = static_cast<float>(at.y);
  reply.r = object.r;
  std::memcpy(params, &reply, sizeof reply);
  len = sizeof reply;
  CMD_LOG("conveyorObjGet:%d %d %1.3f %1.3f %1.3f\r\n", 1, reply.attribute, reply.x, reply.y, reply.r);
  return 0;
}
