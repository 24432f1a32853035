#pragma once

#include <string>
#include <vector>

#include "common/plugin/plugin_base.h"
#include "json/json_project_reader.h"

namespace zelor::modules::rpcExecuteApis {

// Argument list and reply text of a remote command handler.
using Args = std::vector<std::string>;

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
  // Not in the command table: a client calling it gets "unknown command".
  static void SetCollideDrag(const Args& args, std::string& reply);

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
