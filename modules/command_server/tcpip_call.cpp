#include "command_server/tcpip_call.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <string_view>

#include "command_server/command_reply.h"
#include "command_server/command_table.h"
#include "command_server/command_text.h"
#include "common/ipc/robot_map.h"
#include "log/ombrel.h"

namespace zelor::modules {

namespace {

using namespace std::chrono_literals;
using zelor::common::network::TCPServer_TCPIP;

constexpr int kChannel15 = ~15;
constexpr int kInfo = 2;
constexpr uint16_t kPortA = 29999;
constexpr uint16_t kPortB = 30003;
constexpr std::size_t kReceiveSize = 1024;
constexpr auto kIdlePause = 1ms;
constexpr auto kClosePause = 100ms;
constexpr char kTcpMode[4] = {'t', 'c', 'p', '\0'};

// The control-mode text of the status memory, bounded by its field.
std::string_view controlMode(const char* entry) {
  const char* text = entry + robot_map::kControlMode;
  return std::string_view(text, strnlen(text, robot_map::kControlModeSize));
}

}  // namespace

tcpipCall& tcpipCall::Instance() {
  // The port threads run for ever, so the object is never destroyed.
  static tcpipCall* instance = new tcpipCall();
  return *instance;
}

void tcpipCall::registFunction() {
  for (const CommandRow& row : commandRows()) funcMap[row.key] = row.handler;
}

tcpipCall::tcpipCall() {
  registFunction();
  server29999_.TCPServerStart(kPortA, "127.0.0.1");
  server30003_.TCPServerStart(kPortB, "127.0.0.1");
  thread29999_ = std::thread(&tcpipCall::CallProcess, this, &server29999_);
  thread30003_ = std::thread(&tcpipCall::CallProcess, this, &server30003_);
}

tcpipCall::~tcpipCall() {
  server29999_.stop();
  server30003_.stop();
}

int tcpipCall::callFunction(const std::string& name, const std::string& args, std::string& reply) {
  const char* entry = robotMap::instance().entry();
  if (std::memcmp(entry + robot_map::kControlMode, kTcpMode, sizeof kTcpMode) != 0) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "it is not in TCP mode,it is {}",
                             controlMode(entry));
    reply = "-1,{},";
    return 0;
  }
  const auto found = funcMap.find(name);
  if (found == funcMap.end()) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "function named {} can not find ... params = {} \n",
                             name, args);
    reply = "-10000,{},";
    return 0;
  }
  found->second(splitArguments(args), reply);
  return 0;
}

void tcpipCall::runCommands(TCPServer_TCPIP* server, std::string& pending, bool deliver) {
  while (std::optional<CommandText> command = takeCommand(pending)) {
    // Every command is answered, one whose handler threw too.
    const std::string reply =
        replyTo(*command, [&](std::string& result) { callFunction(command->name, command->args, result); });
    if (deliver) server->sendData(reply.data(), static_cast<uint32_t>(reply.size()));
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "func = {} args = {} return = {}\n",
                             command->name, command->args, reply);
  }
}

void tcpipCall::CallProcess(TCPServer_TCPIP* server) {
  std::string pending;
  char buffer[kReceiveSize];
  for (;;) {
    try {
      if (!server->hasClient()) {
        std::this_thread::sleep_for(kIdlePause);
        continue;
      }
      spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "tcpipCall::CallProcess 177;");
      std::memset(buffer, 0, sizeof buffer);
      const int received = server->recvData(buffer, kReceiveSize, 0);
      const int error = errno;
      const std::size_t count = received > 0 ? static_cast<std::size_t>(received) : 0;
      spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "ret : {} ,errno : {} ---- str:{} , buf : {}",
                               received, error, std::strerror(error), std::string_view(buffer, count));
      if (received > 0) {
        appendReceived(pending, buffer, count);
        runCommands(server, pending, true);
        if (pending.size() > kPendingTextLimit) {
          spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo,
                                   "pending text of {} bytes holds no command, client closed", pending.size());
          pending.clear();
          server->closeRwfd();
          std::this_thread::sleep_for(kClosePause);
        }
        continue;
      }
      spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "errno : {} ---- str:{} ", error,
                               std::strerror(error));
      if (keepClientAfter(received, error)) continue;
      server->closeRwfd();
      std::this_thread::sleep_for(kClosePause);
      // The client is gone: its complete commands still run, their replies go
      // nowhere (the port may hold the next client by now), and an incomplete
      // rest is never handed to that next client.
      runCommands(server, pending, false);
      pending.clear();
    } catch (...) {
      spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "has exception .........  \n");
    }
  }
}

}  // namespace zelor::modules
