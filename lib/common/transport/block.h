#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace zelor::common::transport {

// Lock record of one channel, in the segment after the State header. The lock
// byte is 0 when free, -1 while a writer holds it, else the number of readers;
// it changes only through atomic byte operations, so locking makes no system call.
// A writer records its process id beside the lock while it holds it, so that
// a writer that finds the holder dead can take the lock over.
struct Block {
  uint32_t tag;  // written by the creator, read by nobody
  int8_t lock;
  uint8_t reserved0[3];
  int32_t writerPid;  // 0 unless a writer holds the lock; set after, cleared before the lock byte
  uint32_t reserved2;
  uint8_t readFlag;
  uint8_t reserved3[3];

  bool TryLockForWrite();
  void ReleaseWriteLock();
  // Process that holds the write lock, 0 when none is recorded.
  pid_t WriteHolder() const;
  // Takes over a write lock still recorded for `deadHolder`; false when it has
  // changed hands meanwhile (released, or taken over by another writer).
  bool TakeOverWriteLock(pid_t deadHolder);
  // Up to 5 attempts 100 ms apart while other readers move the lock; fails at
  // once while a writer holds it.
  bool TryLockForRead();
  bool TryLockForReadNoBlock();
  void ReleaseReadLock();

  void SetReadFlag(bool flag) { readFlag = flag ? 1 : 0; }
  bool IsWritable() const { return readFlag != 0; }
};
static_assert(sizeof(Block) == 20);
static_assert(offsetof(Block, lock) == 4);
static_assert(offsetof(Block, writerPid) == 8);
static_assert(offsetof(Block, readFlag) == 16);

}  // namespace zelor::common::transport
