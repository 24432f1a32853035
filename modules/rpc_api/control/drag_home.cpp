#include <chrono>
#include <thread>

#include "exchange/command_lock.h"
#include "rpc_api/api_log.h"
#include "rpc_api/control/queue_control.h"
#include "rpc_api/status/robot_mode.h"

// Drag teaching on and off, and homing of all axes.

namespace zelor::modules::rpcExecuteApis {

namespace {

using namespace std::chrono_literals;

constexpr char kAlgsDragEnabled = 0;
constexpr char kAlgsDragDisable = 1;
constexpr std::int32_t kDragOn = 1;
constexpr std::int32_t kDragOff = 2;
constexpr std::int32_t kModeEnabled = 5;
constexpr unsigned char kAllAxes = 31;
constexpr auto kDragSettle = 1s;

// The refusals StartDrag and StopDrag share; false with the reply set.
bool dragAllowed(std::string& reply) {
  if (word(robot_map::kIsErr) != 0) {
    refuse(reply, "under error status ...  can not enter drag mode!");
  } else if (word(robot_map::kUnderEmergency) != 0) {
    refuse(reply, "under power off ...  can not enter drag mode!");
  } else if (word(robot_map::kScriptStatus) != 0) {
    refuse(reply, "[Api::StartScript] lua script is not stop !   can not enter drag mode!!!!");
  } else if (word(robot_map::kIsDisabled) != 0) {
    refuse(reply, "controlMode is not enable , can not enter drag mode");
  } else {
    return true;
  }
  return false;
}

bool sendDrag(char enabled) {
  return sendOnly(rpcExecuteApi::Instance().alloc_SetDragTeachEnabled(enabled),
                  enabled == kAlgsDragEnabled ? "alloc_SetDragTeachEnabled(kAlgsDragEnabled) error ,pack is nullptr"
                                              : "alloc_SetDragTeachEnabled(kAlgsDragDisable) error ,pack is nullptr");
}

}  // namespace

void rpcExecuteApi::StartDrag(const Args& args, std::string& reply) {
  logArgs(args);
  if (!countOk(args, 0, 0, reply)) return;
  if (!dragAllowed(reply)) return;
  const std::optional<std::int32_t> mode = recordRobotMode();
  if (!mode) return refuse(reply, "cant get robotmode, something error happende...");
  if (*mode != kModeEnabled) {
    return refuse(reply, fmt::format("controlMode is not in enable , can not enter drag mode, robotmode now is {}", *mode));
  }
  rpcExecuteApi& api = Instance();
  setWord(robot_map::kControlType, 2);
  const interface::CommandHold hold;
  sendControlType(controlType_manual);
  setWord(robot_map::kDragStartRequest, 1);
  sendOnly(api.alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error ,pack is nullptr");
  const bool dragging = sendDrag(kAlgsDragEnabled);
  setWord(robot_map::kDragMode, kDragOn);
  RPC_LOG_INFO("TCP dragMode enter!");
  reply = dragging ? kDoneReply : kFailedReply;
}

void rpcExecuteApi::StopDrag(const Args& args, std::string& reply) {
  logArgs(args);
  if (!countOk(args, 0, 0, reply)) return;
  if (!dragAllowed(reply)) return;
  if (word(robot_map::kDragMode) != kDragOn) return refuse(reply, "dragMode is not on , can not leave drag mode");
  rpcExecuteApi& api = Instance();
  const interface::CommandHold hold;
  const bool stopped = sendDrag(kAlgsDragDisable);
  setWord(robot_map::kDragMode, kDragOff);
  setWord(robot_map::kDragStopRequest, 1);
  sendOnly(api.alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error ,pack is nullptr");
  sendOnly(api.alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error ,pack is nullptr");
  setWord(robot_map::kControlType, 1);
  sendControlType(controlType_auto);
  reply = stopped ? kDoneReply : kFailedReply;
}

void rpcExecuteApi::SetcaliHome(const Args& args, std::string& reply) {
  logArgs(args);
  if (!countOk(args, 0, 0, reply)) return;
  if (word(robot_map::kIsDisabled) != 0) return refuse(reply, "controlMode is not enable , can not caliHome");
  if (word(robot_map::kScriptStatus) != 0) return refuse(reply, "script_status is not Stop , can not caliHome");
  if (word(robot_map::kDragMode) == kDragOn) {
    sendDrag(kAlgsDragDisable);
    std::this_thread::sleep_for(kDragSettle);
    setWord(robot_map::kDragMode, kDragOff);
  }
  RPC_LOG_INFO(" [{}], axisIndex: {} ", __func__, kAllAxes);
  const bool homing = sendOnly(Instance().alloc_SetHOMECmd(&kAllAxes, 0), "alloc_SetHOMECmd(&axisIndex, 0) error ,pack is nullptr");
  reply = homing ? kDoneReply : kFailedReply;
}

}  // namespace zelor::modules::rpcExecuteApis
