#include "common/command/pose_frame_handlers.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "common/command/command_params.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/packed_cmd_queue.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"
#include "common/kinematics/kinematics_state.h"

namespace {

constexpr std::uint32_t kRefused = 1;
// Frame values above this are refused; there is no lower bound.
constexpr float kFrameLimit = 1000.0f;

JointTheta currentJoints(const tagSysParams& sys) {
  JointTheta joints;
  std::memcpy(&joints, &sys.joint, sizeof joints);
  return joints;
}

// x, y, z, r of a group of the pose query as a frame record.
tagCoordParamsFull frameOf(const double* group) {
  return {0, static_cast<float>(group[0]), static_cast<float>(group[1]), static_cast<float>(group[2]),
          static_cast<float>(group[3])};
}

// Every value finite and none above the limit. A value that is not a number
// would pass the limit, so it is refused first.
bool frameAccepted(const tagCoordParamsFull& frame) {
  for (const float value : {frame.x, frame.y, frame.z, frame.r}) {
    if (!std::isfinite(value) || value > kFrameLimit) return false;
  }
  return true;
}

void logFour(const char* format, double a, double b, double c, double d) { CMD_LOG(format, a, b, c, d); }

// What a frame write does, for the user frame (250) or the tool frame (251).
struct FrameCommand {
  const char* handler;
  const char* errorLine;
  const char* valuesLine;
  const char* indexLine;
  PackedCmdType queuedType;
  tagCoordParamsFull tagSysParams::*requested;
  tagCoordParamsFull* inForce;
};

std::uint32_t frameCommand(const FrameCommand& cmd, tagSysParams* sys, std::uint8_t rw, std::uint8_t* params,
                           std::uint32_t& len, bool isQueued) {
  if (rw == 0) {
    ReplyRecord(sys->*cmd.requested, params, len);
    return 0;
  }
  tagCoordParamsFull frame;
  const bool taken = TakeRecord(cmd.handler, params, len, frame);
  len = 0;
  if (!taken) return kRefused;
  if (!frameAccepted(frame)) {
    CMD_LOG("%s", cmd.errorLine);
    return kRefused;
  }
  sys->*cmd.requested = frame;
  std::uint32_t result = 0;
  if (isQueued) {
    PackedBaseCmd packed{};
    packed.type = cmd.queuedType;
    std::memcpy(packed.body.bytes, &frame, sizeof frame);
    if (!EnqueuePackedCmd(packed)) result = kRefused;
  } else {
    *cmd.inForce = frame;
  }
  logFour(cmd.valuesLine, frame.x, frame.y, frame.z, frame.r);
  CMD_LOG(cmd.indexLine, static_cast<int>(frame.index));
  return result;
}

}  // namespace

std::uint32_t OnGetPose(tagSysParams* sysParams, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  tagGetPoseInput input;
  std::memcpy(&input, params, sizeof input);
  const JointTheta joints = currentJoints(*sysParams);
  const tagToolParams tool = frameOf(input.tool);
  const tagLocalParams user = frameOf(input.user);
  WCSPosition pose;
  W7ForwardCal(&joints, &pose);
  CalcT0toTool(tool, &pose);
  CalCordToLocal(&pose, &pose, &user);

  tagGetPoseOutput reply{};
  const char* hand = joints.j2 >= 0.0 ? "Right" : "Left";
  std::strncpy(reply.hand, hand, sizeof reply.hand);
  reply.x = pose.x;
  reply.y = pose.y;
  reply.z = pose.z;
  reply.r = pose.r;
  CMD_LOG("Command OnGetPose %s\r\n", hand);
  logFour("Command OnGetPose getPoseInput user %1.3f,%1.3f,%1.3f,%1.3f\r\n", input.user[0], input.user[1],
          input.user[2], input.user[3]);
  logFour("Command OnGetPose getPoseInput tool %1.3f,%1.3f,%1.3f,%1.3f\r\n", input.tool[0], input.tool[1],
          input.tool[2], input.tool[3]);
  logFour("Command OnGetPose getPoseOutput user %1.3f,%1.3f,%1.3f,%1.3f\r\n", pose.x, pose.y, pose.z, pose.r);
  ReplyRecord(reply, params, len);
  return 0;
}

// A flag takes joint 2's home value from the two angles; the pose reset runs
// either way, unless the request is refused.
std::uint32_t OnResetPose(tagSysParams* sysParams, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  tagResetPose request;
  const bool taken = TakeRecord(__func__, params, len, request);
  len = 0;
  if (!taken) return kRefused;
  if (request.flag != 0) {
    if (!FloatsFinite(__func__, &request, offsetof(tagResetPose, a), 2)) return kRefused;
    homeOffset = currentJoints(*sysParams).j2 - (static_cast<double>(request.a) + request.b) * 0.5;
  }
  gRobotPrfMode = kPrfPoseReset;
  CMD_LOG("Command OnResetPose %1.3f\r\n", homeOffset);
  return 0;
}

std::uint32_t OnGetAngle(tagSysParams* sysParams, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  const JointTheta joints = currentJoints(*sysParams);
  float reply[8] = {static_cast<float>(joints.j1), static_cast<float>(joints.j2), static_cast<float>(joints.j3),
                    static_cast<float>(joints.j4)};
  logFour("Command OnGetAngle %1.3f,%1.3f,%1.3f,%1.3f\r\n", reply[0], reply[1], reply[2], reply[3]);
  ReplyRecord(reply, params, len);
  return 0;
}

// Time and blend time of the entry in execution and of the next one.
std::uint32_t OnUserParam(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  const float reply[8] = {static_cast<float>(gPreDealData.entryTime),
                          static_cast<float>(gPreDealData.blendTime),
                          static_cast<float>(gNextPreDealData.entryTime),
                          static_cast<float>(gNextPreDealData.blendTime),
                          5.0f, 6.0f, 7.0f, 8.0f};
  ReplyRecord(reply, params, len);
  return 0;
}

std::uint32_t OnLocalParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                            bool isQueued) {
  static const FrameCommand kUser{__func__,
                                      "LocalParams error!\r\n",
                                      "Command OnLocalParams::%1.3f %1.3f %1.3f %1.3f \r\n",
                                      "Command OnLocalParams user:%d\r\n",
                                      kPackedLocalParams,
                                      &tagSysParams::localParams,
                                      &gLocalParams};
  return frameCommand(kUser, sysParams, rw, params, len, isQueued);
}

std::uint32_t OnToolParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                           bool isQueued) {
  static const FrameCommand kTool{__func__,
                                      "ToolParams error!\r\n",
                                      "Command OnToolParams::%1.3f %1.3f %1.3f %1.3f\r\n",
                                      "Command OnToolParams tool:%d\r\n",
                                      kPackedToolParams,
                                      &tagSysParams::toolParams,
                                      &gToolParams};
  return frameCommand(kTool, sysParams, rw, params, len, isQueued);
}
