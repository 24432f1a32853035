#include "common/transport/shm_conf.h"

namespace zelor::common::transport {

void ShmConf::Update(uint32_t messageClass) {
  maxMessageSize_ = MESSAGE_SIZE_16K;
  blockBufSize_ = messageClass + 1024;
  switch (messageClass) {
    case MESSAGE_SIZE_16K: blockNum_ = 32; break;
    case MESSAGE_SIZE_128K: blockNum_ = 16; break;
    case MESSAGE_SIZE_1M: blockNum_ = 8; break;
    default: blockNum_ = 0; break;
  }
  shmSize_ = blockNum_ * (blockBufSize_ + 1024) + 5120;
}

}  // namespace zelor::common::transport
