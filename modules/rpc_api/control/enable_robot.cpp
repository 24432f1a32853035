#include <algorithm>
#include <chrono>
#include <thread>

#include "common/ipc/robot_map.h"
#include "json/parameter_globals.h"
#include "exchange/command_lock.h"
#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/control/queue_control.h"
#include "rpc_api/settings/payload_memory.h"

// EnableRobot: asks the data server to switch the robot on, waits for it, and
// starts the command queue with the project's motion parameters.

namespace zelor::modules::rpcExecuteApis {

namespace {

using namespace std::chrono_literals;

constexpr double kMaxStoredPayLoad = 1.5;
constexpr double kCentreLimit = 500.0;
constexpr int kEnablePolls = 15;
constexpr auto kEnablePollPeriod = 1s;
constexpr auto kSettleTime = 100ms;

// The payload of the project's load settings, centre x, y and z each in its
// own place. A mass outside 0 .. 1.5 writes nothing.
void reapplyStoredPayload() {
  const st_loadParams stored = m_st_loadParams;
  std::string checkReply = kDoneReply;
  if (!isParamsRangeOk<double>(stored.loadValue, 0.0, kMaxStoredPayLoad, 1, checkReply)) {
    RPC_LOG_ERROR("the range of the params value is wrong:{}", checkReply);
    return;
  }
  zelor::common::ipc::PayloadRequest record{};
  record.inertiaX = stored.inertiaX;
  record.inertiaY = stored.inertiaY;
  record.inertiaZ = stored.inertiaZ;
  record.payload = stored.loadValue;
  if (writePayloadMemory(record)) RPC_LOG_INFO("set payload!");
}

// One or four arguments: the load (0 .. the robot's maximum) and the centre
// (-500 .. 500 each), handed to the data server's SetLoad.
bool applyGivenLoad(const Args& args, std::string& reply) {
  if (!isDouble(args, reply)) {
    RPC_LOG_ERROR("the type of params is wrong: {}", reply);
    return false;
  }
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  const double load = getDouble(args[0]);
  if (!isParamsRangeOk<double>(load, 0.0, rpcExecuteApi::getPayMax(api.m_controllerType), 1, reply)) {
    RPC_LOG_ERROR("the range of the params value is wrong: {}", reply);
    return false;
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (!isParamsRangeOk<double>(getDouble(args[i]), -kCentreLimit, kCentreLimit, i + 1, reply)) {
      RPC_LOG_ERROR("the range of the params value is wrong: {}", reply);
      return false;
    }
  }
  std::string loadReply = kDoneReply;
  rpcExecuteApi::SetLoad(args, loadReply);
  return true;
}

// The enable status of id 41: its first byte, 1 without a reply or when the
// reply carries no byte.
int readEnableStatus() {
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  Packet* packet = api.alloc_GetHHTTrigOutputEnabled();
  int status = 1;
  if (packet == nullptr) {
    RPC_LOG_INFO("receive a nullptr");
  } else {
    if (packet->length >= 3) status = packet->params[0];
    api.freePluginPacket(packet);
  }
  RPC_LOG_INFO(" ... wait enable status: {}", status);
  return status;
}

bool waitUntilEnabled() {
  robotMap& map = robotMap::instance();
  for (int poll = 1; poll <= kEnablePolls; ++poll) {
    if (map.loadWord(robot_map::kIsDisabled) == 0) return true;
    if (poll < kEnablePolls) std::this_thread::sleep_for(kEnablePollPeriod);
  }
  return false;
}

// Everything after the settings reload; the caller logs the end.
void enable(const Args& args, std::string& reply) {
  if (args.size() != 0 && args.size() != 1 && args.size() != 4) {
    reply = errorReply(kCountErrorId);
    RPC_LOG_ERROR("the number of params is wrong: {}", reply);
    return;
  }
  const int status = readEnableStatus();
  if (args.empty()) {
    reapplyStoredPayload();
  } else if (!applyGivenLoad(args, reply)) {
    return;
  }

  std::this_thread::sleep_for(kSettleTime);
  RPC_LOG_INFO("enable status:{}", status);
  robotMap& map = robotMap::instance();
  if (status != 0) {
    map.storeWord(robot_map::kEnableRequest, 1);
    RPC_LOG_INFO("request enable robot here .... ");
  }
  if (!waitUntilEnabled()) {
    reply = errorReply(-10000);
    RPC_LOG_ERROR("enablerobot error");
    return;
  }
  RPC_LOG_INFO("enablerobot success and begin to startqueue! ");

  // The queue restart and the parameters after it go as one sequence.
  const interface::CommandHold hold;
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  sendOnly(api.alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error ,pack is nullptr");
  const bool started =
      sendOnly(api.alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error ,pack is nullptr");
  // Copied out, so that the other port's frame reads do not wait for the
  // exchanges.
  unsigned char speedFactor = 0;
  tagPTPJointParams joint{};
  tagPTPCoordinateParams coordinate{};
  {
    std::lock_guard lock(api.m_projectMutex);
    JsonProjectReader& project = api.m_projectReader;
    speedFactor = static_cast<unsigned char>(std::clamp(project.paramsSpeedFactor(), 0, 255));
    joint = *project.paramsPTPJoint();
    coordinate = *project.paramsPTPCoordinate();
  }
  sendOnly(api.alloc_SetSpeedFactorParams(speedFactor, false),
           "alloc_SetSpeedFactorParams(paramsSpeedFactor(), 0) error ,pack is nullptr");
  sendOnly(api.alloc_SetPTPJointParams(&joint, 0), "alloc_SetPTPJointParams(paramsPTPJoint(), 0) error ,pack is nullptr");
  sendOnly(api.alloc_SetPTPCoordinateParams(&coordinate, 0),
           "alloc_SetPTPCoordinateParams(paramsPTPCoordinate(), 0) error ,pack is nullptr");
  map.storeWord(robot_map::kControlType, 1);
  sendOnly(api.alloc_SetControlType(controlType_auto), "alloc_SetControlType(controlType_auto) error ,pack is nullptr");
  std::string continueReply = kDoneReply;
  const bool continued = continueQueue(continueReply);
  sendOnly(api.alloc_GetArmOrientation(), "alloc_GetArmOrientation() error ,pack is nullptr");

  // Either queue start runs the queue; with both lost it stands.
  if (!started && !continued) {
    reply = kFailedReply;
    return;
  }
  reply = kDoneReply;
  RPC_LOG_INFO("[rpcExecuteApi::EnableRobot] success !!!");
}

}  // namespace

void rpcExecuteApi::EnableRobot(const Args& args, std::string& reply) {
  logArgs(args);
  robotMap& map = robotMap::instance();
  const char* refusal = nullptr;
  if (map.loadWord(robot_map::kIsErr) != 0) {
    refusal = "under error status ...  can not enable !";
  } else if (map.loadWord(robot_map::kUnderEmergency) != 0) {
    refusal = "under power off ...  can not enable !";
  } else if (map.loadWord(robot_map::kScriptStatus) == 1) {
    refusal = "[Api::StartScript] lua script is running !   can not create new thread!!!!";
  }
  if (refusal != nullptr) {
    RPC_LOG_ERROR("{}", refusal);
    reply = kFailedReply;
    return;
  }
  {
    rpcExecuteApi& api = Instance();
    std::lock_guard lock(api.m_projectMutex);
    api.m_projectReader.loadAll();
  }
  enable(args, reply);
  RPC_LOG_INFO("[rpcExecuteApi::EnableRobot] finish !!!");
}

}  // namespace zelor::modules::rpcExecuteApis
