#include "common/transport/segment.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "common/ipc/key_file.h"
#include "common/transport/holder_liveness.h"
#include "install_paths.h"

namespace zelor::common::transport {

namespace {

constexpr int kPermissions = 0644;
constexpr auto kWriteLockPause = std::chrono::seconds(1);

// Failed read locks of every segment of the process; wraps at 256.
std::atomic<uint8_t> gReadLockFailures{0};

uint32_t frameLength(const uint8_t* buffer) { return (uint32_t{buffer[0]} << 8) | buffer[1]; }

void clearLength(uint8_t* buffer) {
  buffer[0] = 0;
  buffer[1] = 0;
}

}  // namespace

Segment::Segment(unsigned id) : id_(id) {
  if (!ipc::ensureKeyFile(paths::kSemKeyFile)) {
    std::printf("Can't create config file:%s\n", paths::kSemKeyFile);
    std::exit(255);
  }
  Create();
}

Segment::~Segment() {
  Destroy();
  detach();
}

bool Segment::Create() {
  if (open_) {
    std::puts(" shm is created.");
    return true;
  }
  key_ = ftok(paths::kSemKeyFile, static_cast<int>(id_));
  if (key_ == -1) {
    std::puts("Get ftok key failed!,exit");
    std::exit(255);
  }
  detach();
  conf_.Update(MESSAGE_SIZE_16K);
  std::puts("start create shm.");
  int shmid = shmget(key_, conf_.GetShmSize(), IPC_CREAT | IPC_EXCL | kPermissions);
  if (shmid == -1 && errno == EINVAL) shmid = shmget(key_, conf_.GetShmSize(), IPC_CREAT | IPC_EXCL | kPermissions);
  if (shmid == -1) {
    if (errno == EEXIST) return OpenOnly();
    std::puts("create shm is failed. shmid == -1");
    return false;
  }
  void* addr = shmat(shmid, nullptr, 0);
  if (addr == reinterpret_cast<void*>(-1)) {
    std::puts("create shm is failed. shmat == -1");
    shmctl(shmid, IPC_RMID, nullptr);  // nobody can reach it but us
    return false;
  }
  base_ = static_cast<uint8_t*>(addr);
  auto* state = reinterpret_cast<State*>(base_);
  state->tag = 0;
  std::atomic_ref<uint32_t>(state->messageClass).store(MESSAGE_SIZE_16K, std::memory_order_release);
  const uint32_t messageClass = std::atomic_ref<uint32_t>(state->messageClass).load(std::memory_order_acquire);
  mapLayout(messageClass, conf_.GetShmSize());
  for (unsigned i = 0; i < blockNum_; ++i) {
    blocks_[i].tag = 0;
    std::atomic_ref<int8_t>(blocks_[i].lock).store(0, std::memory_order_release);
    blocks_[i].SetReadFlag(true);
  }
  std::puts("create shm success.");
  open_ = true;
  return true;
}

bool Segment::OpenOnly() {
  if (open_) return true;
  if (key_ == -1) key_ = ftok(paths::kSemKeyFile, static_cast<int>(id_));
  if (key_ == -1) return false;
  const int shmid = shmget(key_, 0, kPermissions);
  if (shmid == -1) return false;
  shmid_ds info{};
  if (shmctl(shmid, IPC_STAT, &info) == -1) return false;
  detach();
  void* addr = shmat(shmid, nullptr, 0);
  if (addr == reinterpret_cast<void*>(-1)) return false;
  base_ = static_cast<uint8_t*>(addr);
  auto* state = reinterpret_cast<State*>(base_);
  uint32_t messageClass = std::atomic_ref<uint32_t>(state->messageClass).load(std::memory_order_acquire);
  // Zero: the creator has not written its header yet, and it always creates
  // the default class.
  if (messageClass == 0) messageClass = MESSAGE_SIZE_16K;
  if (!mapLayout(messageClass, info.shm_segsz)) {
    std::printf("open only shm failed: class %u does not fit a segment of %zu bytes.\n", messageClass,
                static_cast<size_t>(info.shm_segsz));
    detach();
    return false;
  }
  std::atomic_ref<uint32_t>(state->refCount).fetch_add(1, std::memory_order_acq_rel);
  open_ = true;
  std::puts("open only shm success.");
  return true;
}

bool Segment::Destroy() {
  if (!open_) return true;
  open_ = false;
  std::atomic_ref<uint32_t> refCount(state_->refCount);
  uint32_t seen = refCount.load(std::memory_order_acquire);
  while (seen != 0 && !refCount.compare_exchange_weak(seen, seen - 1, std::memory_order_acq_rel)) {
  }
  if (seen <= 1) return Remove();
  return true;
}

bool Segment::Remove() {
  const int shmid = shmget(key_, 0, kPermissions);
  if (shmid == -1 || shmctl(shmid, IPC_RMID, nullptr) == -1) return false;
  std::puts("remove shm success.");
  return true;
}

int Segment::PackMsg(const void* payload, unsigned short len, void* frame) {
  if (payload == nullptr || frame == nullptr) return 0;
  auto* out = static_cast<uint8_t*>(frame);
  out[0] = static_cast<uint8_t>(len >> 8);
  out[1] = static_cast<uint8_t>(len & 0xFF);
  std::memcpy(out + 2, payload, len);
  const int total = len + 2;
  std::printf("[Segment::PackMsg]:sendlen = %d\n", total);
  for (int i = 0; i < total; ++i) std::printf("%02x ", out[i]);
  std::printf("\n");
  return total;
}

int Segment::Write(unsigned char channel, const void* frame, unsigned short len) {
  if (!validChannel(channel, "Write")) return 0;
  if (frame == nullptr || len > conf_.GetBlockBufSize()) {
    std::printf("[Segment::Write] channel %u refused a frame of %u bytes (buffer %u bytes)\n", channel, len,
                conf_.GetBlockBufSize());
    return 0;
  }
  WritableBlock wb;
  if (!AcquireBlockToWrite(channel, wb)) return 0;
  std::memcpy(wb.buffer, frame, len);
  ReleaseWrittenBlock(channel, wb);
  return 1;
}

int Segment::Read(unsigned char channel, void* out) { return readFrame(channel, out, conf_.GetBlockBufSize(), false); }

int Segment::ReadNoBlock(unsigned char channel, void* out) {
  return readFrame(channel, out, conf_.GetBlockBufSize(), true);
}

int Segment::Read(unsigned char channel, void* out, size_t capacity) {
  return readFrame(channel, out, capacity, false);
}

int Segment::ReadNoBlock(unsigned char channel, void* out, size_t capacity) {
  return readFrame(channel, out, capacity, true);
}

int Segment::readFrame(unsigned char channel, void* out, size_t capacity, bool noBlock) {
  if (out == nullptr) return 0;
  WritableBlock wb;
  if (!acquireRead(channel, wb, noBlock)) return 0;
  const uint32_t length = frameLength(wb.buffer);
  int copied = 0;
  if (length > 0 && length + 2 <= conf_.GetBlockBufSize() && length + 2 <= capacity) {
    std::memcpy(out, wb.buffer, length + 2);
    copied = static_cast<int>(length + 2);
  } else if (length > 0 && length + 2 > conf_.GetBlockBufSize()) {
    std::printf("[Segment::Read] channel %u held a frame of %u bytes, longer than its buffer: dropped\n", channel,
                length + 2);
  } else if (length > 0) {
    std::printf("[Segment::Read] channel %u held a frame of %u bytes, longer than the %zu-byte destination: dropped\n",
                channel, length + 2, capacity);
  }
  if (noBlock) clearLength(wb.buffer);
  ReleaseReadBlock(channel, wb);
  return copied;
}

int Segment::ReadNoClr(unsigned char type, unsigned char channel, void* out) {
  const int copied = Read(channel, out);
  if (copied > 2 && static_cast<uint8_t*>(out)[2] == type) {
    // Read has emptied the channel already; this names what was taken.
    std::printf("[ReadNoClr] type = 0x%02x, clear.\n", type);
  }
  return copied;
}

void Segment::Clear(unsigned channel) {
  if (!validChannel(channel, "Clear")) return;
  clearLength(buffers_[channel]);
}

bool Segment::AcquireBlockToWrite(unsigned char channel, WritableBlock& wb) {
  if (!validChannel(channel, "AcquireBlockToWrite")) return false;
  Block& block = blocks_[channel];
  // A live holder is waited for without limit; a dead one would never give
  // the lock back, so its lock is taken over.
  while (!block.TryLockForWrite()) {
    const pid_t holder = block.WriteHolder();
    if (HolderGone(holder) && block.TakeOverWriteLock(holder)) {
      std::printf("[Segment::AcquireBlockToWrite] index:[%u], writer pid %d is gone, lock taken over\n",
                  static_cast<unsigned>(channel), static_cast<int>(holder));
      break;
    }
    std::puts("[Segment::AcquireBlockToWrite] wait ...");
    std::this_thread::sleep_for(kWriteLockPause);
  }
  wb = {channel, &block, buffers_[channel]};
  // A request on k drops a reply still waiting on k + 1; the last channel has
  // nothing behind it.
  if (channel + 1u < blockNum_) clearLength(buffers_[channel + 1]);
  return true;
}

void Segment::ReleaseWrittenBlock(unsigned char, WritableBlock& wb) {
  if (wb.block != nullptr) wb.block->ReleaseWriteLock();
}

bool Segment::AcquireBlockToRead(unsigned char channel, WritableBlock& wb) {
  return acquireRead(channel, wb, false);
}

bool Segment::AcquireBlockToReadNoBlock(unsigned char channel, WritableBlock& wb) {
  return acquireRead(channel, wb, true);
}

bool Segment::acquireRead(unsigned char channel, WritableBlock& wb, bool noBlock) {
  if (!validChannel(channel, noBlock ? "AcquireBlockToReadNoBlock" : "AcquireBlockToRead")) return false;
  Block& block = blocks_[channel];
  if (!(noBlock ? block.TryLockForReadNoBlock() : block.TryLockForRead())) {
    std::printf("[Segment::AcquireBlockToRead] index:[%d], fail times:%d >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>> \n", channel,
                gReadLockFailures.fetch_add(1));
    return false;
  }
  wb = {channel, &block, buffers_[channel]};
  return true;
}

void Segment::ReleaseReadBlock(unsigned char, WritableBlock& wb) {
  if (wb.block == nullptr) return;
  clearLength(wb.buffer);
  wb.block->ReleaseReadLock();
}

bool Segment::validChannel(unsigned channel, const char* op) const {
  if (open_ && channel < blockNum_) return true;
  std::printf("[Segment::%s] segment %u has no open channel %u\n", op, id_, channel);
  return false;
}

bool Segment::mapLayout(uint32_t messageClass, size_t segmentSize) {
  const ShmConf conf(messageClass);
  if (conf.GetBlockNum() == 0 || conf.GetBlockNum() > kMaxBlocks || conf.GetShmSize() > segmentSize) return false;
  std::lock_guard<std::mutex> lock(tableMutex_);
  conf_ = conf;
  blockNum_ = conf.GetBlockNum();
  state_ = reinterpret_cast<State*>(base_);
  blocks_ = reinterpret_cast<Block*>(base_ + sizeof(State));
  uint8_t* first = base_ + sizeof(State) + sizeof(Block) * blockNum_;
  for (unsigned i = 0; i < blockNum_; ++i) buffers_[i] = first + i * conf.GetBlockBufSize();
  return true;
}

void Segment::detach() {
  if (base_ == nullptr) return;
  std::lock_guard<std::mutex> lock(tableMutex_);
  shmdt(base_);
  base_ = nullptr;
  state_ = nullptr;
  blocks_ = nullptr;
  blockNum_ = 0;
  for (auto& b : buffers_) b = nullptr;
}

}  // namespace zelor::common::transport
