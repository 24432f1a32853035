#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "common/plugin/plugin_base.h"
#include "json/json_project_reader.h"

typedef struct _modbus modbus_t;

namespace zelor::modules::rpcExecuteApis {

// Argument list and reply text of a remote command handler.
using Args = std::vector<std::string>;
// Keyed options of a command ("SpeedJ=50"), ordered by key.
using OptionMap = std::map<std::string, std::uint8_t>;
// The inline options of one move command.
struct OptParams;

// The command-packet client of the text command servers: every packet a
// builder makes travels to the data server over the command queue pair.
class rpcExecuteApi : public PluginBase {
 public:
  static rpcExecuteApi& Instance();
  ~rpcExecuteApi() override;

  // Exchanges the packet with the data server; the reply replaces it. 1 on
  // success, 0 when the exchange failed (the builder then gives null).
  int processTranslate(Packet* packet) override;

  static double getPayMax(const std::string& controllerType);

  // Sends the text unchanged on the raw text road; "OK" or "ERROR".
  static void RemoteRawCmd(std::string& command, std::string& reply);

  // Settings: ratios, speed factor, CP, load switch and collision level.
  static void SpeedJ(const Args& args, std::string& reply);
  static void AccJ(const Args& args, std::string& reply);
  static void SpeedL(const Args& args, std::string& reply);
  static void AccL(const Args& args, std::string& reply);
  static void SpeedFactor(const Args& args, std::string& reply);
  static void CP(const Args& args, std::string& reply);
  static void LoadSwitch(const Args& args, std::string& reply);
  static void SetCollisionLevel(const Args& args, std::string& reply);
  // Settings: current frames, payload and arm orientation.
  static void User(const Args& args, std::string& reply);
  static void Tool(const Args& args, std::string& reply);
  static void SetPayLoad(const Args& args, std::string& reply);
  static void SetLoad(const Args& args, std::string& reply);
  // Not in the command table.
  static void PayLoad(const Args& args, std::string& reply);
  static void SetArmOrientation(const Args& args, std::string& reply);

  // Point-to-point and linear moves: queued with their options, the
  // parameters in force before them queued back right behind them.
  static void MovJ(const Args& args, std::string& reply);
  static void MovL(const Args& args, std::string& reply);
  static void JointMovJ(const Args& args, std::string& reply);
  static void RelMovJ(const Args& args, std::string& reply);
  static void RelMovL(const Args& args, std::string& reply);
  static void RelJointMovJ(const Args& args, std::string& reply);
  static void RelMovJUser(const Args& args, std::string& reply);
  static void RelMovLUser(const Args& args, std::string& reply);
  // Reads the inline options of a move into options; 1 when all were
  // accepted, 0 with the reply of the refusal otherwise.
  static int executeCmdWithOptArgs(const Args& args, tagPTPCmd& move, OptParams& options, std::string& reply);

  // Robot control: enable (and start the queue), continue the queue.
  static void EnableRobot(const Args& args, std::string& reply);
  static void Continue(const Args& args, std::string& reply);
  static void DisableRobot(const Args& args, std::string& reply);
  static void ClearError(const Args& args, std::string& reply);
  static void ResetRobot(const Args& args, std::string& reply);
  static void Pause(const Args& args, std::string& reply);
  static void ClearCollision(const Args& args, std::string& reply);
  static void EmergencyStop(const Args& args, std::string& reply);
  // Drag teaching and homing.
  static void StartDrag(const Args& args, std::string& reply);
  static void StopDrag(const Args& args, std::string& reply);
  static void SetcaliHome(const Args& args, std::string& reply);
  // Queue and run control. Only the control-type switches, Begin and End are
  // in the command table; a lost effect packet answers "-1,{},".
  static void SetQueuedCmdStartExec(const Args& args, std::string& reply);
  static void SetQueuedCmdStopExec(const Args& args, std::string& reply);
  static void SetQueuedCmdForceStopExec(const Args& args, std::string& reply);
  static void SetQueuedCmdStopClear(const Args& args, std::string& reply);
  static void SetQueuedCmdClear(const Args& args, std::string& reply);
  static void GetQueuedCmdCurrentIndex(const Args& args, std::string& reply);
  static void GetQueuedCmdLeftSpace(const Args& args, std::string& reply);
  static void StartRobot(const Args& args, std::string& reply);
  static void StopRobot(const Args& args, std::string& reply);
  static void AutoManual_Auto(const Args& args, std::string& reply);
  static void AutoManual_Manual(const Args& args, std::string& reply);
  static void Begin(const Args& args, std::string& reply);
  static void End(const Args& args, std::string& reply);
  // Self-test of the argument parsing: int, double, text, key=value.
  static void test(const Args& args, std::string& reply);

  // Status reads and the kernel's kinematics.
  static void GetAngle(const Args& args, std::string& reply);
  static void GetPose(const Args& args, std::string& reply);
  static void RobotMode(const Args& args, std::string& reply);
  static void GetErrorID(const Args& args, std::string& reply);
  static void GetSerialNum(const Args& args, std::string& reply);
  static void PositiveSolution(const Args& args, std::string& reply);
  static void InverseSolution(const Args& args, std::string& reply);

  // Lua projects: start, stop, pause and resume.
  static void RunScript(const Args& args, std::string& reply);
  static void StopScript(const Args& args, std::string& reply);
  static void PauseScript(const Args& args, std::string& reply);
  static void ContinueScript(const Args& args, std::string& reply);
  // Starts the interpreter on the project's scripts in the background; -1
  // (nothing started) when the command line cannot be built safely.
  static int CallScript(st_project* project);

  // Digital I/O: controller outputs queued (DO, ToolDO) or at once, one
  // input's level, and a joint brake while the robot is disabled.
  static void DO(const Args& args, std::string& reply);
  static void DOExecute(const Args& args, std::string& reply);
  static void ToolDO(const Args& args, std::string& reply);
  static void ToolDOExecute(const Args& args, std::string& reply);
  static void DOGroup(const Args& args, std::string& reply);
  static void DI(const Args& args, std::string& reply);
  static void ToolDI(const Args& args, std::string& reply);
  static void BrakeControl(const Args& args, std::string& reply);

  // Keyed options at positions start and above into map, the last
  // occurrence of a key winning; values 0..255.
  static void Vector2Map(const Args& args, OptionMap& map, std::uint8_t start, std::string& reply);
  // The text after key (one character skipped) up to the next ",".
  static bool GetStringValue(const std::string& input, const std::string& key, std::string& output);

  // The kernel's common parameters (id 83); false when none came back.
  static bool GetOldSpeedAndAccel(tagPTPCommonParams& params);
  static void SetSpeedAndAccel(tagPTPCommonParams params);
  static void RecoverySpeedAndAccel(tagPTPCommonParams params);
  // The kernel's current user / tool frame (ids 250 / 251).
  static bool GetOverAllUser(tagCoordParamsFull& frame);
  static bool GetOverAllTool(tagCoordParamsFull& frame);
  // Queues the frame and makes its index the current one; false when the
  // frame packet got no reply (the index is set all the same).
  static bool RecoverAllUser(const tagCoordParamsFull& frame);
  static bool RecoverAllTool(const tagCoordParamsFull& frame);
  // Selects the stored user and / or tool frame at once (-1: leave it).
  // 0, or -1 with "-(30000 + position),{}," for a frame that is not set.
  static int LoadSetUserTool(std::string& reply, int user, int tool, std::uint8_t position);

  // The project's frame tables, shared by both command ports.
  enum class FrameKind { User, Tool };
  // The stored frame of the index; false when it is not 0..9 or not set.
  static bool frameOf(FrameKind kind, int index, tagCoordParamsFull& frame);
  static void reloadFrames();
  static void setCurrentFrameIndex(FrameKind kind, std::uint32_t index);

  // Modbus TCP master connections towards other devices (slots 0..3).
  static modbus_t* ctx[4];
  static void ModbusCreate(const Args& args, std::string& reply);
  static void ModbusClose(const Args& args, std::string& reply);
  static void GetInBits(const Args& args, std::string& reply);
  static void GetCoils(const Args& args, std::string& reply);
  static void SetCoils(const Args& args, std::string& reply);
  static void GetInRegs(const Args& args, std::string& reply);
  static void GetHoldRegs(const Args& args, std::string& reply);
  static void SetHoldRegs(const Args& args, std::string& reply);
  // input: discrete inputs / input registers; else coils / holding registers.
  static void GetInbitsOrCoils(const Args& args, std::string& reply, bool input);
  static void GetHoldRegsOrInRegs(const Args& args, std::string& reply, bool input);
  // A dotted IPv4 address of four numbers 0..255.
  static bool isValidIpAddres(const std::string& text);

  // Handlers that only answer that the command is not supported.
  static void ServoP(const Args& args, std::string& reply);
  static void ServoJ(const Args& args, std::string& reply);
  static void StartTrace(const Args& args, std::string& reply);
  static void StartPath(const Args& args, std::string& reply);
  static void StartFCTrace(const Args& args, std::string& reply);
  static void ToolAI(const Args& args, std::string& reply);
  static void ToolAnalogMode(const Args& args, std::string& reply);
  static void DIGroup(const Args& args, std::string& reply);
  static void AI(const Args& args, std::string& reply);
  static void AO(const Args& args, std::string& reply);
  static void AOExecute(const Args& args, std::string& reply);
  static void PowerOn(const Args& args, std::string& reply);
  static void SetSafeSkin(const Args& args, std::string& reply);
  static void SetObstacleAvoid(const Args& args, std::string& reply);
  static void GetTraceStartPose(const Args& args, std::string& reply);
  static void GetPathStartPose(const Args& args, std::string& reply);
  static void HandleTrajPoints(const Args& args, std::string& reply);
  static void GetSixForceData(const Args& args, std::string& reply);
  static void ClearSkinCollision(const Args& args, std::string& reply);
  static void RelMovJTool(const Args& args, std::string& reply);
  static void RelMovLTool(const Args& args, std::string& reply);
  static void FCSetGain(const Args& args, std::string& reply);
  static void SixForceHome(const Args& args, std::string& reply);
  static void SetTerminal485(const Args& args, std::string& reply);
  static void GetTerminal485(const Args& args, std::string& reply);
  // Not in the command table: a client calling it gets "unknown command".
  static void SetCollideDrag(const Args& args, std::string& reply);

  // Guards m_projectReader's reloads and reads: both port threads use it.
  std::mutex m_projectMutex;
  JsonProjectReader m_projectReader;
  std::string m_controllerType;

 private:
  rpcExecuteApi();
};

// The raw text road (command id 262): sends name(args joined by ",") to the
// data server's text-command handler; the reply becomes its answer text, or
// "CommunicationError" when no answer came.
void remoteRawCmd(const std::string& name, const Args& args, std::string& reply);

// Logs the arguments; the reply stays as it is.
void checkQueueBuffer(const Args& args, std::string& reply);

}  // namespace zelor::modules::rpcExecuteApis
