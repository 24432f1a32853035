// Rings over static pools: counters, flags, the never-returning totals, and
// FIFO order across the wrap against a model.
#include <cstdint>
#include <deque>
#include <random>

#include <gtest/gtest.h>

#include "common/kernel/kernel_queues.h"
#include "common/kernel/ring_buffer.h"

namespace {

struct SmallRing : ::testing::Test {
  void SetUp() override { RingBufferInit(&ring, pool, 4, sizeof(std::int32_t)); }
  void put(std::int32_t value) { RingBufferEnqueue(&ring, &value); }
  std::int32_t take() {
    std::int32_t value = -1;
    RingBufferDequeue(&ring, &value);
    return value;
  }
  std::int32_t pool[4] = {};
  tagRingBuffer ring{};
};

}  // namespace

TEST_F(SmallRing, FreshRingIsEmptyWithBothTotalsOne) {
  EXPECT_EQ(+ring.isEmpty, 1);
  EXPECT_EQ(+ring.isFull, 0);
  EXPECT_EQ(+ring.count, 0u);
  EXPECT_EQ(+ring.readIndex, 0u);
  EXPECT_EQ(+ring.writeIndex, 0u);
  EXPECT_EQ(+ring.dequeuedTotal, 1u);
  EXPECT_EQ(+ring.enqueuedTotal, 1u);
}

TEST(PackedCmdQueue, FullAfter128EnqueuesWithIndicesBackAtZero) {
  InitKernelQueues();
  for (std::uint32_t i = 0; i < kPackedCmdQueueSize; ++i) {
    EXPECT_EQ(+gPackedCmdQueue.isFull, 0) << "after " << i;
    RingBufferEnqueue(&gPackedCmdQueue, nullptr);
  }
  EXPECT_EQ(+gPackedCmdQueue.isFull, 1);
  EXPECT_EQ(+gPackedCmdQueue.count, 128u);
  EXPECT_EQ(+gPackedCmdQueue.readIndex, 0u);
  EXPECT_EQ(+gPackedCmdQueue.writeIndex, 0u);
  EXPECT_EQ(+gPackedCmdQueue.enqueuedTotal, 129u);
}

TEST(PackedCmdQueue, ClearKeepsTheIndexSequence) {
  InitKernelQueues();
  for (int i = 0; i < 5; ++i) RingBufferEnqueue(&gPackedCmdQueue, nullptr);
  RingBufferDequeue(&gPackedCmdQueue, nullptr);
  RingBufferDequeue(&gPackedCmdQueue, nullptr);
  RingBufferClear(&gPackedCmdQueue);
  EXPECT_EQ(+gPackedCmdQueue.count, 0u);
  EXPECT_EQ(+gPackedCmdQueue.isEmpty, 1);
  EXPECT_EQ(+gPackedCmdQueue.dequeuedTotal, 6u);
  EXPECT_EQ(+gPackedCmdQueue.enqueuedTotal, 6u);
  RingBufferEnqueue(&gPackedCmdQueue, nullptr);
  EXPECT_EQ(+gPackedCmdQueue.enqueuedTotal, 7u) << "a clear never lowers the index";
}

TEST_F(SmallRing, MdqueueRewritesOnlyTheElementAtItsOffset) {
  put(10);
  put(20);
  const std::int32_t replacement = 99;
  RingBufferMdqueue(&ring, &replacement, 1);
  EXPECT_EQ(+ring.count, 2u);
  EXPECT_EQ(+ring.enqueuedTotal, 3u);
  EXPECT_EQ(take(), 10);
  EXPECT_EQ(take(), 99);
}

TEST_F(SmallRing, MdqueueOffsetCountsFromTheHeadAcrossTheWrap) {
  put(1), put(2), put(3), put(4);
  take(), take(), take();
  put(5);  // lands in slot 0
  const std::int32_t replacement = 55;
  RingBufferMdqueue(&ring, &replacement, 1);
  EXPECT_EQ(pool[0], 55);
  EXPECT_EQ(take(), 4);
  EXPECT_EQ(take(), 55);
}

TEST_F(SmallRing, NullElementsLeaveSlotsAndOutputsAlone) {
  pool[0] = 7;  // written in place by a producer
  RingBufferEnqueue(&ring, nullptr);
  EXPECT_EQ(*reinterpret_cast<std::int32_t*>(RingBufferAt(&ring, 0)), 7);
  RingBufferDequeue(&ring, nullptr);
  EXPECT_EQ(+ring.isEmpty, 1);
  EXPECT_EQ(pool[0], 7);
}

// Seeded random producers and consumers that test the flags as the kernel's
// stages do; the ring must agree with a deque at every step.
TEST_F(SmallRing, AgreesWithAModelOverRandomTraffic) {
  for (unsigned seed : {1u, 7u, 42u}) {
    SetUp();
    std::mt19937 random(seed);
    std::deque<std::int32_t> model;
    std::int32_t next = 0;
    for (int step = 0; step < 2000; ++step) {
      if (random() % 2 == 0) {
        if (ring.isFull == 0) {
          put(next);
          model.push_back(next++);
        }
      } else if (ring.isEmpty == 0) {
        ASSERT_EQ(take(), model.front()) << "seed " << seed << " step " << step;
        model.pop_front();
      }
      ASSERT_EQ(+ring.count, model.size());
      ASSERT_EQ(+ring.isEmpty, model.empty() ? 1 : 0);
      ASSERT_EQ(+ring.isFull, model.size() == 4 ? 1 : 0);
      ASSERT_EQ(+ring.enqueuedTotal - ring.dequeuedTotal, model.size());
      if (!model.empty()) {
        ASSERT_EQ(*reinterpret_cast<std::int32_t*>(RingBufferAt(&ring, 0)), model.front());
      }
    }
  }
}
