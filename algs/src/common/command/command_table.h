#pragma once

#include <span>

#include "common/command/command_handler.h"

// The command table: rows in their fixed order, searched from the first.
extern const std::span<const CommandRow> gProtocolHandlerLUT;
