#include <cstdlib>

#include "exchange/command_lock.h"
#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/control/queue_control.h"

// Queue and run control: start, stop and clear the kernel's command queue,
// the control type, Begin / End of remote operation, and the emergency stop.

namespace zelor::modules::rpcExecuteApis {

namespace {

// Sends one packet; a lost reply answers "-1,{},".
void effect(Packet* packet, const char* failure, std::string& reply) {
  if (!sendOnly(packet, failure)) reply = kFailedReply;
}

void controlType(char type, std::string& reply) {
  if (!sendControlType(type)) reply = kFailedReply;
}

}  // namespace

void rpcExecuteApi::SetQueuedCmdStartExec(const Args&, std::string& reply) {
  effect(Instance().alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error ,pack is nullptr", reply);
}

void rpcExecuteApi::SetQueuedCmdStopExec(const Args&, std::string& reply) {
  effect(Instance().alloc_SetQueuedCmdStopExec(), "alloc_SetQueuedCmdStopExec() error ,pack is nullptr", reply);
}

void rpcExecuteApi::SetQueuedCmdForceStopExec(const Args&, std::string& reply) {
  effect(Instance().alloc_SetQueuedCmdForceStopExec(true), "alloc_SetQueuedCmdForceStopExec(1) error ,pack is nullptr",
         reply);
}

void rpcExecuteApi::SetQueuedCmdStopClear(const Args&, std::string& reply) {
  effect(Instance().alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error ,pack is nullptr", reply);
}

void rpcExecuteApi::SetQueuedCmdClear(const Args&, std::string& reply) {
  effect(Instance().alloc_SetQueuedCmdClear(), "alloc_SetQueuedCmdClear() error ,pack is nullptr", reply);
}

// The two reads only ask; their values stay out of the reply.
void rpcExecuteApi::GetQueuedCmdCurrentIndex(const Args&, std::string&) {
  sendOnly(Instance().alloc_GetQueuedCmdCurrentIndex(), "alloc_GetQueuedCmdCurrentIndex() error ,pack is nullptr");
}

void rpcExecuteApi::GetQueuedCmdLeftSpace(const Args&, std::string&) {
  sendOnly(Instance().alloc_GetQueuedCmdLeftSpace(), "alloc_GetQueuedCmdLeftSpace() error ,pack is nullptr");
}

void rpcExecuteApi::StartRobot(const Args& args, std::string& reply) { SetQueuedCmdStartExec(args, reply); }

void rpcExecuteApi::StopRobot(const Args& args, std::string& reply) { SetQueuedCmdStopClear(args, reply); }

void rpcExecuteApi::AutoManual_Auto(const Args& args, std::string& reply) {
  logArgs(args);
  controlType(controlType_auto, reply);
}

void rpcExecuteApi::AutoManual_Manual(const Args& args, std::string& reply) {
  logArgs(args);
  controlType(controlType_manual, reply);
}

void rpcExecuteApi::Begin(const Args& args, std::string& reply) {
  setWord(robot_map::kControlType, 1);
  setWord(robot_map::kScriptStatus, 1);
  setWord(robot_map::kPauseCopy, 0);
  const interface::CommandHold hold;
  sendControlType(controlType_auto);
  SetQueuedCmdStartExec(args, reply);
}

void rpcExecuteApi::End(const Args& args, std::string& reply) {
  setWord(robot_map::kControlType, 2);
  setWord(robot_map::kScriptStatus, 0);
  setWord(robot_map::kPauseCopy, 0);
  const interface::CommandHold hold;
  sendControlType(controlType_manual);
  SetQueuedCmdStopExec(args, reply);
}

void rpcExecuteApi::EmergencyStop(const Args& args, std::string& reply) {
  logArgs(args);
  if (!countOk(args, 0, 0, reply)) return;
  setWord(robot_map::kEStopRequest, 1);
  RPC_LOG_INFO("request emergency stop from tcp/ip command");
}

void rpcExecuteApi::test(const Args& args, std::string& reply) {
  constexpr std::size_t kNeeded = 4;
  if (args.size() < kNeeded) {
    RPC_LOG_ERROR("index {} larger than max {} ", kNeeded - 1, args.size());
    reply = errorReply(kCountErrorId);
    return;
  }
  const long integer = std::strtol(args[0].c_str(), nullptr, 10);
  const double real = std::strtod(args[1].c_str(), nullptr);
  const std::string& text = args[2];
  const std::string& pair = args[3];
  const std::size_t equals = pair.find('=');
  if (equals == std::string::npos) {
    RPC_LOG_ERROR("get kv {} faild! str:{} ", 3, pair);
    reply = "-40003," + reply + ";";
    return;
  }
  RPC_LOG_INFO("int    = {}", integer);
  RPC_LOG_INFO("double = {}", real);
  RPC_LOG_INFO("string = {}", text);
  RPC_LOG_INFO("k = {},v = {}", pair.substr(0, equals), pair.substr(equals + 1));
  RPC_LOG_INFO("[{}] exit ....", __func__);
}

}  // namespace zelor::modules::rpcExecuteApis
