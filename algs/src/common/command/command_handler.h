#pragma once

#include <cstdint>

struct tagSysParams;

// A command's handler, always called with gSysParams. On entry `len` is the
// request's parameter length; the handler writes its reply over `params`
// (2048 bytes) and sets `len`. Leaving `len` alone echoes the request.
// Returns 0 on success; a non-zero result is not reported to the sender.
using CommandHandlerFn = std::uint32_t(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params,
                                      std::uint32_t& len, bool isQueued);
using CommandHandler = CommandHandlerFn*;

struct CommandRow {
  std::uint32_t id;
  CommandHandler handler;
};

// Source path the command module's information lines carry.
inline constexpr const char* kCommandSourcePath = "algs/src/common/command";
