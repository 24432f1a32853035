#include "common/command/point_conversion_handlers.h"

#include <cstring>

#include "common/command/command_params.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/kinematics.h"
#include "common/math/transform4.h"

namespace {

constexpr int kPositionWord = 0;
constexpr int kUserWord = 4;
constexpr int kToolWord = 8;
// Position, user frame and tool: the floats a conversion reads.
constexpr std::size_t kPoseFloats = 12;
constexpr std::size_t kFrameFloats = 4;

// A request of the right length whose floats are all finite; otherwise the
// reply has length 0, which clients take as no reply.
bool takeable(const char* handler, const std::uint8_t* params, std::uint32_t& len) {
  if (len != sizeof(KinematicsPose)) {
    len = 0;
    return false;
  }
  if (!FloatsFinite(handler, params, 0, kPoseFloats)) {
    len = 0;
    return false;
  }
  return true;
}

// Six consecutive 32-bit words of the request from `word` on, printed as floats.
void logWords(const char* label, const std::uint8_t* params, int word) {
  float v[6];
  std::memcpy(v, params + word * sizeof(float), sizeof v);
  CMD_LOG("%s %f,%f,%f,%f,%f,%f", label, v[0], v[1], v[2], v[3], v[4], v[5]);
}

void logSix(const char* label, const float* v) {
  CMD_LOG("%s %f,%f,%f,%f,%f,%f", label, v[0], v[1], v[2], v[3], v[4], v[5]);
}

// The frames of the request; their index words are not given.
tagToolParams toolOf(const KinematicsPose& kp) { return tagToolParams{0, kp.tool[0], kp.tool[1], kp.tool[2], kp.tool[3]}; }
tagLocalParams userOf(const KinematicsPose& kp) {
  return tagLocalParams{0, kp.user[0], kp.user[1], kp.user[2], kp.user[3]};
}

// Frame {x, y, z, r in degrees} as a 4 x 4 transform rotated about z.
void frameTransform(const float* frame, double (*T)[4]) {
  const double pose[6] = {frame[0], frame[1], frame[2], frame[3] / 180.0 * kKinPi, 0.0, 0.0};
  cart2T(pose, T);
}

}  // namespace

std::uint32_t OnPointForwardCal(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  if (!takeable(__func__, params, len)) return 0;
  logWords("Command OnPointForwardCal input position: \r\n", params, kPositionWord);
  logWords("Command OnPointForwardCal input tool: \r\n", params, kToolWord);
  logWords("Command OnPointForwardCal input user: \r\n", params, kUserWord);
  KinematicsPose kp;
  std::memcpy(&kp, params, sizeof kp);
  const JointTheta joints{kp.position[0], kp.position[1], kp.position[2], kp.position[3]};
  WCSPosition pose{};
  ForwardCal(joints, &pose, toolOf(kp), userOf(kp));
  kp.position[0] = static_cast<float>(pose.x);
  kp.position[1] = static_cast<float>(pose.y);
  kp.position[2] = static_cast<float>(pose.z);
  kp.position[3] = static_cast<float>(pose.r);
  kp.result = 0;
  std::memcpy(params, &kp, sizeof kp);
  logWords("Command OnPointForwardCal output position: \r\n", params, kPositionWord);
  len = sizeof kp;
  return 0;
}

std::uint32_t OnPointInverseCal(tagSysParams* sysParams, std::uint8_t, std::uint8_t* params, std::uint32_t& len,
                                bool) {
  if (!takeable(__func__, params, len)) return 0;
  logWords("Command OnPointInverseCal input position: \r\n", params, kPositionWord);
  logWords("Command OnPointInverseCal input tool: \r\n", params, kToolWord);
  logWords("Command OnPointInverseCal input user: \r\n", params, kUserWord);
  KinematicsPose kp;
  std::memcpy(&kp, params, sizeof kp);
  bool armOrientation = kp.handType != 0;
  if (kp.usedefhandType != 0) {
    armOrientation = sysParams->armOrientation != 0;
    kp.handType = armOrientation ? 1 : 0;
  }
  CMD_LOG("Command OnPointInverseCal sysParams armOrientation: %d \r\n", sysParams->armOrientation);
  CMD_LOG("Command OnPointInverseCal kinematicsPose handType: %d \r\n", armOrientation ? 1 : 0);

  const WCSPosition pose{kp.position[0], kp.position[1], kp.position[2], kp.position[3]};
  const tagToolParams tool = toolOf(kp);
  const tagLocalParams user = userOf(kp);
  JointTheta joints{};
  kp.result = InverseCal(&pose, armOrientation, &joints, kCheckAllJoints, &tool, &user);
  const bool solved = kp.result == kKinOk;
  kp.position[0] = solved ? static_cast<float>(joints.j1) : 0.0f;
  kp.position[1] = solved ? static_cast<float>(joints.j2) : 0.0f;
  kp.position[2] = solved ? static_cast<float>(joints.j3) : 0.0f;
  kp.position[3] = solved ? static_cast<float>(joints.j4) : 0.0f;
  std::memcpy(params, &kp, sizeof kp);
  logWords("Command OnPointInverseCal output position: \r\n", params, kPositionWord);
  len = sizeof kp;
  return 0;
}

std::uint32_t OnCalcUser(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  CorrectParams_t cp;
  std::memcpy(&cp, params, sizeof cp);
  CMD_LOG("Command %s executed...   correctParams.matrix_direction:%d \r\n", "OnCalcUser", cp.matrix_direction);
  logSix("correctParams.coordinate:\r\n", cp.coordinate);
  logSix("correctParams.diff:\r\n", cp.diff);
  // x, y, z, r of both groups; a value that is not finite would reply a frame
  // of NaNs.
  if (!FloatsFinite(__func__, cp.diff, 0, kFrameFloats) || !FloatsFinite(__func__, cp.coordinate, 0, kFrameFloats)) {
    len = 0;
    return 0;
  }

  double frame[4][4];
  double offset[4][4];
  frameTransform(cp.coordinate, frame);
  frameTransform(cp.diff, offset);
  double result[4][4] = {};
  if (cp.matrix_direction == 0) {
    matMul4(frame, offset, result);  // the offset in the frame's own axes
  } else if (cp.matrix_direction == 1) {
    matMul4(offset, frame, result);  // the offset in the axes the frame is given in
  }
  double pose[6];
  T2Cart(result, pose);
  const float reply[6] = {static_cast<float>(pose[0]), static_cast<float>(pose[1]), static_cast<float>(pose[2]),
                          static_cast<float>(pose[3] / kKinPi * 180.0), 0.0f, 0.0f};
  std::memcpy(params, reply, sizeof reply);
  len = sizeof reply;
  logSix("ret:\r\n", reply);
  return 0;
}
