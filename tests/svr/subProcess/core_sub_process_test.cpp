// The core without the kernel started: rings, pool, call table.
#include "subProcess/core/core_sub_process.h"

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stdout_capture.h"
#include "subProcess/core/kernel_log_drain.h"
#include "subProcess/core/kernel_log_ring.h"
#include "subProcess/factory_access.h"

namespace {

// The callbacks' log and settings reach the factory: never the data-server
// object in these tests.
class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override { setSubProcessFactory(&factory_); }
  void TearDown() override { setSubProcessFactory(nullptr); }
  SubProcessFactory factory_;
};

}  // namespace

TEST_F(CoreTest, PacketSizeOutsideItsRangeRunsWithTwenty) {
  struct Row {
    int given;
    int used;
  };
  for (const Row& row : {Row{0, 20}, Row{-5, 20}, Row{65536, 20}, Row{1, 1}, Row{20, 20}, Row{65535, 65535}}) {
    zelor::test::StdoutCapture out;
    CoreSubProcess core(row.given, nullptr);
    const std::string printed = out.finish();
    EXPECT_EQ(core.queueSize(), row.used) << row.given;
    EXPECT_EQ(printed.find("packet_size") != std::string::npos, row.given != row.used) << printed;
  }
}

TEST_F(CoreTest, PoolKeepsQueueSizePacketsAndFreesTheRestToTheHeap) {
  CoreSubProcess core(20, nullptr);
  std::vector<Packet*> packets;
  for (int i = 0; i < 21; ++i) {
    Packet* p = core.allocPackage();
    ASSERT_NE(p, nullptr);
    p->params[0] = 0x77;
    packets.push_back(p);
  }
  // The 21st goes to the heap (the sanitizer sees any leak or double free).
  for (Packet* p : packets) core.freePackage(p);
  const std::set<Packet*> pooled(packets.begin(), packets.begin() + 20);
  for (int i = 0; i < 20; ++i) {
    Packet* p = core.allocPackage();
    EXPECT_TRUE(pooled.count(p)) << "packet " << i << " did not come from the pool";
    EXPECT_EQ(p->params[0], 0) << "allocated packets are zeroed";
    packets[i] = p;
  }
  for (int i = 0; i < 20; ++i) core.freePackage(packets[i]);
  // The destructor frees what the pool holds.
}

TEST_F(CoreTest, CallbackTableIsPublishedAndTheKeylessSettingsAreRefused) {
  CoreSubProcess core(20, nullptr);
  ASSERT_EQ(g_coreInterface, core.table());
  Packet* p = g_coreInterface->allocPackage();
  ASSERT_NE(p, nullptr);
  g_coreInterface->freePackage(p);
  zelor::test::StdoutCapture out;
  g_coreInterface->setValue(nullptr, 1.0);
  g_coreInterface->setValue("", 1.0);
  EXPECT_EQ(g_coreInterface->getValue(nullptr), 0.0);
  char line[KernelLogRing::kLineBytes];
  while (kernelLogRing().pop(line)) {
  }
  g_coreInterface->sendPackage(nullptr);
  g_coreInterface->log("a kernel line\r\n");
  const std::string printed = out.finish();
  EXPECT_NE(printed.find("You trying to store null value"), std::string::npos) << printed;
  EXPECT_NE(printed.find("You trying to get value by key(null)"), std::string::npos) << printed;
  // What the cycle calls writes nothing itself: its lines wait in the ring
  // for the drain outside the cycle.
  EXPECT_EQ(printed.find("null package"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("a kernel line"), std::string::npos) << printed;
  ASSERT_TRUE(kernelLogRing().pop(line));
  EXPECT_STREQ(line, "You will try send null package");
  ASSERT_TRUE(kernelLogRing().pop(line));
  EXPECT_STREQ(line, "a kernel line\r\n");
}

TEST_F(CoreTest, UnknownCallIdsAreLoggedAndParameterCallsAreInertUntilIdSix) {
  CoreSubProcess core(20, nullptr);
  for (int id : {20, -1, 999}) {
    zelor::test::StdoutCapture out;
    core.interCall(id, nullptr, nullptr, nullptr);
    EXPECT_NE(out.finish().find("Can't find methid id:" + std::to_string(id)), std::string::npos) << id;
  }
  // Id 0 before id 6: no cycle, not in the main loop.
  core.interCall(0, nullptr, nullptr, nullptr);
  EXPECT_EQ(CoreSubProcess::IsInMainLoop.load(), 0);
  EXPECT_EQ(core.status(), ISubProcess::kNotRunning);
}
