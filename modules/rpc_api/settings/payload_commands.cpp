#include <sys/ipc.h>
#include <sys/shm.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "common/ipc/payload_request.h"
#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/settings/payload_memory.h"

// SetPayLoad (the payload memory), SetLoad (the data server's text command)
// and PayLoad (packet 208, not in the command table).

namespace zelor::modules::rpcExecuteApis {

namespace {

using zelor::common::ipc::PayloadRequest;

constexpr double kMaxSetPayLoad = 1.5;
constexpr double kMaxPayLoad = 1000.0;

// The number, or nothing when it is not finite as a 32-bit float ("nan",
// "inf", or beyond the float range): it would reach the dynamics model so.
std::optional<double> finiteAsFloat(const std::string& text) {
  const double value = getDouble(text);
  if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) return std::nullopt;
  return value;
}

// Count min..max, all numbers; logs and leaves the error reply on failure.
bool numbersArgs(const Args& args, std::uint8_t min, std::uint8_t max, std::string& reply) {
  logArgs(args);
  if (!isParamsCountOk(min, max, args.size(), reply)) {
    RPC_LOG_ERROR("the number of params is wrong: {}", reply);
    return false;
  }
  if (!isDouble(args, reply)) {
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return false;
  }
  return true;
}

// The second value, when given, must be finite as a float: -30002.
bool secondValue(const Args& args, double& value, std::string& reply) {
  if (args.size() < 2) return true;
  const std::optional<double> second = finiteAsFloat(args[1]);
  if (!second) {
    reply = errorReply(kTypeErrorBase - 1);
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return false;
  }
  value = *second;
  return true;
}

}  // namespace

bool writePayloadMemory(const PayloadRequest& record) {
  const key_t key = ftok(zelor::common::ipc::kPayloadKeyPath, zelor::common::ipc::kPayloadKeyId);
  const int id = key == -1 ? -1 : shmget(key, zelor::common::ipc::kPayloadMemoryBytes, IPC_CREAT | 0666);
  void* memory = id == -1 ? reinterpret_cast<void*>(-1) : shmat(id, nullptr, 0);
  if (memory == reinterpret_cast<void*>(-1)) {
    RPC_LOG_ERROR("payload memory cannot be attached: {}", std::strerror(errno));
    return false;
  }
  zelor::common::ipc::publishPayloadRequest(memory, record);
  shmdt(memory);
  return true;
}

void rpcExecuteApi::SetPayLoad(const Args& args, std::string& reply) {
  if (!numbersArgs(args, 1, 2, reply)) return;
  const double payload = getDouble(args[0]);
  if (!isParamsRangeOk<double>(payload, 0.0, kMaxSetPayLoad, 1, reply)) {
    RPC_LOG_ERROR("the range of the params value is wrong:{}", reply);
    return;
  }
  double second = 0.0;
  if (!secondValue(args, second, reply)) return;

  PayloadRequest record{};
  if (args.size() > 1) record.inertiaX = record.inertiaY = record.inertiaZ = static_cast<float>(second);
  record.payload = static_cast<float>(payload);
  if (!writePayloadMemory(record)) {
    reply = kFailedReply;
    return;
  }
  RPC_LOG_INFO("set payload!");
}

void rpcExecuteApi::SetLoad(const Args& args, std::string& reply) {
  logArgs(args);
  std::string answer;
  remoteRawCmd("SetLoad", args, answer);
  RPC_LOG_INFO("set load!");
  // A refusal of the data server stays in the value, e.g. "0,{-2},".
  reply = answer == "CommunicationError" ? std::string(kFailedReply) : "0,{" + answer + "},";
}

void rpcExecuteApi::PayLoad(const Args& args, std::string& reply) {
  if (!numbersArgs(args, 2, 2, reply)) return;
  rpcExecuteApi& api = Instance();
  if (getPayMax(api.m_controllerType) == -1) {
    RPC_LOG_ERROR("unkowned robot type:{}", api.m_controllerType);
    reply = kFailedReply;
    return;
  }
  const double load = getDouble(args[0]);
  if (!isParamsRangeOk<double>(load, 0.0, kMaxPayLoad, 1, reply)) {
    RPC_LOG_ERROR("the range of the params value is wrong: {}", reply);
    return;
  }
  double second = 0.0;
  if (!secondValue(args, second, reply)) return;
  const _stLoadParams Params{load, second};
  Packet* packet = api.alloc_loadSet(&Params, true);
  if (packet == nullptr) {
    RPC_LOG_INFO("alloc_loadSet(&Params, true) error ,pack is nullptr");
    reply = kFailedReply;
    return;
  }
  api.freePluginPacket(packet);
}

}  // namespace zelor::modules::rpcExecuteApis
