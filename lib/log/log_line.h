#pragma once

#include <cstddef>

namespace spdlog {

// One message on a log channel's System V queue, as the outside reader takes it.
// The queue counts only the text; the text is zero-filled behind the line and
// carries no terminator when the line fills it.
inline constexpr std::size_t kLogLineTextSize = 2048;
inline constexpr long kLogLineType = 1;

struct LogLine {
  long type;
  char text[kLogLineTextSize];
};
static_assert(offsetof(LogLine, text) == sizeof(long));
static_assert(sizeof(LogLine) == sizeof(long) + kLogLineTextSize);

// Channels 0..15, each a queue keyed ftok("/root/", channel).
inline constexpr int kLogChannelCount = 16;
// Byte limit set on every channel queue: five messages.
inline constexpr unsigned long kLogQueueBytes = 10240;

}  // namespace spdlog
