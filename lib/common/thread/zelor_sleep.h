#pragma once

// Sleeps on select() with no descriptors; a signal may end it early.
namespace ZelorSleep {
void zelor_usleep(long microseconds);
}  // namespace ZelorSleep
