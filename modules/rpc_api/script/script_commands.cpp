#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "exchange/command_lock.h"
#include "install_paths.h"
#include "json/project_structure.h"
#include "rpc_api/api_log.h"
#include "rpc_api/control/queue_control.h"

// Lua projects started, stopped, paused and resumed from a remote client.

namespace zelor::modules::rpcExecuteApis {

namespace {

using namespace std::chrono_literals;

constexpr auto kQueueSettle = 160ms;
constexpr std::size_t kCommandLineMax = 1023;
constexpr std::uint32_t kExterAxisPause = 19;
constexpr std::uint32_t kExterAxisContinue = 20;

// A text that the shell reads literally inside double quotes.
bool quotable(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '$' || c == '`' || c == '\\' || byte < 0x20 || byte == 0x7f) return false;
  }
  return true;
}

// The interpreter's command line; nothing when a text would break out of its
// quotes or the line is too long.
std::optional<std::string> luaCommandLine(const st_project& project) {
  std::string files;
  for (qsizetype i = 0; i < project.cpus.size(); ++i) {
    if (i > 0) files += ',';
    files += project.cpus[i].toStdString();
  }
  const std::string texts[] = {project.reserved.toStdString(), files, project.global.toStdString(),
                               project.teachPoint.toStdString()};
  for (const std::string& text : texts) {
    if (!quotable(text)) {
      RPC_LOG_ERROR("script path {} can not be passed to the shell", text);
      return std::nullopt;
    }
  }
  std::string line = fmt::format("{} {} {} \"{}\" \"{}\" \"{}\" &", zelor::paths::kLuaInterpreter,
                                 std::string(zelor::paths::kLuaDir) + "/zelor.lua", texts[0], texts[1], texts[2],
                                 texts[3]);
  if (line.size() > kCommandLineMax) {
    RPC_LOG_ERROR("lua command line of {} characters is too long", line.size());
    return std::nullopt;
  }
  return line;
}

bool exists(const QString& path) { return access(path.toUtf8().constData(), F_OK) == 0; }

// The project's files, each present; false with the reply set otherwise.
bool projectFilesPresent(const st_project& project, std::string& reply) {
  for (const QString& file : project.cpus) {
    if (!exists(file)) {
      refuse(reply, fmt::format("files {} reading is failed", file.toStdString()));
      return false;
    }
  }
  if (!project.global.isEmpty() && !exists(project.global)) {
    refuse(reply, "file global.lua do not exist");
    return false;
  }
  if (!project.teachPoint.isEmpty() && !exists(project.teachPoint)) {
    refuse(reply, "file point.json.lua do not exist");
    return false;
  }
  return true;
}

void stopLuaProcesses() {
  const int status = std::system("pkill lua");
  RPC_LOG_INFO("pkill lua: {}", status);
}

}  // namespace

int rpcExecuteApi::CallScript(st_project* project) {
  const std::optional<std::string> line = luaCommandLine(*project);
  if (!line) return -1;
  RPC_LOG_INFO("start lua cmd: {}", *line);
  const int status = std::system(line->c_str());
  setWord(robot_map::kScriptStatus, 1);
  RPC_LOG_INFO(" script_status  change to running  ");
  return status;
}

void rpcExecuteApi::RunScript(const Args& args, std::string& reply) {
  logArgs(args);
  if (!countOk(args, 1, 1, reply)) return;
  if (word(robot_map::kScriptStatus) != 0) {
    return refuse(reply, "[Api::StartScript] lua script is running !   can not create new thread!!!!");
  }
  rpcExecuteApi& api = Instance();
  st_project project;
  {
    std::lock_guard lock(api.m_projectMutex);
    st_project* found = nullptr;
    if (!api.m_projectReader.RegexProjectFile(args[0].c_str(), &found) || found == nullptr) {
      return refuse(reply, "files reading is failed");
    }
    project = *found;
  }
  if (!projectFilesPresent(project, reply)) return;
  project.reserved = "null";
  if (!luaCommandLine(project)) return refuse(reply, "files reading is failed");
  setWord(robot_map::kControlType, 1);
  {
    const interface::CommandHold hold;
    sendControlType(controlType_auto);
    sendOnly(api.alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error ,pack is nullptr");
    sendOnly(api.alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error ,pack is nullptr");
  }
  CallScript(&project);
  reply = kDoneReply;
}

void rpcExecuteApi::StopScript(const Args& args, std::string& reply) {
  logArgs(args);
  if (word(robot_map::kIsErr) != 0) return refuse(reply, "under error status ...  can not StopScript !");
  if (!countOk(args, 0, 0, reply)) return;
  rpcExecuteApi& api = Instance();
  const interface::CommandHold hold;
  const bool stopped = sendOnly(api.alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error ,pack is nullptr");
  stopLuaProcesses();
  setWord(robot_map::kScriptStatus, 0);
  RPC_LOG_INFO(" script_status  change to stopped");
  std::this_thread::sleep_for(kQueueSettle);
  sendOnly(api.alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error ,pack is nullptr");
  reply = stopped ? kDoneReply : kFailedReply;
}

void rpcExecuteApi::PauseScript(const Args& args, std::string& reply) {
  logArgs(args);
  if (!countOk(args, 0, 0, reply)) return;
  const std::int32_t status = word(robot_map::kScriptStatus);
  if (status != 1) return refuse(reply, fmt::format("pause script from tcp/ip faild script_status {} ..... ", status));
  setWord(robot_map::kScriptStatus, 2);
  RPC_LOG_INFO(" script_status  change to suspend. script_status:{}", word(robot_map::kScriptStatus));
  bool paused = false;
  {
    const interface::CommandHold hold;
    paused = sendOnly(Instance().alloc_SetQueuedCmdStopExec(), "alloc_SetQueuedCmdStopExec() error ,pack is nullptr");
    sendExterAxis(kExterAxisPause);
  }
  RPC_LOG_INFO("pause script from tcp/ip cmd ..... ");
  reply = paused ? kDoneReply : kFailedReply;
}

void rpcExecuteApi::ContinueScript(const Args& args, std::string& reply) {
  logArgs(args);
  if (word(robot_map::kIsErr) != 0) return refuse(reply, "under error status ...  can not continuescript !");
  if (!countOk(args, 0, 0, reply)) return;
  const interface::CommandHold hold;
  if (word(robot_map::kControlType) != 1) {
    setWord(robot_map::kControlType, 1);
    sendControlType(controlType_auto);
  }
  const std::int32_t status = word(robot_map::kScriptStatus);
  if (status != 2) {
    return refuse(reply, fmt::format("refused continue script from tcp/ip, script_status {} ..... ", status));
  }
  setWord(robot_map::kScriptStatus, 1);
  RPC_LOG_INFO(" script_status  change to running  ");
  const bool started =
      sendOnly(Instance().alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error ,pack is nullptr");
  RPC_LOG_INFO("continue script from tcp/ip cmd ..... ");
  sendExterAxis(kExterAxisContinue);
  reply = started ? kDoneReply : kFailedReply;
}

}  // namespace zelor::modules::rpcExecuteApis
