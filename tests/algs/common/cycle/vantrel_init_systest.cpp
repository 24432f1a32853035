// Start-up through the exports as the host does it: vantrel_init opens the
// kernel's log queues and sets up the rings; no cycle runs before the first
// parameter load.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "axes_drive/sim_axes_group.h"
#include "common/cycle/vantrel_cycle.h"
#include "common/kernel/algs_logs.h"
#include "common/kernel/kernel_queues.h"
#include "support/fixed_core.h"
#include "support/kernel_commands.h"

namespace zelor::test {
namespace {

TEST(VantrelInit, OpensLogQueuesAndRingsAndWaitsForParameters) {
  FixedCore core;
  auto record = std::make_unique<AxesGroupRef>();
  std::memset(record.get(), 0, sizeof(AxesGroupRef));
  zelor::sim::SimAxesGroup sim(*record);
  vantrel_init(record.get(), gp_core_interface_inst);
  for (int slot = 0; slot < kAlgsLogSlots; ++slot) EXPECT_NE(AlgsLogs::Instance().QueueId(slot), -1) << slot;
  const std::uint32_t capacity = gPackedCmdQueue.capacity;
  const std::uint8_t empty = gPreDealDataQueue.isEmpty;
  EXPECT_EQ(capacity, kPackedCmdQueueSize);
  EXPECT_EQ(empty, 1);

  core.post(makePacket(52, 1, std::vector<std::uint8_t>{50}));
  AxesGroupRef before;
  std::memcpy(&before, record.get(), sizeof before);
  for (int i = 0; i < 5; ++i) vantrel_run();
  EXPECT_EQ(core.replies(), 0);
  EXPECT_EQ(std::memcmp(&before, record.get(), sizeof before), 0) << "no record byte written";
  EXPECT_FALSE(VantrelParamsLoaded());
}

}  // namespace
}  // namespace zelor::test
