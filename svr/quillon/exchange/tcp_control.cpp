#include "exchange/tcp_control.h"

#include <cstdio>
#include <string_view>

namespace {

using Handler = void (*)(std::string& arguments, std::string& reply);

// The point conversions are answered elsewhere; here they leave the reply empty.
void leaveEmpty(std::string&, std::string&) {}

struct TextCommand {
  std::string_view name;
  Handler handler;
};

constexpr TextCommand kTextCommands[] = {
    {"PositiveSolution", leaveEmpty},
    {"InverseSolution", leaveEmpty},
    {"GetErrorID", tcpControl::handle_remote_control_GetErrorID},
    {"ClearCollision", tcpControl::handle_remote_control_ClearCollision},
    {"SetLoad", tcpControl::handle_remote_control_SetLoad},
    {"BrakeControl", tcpControl::handle_remote_control_BrakeControl},
};

}  // namespace

void tcpControl::handle_TCPIP_Raw_Cmd(std::string& command, std::string& reply) {
  std::printf("[handle_TCPIP_Raw_Cmd] : %s  %s \n", command.c_str(), reply.c_str());
  const std::size_t open = command.find('(');
  const std::size_t close = command.find(')');
  if (open == std::string::npos || close == std::string::npos) {
    reply = "unknow cmd";
    return;
  }
  const std::string name = command.substr(0, open);
  command.resize(close);
  // A ")" before the first "(" leaves no arguments.
  std::string arguments = close > open ? command.substr(open + 1) : std::string();
  for (const TextCommand& row : kTextCommands) {
    if (row.name == name) {
      row.handler(arguments, reply);
      return;
    }
  }
  std::printf("[handle_TCPIP_Raw_Cmd] can not handle this cmd!!!! %s\n", command.c_str());
  reply = "error";
}
