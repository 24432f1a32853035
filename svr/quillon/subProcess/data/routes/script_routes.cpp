// debugger/start, stop, run, suspend, getSuspend, stepIn, state and
// globalVar: the pendant's control of the Lua project.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/protocol/axes_group_ref.h"
#include "common/util/json_util.h"
#include "install_paths.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/data/routes/route_support.h"
#include "subProcess/data/shell_safe_text.h"
#include "subProcess/data/speed_ratio.h"
#include "subProcess/factory_access.h"

namespace {

using namespace route_support;
using zelor::common::util::JsonUtil;

constexpr int kNoProjectAlarm = 8192;

constexpr int kLuaStart = 0;
constexpr int kLuaStop = 1;
constexpr int kLuaResume = 2;
constexpr int kLuaRunStatus = 4;

constexpr int kCoreStepIn = 13;
constexpr int kCoreStopStatus = 15;

constexpr std::uint32_t kAuxStop = 18;
constexpr std::uint32_t kAuxPause = 19;
constexpr std::uint32_t kAuxResume = 20;

constexpr int kScriptStopped = 0;
constexpr int kScriptRunning = 1;
constexpr int kScriptPaused = 2;
constexpr int kControlWordAuto = 1;
constexpr int kControlWordManual = 2;

void luaCall(int id, void* in = nullptr, void* out = nullptr) {
  subProcessFactory().interCall(ISubProcess::LUA, id, in, out, nullptr);
}

// One status byte of the core; 0 without a core.
std::uint8_t coreByte(int id) {
  std::uint8_t value = 0;
  if (ISubProcess* core = subProcessFactory().getInterface(ISubProcess::CORE)) core->interCall(id, nullptr, &value, nullptr);
  return value;
}

std::string globalVarPath() { return std::string(zelor::paths::kProjectDir) + "/project/globalVar.json"; }

// The text as a JSON string, quotes included.
std::string jsonString(const std::string& text) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
  return buffer.GetString();
}


}  // namespace

struct ScriptRoutes {
  static void scriptLog(DataSubProcess* server) {
    DATA_LOG(kInfo, "lua suspend :filename: {}, scriptstatus:{}", server->projectName(),
             robotMap::instance().loadWord(robot_map::kScriptStatus));
  }

  static int luaStart(HttpRequest& request, DataSubProcess* server) {
    if (server->remoteControl()) return 0;
    if (!request.isPost()) {
      DataSubProcess::Reply(server, kRefusedReply);
      return kOk;
    }
    server->runScriptSource_ = 1;
    server->leaveDragMode();
    done(*server, server->alloc_SetControlType(DataSubProcess::kControlAuto),
         "alloc_SetControlType(controlType_auto) error");
    server->controlType_ = DataSubProcess::kControlAuto;
    robotMap::instance().storeWord(robot_map::kControlType, kControlWordAuto);
    ::sync();

    rapidjson::Document doc;
    if (!parseRequestBody(request, doc)) return kFailed;
    const rapidjson::Value* project = member(doc, "project");
    if (project == nullptr || !project->IsString()) {
      server->setAlarm(kNoProjectAlarm);
      return kFailed;
    }
    const std::string name(project->GetString(), project->GetStringLength());
    server->setProjectName(name);
    DATA_LOG(kInfo, "lua start : {}", name);
    if (name.empty() || name.find('\0') != std::string::npos || !isShellSafeText(name)) {
      DATA_LOG(kError, "project name with a character not allowed: {}", name);
      server->setAlarm(kNoProjectAlarm);
      return kFailed;
    }
    st_project* record = nullptr;
    if (!server->jsonReader.RegexProjectFile(name.c_str(), &record) || record == nullptr) {
      DATA_LOG(kError, "jsonReader.RegexProjectFile");
      server->setAlarm(kNoProjectAlarm);
      return kFailed;
    }
    DATA_LOG(kInfo, "[{}], teachPoint: {}", "luaStart", record->teachPoint.toStdString());
    if (!server->projectFilesReady(*record)) return kFailed;
    if (request.peer.empty()) {
      DATA_LOG(kError, "Get error connection by req");
      return kFailed;
    }

    JsonProjectReader& reader = server->jsonReader;
    done(*server, server->alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error");
    done(*server, server->alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error");
    done(*server, server->alloc_SetSpeedFactorParams(speedRatioByte(reader.paramsSpeedFactor()), false),
         "alloc_SetSpeedFactorParams(server->jsonReader.paramsSpeedFactor(), 0) error");
    done(*server, server->alloc_SetPTPJointParams(reader.paramsPTPJoint(), 0),
         "alloc_SetPTPJointParams(server->jsonReader.paramsPTPJoint(), 0) error");
    done(*server, server->alloc_SetPTPCoordinateParams(reader.paramsPTPCoordinate(), 0),
         "alloc_SetPTPCoordinateParams(server->jsonReader.paramsPTPCoordinate(), 0) error");

    record->reserved = QString::fromStdString(request.peer);
    int started = 0;
    luaCall(kLuaStart, record, &started);
    luaCall(kLuaResume);
    return kOk;
  }

  static int luaStop(HttpRequest& request, DataSubProcess* server) {
    if (server->remoteControl() && server->stopInProgress_.load() != 0) return 0;
    if (!request.isPost()) {
      DataSubProcess::Reply(server, kRefusedReply);
      return kOk;
    }
    server->stopInProgress_ = 1;
    luaCall(kLuaStop);
    done(*server, server->alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error");
    done(*server, server->alloc_SetExterAxisCmd(stTramletCmd{kAuxStop, {0}, 0}, 0), "alloc_SetExterAxisCmd(cmd) error");
    robotMap& map = robotMap::instance();
    map.storeWord(robot_map::kControlType, kControlWordManual);
    done(*server, server->alloc_SetControlType(DataSubProcess::kControlManual),
         "alloc_SetControlType(controlType_manual) error");
    server->controlType_ = DataSubProcess::kControlManual;
    map.storeWord(robot_map::kScriptStatus, kScriptStopped);
    const std::uint8_t source = server->runScriptSource_.load();
    DATA_LOG(kInfo, "[{}], recv lua stop cmd.isLuaStart: {},isReset: {}", "luaStop", source,
             server->stopConf_.enable ? 1 : 0);
    DATA_LOG(kInfo, "lua stop : {}", server->projectName());
    if (source == 0 || !server->stopConf_.enable || !server->startStopToPose()) {
      server->runScriptSource_ = 0;
      server->stopInProgress_ = 0;
    }
    return kOk;
  }

  static int luaRun(HttpRequest& request, DataSubProcess* server) {
    if (server->remoteControl()) return 0;
    if (!request.isPost()) {
      DataSubProcess::Reply(server, kRefusedReply);
      return kOk;
    }
    server->setRecordCollision(0);
    done(*server, server->alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error");
    robotMap& map = robotMap::instance();
    map.storeWord(robot_map::kPauseCopy, 0);
    if (map.loadWord(robot_map::kScriptStatus) == kScriptPaused) map.storeWord(robot_map::kScriptStatus, kScriptRunning);
    done(*server, server->alloc_SetExterAxisCmd(stTramletCmd{kAuxResume, {0}, 0}, 0), "alloc_SetExterAxisCmd(cmd) error");
    luaCall(kLuaResume);
    scriptLog(server);
    return kOk;
  }

  static int luaSuspend(HttpRequest& request, DataSubProcess* server) {
    if (server->remoteControl()) return 0;
    if (!request.isPost()) {
      DataSubProcess::Reply(server, kRefusedReply);
      return kOk;
    }
    done(*server, server->alloc_SetQueuedCmdStopExec(), "alloc_SetQueuedCmdStopExec() error");
    done(*server, server->alloc_SetExterAxisCmd(stTramletCmd{kAuxPause, {0}, 0}, 0), "alloc_SetExterAxisCmd(cmd) error");
    scriptLog(server);
    return kOk;
  }

  static int luaGetSuspend(HttpRequest& request, DataSubProcess* server) {
    if (!request.isGet()) return kOk;
    const bool stopped = coreByte(kCoreStopStatus) != 0;
    DATA_LOG(kInfo, "[{}], get Suspend status is {}", "luaGetSuspend", stopped);
    DataSubProcess::Reply(server, stopped);
    return kOk;
  }

  static int luaStepInStatus(HttpRequest& request, DataSubProcess* server) {
    if (!request.isGet()) return kOk;
    DataSubProcess::Reply(server, coreByte(kCoreStepIn) != 0);
    return kOk;
  }

  static int luaState(HttpRequest& request, DataSubProcess* server) {
    if (!request.isGet()) {
      DataSubProcess::Reply(server, kRefusedReply);
      return kOk;
    }
    DataSubProcess::Reply(server, "{\n\"value\":" + jsonString(server->lastDebuggerCommand()) + ",\n\"prjname\":" +
                                      jsonString(server->projectName()) + "\n}");
    return kOk;
  }

  static int luaGlobalVar(HttpRequest& request, DataSubProcess* server) {
    const std::string path = globalVarPath();
    if (request.isGet()) {
      std::string text;
      if (JsonUtil::readJsonFile(path.c_str(), text) != 0 || text.empty()) return kFailed;
      DataSubProcess::Reply(server, text);
      return kOk;
    }
    if (!request.isPost()) return kFailed;
    int running = 0;
    luaCall(kLuaRunStatus, nullptr, &running);
    if (running != 0) return kFailed;
    if (request.body.empty()) {
      DATA_LOG(kError, "post input <= 0");
      return kFailed;
    }
    rapidjson::Document doc;
    doc.Parse(request.body.data(), request.body.size());
    if (doc.HasParseError()) {
      DATA_LOG(kError, "json parse failed document");
      DataSubProcess::Reply(server, "json parse failed");
      return kFailed;
    }
    return JsonUtil::writeJsonFile(path.c_str(), &doc, true) == 0 ? kOk : kFailed;
  }
};

void registerScriptRoutes(RouteTable& table) {
  table.add("debugger", "start", &ScriptRoutes::luaStart);
  table.add("debugger", "stop", &ScriptRoutes::luaStop);
  table.add("debugger", "run", &ScriptRoutes::luaRun);
  table.add("debugger", "suspend", &ScriptRoutes::luaSuspend);
  table.add("debugger", "getSuspend", &ScriptRoutes::luaGetSuspend);
  table.add("debugger", "stepIn", &ScriptRoutes::luaStepInStatus);
  table.add("debugger", "state", &ScriptRoutes::luaState);
  table.add("debugger", "globalVar", &ScriptRoutes::luaGlobalVar);
}
