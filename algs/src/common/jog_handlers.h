#pragma once

// Commands that start an activity of the profile stage at once, whatever the
// queued bit: jog (73) and homing (31).

#include <cstdint>

struct tagSysParams;

std::uint32_t OnJOGCmd(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                       bool isQueued);
std::uint32_t OnHOMECmd(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                        bool isQueued);
