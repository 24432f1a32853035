// The motion library's own link API driving tramlet: the numbering rules
// that let a SYNC wait and "all done" follow the axis.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "common/kernel/motion_state.h"
#include "support/tramlet_rig.h"

using namespace zelor::test;
using namespace ExterAxisRTU;

namespace {

constexpr const char* kPeerEnv = "ZELOR_TRAMLET_LINK_PEER";

// The link reads the driver's status once per control cycle: each look at it
// here is a cycle of its own, as in the kernel.
void nextCycle() { ++gSystick; }

// Waits as a SYNC move does: until the command index reaches index.
bool waitIndex(exterAxisRTU& link, std::uint32_t index, std::chrono::milliseconds timeout = 5s) {
  return waitFor([&] {
    nextCycle();
    std::uint32_t got = 0;
    return link.getCmdIndex(&got) == 0 && got >= index;
  }, timeout);
}

bool allDone(exterAxisRTU& link) {
  nextCycle();
  bool done = false;
  return link.getCmdAllDone(&done) == 0 && done;
}

}  // namespace

TEST(TramletLink, SyncWaitEndsWhenTheAxisArrives) {
  AxisFiles::upright().write();
  TramletRig rig;
  auto& link = rig.link();
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(rig.online());
  std::uint32_t index = 0;
  ASSERT_EQ(link.setEnable(true, &index), 0);
  ASSERT_TRUE(rig.waitStatus([](const auto& s) { return (s.statusWord & 4) != 0; }));

  ASSERT_EQ(link.setPosition(100.0f, &index), 0);
  ASSERT_TRUE(waitIndex(link, index)) << rig.output();
  EXPECT_EQ(rig.drive().input32(4), 1820400) << "index reached only on arrival";
  EXPECT_TRUE(waitFor([&] { return allDone(link); }, 1s));

  // A ratio sent after the move still ends as all done.
  ASSERT_EQ(link.setSpeed(0.5f, &index), 0);
  ASSERT_TRUE(waitIndex(link, index));
  EXPECT_TRUE(waitFor([&] { return allDone(link); }, 1s));

  // A move to 0 completes.
  ASSERT_EQ(link.setPosition(0.0f, &index), 0);
  ASSERT_TRUE(waitIndex(link, index)) << rig.output();
  EXPECT_EQ(rig.drive().input32(4), 0);
  EXPECT_TRUE(waitFor([&] { return allDone(link); }, 1s));
}

TEST(TramletLink, StopEndsTheWait) {
  AxisFiles::kilo().write();
  TramletRig rig;
  auto& link = rig.link();
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(rig.online());
  std::uint32_t index = 0;
  ASSERT_EQ(link.setEnable(true, &index), 0);
  ASSERT_TRUE(rig.waitStatus([](const auto& s) { return (s.statusWord & 4) != 0; }));
  ASSERT_EQ(link.setPosition(90.0f, &index), 0);
  ASSERT_TRUE(waitFor([&] { return rig.drive().input32(4) > 10000; }, 3s));
  EXPECT_FALSE(allDone(link));
  std::uint32_t stopIndex = 0;
  ASSERT_EQ(link.setStop(0, &stopIndex), 0);
  EXPECT_TRUE(waitFor([&] { return allDone(link); }, 3s)) << rig.output();
  EXPECT_LT(rig.drive().input32(4), 90000);
}

// Run only as the second process of SecondProcessUsesTheExistingLink.
TEST(TramletLink, DISABLED_PeerMovesThroughTheExistingLink) {
  if (std::getenv(kPeerEnv) == nullptr) GTEST_SKIP();
  auto& link = exterAxisRTU::instance();
  ASSERT_TRUE(waitFor([&] { return link.driverOnline(); }, 2s));
  std::uint32_t index = 0;
  ASSERT_EQ(link.setPosition(50.0f, &index), 0);
  EXPECT_TRUE(waitIndex(link, index));
  EXPECT_TRUE(waitFor([&] { return allDone(link); }, 2s));
}

TEST(TramletLink, SecondProcessUsesTheExistingLink) {
  AxisFiles::kilo().write();
  TramletRig rig;
  auto& link = rig.link();
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(rig.online());
  std::uint32_t index = 0;
  ASSERT_EQ(link.setEnable(true, &index), 0);
  ASSERT_EQ(link.setPosition(10.0f, &index), 0);
  ASSERT_TRUE(waitIndex(link, index));

  setenv(kPeerEnv, "1", 1);
  const auto peer = runProcess({"/proc/self/exe", "--gtest_also_run_disabled_tests",
                                "--gtest_filter=TramletLink.DISABLED_PeerMovesThroughTheExistingLink"},
                               {}, 20s);
  unsetenv(kPeerEnv);
  EXPECT_EQ(peer.exitCode, 0) << peer.out << peer.err;
  EXPECT_NE(peer.out.find("[  PASSED  ] 1 test"), std::string::npos) << peer.out;
  EXPECT_EQ(rig.drive().input32(4), 50000);
}
