#include "rpc_api/rpc_execute_api.h"

// Commands this controller does not support: they answer -1 and do nothing.

namespace zelor::modules::rpcExecuteApis {

namespace {
constexpr const char* kUnsupported = "-1,{},";
// The trace and path commands answer with a blank after the comma.
constexpr const char* kUnsupportedSpaced = "-1, {},";
}  // namespace

void rpcExecuteApi::ServoP(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::ServoJ(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::StartTrace(const Args&, std::string& reply) { reply = kUnsupportedSpaced; }
void rpcExecuteApi::StartPath(const Args&, std::string& reply) { reply = kUnsupportedSpaced; }
void rpcExecuteApi::StartFCTrace(const Args&, std::string& reply) { reply = kUnsupportedSpaced; }
void rpcExecuteApi::ToolAI(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::ToolAnalogMode(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::DIGroup(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::AI(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::AO(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::AOExecute(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::PowerOn(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::SetSafeSkin(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::SetObstacleAvoid(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::GetTraceStartPose(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::GetPathStartPose(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::HandleTrajPoints(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::GetSixForceData(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::ClearSkinCollision(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::RelMovJTool(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::RelMovLTool(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::FCSetGain(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::SixForceHome(const Args&, std::string& reply) { reply = kUnsupported; }
void rpcExecuteApi::SetCollideDrag(const Args&, std::string& reply) { reply = kUnsupported; }

}  // namespace zelor::modules::rpcExecuteApis
