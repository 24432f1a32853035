// Appending to the packed command queue: index stamping, placeholders, a
// full ring, and a ring that was never set up, which must refuse visibly
// rather than write through a missing pool or report an entry it never queued.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/packed_cmd_queue.h"
#include "common/kernel/ring_buffer.h"

namespace {

std::vector<std::string> lines;
void capture(const char* text) { lines.emplace_back(text); }

class PackedQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = gPackedCmdQueue;
    savedCore_ = gp_core_interface_inst;
    table_.log = capture;
    gp_core_interface_inst = &table_;
    lines.clear();
  }
  void TearDown() override {
    gPackedCmdQueue = saved_;
    gp_core_interface_inst = savedCore_;
  }

  tagRingBuffer saved_{};
  core_interface* savedCore_ = nullptr;
  core_interface table_{};
};

TEST_F(PackedQueue, StampsIndicesQueuesPlaceholdersAndRefusesWhenFull) {
  static PackedBaseCmd pool[2];
  RingBufferInit(&gPackedCmdQueue, pool, 2, sizeof(PackedBaseCmd));
  PackedBaseCmd cmd{};
  cmd.type = 7;
  ASSERT_TRUE(EnqueuePackedCmd(cmd));
  EXPECT_EQ(+cmd.queuedCmdIndex, 2u) << "the first command gets 2";
  ASSERT_TRUE(EnqueueParamPlaceholder());
  EXPECT_EQ(+pool[1].type, 0u);
  EXPECT_EQ(+pool[1].queuedCmdIndex, 3u);
  EXPECT_FALSE(EnqueuePackedCmd(cmd)) << "full";
  EXPECT_FALSE(EnqueueParamPlaceholder()) << "full";
  EXPECT_EQ(+gPackedCmdQueue.count, 2u);
  EXPECT_TRUE(lines.empty());
}

TEST_F(PackedQueue, ARingNeverSetUpRefusesAndSaysSo) {
  gPackedCmdQueue = tagRingBuffer{};
  PackedBaseCmd cmd{};
  EXPECT_FALSE(EnqueuePackedCmd(cmd));
  EXPECT_FALSE(EnqueueParamPlaceholder());
  EXPECT_EQ(+gPackedCmdQueue.count, 0u);
  EXPECT_EQ(+gPackedCmdQueue.enqueuedTotal, 0u);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "EnqueuePackedCmd: packed command queue not set up\r\n");
  EXPECT_EQ(lines[1], "EnqueueParamPlaceholder: packed command queue not set up\r\n");
}

}  // namespace
