#include <cstring>

#include "log/ombrel.h"
#include "rpc_api/rpc_execute_api.h"

namespace zelor::modules::rpcExecuteApis {

namespace {

constexpr int kChannel15 = ~15;
constexpr int kInfo = 2;
constexpr int kError = 4;

// The answer text of a raw reply, never read past the packet.
std::string answerText(const Packet& packet) {
  const char* text = reinterpret_cast<const char*>(packet.params);
  return std::string(text, strnlen(text, sizeof packet.params));
}

}  // namespace

void remoteRawCmd(const std::string& name, const Args& args, std::string& reply) {
  std::string command = name + "(";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) command += ',';
    command += args[i];
  }
  command += ')';
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "command:{} ", command);

  rpcExecuteApi& api = rpcExecuteApi::Instance();
  Packet* packet = api.alloc_TCPIPRawCmdHandler(command.c_str());
  if (packet == nullptr) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kError, "[remote_RawCmd] error. recv a nullptr ");
    reply = "CommunicationError";
    return;
  }
  reply = answerText(*packet);
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "output {}", reply);
  api.freePluginPacket(packet);
}

void rpcExecuteApi::RemoteRawCmd(std::string& command, std::string& reply) {
  rpcExecuteApi& api = Instance();
  Packet* packet = api.alloc_TCPIPRawCmdHandler(command.c_str());
  if (packet == nullptr) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kError, "[remote_RawCmd] error. recv a nullptr ");
    reply = "ERROR";
    return;
  }
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "[{}] output {}", command, answerText(*packet));
  api.freePluginPacket(packet);
  reply = "OK";
}

void checkQueueBuffer(const Args& args, std::string&) {
  std::string text;
  for (std::size_t i = 0; i < args.size(); ++i) text += " arg[" + std::to_string(i) + "]=" + args[i];
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "{}", text);
}

}  // namespace zelor::modules::rpcExecuteApis
