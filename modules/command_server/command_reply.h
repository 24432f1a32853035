#pragma once

#include <functional>
#include <string>

#include "command_server/command_text.h"

namespace zelor::modules {

// The reply of one command: the result text that call leaves in the reply it
// gets preset to "0,{},", or "-1,{}," when call throws (the exception's text
// is logged), followed by the echoed command and ";".
std::string replyTo(const CommandText& command, const std::function<void(std::string& reply)>& call);

}  // namespace zelor::modules
