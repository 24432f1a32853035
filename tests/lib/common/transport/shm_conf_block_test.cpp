// Segment sizes, frame packing and the channel lock byte, without any segment.
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/transport/block.h"
#include "common/transport/segment.h"
#include "common/transport/shm_conf.h"
#include "stdout_capture.h"

using zelor::common::transport::Block;
using zelor::common::transport::Segment;
using zelor::common::transport::ShmConf;

TEST(ShmConf, SizesOfEachMessageClass) {
  struct Case {
    uint32_t messageClass;
    uint32_t blocks;
    uint32_t bufSize;
    uint32_t shmSize;
  };
  const Case cases[] = {
      {16384, 32, 17408, 594944},
      {131072, 16, 132096, 2135040},
      {1048576, 8, 1049600, 8410112},
      {0, 0, 1024, 5120},
      {16385, 0, 17409, 5120},
      {65536, 0, 66560, 5120},
  };
  for (const Case& c : cases) {
    ShmConf conf(1);
    conf.Update(c.messageClass);
    EXPECT_EQ(conf.GetBlockNum(), c.blocks) << "class " << c.messageClass;
    EXPECT_EQ(conf.GetBlockBufSize(), c.bufSize) << "class " << c.messageClass;
    EXPECT_EQ(conf.GetShmSize(), c.shmSize) << "class " << c.messageClass;
    EXPECT_EQ(conf.GetMaxMessageSize(), 16384u) << "class " << c.messageClass;
  }
  EXPECT_EQ(ShmConf().GetShmSize(), 594944u) << "the default class is 16 K";
}

TEST(SegmentPackMsg, BuildsBigEndianLengthPrefix) {
  const uint8_t payload[] = {0x01, 0x02, 0x03};
  uint8_t frame[8] = {};
  zelor::test::StdoutCapture out;
  const int packed = Segment::PackMsg(payload, 3, frame);
  const std::string printed = out.finish();
  EXPECT_EQ(packed, 5);
  EXPECT_EQ(std::vector<uint8_t>(frame, frame + 5), (std::vector<uint8_t>{0x00, 0x03, 0x01, 0x02, 0x03}));
  EXPECT_EQ(printed, "[Segment::PackMsg]:sendlen = 5\n00 03 01 02 03 \n");
}

TEST(SegmentPackMsg, LongPayloadKeepsHighByte) {
  std::vector<uint8_t> payload(0x0123, 0xAB);
  std::vector<uint8_t> frame(payload.size() + 2);
  zelor::test::StdoutCapture out;
  const int packed = Segment::PackMsg(payload.data(), static_cast<unsigned short>(payload.size()), frame.data());
  out.finish();
  EXPECT_EQ(packed, 0x0125);
  EXPECT_EQ(frame[0], 0x01);
  EXPECT_EQ(frame[1], 0x23);
  EXPECT_EQ(frame.back(), 0xAB);
}

TEST(SegmentPackMsg, NullArgumentsBuildNothing) {
  uint8_t frame[4] = {9, 9, 9, 9};
  const uint8_t payload[] = {1};
  EXPECT_EQ(Segment::PackMsg(nullptr, 1, frame), 0);
  EXPECT_EQ(Segment::PackMsg(payload, 1, nullptr), 0);
  EXPECT_EQ(frame[0], 9);
}

class BlockLock : public ::testing::Test {
 protected:
  Block block_{};
};

TEST_F(BlockLock, WriterExcludesReadersAndWriters) {
  ASSERT_TRUE(block_.TryLockForWrite());
  EXPECT_EQ(block_.lock, -1);
  zelor::test::StdoutCapture out;
  const bool second = block_.TryLockForWrite();
  const bool readNoBlock = block_.TryLockForReadNoBlock();
  const bool read = block_.TryLockForRead();
  const std::string text = out.finish();
  EXPECT_FALSE(second);
  EXPECT_FALSE(readNoBlock);
  EXPECT_FALSE(read);
  block_.ReleaseWriteLock();
  EXPECT_EQ(block_.lock, 0);
  EXPECT_NE(text.find("[Block::TryLockForWrite], end fail m_lock_num:-1, rw_lock_free:-1 ...\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("[TryLockForRead], lock_num: -1, writting\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[TryLockForReadNoBlock], lock_num: -1, writting\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("Wait:"), std::string::npos) << "a held write lock fails the read at once: " << text;
}

// The holder's pid is recorded while the write lock is held, and only a
// take-over naming that very pid moves the lock to the caller.
TEST_F(BlockLock, WriterPidIsRecordedAndOnlyItsLockCanBeTakenOver) {
  EXPECT_EQ(block_.WriteHolder(), 0);
  ASSERT_TRUE(block_.TryLockForWrite());
  EXPECT_EQ(block_.WriteHolder(), getpid());

  const pid_t self = getpid();
  struct Row {
    const char* name;
    pid_t recorded;  // what the record says before the take-over
    pid_t named;     // the holder the caller found dead
    bool taken;
  };
  const Row rows[] = {
      {"the recorded holder", 4242, 4242, true},
      {"another pid", 4242, 4243, false},
      {"no holder named", 4242, 0, false},
      {"a negative pid", 4242, -1, false},
      {"nothing recorded", 0, 0, false},
  };
  for (const Row& row : rows) {
    block_.writerPid = row.recorded;
    EXPECT_EQ(block_.TakeOverWriteLock(row.named), row.taken) << row.name;
    EXPECT_EQ(block_.WriteHolder(), row.taken ? self : row.recorded) << row.name;
    EXPECT_EQ(block_.lock, -1) << row.name << ": the lock byte stays with the writer";
  }
  block_.writerPid = self;
  block_.ReleaseWriteLock();
  EXPECT_EQ(block_.lock, 0);
  EXPECT_EQ(block_.WriteHolder(), 0) << "a released lock names no holder";
  EXPECT_FALSE(block_.TakeOverWriteLock(self)) << "a free lock cannot be taken over";
  EXPECT_EQ(block_.lock, 0);
}

TEST_F(BlockLock, ReadersShareAndKeepWriterOut) {
  ASSERT_TRUE(block_.TryLockForRead());
  ASSERT_TRUE(block_.TryLockForReadNoBlock());
  EXPECT_EQ(block_.lock, 2);
  EXPECT_FALSE(block_.TryLockForWrite());
  block_.ReleaseReadLock();
  block_.ReleaseReadLock();
  EXPECT_EQ(block_.lock, 0);
  EXPECT_TRUE(block_.TryLockForWrite());
}

TEST_F(BlockLock, FullReaderCountRefusesAnotherReader) {
  block_.lock = 127;
  EXPECT_FALSE(block_.TryLockForReadNoBlock());
  EXPECT_EQ(block_.lock, 127) << "the count must not wrap into the writer's value";
}

TEST_F(BlockLock, ReadFlag) {
  block_.SetReadFlag(true);
  EXPECT_TRUE(block_.IsWritable());
  EXPECT_EQ(block_.readFlag, 1);
  block_.SetReadFlag(false);
  EXPECT_FALSE(block_.IsWritable());
}

// Threads take the lock in both modes at random; a writer must always be alone.
TEST(BlockLockThreads, WriterIsNeverSeenWithAnotherHolder) {
  Block block{};
  std::atomic<int> writers{0};
  std::atomic<int> readers{0};
  std::atomic<bool> overlap{false};
  std::vector<std::thread> threads;
  zelor::test::StdoutCapture quiet;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      uint32_t seed = 12345u + static_cast<uint32_t>(t);
      for (int i = 0; i < 3000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        if (seed & 0x10000) {
          if (!block.TryLockForWrite()) continue;
          if (writers.fetch_add(1) != 0 || readers.load() != 0) overlap = true;
          writers.fetch_sub(1);
          block.ReleaseWriteLock();
        } else {
          if (!block.TryLockForReadNoBlock()) continue;
          readers.fetch_add(1);
          if (writers.load() != 0) overlap = true;
          readers.fetch_sub(1);
          block.ReleaseReadLock();
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  quiet.finish();
  EXPECT_FALSE(overlap.load());
  EXPECT_EQ(block.lock, 0) << "every lock taken was given back";
}
