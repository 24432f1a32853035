#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "exchange/command_lock.h"
#include "rpc_api/api_log.h"
#include "rpc_api/control/queue_control.h"

// Switching the robot off, clearing its errors, resetting and pausing it.

namespace zelor::modules::rpcExecuteApis {

namespace {

using namespace std::chrono_literals;

constexpr int kDisablePolls = 11;
constexpr auto kDisablePollPeriod = 1s;
constexpr auto kQueueSettle = 160ms;
constexpr std::uint32_t kExterAxisPause = 19;

// The enable status of id 41 (non-zero: disabled); nothing when no reply, or
// one without its byte, came: the robot is then not known to be off.
std::optional<int> readDisabledStatus() {
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  Packet* packet = api.alloc_GetHHTTrigOutputEnabled();
  if (packet == nullptr) {
    RPC_LOG_INFO("receive a nullptr");
    return std::nullopt;
  }
  std::optional<int> status;
  if (packet->length >= 3) status = packet->params[0];
  api.freePluginPacket(packet);
  return status;
}

// Ends every interpreter, the data server's script's too.
void stopLuaProcesses() {
  const int status = std::system("pkill lua");
  RPC_LOG_INFO("pkill lua: {}", status);
}

// The project's external-axis switch, read afresh.
bool slideRailConfigured() {
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  std::lock_guard lock(api.m_projectMutex);
  api.m_projectReader.st_extAxis_load();
  return api.m_projectReader.extAxis.auxJoint;
}

}  // namespace

void rpcExecuteApi::DisableRobot(const Args& args, std::string& reply) {
  logArgs(args);
  if (word(robot_map::kIsErr) != 0) return refuse(reply, "under error status ...  can not DisableRobot !");
  if (!countOk(args, 0, 0, reply)) return;
  setWord(robot_map::kDisableRequest, 1);
  RPC_LOG_INFO("request disable robot here .... ");
  for (int poll = 1; poll <= kDisablePolls; ++poll) {
    if (poll > 1) std::this_thread::sleep_for(kDisablePollPeriod);
    const std::optional<int> status = readDisabledStatus();
    RPC_LOG_INFO(" ... wait enable status: {}", status.value_or(0));
    if (status.value_or(0) != 0) {
      reply = kDoneReply;
      sendOnly(Instance().alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error ,pack is nullptr");
      stopLuaProcesses();
      setWord(robot_map::kScriptStatus, 0);
      setWord(robot_map::kControlType, 2);
      RPC_LOG_INFO(" script_status  change to stopped");
      return;
    }
  }
  refuse(reply, " ... wait disable status over time !!! quit with faild ");
}

void rpcExecuteApi::ClearError(const Args& args, std::string& reply) {
  logArgs(args);
  if (!countOk(args, 0, 0, reply)) return;
  if (word(robot_map::kUnderEmergency) != 0) return refuse(reply, "can not clear error under emergency stop ..... ");
  setWord(robot_map::kClearErrorRequest, 1);
  const interface::CommandHold hold;
  sendOnly(Instance().alloc_ClearAllAlarmsState(), "alloc_ClearAllAlarmsState() error ,pack is nullptr");
  std::string answer;
  remoteRawCmd("ClearCollision", {}, answer);
  reply = answer == "CommunicationError" ? kFailedReply : kDoneReply;
}

void rpcExecuteApi::ResetRobot(const Args& args, std::string& reply) {
  logArgs(args);
  if (word(robot_map::kIsErr) != 0) return refuse(reply, "under error status ...  can not ResetRobot !");
  if (word(robot_map::kScriptStatus) == 1) {
    return refuse(reply, "[Api::StartScript] lua script is running !   can not ResetRobot !");
  }
  rpcExecuteApi& api = Instance();
  const interface::CommandHold hold;
  const bool cleared = sendOnly(api.alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error ,pack is nullptr");
  std::this_thread::sleep_for(kQueueSettle);
  setWord(robot_map::kScriptStatus, 0);
  const bool started = sendOnly(api.alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error ,pack is nullptr");
  if (!cleared || !started) reply = kFailedReply;
}

void rpcExecuteApi::Pause(const Args& args, std::string& reply) {
  logArgs(args);
  if (!countOk(args, 0, 0, reply)) return;
  if (word(robot_map::kIsErr) != 0) return refuse(reply, "under error status ...  can not pause !");
  setWord(robot_map::kControlType, 2);
  setWord(robot_map::kScriptStatus, 2);
  setWord(robot_map::kPauseCopy, 1);
  std::optional<std::int32_t> axisStatus;
  bool stopped = false;
  {
    const interface::CommandHold hold;
    sendControlType(controlType_manual);
    stopped = sendOnly(Instance().alloc_SetQueuedCmdStopExec(), "alloc_SetQueuedCmdStopExec() error ,pack is nullptr");
    axisStatus = sendExterAxis(kExterAxisPause);
  }
  // Without a slide rail the axis always answers a negative status.
  const bool axisFailed = slideRailConfigured() && (!axisStatus || *axisStatus < 0);
  reply = stopped && !axisFailed ? kDoneReply : kFailedReply;
}

void rpcExecuteApi::ClearCollision(const Args& args, std::string& reply) {
  logArgs(args);
  if (!countOk(args, 0, 0, reply)) return;
  remoteRawCmd("ClearCollision", {}, reply);
}

}  // namespace zelor::modules::rpcExecuteApis
