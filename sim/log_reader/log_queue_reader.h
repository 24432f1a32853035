#pragma once

#include <string>
#include <vector>

namespace zelor::sim {

// The outside reader of the sixteen log channels.

// Takes every message now waiting on the channel's queue, without waiting.
// Each text is cut at its first zero byte (a full 2048-byte line has none).
// Nothing is returned when the queue does not exist.
std::vector<std::string> drainLogChannel(int channel);

// Waits for one message on the channel for at most timeoutMs; false if none.
bool readLogChannel(int channel, std::string& text, int timeoutMs);

}  // namespace zelor::sim
