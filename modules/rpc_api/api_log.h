#pragma once

// Log lines of the remote command handlers: channel 15, their own texts.
#include <string>

#include "log/ombrel.h"
#include "rpc_api/rpc_execute_api.h"

namespace zelor::modules::rpcExecuteApis {

inline constexpr int kApiChannel = ~15;
inline constexpr int kApiInfo = 2;
inline constexpr int kApiError = 4;

#define RPC_LOG_INFO(...) spdlog::ombrel::basicLog(kApiChannel, __LINE__, __func__, kApiInfo, __VA_ARGS__)
#define RPC_LOG_ERROR(...) spdlog::ombrel::basicLog(kApiChannel, __LINE__, __func__, kApiError, __VA_ARGS__)

// The arguments as one line " arg[0]=... arg[1]=...", when there are any.
void logArgs(const Args& args);

// An error reply: the id followed by ",{},".
inline std::string errorReply(long id) { return std::to_string(id) + ",{},"; }

inline constexpr const char* kFailedReply = "-1,{},";
inline constexpr const char* kDoneReply = "0,{},";

}  // namespace zelor::modules::rpcExecuteApis
