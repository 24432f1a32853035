#pragma once

// Shared-memory message segment: numbered channels, each holding at most one
// frame [u16 big-endian length L][L payload bytes] (L = 0: empty), each guarded
// by the lock byte of its Block. Several processes, and several Segment objects
// of one process, may use the same segment id.
//
// The reads without a capacity need an output buffer of a whole channel
// (ShmConf::GetBlockBufSize(), 17,408 bytes for the 16 K class); the reads
// with a capacity never write past it.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "common/transport/block.h"
#include "common/transport/shm_conf.h"
#include "common/transport/state.h"

namespace zelor::common::transport {

// What the acquire operations hand out: a channel held by the caller.
struct WritableBlock {
  unsigned char index = 0;
  Block* block = nullptr;
  uint8_t* buffer = nullptr;
};

class Segment {
 public:
  // Creates the segment of key ftok(key file, id), or opens it when it exists.
  explicit Segment(unsigned id);
  ~Segment();
  Segment(const Segment&) = delete;
  Segment& operator=(const Segment&) = delete;

  bool Create();
  bool OpenOnly();
  // Leaves the segment; the last user (reference count back at 0) removes it.
  bool Destroy();
  bool Remove();

  // frame = [len >> 8][len & 0xFF][payload]; returns len + 2, or 0 for null arguments.
  static int PackMsg(const void* payload, unsigned short len, void* frame);

  // Puts a frame of len bytes into the channel, waiting (1 s steps) for its
  // write lock while its holder lives, taking it over from a holder that has
  // died; the waiting frame of the next channel is dropped. 1, or 0 when
  // the channel does not exist or the frame does not fit its buffer.
  int Write(unsigned char channel, const void* frame, unsigned short len);
  // Takes the channel's frame out (length bytes included): L + 2, or 0 when the
  // channel is empty, holds no valid frame, or its read lock was not obtained.
  int Read(unsigned char channel, void* out);
  int ReadNoBlock(unsigned char channel, void* out);
  // As above into a destination of capacity bytes: a frame longer than that
  // is taken out, logged and reported as 0, nothing copied.
  int Read(unsigned char channel, void* out, size_t capacity);
  int ReadNoBlock(unsigned char channel, void* out, size_t capacity);
  int ReadNoClr(unsigned char type, unsigned char channel, void* out);
  // Empties the channel without locking.
  void Clear(unsigned channel);

  bool AcquireBlockToWrite(unsigned char channel, WritableBlock& wb);
  void ReleaseWrittenBlock(unsigned char channel, WritableBlock& wb);
  bool AcquireBlockToRead(unsigned char channel, WritableBlock& wb);
  bool AcquireBlockToReadNoBlock(unsigned char channel, WritableBlock& wb);
  void ReleaseReadBlock(unsigned char channel, WritableBlock& wb);

  void Reset() {}
  bool Remap() { return true; }
  bool Recreate() { return true; }

  bool IsOpen() const { return open_; }
  const ShmConf& Conf() const { return conf_; }

 private:
  static constexpr unsigned kMaxBlocks = 32;

  bool validChannel(unsigned channel, const char* op) const;
  // Points the lock records and buffer table into the attachment.
  bool mapLayout(uint32_t messageClass, size_t segmentSize);
  bool acquireRead(unsigned char channel, WritableBlock& wb, bool noBlock);
  int readFrame(unsigned char channel, void* out, size_t capacity, bool noBlock);
  void detach();

  unsigned id_;
  key_t key_ = -1;
  bool open_ = false;
  ShmConf conf_;
  uint8_t* base_ = nullptr;
  State* state_ = nullptr;
  Block* blocks_ = nullptr;
  uint8_t* buffers_[kMaxBlocks] = {};
  unsigned blockNum_ = 0;
  std::mutex tableMutex_;
};

}  // namespace zelor::common::transport
