#include "exchange/command_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

// A command holds the lock across its packets, each of which takes it again:
// nested holds on one thread pass, and another thread waits for the outer
// one to end, not for the inner ones.
TEST(CommandHold, NestsOnOneThreadAndExcludesTheOthersUntilTheOutermostEnds) {
  std::string order;
  std::atomic<bool> outerHeld{false};
  std::atomic<bool> otherAsking{false};
  std::thread command([&] {
    const interface::CommandHold outer;
    outerHeld = true;
    while (!otherAsking) std::this_thread::yield();
    for (int packet = 0; packet < 3; ++packet) {
      const interface::CommandHold inner;
      order += 'p';
    }
    order += 'e';
  });
  while (!outerHeld) std::this_thread::yield();
  std::thread other([&] {
    otherAsking = true;
    const interface::CommandHold hold;
    order += 'o';
  });
  command.join();
  other.join();
  EXPECT_EQ(order, "pppeo");
}

}  // namespace
