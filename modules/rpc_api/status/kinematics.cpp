#include <cstring>

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/control/queue_control.h"

// The kernel's forward and inverse kinematics of a point in the stored frames.

namespace zelor::modules::rpcExecuteApis {

namespace {

constexpr int kFrameMax = 9;
constexpr std::size_t kResultCount = 6;

// The stored frame of the index into four floats; zero when it is not set.
bool putFrame(rpcExecuteApi::FrameKind kind, int index, float* out) {
  tagCoordParamsFull frame{};
  if (!rpcExecuteApi::frameOf(kind, index, frame)) return false;
  out[0] = frame.x;
  out[1] = frame.y;
  out[2] = frame.z;
  out[3] = frame.r;
  return true;
}

// The kernel's record; nothing when no reply came or one of another length.
std::optional<KinematicsPose> exchange(Packet* packet) {
  if (packet == nullptr) return std::nullopt;
  std::optional<KinematicsPose> result;
  if (packet->length == sizeof(KinematicsPose) + 2) {
    KinematicsPose pose{};
    std::memcpy(&pose, packet->params, sizeof pose);
    result = pose;
  }
  rpcExecuteApi::Instance().freePluginPacket(packet);
  return result;
}

std::string solutionReply(bool ok, const std::optional<KinematicsPose>& pose) {
  float values[kResultCount] = {};
  if (pose) std::memcpy(values, &*pose, sizeof values);
  return fmt::format("{},{{{:f},{:f},{:f},{:f},{:f},{:f}}},", ok ? 0 : -1, values[0], values[1], values[2], values[3],
                     values[4], values[5]);
}

// Numbers at 0 .. numbers - 1, user and tool indices (0 .. 9) right after.
bool checkPoint(const Args& args, std::size_t numbers, std::string& reply) {
  if (!isDouble(args, 0, numbers, reply) || !isInteger(args, numbers, numbers + 2, reply)) {
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return false;
  }
  if (!isParamsRangeOk<int>(getInt(args[numbers]), 0, kFrameMax, numbers + 1, reply) ||
      !isParamsRangeOk<int>(getInt(args[numbers + 1]), 0, kFrameMax, numbers + 2, reply)) {
    RPC_LOG_ERROR("the range of the params value is wrong: {}", reply);
    return false;
  }
  return true;
}

}  // namespace

void rpcExecuteApi::PositiveSolution(const Args& args, std::string& reply) {
  logArgs(args);
  if (!countOk(args, 8, 8, reply)) return;
  constexpr std::size_t kNumbers = 6;
  if (!checkPoint(args, kNumbers, reply)) return;
  KinematicsPose request{};
  for (std::size_t i = 0; i < 4; ++i) request.position[i] = static_cast<float>(getDouble(args[i]));
  RPC_LOG_INFO("interForwardCal......:{};{};{};{}", request.position[0], request.position[1], request.position[2],
               request.position[3]);
  const int user = getInt(args[kNumbers]);
  const int tool = getInt(args[kNumbers + 1]);
  reloadFrames();
  RPC_LOG_INFO(" #### interForwardCal:tool index : {}", tool);
  RPC_LOG_INFO("interForwardCal:toolValue index : {}, isok: {}", tool, putFrame(FrameKind::Tool, tool, request.tool));
  RPC_LOG_INFO("interForwardCal:user index : {}, isok: {}", user, putFrame(FrameKind::User, user, request.user));
  const std::optional<KinematicsPose> pose = exchange(Instance().alloc_GetPointForwardCal(&request));
  if (!pose) RPC_LOG_INFO("alloc_GetPointForwardCal(&pose) error ,pack is nullptr");
  reply = solutionReply(pose && pose->result == 0, pose);
}

void rpcExecuteApi::InverseSolution(const Args& args, std::string& reply) {
  logArgs(args);
  const std::size_t numbers = args.size() > 7 ? 6 : 4;
  if (!countOk(args, static_cast<std::uint8_t>(numbers + 2), static_cast<std::uint8_t>(numbers + 3), reply)) return;
  if (!checkPoint(args, numbers, reply)) return;
  KinematicsPose request{};
  for (std::size_t i = 0; i < 4; ++i) request.position[i] = static_cast<float>(getDouble(args[i]));
  const double extra0 = numbers == 6 ? getDouble(args[4]) : 0.0;
  const double extra1 = numbers == 6 ? getDouble(args[5]) : 0.0;
  RPC_LOG_INFO("interInverseCal......:{};{};{};{};{};{};", request.position[0], request.position[1],
               request.position[2], request.position[3], extra0, extra1);
  const int user = getInt(args[numbers]);
  const int tool = getInt(args[numbers + 1]);
  reloadFrames();
  RPC_LOG_INFO(" #### interInverseCal:tool index : {}", tool);
  RPC_LOG_INFO("interInverseCal:tool index : {}, isok: {}", tool, putFrame(FrameKind::Tool, tool, request.tool));
  RPC_LOG_INFO("interInverseCal:user index : {}, isok: {}", user, putFrame(FrameKind::User, user, request.user));
  if (args.size() == numbers + 3) {
    if (!isInteger(args, numbers + 2, numbers + 3, reply)) {
      RPC_LOG_ERROR("the type of params is wrong: {}", reply);
      return;
    }
    request.handType = getInt(args[numbers + 2]) > 0 ? 1 : 0;
    request.usedefhandType = 0;
  } else {
    request.handType = 0;
    request.usedefhandType = 1;
  }
  const std::optional<KinematicsPose> pose = exchange(Instance().alloc_GetPointInverseCal(&request));
  RPC_LOG_INFO("handType:{}, usedefhandType: {}, result:{}", request.handType, request.usedefhandType,
               pose ? pose->result : -1);
  reply = solutionReply(pose && pose->result == 0, pose);
}

}  // namespace zelor::modules::rpcExecuteApis
