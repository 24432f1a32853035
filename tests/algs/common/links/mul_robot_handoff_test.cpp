// The lock-free hand-offs between the control cycle and the conveyor bus's
// threads: the publish queue (cycle to publisher) and the slot cache (reader
// to cycle). Each is driven from two threads at once, as on the robot.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/links/mul_robot_cache.h"
#include "common/links/mul_robot_queue.h"

namespace {

using namespace MulRobotConveyor;

// An object whose every field carries its sequence number, so a torn copy shows.
ObjectData numbered(std::uint32_t n) {
  ObjectData obj{};
  obj.x = static_cast<float>(n);
  obj.y = static_cast<float>(n) + 0.5f;
  obj.r = -static_cast<float>(n);
  obj.encCount = static_cast<float>(n) * 2.0f;
  obj.attribute = static_cast<std::uint8_t>(n & 0xFF);
  obj.available = 1;
  return obj;
}

bool whole(const ObjectData& obj, std::uint32_t& n) {
  n = static_cast<std::uint32_t>(obj.x);
  return obj.y == static_cast<float>(n) + 0.5f && obj.r == -static_cast<float>(n) &&
         obj.encCount == static_cast<float>(n) * 2.0f && obj.attribute == (n & 0xFF) && obj.available == 1;
}

}  // namespace

TEST(ObjectQueue, HoldsAtMostItsCapacityAndKeepsOrder) {
  ObjectQueue q;
  EXPECT_TRUE(q.empty());
  for (std::uint32_t i = 0; i < ObjectQueue::kCapacity; ++i) ASSERT_TRUE(q.push(numbered(i))) << i;
  EXPECT_EQ(q.size(), ObjectQueue::kCapacity);
  EXPECT_FALSE(q.push(numbered(9999))) << "a full queue refuses";
  std::uint32_t n = 0;
  ASSERT_TRUE(whole(q.front(), n));
  EXPECT_EQ(n, 0u);
  q.pop();
  EXPECT_TRUE(q.push(numbered(5000))) << "one taken, one more fits";
  EXPECT_FALSE(q.push(numbered(5001)));
  q.clear();
  EXPECT_TRUE(q.empty());
  q.pop();  // popping an empty queue changes nothing
  EXPECT_EQ(q.size(), 0u);
  ASSERT_TRUE(q.push(numbered(7)));
  ASSERT_TRUE(whole(q.front(), n));
  EXPECT_EQ(n, 7u) << "the ring wraps over the cleared places";
}

// The cycle pushes a numbered stream (retrying when full, as it would on the
// next period), the publisher takes it: every object arrives once, whole and
// in order.
TEST(ObjectQueue, CycleAndPublisherHandOverEveryObjectInOrder) {
  constexpr std::uint32_t kObjects = 200000;
  ObjectQueue q;
  std::atomic<bool> producerDone{false};
  std::thread cycle([&] {
    for (std::uint32_t i = 0; i < kObjects;) {
      if (q.push(numbered(i))) {
        ++i;
      } else {
        std::this_thread::yield();
      }
    }
    producerDone = true;
  });
  std::uint32_t expected = 0;
  std::uint32_t bad = 0;
  while (!(producerDone && q.empty())) {
    if (q.empty()) continue;
    std::uint32_t n = 0;
    if (!whole(q.front(), n) || n != expected) ++bad;
    expected = n + 1;
    q.pop();
  }
  cycle.join();
  EXPECT_EQ(bad, 0u) << "objects torn, lost, repeated or out of order";
  EXPECT_EQ(expected, kObjects);
}

TEST(SlotCache, OffersReadsAndClears) {
  SlotCache cache;
  ObjectData got = numbered(99);
  std::uint32_t n = 0;
  EXPECT_FALSE(cache.Read(got));
  EXPECT_TRUE(whole(got, n) && n == 99) << "a failed read leaves the object alone";

  ASSERT_TRUE(cache.Offer(numbered(1)));
  EXPECT_FALSE(cache.Offer(numbered(2))) << "a full cache keeps its object";
  ASSERT_TRUE(cache.Read(got));
  EXPECT_TRUE(whole(got, n) && n == 1);
  ASSERT_TRUE(cache.Read(got)) << "reading does not consume";

  cache.Clear();
  EXPECT_FALSE(cache.Read(got));
  EXPECT_FALSE(cache.Offer(numbered(1))) << "while the clear is pending the master still shows the taken object";
  EXPECT_TRUE(cache.TakeClearRequest());
  EXPECT_FALSE(cache.TakeClearRequest()) << "one request per clear";
  cache.KeepClearRequest();  // the master could not be reached
  EXPECT_FALSE(cache.Offer(numbered(1)));
  EXPECT_TRUE(cache.TakeClearRequest());
  ASSERT_TRUE(cache.Offer(numbered(3)));
  ASSERT_TRUE(cache.Read(got));
  EXPECT_TRUE(whole(got, n) && n == 3);
}

// The reader thread keeps offering what the master shows, and moves the
// master on to the next object only once it has carried out a clear; the
// cycle reads and clears. The cycle must see every object whole, never an
// object it has already cleared, and never lose track.
TEST(SlotCache, ATakenObjectNeverComesBack) {
  constexpr std::uint32_t kObjects = 20000;
  SlotCache cache;
  std::atomic<std::uint32_t> onMaster{0};
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop) {
      if (cache.TakeClearRequest()) onMaster.fetch_add(1);
      cache.Offer(numbered(onMaster.load()));
    }
  });
  std::int64_t lastTaken = -1;
  std::uint32_t torn = 0;
  std::uint32_t cameBack = 0;
  while (lastTaken + 1 < static_cast<std::int64_t>(kObjects)) {
    ObjectData got{};
    if (!cache.Read(got)) continue;
    std::uint32_t n = 0;
    if (!whole(got, n)) {
      ++torn;
      continue;
    }
    if (static_cast<std::int64_t>(n) <= lastTaken) ++cameBack;
    lastTaken = n;
    cache.Clear();
  }
  stop = true;
  reader.join();
  EXPECT_EQ(torn, 0u);
  EXPECT_EQ(cameBack, 0u) << "objects read again after the cycle had cleared them";
}
