// The script's text queues: oldest first, safe between threads.
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "json/robot_queue.h"

TEST(RobotQueue, OldestFirstAndEmptyTextWhenEmpty) {
  RobotQueue queue;
  EXPECT_EQ(queue.getString(), "");
  queue.insertString("a");
  queue.insertString("");
  queue.insertString("c");
  EXPECT_EQ(queue.getSize(), 3);
  EXPECT_EQ(queue.getString(), "a");
  EXPECT_EQ(queue.getString(), "");
  EXPECT_EQ(queue.getString(), "c");
  EXPECT_EQ(queue.getSize(), 0);
  queue.insertString("x");
  queue.clear();
  EXPECT_EQ(queue.getSize(), 0);
  EXPECT_EQ(queue.getString(), "");
}

TEST(RobotQueue, KeepsEachProducersOrderUnderConcurrency) {
  RobotQueue queue;
  constexpr int kProducers = 4;
  constexpr int kTexts = 2000;
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&queue, p] {
      for (int i = 0; i < kTexts; ++i) queue.insertString(std::to_string(p) + ":" + std::to_string(i));
    });
  }
  // A consumer takes texts while the producers run.
  std::vector<int> next(kProducers, 0);
  int taken = 0;
  bool ordered = true;
  while (taken < kProducers * kTexts) {
    const std::string text = queue.getString();
    if (text.empty()) {
      std::this_thread::yield();
      continue;
    }
    const int producer = std::stoi(text.substr(0, text.find(':')));
    const int index = std::stoi(text.substr(text.find(':') + 1));
    if (index != next[producer]) ordered = false;
    next[producer] = index + 1;
    ++taken;
  }
  for (auto& t : producers) t.join();
  EXPECT_TRUE(ordered);
  EXPECT_EQ(queue.getSize(), 0);
  for (int p = 0; p < kProducers; ++p) EXPECT_EQ(next[p], kTexts);
}
