#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The text command protocol of ports 29999 and 30003: received bytes gather in
// a pending text, from which commands are cut one by one.

namespace zelor::modules {

// The pending text never holds more than this without a complete command.
inline constexpr std::size_t kPendingTextLimit = 64 * 1024;

struct CommandText {
  std::string name;  // lower case, without blanks, CR, LF, "(" and ")"
  std::string args;  // without blanks, CR, LF, "(", ")", "{" and "}"
  std::string echo;  // the command as received, without blanks, CR and LF
};

// Appends the count received bytes, a zero byte like any other: a command
// holding one fails its checks and gets its error reply.
void appendReceived(std::string& pending, const char* bytes, std::size_t count);

// The pending text holds a ")" and a "(" (anywhere).
bool hasCommand(const std::string& pending);

// Cuts the next command (the text up to and including the first ")") off the
// front of the pending text; nothing when it holds none.
std::optional<CommandText> takeCommand(std::string& pending);

// "" gives no argument, "1,2," gives 1 and 2, "1,,2" gives 1, "" and 2.
std::vector<std::string> splitArguments(const std::string& args);

// Whether a port keeps its client after a receive that brought nothing:
// only a failed receive (negative) whose errno is ENOMSG or EINTR. A result
// of 0 is a closed peer, whatever errno still holds.
bool keepClientAfter(int received, int error);

}  // namespace zelor::modules
