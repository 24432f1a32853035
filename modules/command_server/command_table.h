#pragma once

#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace zelor::modules {

using CommandHandler = std::function<void(const std::vector<std::string>&, std::string&)>;

struct CommandRow {
  const char* key;  // lower case, as a client's name is matched
  void (*handler)(const std::vector<std::string>&, std::string&);
};

// The rows of the command table in registration order.
std::span<const CommandRow> commandRows();

// Name → handler, filled from the rows before either command port opens and
// only read afterwards.
extern std::unordered_map<std::string, CommandHandler> funcMap;

}  // namespace zelor::modules
