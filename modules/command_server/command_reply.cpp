#include "command_server/command_reply.h"

#include <exception>

#include "log/ombrel.h"

namespace zelor::modules {

namespace {

constexpr int kChannel15 = ~15;
constexpr int kError = 4;
constexpr const char* kFailed = "-1,{},";

}  // namespace

std::string replyTo(const CommandText& command, const std::function<void(std::string& reply)>& call) {
  std::string reply = "0,{},";
  try {
    call(reply);
  } catch (const std::exception& e) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kError, "has exception .........  {}", e.what());
    reply = kFailed;
  } catch (...) {
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kError, "has exception .........  ");
    reply = kFailed;
  }
  reply += command.echo;
  reply += ';';
  return reply;
}

}  // namespace zelor::modules
