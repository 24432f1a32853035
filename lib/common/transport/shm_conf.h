#pragma once

#include <cstdint>

namespace zelor::common::transport {

// Message-size classes of a segment; every segment is created with the 16 K class.
inline constexpr uint32_t MESSAGE_SIZE_16K = 16384;
inline constexpr uint32_t MESSAGE_SIZE_128K = 131072;
inline constexpr uint32_t MESSAGE_SIZE_1M = 1048576;

// Sizes of a segment of one message-size class. An unknown class has no buffers.
class ShmConf {
 public:
  explicit ShmConf(uint32_t messageClass = MESSAGE_SIZE_16K) { Update(messageClass); }

  void Update(uint32_t messageClass);

  uint32_t GetMaxMessageSize() const { return maxMessageSize_; }
  uint32_t GetBlockBufSize() const { return blockBufSize_; }
  uint32_t GetBlockNum() const { return blockNum_; }
  uint32_t GetShmSize() const { return shmSize_; }

 private:
  uint32_t maxMessageSize_ = 0;
  uint32_t blockBufSize_ = 0;
  uint32_t blockNum_ = 0;
  uint32_t shmSize_ = 0;
};

}  // namespace zelor::common::transport
