#pragma once

// Moves and waits of a queued program. Each is only ever queued: without the
// queued bit it does nothing and replies length 0; with it, it packs the
// command (moves with a snapshot of the motion parameters in force) into
// gPackedCmdQueue, and the intake replies the entry's index. Targets are not
// checked against reach here; the planners do that.

#include <cstdint>

struct tagSysParams;

std::uint32_t OnPTPCmd(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                       bool isQueued);
std::uint32_t OnPTPPOCmd(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                         bool isQueued);
std::uint32_t OnARCCmd(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                       bool isQueued);
std::uint32_t OnCircleCmd(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                          bool isQueued);
std::uint32_t OnExicitCmd(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                          bool isQueued);
std::uint32_t OnExicitZCmd(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                           bool isQueued);
std::uint32_t OnWAITCmd(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                        bool isQueued);
std::uint32_t OnTRIGCmd(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                        bool isQueued);
