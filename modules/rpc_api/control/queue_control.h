#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/ipc/robot_map.h"

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

// Control types of id 47.
inline constexpr char controlType_auto = 1;
inline constexpr char controlType_manual = 2;

// Sends the control type; false when no reply came.
bool sendControlType(char type);

// Logs the refusal at error level and answers "-1,{},".
void refuse(std::string& reply, const std::string& text);

// The handlers' count check; a wrong count is logged.
bool countOk(const Args& args, std::uint8_t min, std::uint8_t max, std::string& reply);

// Words of the status memory.
inline std::int32_t word(std::size_t offset) { return robotMap::instance().loadWord(offset); }
inline void setWord(std::size_t offset, std::int32_t value) { robotMap::instance().storeWord(offset, value); }

// Tells the slide rail to pause (19) or continue (20), not queued. The axis
// status of the reply (negative when the axis is not ready), or nothing when
// no reply came.
std::optional<std::int32_t> sendExterAxis(std::uint32_t code);

}  // namespace zelor::modules::rpcExecuteApis
