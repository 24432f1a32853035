#include "common/command/latch_handlers.h"

#include <cstring>

#include "common/command/command_params.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/kernel_state.h"

static_assert(sizeof(tagLatchPose) == 20, "the latch pose is replied whole");
static_assert(sizeof(st_PoseTemplate_t) == sizeof gPoseTemplate);

namespace {

constexpr std::uint32_t kRefused = 1;

double d(float value) { return static_cast<double>(value); }

// A read replies one byte 0; a write stores the request's byte and repeats
// the request.
std::uint32_t latchByte(const char* handler, const char* line, std::uint8_t& stored, std::uint8_t rw,
                        std::uint8_t* params, std::uint32_t& len) {
  if (rw == 0) {
    params[0] = 0;
    len = 1;
    return 0;
  }
  std::uint8_t value = 0;
  if (!TakeRecord(handler, params, len, value)) return kRefused;
  stored = value;
  CMD_LOG(line, value);
  return 0;
}

}  // namespace

std::uint32_t OnSetLatch(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  return latchByte(__func__, "Command OnSetLatch num:%d\r\n", gLatchType, rw, params, len);
}

std::uint32_t OnLatchEnable(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  return latchByte(__func__, "Command OnLatchEnable num:%d\r\n", gLatchEnable, rw, params, len);
}

std::uint32_t OnGetLatchPos(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  const tagLatchPose pose = gstLatchPose;
  CMD_LOG("Command OnGetLatchPos is:%d x:%1.3f y:%1.3f z:%1.3f r:%1.3f\r\n", static_cast<int>(pose.valid), d(pose.x),
          d(pose.y), d(pose.z), d(pose.r));
  if (rw == 0) ReplyRecord(pose, params, len);
  return 0;
}

std::uint32_t OnSetLatchPosTemplate(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  if (rw == 0) {
    params[0] = 0;
    len = 1;
    return 0;
  }
  st_PoseTemplate_t pose;
  if (!TakeRecord(__func__, params, len, pose)) return kRefused;
  std::memcpy(gPoseTemplate, &pose, sizeof gPoseTemplate);
  CMD_LOG("gPoseTemplate x:%1.3f y:%1.3f z:%1.3f r:%1.3f\r\n", d(pose.x), d(pose.y), d(pose.z), d(pose.r));
  CMD_LOG("gPoseTemplate j1:%1.3f j2:%1.3f j3:%1.3f j4:%1.3f\r\n", d(pose.joint[0]), d(pose.joint[1]),
          d(pose.joint[2]), d(pose.joint[3]));
  return 0;
}
