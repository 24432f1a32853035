#include "common/command_table.h"

#include <array>

namespace {

// One row per command id, in table order; each handler lives with its own
// concern. Ids without a row are echoed.
constexpr std::array<CommandRow, 0> kRows{};

}  // namespace

constinit const std::span<const CommandRow> gProtocolHandlerLUT{kRows};
