#include "common/util/json_util.h"
#include "json/project_records.h"
#include "exchange/command_lock.h"
#include "rpc_api/api_log.h"
#include "rpc_api/settings/one_integer.h"

// SpeedJ, AccJ, SpeedL, AccL, SpeedFactor, CP, LoadSwitch, SetCollisionLevel.
// A packet that carries the command's effect and gets no reply answers
// "-1,{},": the setting never reached the kernel.

namespace zelor::modules::rpcExecuteApis {

namespace {

constexpr int kMinRatio = 1;
constexpr int kMaxRatio = 100;

// Replaces one ratio of the kernel's common parameters and queues them all
// back, behind the moves already queued.
void updateRatio(const Args& args, std::string& reply, float tagPTPCommonParams::*ratio) {
  const std::optional<int> value = oneIntegerArg(args, reply, kMinRatio, kMaxRatio, "params:{}");
  if (!value) return;
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  // Read, change and write back with no other command's packet in between.
  const interface::CommandHold hold;
  tagPTPCommonParams param{};
  // Without the current ratios the eight others would be guesses: nothing
  // is written.
  if (!rpcExecuteApi::GetOldSpeedAndAccel(param)) {
    RPC_LOG_INFO("alloc_GetPTPCommonParams() error ,pack is nullptr");
    reply = kFailedReply;
    return;
  }
  param.*ratio = static_cast<float>(*value);
  RPC_LOG_INFO("ratio: {}", param.*ratio);
  constexpr bool isQueue = true;
  Packet* packet = api.alloc_SetPTPCommonParams(&param, isQueue);
  if (packet == nullptr) {
    RPC_LOG_INFO("alloc_SetPTPCommonParams(&param, isQueue) error ,pack is nullptr");
    reply = kFailedReply;
    return;
  }
  api.freePluginPacket(packet);
}

// Frees the reply; without one, logs the builder text and answers -1.
void settle(Packet* packet, std::string& reply, const char* failure) {
  if (packet == nullptr) {
    RPC_LOG_INFO("{}", failure);
    reply = kFailedReply;
    return;
  }
  rpcExecuteApi::Instance().freePluginPacket(packet);
}

}  // namespace

void rpcExecuteApi::SpeedJ(const Args& args, std::string& reply) {
  updateRatio(args, reply, &tagPTPCommonParams::velocityRatio);
}

void rpcExecuteApi::AccJ(const Args& args, std::string& reply) {
  updateRatio(args, reply, &tagPTPCommonParams::accelerationRatio);
}

void rpcExecuteApi::SpeedL(const Args& args, std::string& reply) {
  updateRatio(args, reply, &tagPTPCommonParams::xyzVelocityRatio);
}

void rpcExecuteApi::AccL(const Args& args, std::string& reply) {
  updateRatio(args, reply, &tagPTPCommonParams::xyzAccelerationRatio);
}

void rpcExecuteApi::SpeedFactor(const Args& args, std::string& reply) {
  const std::optional<int> ratio = oneIntegerArg(args, reply, kMinRatio, kMaxRatio, "params:{}");
  if (!ratio) return;
  RPC_LOG_INFO("update the global speed factor to {}!", *ratio);
  // The packet goes whether or not the setting was stored.
  zelor::common::util::JsonUtil::setSpeedFactor(st_common{static_cast<float>(*ratio)});
  settle(Instance().alloc_SetSpeedFactorParams(static_cast<unsigned char>(*ratio), false), reply,
         "alloc_SetSpeedFactorParams(ratio, 0) error ,pack is nullptr");
}

void rpcExecuteApi::CP(const Args& args, std::string& reply) {
  const std::optional<int> ratio = oneIntegerArg(args, reply, kMinRatio, kMaxRatio, "[CP] params:{}");
  if (!ratio) return;
  settle(Instance().alloc_SetTransitionCmd(static_cast<unsigned char>(*ratio), true), reply,
         "alloc_SetTransitionCmd(ratio, true) error ,pack is nullptr");
}

void rpcExecuteApi::LoadSwitch(const Args& args, std::string& reply) {
  const std::optional<int> status = oneIntegerArg(args, reply, 0, 1, "status: {}");
  if (!status) return;
  settle(Instance().alloc_loadSwitch(static_cast<unsigned char>(*status), true), reply,
         "alloc_loadSwitch(status, true) error ,pack is nullptr");
}

void rpcExecuteApi::SetCollisionLevel(const Args& args, std::string& reply) {
  const std::optional<int> level = oneIntegerArg(args, reply, 0, 5, nullptr);
  if (!level) return;
  settle(Instance().alloc_SetCollisionLevel(*level, true), reply,
         "alloc_SetCollisionLevel(level, isQueue) error ,pack is nullptr");
}

}  // namespace zelor::modules::rpcExecuteApis
