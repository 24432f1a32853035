// The router's framing and reads on segment 12, in one process.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/router/message_router.h"
#include "common/transport/segment.h"

namespace {

using zelor::common::transport::Segment;
using zelor::modules::router::MessageRouter;
using Bytes = std::vector<uint8_t>;

TEST(RouterChannels, PackDataToCodeSysPutsTypeAndLengthFirst) {
  const uint8_t data[] = {1, 2, 3};
  uint8_t out[16] = {};
  EXPECT_EQ(MessageRouter::PackDataToCodeSys(5, data, 3, out), 7);
  EXPECT_EQ(Bytes(out, out + 8), (Bytes{0x00, 0x05, 0x00, 0x03, 0x01, 0x02, 0x03, 0x00}));
  EXPECT_EQ(MessageRouter::PackDataToCodeSys(0x1234, data, 0, out), 4);
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{0x12, 0x34, 0x00, 0x00}));
}

TEST(RouterChannels, WriteFramesWithABigEndianLengthAndReadTakesTheFrameOut) {
  MessageRouter* router = MessageRouter::Instance();
  const uint8_t data[] = {0xAA, 0xBB, 0xCC};
  EXPECT_EQ(router->Write(11, data, sizeof data), 5);
  uint8_t out[16] = {};
  EXPECT_EQ(router->Read(11, out, sizeof out), 5);
  EXPECT_EQ(Bytes(out, out + 5), (Bytes{0x00, 0x03, 0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(router->ReadNoBlock(11, out, sizeof out), 0);

  // A frame of exactly the capacity fits.
  EXPECT_EQ(router->Write(11, data, sizeof data), 5);
  EXPECT_EQ(router->ReadNoBlock(11, out, 5), 5);
}

TEST(RouterChannels, AFrameLongerThanTheDestinationIsDroppedNotCopied) {
  MessageRouter* router = MessageRouter::Instance();
  const Bytes payload(1000, 0x5A);
  struct Row {
    const char* name;
    bool noBlock;
  };
  for (const Row row : {Row{"Read", false}, Row{"ReadNoBlock", true}}) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(router->Write(13, payload.data(), static_cast<unsigned short>(payload.size())), 1002);
    // Exactly 256 bytes on the heap: AddressSanitizer sees any byte beyond.
    auto exact = std::make_unique<uint8_t[]>(256);
    std::memset(exact.get(), 0x11, 256);
    const int got = row.noBlock ? router->ReadNoBlock(13, exact.get(), 256) : router->Read(13, exact.get(), 256);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(Bytes(exact.get(), exact.get() + 256), Bytes(256, 0x11));
    // Taken out: the channel is empty afterwards.
    uint8_t rest[2048];
    EXPECT_EQ(router->ReadNoBlock(13, rest, sizeof rest), 0);
  }

  // The segment's own bounded read, with a guard area behind the capacity.
  Segment segment(MessageRouter::kSegmentId);
  ASSERT_EQ(router->Write(13, payload.data(), static_cast<unsigned short>(payload.size())), 1002);
  Bytes guarded(512, 0x22);
  EXPECT_EQ(segment.Read(13, guarded.data(), 256), 0);
  EXPECT_EQ(guarded, Bytes(512, 0x22));
}

TEST(RouterChannels, WriteRefusesFramesAboveSixteenKilobytes) {
  MessageRouter* router = MessageRouter::Instance();
  const Bytes big(16383, 0x33);
  EXPECT_EQ(router->Write(15, big.data(), 16383), 0);
  uint8_t out[64];
  EXPECT_EQ(router->ReadNoBlock(15, out, sizeof out), 0);
  // The largest accepted frame is 16,384 bytes with its length.
  Bytes largest(MessageRouter::kChannelBytes);
  EXPECT_EQ(router->Write(15, big.data(), 16382), 16384);
  EXPECT_EQ(router->ReadNoBlock(15, largest.data(), largest.size()), 16384);
  EXPECT_EQ(largest[0], 0x3F);
  EXPECT_EQ(largest[1], 0xFE);
}

// Payload of frame seq of writer w: [w][seq LE32][bytes derived from both],
// its size varying with seq.
Bytes framePayload(uint8_t writer, uint32_t seq) {
  Bytes p(5 + (seq * 397u + writer * 131u) % 4000u);
  p[0] = writer;
  std::memcpy(&p[1], &seq, 4);
  for (size_t i = 5; i < p.size(); ++i) p[i] = static_cast<uint8_t>(writer * 31u + seq * 7u + i);
  return p;
}

TEST(RouterChannels, ConcurrentWritersNeverMixFrames) {
  MessageRouter* router = MessageRouter::Instance();
  // Channels two apart: a write on n drops the frame waiting on n + 1.
  const unsigned char channels[] = {20, 22, 24, 28};
  constexpr uint32_t kFrames = 600;
  std::atomic<int> bad{0};
  std::atomic<int> lost{0};
  // Each writer waits until its reader has taken the frame, so every frame
  // written is read and checked.
  std::atomic<int64_t> taken[4];
  for (auto& t : taken) t = -1;
  std::atomic<int> writersDone{0};
  std::vector<std::thread> threads;
  for (uint8_t w = 0; w < 4; ++w) {
    threads.emplace_back([&, w] {
      for (uint32_t seq = 0; seq < kFrames; ++seq) {
        const Bytes p = framePayload(w, seq);
        if (router->Write(channels[w], p.data(), static_cast<unsigned short>(p.size())) !=
            static_cast<int>(p.size() + 2))
          ++bad;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (taken[w].load() < static_cast<int64_t>(seq) && std::chrono::steady_clock::now() < deadline)
          std::this_thread::sleep_for(std::chrono::microseconds(20));
        if (taken[w].load() < static_cast<int64_t>(seq)) ++lost;
      }
      ++writersDone;
    });
    threads.emplace_back([&, w] {
      std::vector<uint8_t> buf(MessageRouter::kChannelBytes);
      while (writersDone.load() < 4) {
        const int n = router->ReadNoBlock(channels[w], buf.data(), buf.size());
        if (n <= 0) {
          std::this_thread::sleep_for(std::chrono::microseconds(50));
          continue;
        }
        const size_t length = (size_t{buf[0]} << 8) | buf[1];
        uint32_t seq = 0;
        if (length + 2 != static_cast<size_t>(n) || length < 5 || buf[2] != w) {
          ++bad;
          continue;
        }
        std::memcpy(&seq, &buf[3], 4);
        if (seq >= kFrames || Bytes(buf.begin() + 2, buf.begin() + n) != framePayload(w, seq)) ++bad;
        taken[w] = seq;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(bad.load(), 0);
  EXPECT_EQ(lost.load(), 0);
}

}  // namespace
