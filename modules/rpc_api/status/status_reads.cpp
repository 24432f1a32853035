#include <cstdlib>
#include <cstring>

#include "common/ipc/robot_map.h"
#include "common/util/json_util.h"
#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/control/queue_control.h"
#include "rpc_api/status/robot_mode.h"

// Status reads: joint angles, pose, robot mode, error list and serial number.

namespace zelor::modules::rpcExecuteApis {

namespace {

constexpr std::size_t kAngleCount = 6;

// Copies a reply of at least the record's size and frees the packet; false
// when none came, or a shorter one.
template <typename Record>
bool takeRecord(Packet* packet, Record& record) {
  if (packet == nullptr) return false;
  const bool whole = packet->length >= sizeof(Record) + 2;
  if (whole) std::memcpy(&record, packet->params, sizeof record);
  rpcExecuteApi::Instance().freePluginPacket(packet);
  return whole;
}

// Copies the stored frame of the index (zero when it is not set) as doubles.
void putFrame(rpcExecuteApi::FrameKind kind, int index, double* out, const char* name) {
  tagCoordParamsFull frame{};
  const bool set = rpcExecuteApi::frameOf(kind, index, frame);
  RPC_LOG_INFO("{} index : {}, isok: {}", name, index, set);
  if (!set) return;
  out[0] = frame.x;
  out[1] = frame.y;
  out[2] = frame.z;
  out[3] = frame.r;
}

}  // namespace

void rpcExecuteApi::GetAngle(const Args& args, std::string& reply) {
  logArgs(args);
  if (!countOk(args, 0, 0, reply)) return;
  float angles[kAngleCount] = {};
  if (!takeRecord(Instance().alloc_GetJointAngle(), angles)) return refuse(reply, "recv a nullptr !!!");
  RPC_LOG_INFO("{},{},{},{},{},{}", angles[0], angles[1], angles[2], angles[3], angles[4], angles[5]);
  reply = fmt::format("0,{{{:f},{:f},{:f},{:f},{:f},{:f}}},", angles[0], angles[1], angles[2], angles[3], angles[4],
                      angles[5]);
}

void rpcExecuteApi::GetPose(const Args& args, std::string& reply) {
  logArgs(args);
  if (args.size() != 0 && args.size() != 2) {
    reply = errorReply(kCountErrorId);
    RPC_LOG_ERROR("the number of params is wrong: {}", reply);
    return;
  }
  int user = word(robot_map::kCurrentUser);
  int tool = word(robot_map::kCurrentTool);
  if (args.size() == 2) {
    user = static_cast<int>(std::strtol(args[0].c_str(), nullptr, 10));
    tool = static_cast<int>(std::strtol(args[1].c_str(), nullptr, 10));
  }
  reloadFrames();
  tagGetPoseInput input{};
  putFrame(FrameKind::User, user, input.user, "user");
  putFrame(FrameKind::Tool, tool, input.tool, "tool");
  tagGetPoseOutput pose{};
  if (!takeRecord(Instance().alloc_GetPose(input), pose)) return refuse(reply, "recv a nullptr !!!");
  double further[2] = {};
  std::memcpy(further, pose.reserved, sizeof further);
  const std::string hand(pose.hand, strnlen(pose.hand, sizeof pose.hand));
  const std::string text =
      fmt::format("{{{:f},{:f},{:f},{:f},{:f},{:f},{}}}", pose.x, pose.y, pose.z, pose.r, further[0], further[1], hand);
  RPC_LOG_INFO("pose coordinate:{}", text);
  reply = "0," + text + ",";
}

void rpcExecuteApi::RobotMode(const Args& args, std::string& reply) {
  logArgs(args);
  const std::int32_t mode = recordRobotMode().value_or(-1);
  RPC_LOG_INFO("status:{}:{}", mode, robotModeName(mode));
  reply = fmt::format("0,{{{}}},", mode);
}

void rpcExecuteApi::GetErrorID(const Args& args, std::string& reply) {
  logArgs(args);
  if (!countOk(args, 0, 0, reply)) return;
  std::string answer;
  remoteRawCmd("GetErrorID", {}, answer);
  reply = answer == "CommunicationError" ? std::string(kFailedReply) : "0,{" + answer + "},";
}

void rpcExecuteApi::GetSerialNum(const Args& args, std::string& reply) {
  logArgs(args);
  std::string serial;
  if (zelor::common::util::JsonUtil::getSNcode(serial) != 1) return refuse(reply, "get serial number failed");
  reply = "0,{" + serial + "},";
}

}  // namespace zelor::modules::rpcExecuteApis
