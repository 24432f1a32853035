#pragma once

#include <string>

#include "rpc_api/rpc_execute_api.h"

namespace zelor::modules::rpcExecuteApis {

// The Continue command's work: refused under error; otherwise the script
// state running, the pause word cleared, control type auto, the queue
// started (id 240) and the slide rail told to continue. True when the
// queue start got its reply.
bool continueQueue(std::string& reply);

// Sends one packet that needs no answer beyond its arrival; false (with the
// failure logged) when none came back.
bool sendOnly(Packet* packet, const char* failure);

}  // namespace zelor::modules::rpcExecuteApis
