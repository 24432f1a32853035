#pragma once

#include <cstdint>

struct PackedBaseCmd;

// The index the next entry of gPackedCmdQueue gets: its enqueued total + 1.
std::uint64_t NextQueuedCmdIndex();

// Stamps the entry with its queue index and appends it to gPackedCmdQueue.
// False, with nothing queued, when the ring is full (the intake refuses queued
// commands before that, so this only guards a handler that queues twice) or
// not set up (logged).
bool EnqueuePackedCmd(PackedBaseCmd& cmd);

// A type 0 entry without body: a queued parameter write already applied keeps
// its place in the sequence of queue indices. False, with nothing queued,
// when the ring is full or not set up (logged).
bool EnqueueParamPlaceholder();
