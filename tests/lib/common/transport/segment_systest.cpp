// Message segment 12 between processes and between objects of one process.
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/transport/segment.h"
#include "install_paths.h"
#include "fork_child.h"
#include "stdout_capture.h"

namespace {

using zelor::common::transport::Block;
using zelor::common::transport::Segment;
using zelor::common::transport::State;
using zelor::common::transport::WritableBlock;

constexpr unsigned kId = 12;
constexpr size_t kBufSize = 17408;
constexpr size_t kShmSize = 594944;
constexpr size_t kBuffersStart = 660;
constexpr size_t kUnusedStart = kBuffersStart + 32 * kBufSize;

key_t segmentKey() { return ftok(zelor::paths::kSemKeyFile, kId); }

bool segmentExists() { return shmget(segmentKey(), 0, 0) != -1; }

// A second, independent view of the segment, to check its bytes.
class RawView {
 public:
  RawView() {
    const int shmid = shmget(segmentKey(), 0, 0);
    if (shmid != -1) base_ = static_cast<uint8_t*>(shmat(shmid, nullptr, 0));
  }
  ~RawView() {
    if (base_ != nullptr) shmdt(base_);
  }
  uint8_t* at(size_t offset) { return base_ + offset; }
  uint8_t* buffer(unsigned channel) { return at(kBuffersStart + channel * kBufSize); }
  const State& state() { return *reinterpret_cast<State*>(base_); }
  const Block& block(unsigned channel) { return *reinterpret_cast<Block*>(at(20 + 20 * channel)); }

 private:
  uint8_t* base_ = nullptr;
};

std::vector<uint8_t> frameOf(const std::string& payload) {
  std::vector<uint8_t> frame(payload.size() + 2);
  frame[0] = static_cast<uint8_t>(payload.size() >> 8);
  frame[1] = static_cast<uint8_t>(payload.size() & 0xFF);
  std::memcpy(frame.data() + 2, payload.data(), payload.size());
  return frame;
}

int writeText(Segment& seg, unsigned char channel, const std::string& payload) {
  const auto frame = frameOf(payload);
  return seg.Write(channel, frame.data(), static_cast<unsigned short>(frame.size()));
}

std::string readText(Segment& seg, unsigned char channel) {
  std::vector<uint8_t> out(kBufSize);
  const int n = seg.Read(channel, out.data());
  if (n <= 2) return {};
  return std::string(reinterpret_cast<char*>(out.data()) + 2, static_cast<size_t>(n - 2));
}

using zelor::test::forkChild;
using zelor::test::waitExit;

// Each test ends with segment 12 gone.
class SegmentTest : public ::testing::Test {
 protected:
  void TearDown() override {
    const int shmid = shmget(segmentKey(), 0, 0);
    EXPECT_EQ(shmid, -1) << "segment 12 left over";
    if (shmid != -1) shmctl(shmid, IPC_RMID, nullptr);
  }
};

}  // namespace

TEST_F(SegmentTest, CreatesFormattedSegment) {
  zelor::test::StdoutCapture out;
  {
    Segment seg(kId);
    const std::string created = out.finish();
    EXPECT_EQ(created, "start create shm.\ncreate shm success.\n");
    ASSERT_TRUE(seg.IsOpen());
    shmid_ds info{};
    ASSERT_EQ(shmctl(shmget(segmentKey(), 0, 0), IPC_STAT, &info), 0);
    EXPECT_EQ(info.shm_segsz, kShmSize);
    RawView raw;
    EXPECT_EQ(raw.state().refCount, 0u) << "the creator does not count itself";
    EXPECT_EQ(raw.state().messageClass, 16384u);
    for (unsigned c = 0; c < 32; ++c) {
      EXPECT_EQ(raw.block(c).lock, 0) << c;
      EXPECT_EQ(raw.block(c).readFlag, 1) << c;
    }
    uint8_t out2[kBufSize];
    EXPECT_EQ(seg.Read(0, out2), 0) << "a new channel is empty";
    EXPECT_EQ(raw.buffer(0)[0] | raw.buffer(0)[1], 0);
  }
  EXPECT_FALSE(segmentExists()) << "the creator alone: its Destroy removes the segment";
}

TEST_F(SegmentTest, FrameWrittenByOneProcessIsReadOnceByAnother) {
  Segment reader(kId);
  const pid_t writer = forkChild([] {
    Segment seg(kId);
    const uint8_t payload[] = {'h', 'e', 'l', 'l', 'o'};
    uint8_t frame[16];
    const int len = Segment::PackMsg(payload, sizeof payload, frame);
    return seg.Write(4, frame, static_cast<unsigned short>(len)) == 1 ? 0 : 1;
  });
  ASSERT_EQ(waitExit(writer), 0);

  uint8_t out[kBufSize] = {};
  ASSERT_EQ(reader.Read(4, out), 7);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 7), (std::vector<uint8_t>{0, 5, 'h', 'e', 'l', 'l', 'o'}));
  EXPECT_EQ(reader.Read(4, out), 0) << "a read consumes the frame";
}

TEST_F(SegmentTest, WriteEmptiesNextChannelOnly) {
  Segment seg(kId);
  ASSERT_EQ(writeText(seg, 5, "five"), 1);
  ASSERT_EQ(writeText(seg, 7, "stale reply"), 1);
  ASSERT_EQ(writeText(seg, 6, "request"), 1);
  EXPECT_EQ(readText(seg, 7), "") << "the waiting reply is dropped";
  EXPECT_EQ(readText(seg, 5), "five");
  EXPECT_EQ(readText(seg, 6), "request");
}

TEST_F(SegmentTest, ReadWhileWriterHoldsChannelFailsAtOnce) {
  Segment writer(kId);
  Segment reader(kId);
  WritableBlock held;
  ASSERT_TRUE(writer.AcquireBlockToWrite(3, held));
  std::memcpy(held.buffer, "\x00\x02hi", 4);

  uint8_t out[kBufSize];
  zelor::test::StdoutCapture capture;
  const int blocking = reader.Read(3, out);
  const int noBlock = reader.ReadNoBlock(3, out);
  const std::string text = capture.finish();
  EXPECT_EQ(blocking, 0);
  EXPECT_EQ(noBlock, 0);
  EXPECT_NE(text.find("[TryLockForRead], lock_num: -1, writting\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[TryLockForReadNoBlock], lock_num: -1, writting\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[Segment::AcquireBlockToRead] index:[3], fail times:"), std::string::npos) << text;
  EXPECT_EQ(text.find("Wait:"), std::string::npos) << "no retries while a writer holds it: " << text;

  writer.ReleaseWrittenBlock(3, held);
  EXPECT_EQ(readText(reader, 3), "hi");
}

TEST_F(SegmentTest, OpenerIsCountedAndItsDestroyRemovesSegment) {
  Segment creator(kId);
  int up[2], down[2];
  ASSERT_EQ(pipe(up), 0);
  ASSERT_EQ(pipe(down), 0);
  const pid_t opener = forkChild([&] {
    Segment seg(kId);
    char c = 1;
    if (write(up[1], &c, 1) != 1 || read(down[0], &c, 1) != 1) return 2;
    zelor::test::StdoutCapture out;
    const bool destroyed = seg.Destroy();
    const std::string text = out.finish();
    return destroyed && text == "remove shm success.\n" ? 0 : 1;
  });
  char c = 0;
  ASSERT_EQ(read(up[0], &c, 1), 1);
  {
    RawView raw;
    EXPECT_EQ(raw.state().refCount, 1u);
  }
  ASSERT_EQ(write(down[1], &c, 1), 1);
  EXPECT_EQ(waitExit(opener), 0);
  EXPECT_FALSE(segmentExists());
  for (int fd : {up[0], up[1], down[0], down[1]}) close(fd);
}

TEST_F(SegmentTest, SeveralObjectsShareOneSegment) {
  Segment a(kId);
  zelor::test::StdoutCapture out;
  Segment b(kId);
  const std::string text = out.finish();
  EXPECT_EQ(text, "start create shm.\nopen only shm success.\n");
  ASSERT_EQ(writeText(a, 10, "from a"), 1);
  EXPECT_EQ(readText(b, 10), "from a");
}

TEST_F(SegmentTest, CreateOnOpenObjectKeepsSegment) {
  Segment seg(kId);
  ASSERT_EQ(writeText(seg, 1, "kept"), 1);
  zelor::test::StdoutCapture out;
  const bool created = seg.Create();
  const std::string text = out.finish();
  EXPECT_TRUE(created);
  EXPECT_EQ(text, " shm is created.\n");
  EXPECT_TRUE(seg.Remap());
  EXPECT_TRUE(seg.Recreate());
  EXPECT_EQ(readText(seg, 1), "kept");
}

TEST_F(SegmentTest, ReadNoClrNamesTheTypeItTook) {
  Segment seg(kId);
  ASSERT_EQ(writeText(seg, 8, std::string("\x02xyz", 4)), 1);
  uint8_t out[kBufSize];
  zelor::test::StdoutCapture capture;
  const int n = seg.ReadNoClr(0x02, 8, out);
  const std::string text = capture.finish();
  EXPECT_EQ(n, 6);
  EXPECT_EQ(text, "[ReadNoClr] type = 0x02, clear.\n");
  EXPECT_EQ(seg.Read(8, out), 0);

  ASSERT_EQ(writeText(seg, 8, std::string("\x05", 1)), 1);
  EXPECT_EQ(seg.ReadNoClr(0x02, 8, out), 3);
  EXPECT_EQ(seg.ReadNoBlock(8, out), 0) << "every read empties the channel";
}

TEST_F(SegmentTest, ClearEmptiesWithoutLock) {
  Segment seg(kId);
  ASSERT_EQ(writeText(seg, 9, "x"), 1);
  seg.Clear(9);
  EXPECT_EQ(readText(seg, 9), "");
}

// Frames and channel numbers from callers are checked before any byte moves.
TEST_F(SegmentTest, UnsafeFramesAndChannelsAreRefused) {
  Segment seg(kId);
  RawView raw;
  std::memset(raw.at(kUnusedStart), 0xAB, kShmSize - kUnusedStart);
  ASSERT_EQ(writeText(seg, 0, "first"), 1);

  std::vector<uint8_t> big(kBufSize + 1, 0x11);
  uint8_t out[kBufSize];
  zelor::test::StdoutCapture capture;
  const int oversized = seg.Write(0, big.data(), static_cast<unsigned short>(big.size()));
  const int nullFrame = seg.Write(0, nullptr, 4);
  const int badWrite = seg.Write(32, big.data(), 4);
  const int badRead = seg.Read(32, out);
  const int badReadNoBlock = seg.ReadNoBlock(200, out);
  const int badReadNoClr = seg.ReadNoClr(1, 255, out);
  WritableBlock wb;
  const bool badAcquire = seg.AcquireBlockToWrite(32, wb);
  const bool badAcquireRead = seg.AcquireBlockToRead(32, wb);
  seg.Clear(32);
  seg.Clear(1000);
  const std::string text = capture.finish();

  EXPECT_EQ(oversized, 0);
  EXPECT_EQ(nullFrame, 0);
  EXPECT_EQ(badWrite, 0);
  EXPECT_EQ(badRead, 0);
  EXPECT_EQ(badReadNoBlock, 0);
  EXPECT_EQ(badReadNoClr, 0);
  EXPECT_FALSE(badAcquire);
  EXPECT_FALSE(badAcquireRead);
  EXPECT_NE(text.find("[Segment::Write] channel 0 refused a frame of 17409 bytes"), std::string::npos) << text;
  EXPECT_NE(text.find("[Segment::Write] segment 12 has no open channel 32"), std::string::npos) << text;
  EXPECT_EQ(readText(seg, 0), "first") << "a refused frame writes nothing";
  for (unsigned c = 0; c < 32; ++c) EXPECT_EQ(raw.block(c).lock, 0) << "no lock left held on " << c;

  // A frame that fills the whole buffer fits, on the last channel too, and
  // nothing behind the buffers is touched.
  std::vector<uint8_t> full(kBufSize, 0x22);
  full[0] = static_cast<uint8_t>((kBufSize - 2) >> 8);
  full[1] = static_cast<uint8_t>((kBufSize - 2) & 0xFF);
  EXPECT_EQ(seg.Write(31, full.data(), static_cast<unsigned short>(full.size())), 1);
  EXPECT_EQ(seg.Read(31, out), static_cast<int>(kBufSize));
  EXPECT_EQ(out[kBufSize - 1], 0x22);
  for (size_t i = kUnusedStart; i < kShmSize; ++i) {
    ASSERT_EQ(*raw.at(i), 0xAB) << "byte " << i << " behind the last buffer changed";
  }
}

TEST_F(SegmentTest, CorruptLengthReadsAsEmpty) {
  Segment seg(kId);
  RawView raw;
  struct Case {
    uint8_t hi, lo;
  };
  // 17407 + 2 and 65535 + 2 bytes do not fit the 17408-byte buffer.
  for (const Case c : {Case{0x43, 0xFF}, Case{0xFF, 0xFF}}) {
    raw.buffer(2)[0] = c.hi;
    raw.buffer(2)[1] = c.lo;
    std::vector<uint8_t> out(kBufSize + 64, 0xEE);
    zelor::test::StdoutCapture quiet;
    const int n = seg.Read(2, out.data());
    quiet.finish();
    EXPECT_EQ(n, 0);
    EXPECT_EQ(out[0], 0xEE) << "nothing copied";
    EXPECT_EQ(raw.buffer(2)[0] | raw.buffer(2)[1], 0) << "the bad frame is dropped";
  }
  raw.buffer(2)[0] = 0x43;
  raw.buffer(2)[1] = 0xFE;  // exactly the buffer
  std::vector<uint8_t> out(kBufSize);
  EXPECT_EQ(seg.Read(2, out.data()), static_cast<int>(kBufSize));
}

TEST_F(SegmentTest, DestroyedObjectRefusesChannels) {
  Segment seg(kId);
  EXPECT_TRUE(seg.Destroy());
  EXPECT_FALSE(segmentExists());
  zelor::test::StdoutCapture quiet;
  const int written = writeText(seg, 0, "late");
  quiet.finish();
  EXPECT_EQ(written, 0);
  EXPECT_TRUE(seg.Destroy()) << "a closed object has nothing to leave";
}

TEST_F(SegmentTest, ForeignSmallerSegmentIsNotUsed) {
  Segment* probe = nullptr;
  std::fclose(std::fopen(zelor::paths::kSemKeyFile, "w"));
  ASSERT_NE(segmentKey(), -1);
  const int foreign = shmget(segmentKey(), 4096, IPC_CREAT | 0644);
  ASSERT_NE(foreign, -1);
  {
    zelor::test::StdoutCapture quiet;
    probe = new Segment(kId);
    quiet.finish();
    EXPECT_FALSE(probe->IsOpen());
    zelor::test::StdoutCapture quiet2;
    const int written = writeText(*probe, 0, "x");
    quiet2.finish();
    EXPECT_EQ(written, 0);
    delete probe;
  }
  shmctl(foreign, IPC_RMID, nullptr);
}

namespace {

// A child that takes channel `channel`'s write lock, leaves half a frame in
// the buffer and then sits still; its pid is known once it holds the lock.
pid_t childHoldingWriteLock(unsigned char channel) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t child = forkChild([&] {
    close(ready[0]);
    Segment seg(kId);
    WritableBlock wb;
    if (!seg.AcquireBlockToWrite(channel, wb)) return 2;
    std::memcpy(wb.buffer, "\x00\x09half", 6);
    char c = 1;
    if (write(ready[1], &c, 1) != 1) return 3;
    for (;;) pause();
  });
  close(ready[1]);
  char c = 0;
  const bool held = read(ready[0], &c, 1) == 1;
  close(ready[0]);
  if (!held) {
    kill(child, SIGKILL);
    waitExit(child);
    return -1;
  }
  return child;
}

size_t countOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

}  // namespace

// A writer whose lock holder was killed gets the lock within 2 s, says once
// that it took it over, and its frame is the one the channel then holds. An
// ended holder that its parent has not reaped yet is as dead as a reaped one.
TEST_F(SegmentTest, DeadWritersLockIsTakenOverByTheNextWriter) {
  for (const bool reaped : {true, false}) {
    SCOPED_TRACE(reaped ? "holder killed and reaped" : "holder killed, not yet reaped");
    Segment seg(kId);
    const pid_t holder = childHoldingWriteLock(5);
    ASSERT_GT(holder, 0) << "the child never took the lock";
    {
      RawView raw;
      ASSERT_EQ(raw.block(5).lock, -1);
      EXPECT_EQ(raw.block(5).writerPid, holder) << "the holder's pid is recorded with the lock";
    }
    ASSERT_EQ(kill(holder, SIGKILL), 0);
    if (reaped) {
      EXPECT_EQ(waitExit(holder), 128 + SIGKILL);
    } else {
      // Wait until it has ended without reaping it.
      siginfo_t info{};
      ASSERT_EQ(waitid(P_PID, static_cast<id_t>(holder), &info, WEXITED | WNOWAIT), 0);
    }

    zelor::test::StdoutCapture capture;
    const auto start = std::chrono::steady_clock::now();
    const int written = writeText(seg, 5, "after");
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string text = capture.finish();
    EXPECT_EQ(written, 1);
    EXPECT_LT(took, std::chrono::seconds(2)) << text;
    const std::string line = "[Segment::AcquireBlockToWrite] index:[5], writer pid " + std::to_string(holder) +
                             " is gone, lock taken over\n";
    EXPECT_EQ(countOf(text, line), 1u) << text;
    EXPECT_EQ(countOf(text, "lock taken over"), 1u) << text;
    EXPECT_EQ(readText(seg, 5), "after");
    {
      RawView raw;
      EXPECT_EQ(raw.block(5).lock, 0) << "the taken-over lock was given back";
      EXPECT_EQ(raw.block(5).writerPid, 0);
    }
    if (!reaped) {
      EXPECT_EQ(waitExit(holder), 128 + SIGKILL);
    }
  }
}

// A live holder keeps its lock, even while stopped: the writer waits in its
// 1 s steps and takes nothing over until the holder has died.
TEST_F(SegmentTest, LiveOrStoppedHolderIsWaitedFor) {
  Segment seg(kId);
  const pid_t holder = childHoldingWriteLock(9);
  ASSERT_GT(holder, 0) << "the child never took the lock";

  zelor::test::StdoutCapture capture;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    writeText(seg, 9, "late");
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const bool doneWhileRunning = done.load();
  kill(holder, SIGSTOP);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const bool doneWhileStopped = done.load();
  kill(holder, SIGKILL);
  const int status = waitExit(holder);
  const auto killed = std::chrono::steady_clock::now();
  writer.join();
  const auto took = std::chrono::steady_clock::now() - killed;
  const std::string text = capture.finish();

  EXPECT_EQ(status, 128 + SIGKILL);
  EXPECT_FALSE(doneWhileRunning) << "the lock of a running holder was taken";
  EXPECT_FALSE(doneWhileStopped) << "the lock of a stopped holder was taken";
  EXPECT_GE(countOf(text, "[Segment::AcquireBlockToWrite] wait ...\n"), 2u) << text;
  EXPECT_EQ(countOf(text, "lock taken over"), 1u) << text;
  EXPECT_LT(took, std::chrono::seconds(2)) << "no take-over within 2 s of the holder's death";
  EXPECT_EQ(readText(seg, 9), "late");
}
