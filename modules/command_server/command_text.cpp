#include "command_server/command_text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace zelor::modules {

namespace {

std::string without(const std::string& text, const char* removed) {
  std::string kept;
  kept.reserve(text.size());
  for (char c : text) {
    if (std::strchr(removed, c) == nullptr || c == '\0') kept += c;
  }
  return kept;
}

}  // namespace

void appendReceived(std::string& pending, const char* bytes, std::size_t count) { pending.append(bytes, count); }

bool hasCommand(const std::string& pending) {
  return pending.find(')') != std::string::npos && pending.find('(') != std::string::npos;
}

std::optional<CommandText> takeCommand(std::string& pending) {
  if (!hasCommand(pending)) return std::nullopt;
  const std::size_t close = pending.find(')');
  const std::string text = pending.substr(0, close + 1);
  pending.erase(0, close + 1);

  const std::size_t open = text.find('(');
  std::string name = open == std::string::npos ? text : text.substr(0, open);
  const std::string args = open == std::string::npos ? text : text.substr(open + 1);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return CommandText{without(name, " \r\n()"), without(args, " \r\n(){}"), without(text, " \r\n")};
}

std::vector<std::string> splitArguments(const std::string& args) {
  std::vector<std::string> list;
  std::size_t pos = 0;
  while (pos < args.size()) {
    const std::size_t comma = args.find(',', pos);
    if (comma == std::string::npos) {
      list.push_back(args.substr(pos));
      break;
    }
    list.push_back(args.substr(pos, comma - pos));
    pos = comma + 1;
  }
  return list;
}

bool keepClientAfter(int received, int error) { return received < 0 && (error == ENOMSG || error == EINTR); }

}  // namespace zelor::modules
