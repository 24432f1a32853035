// CommandInit in its own namespaces: every ring set up over its pool, the next
// conveyor objects marked taken, and this robot's place on the conveyor read
// from the multi-robot configuration.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "common/command/command_intake.h"
#include "common/kernel/kernel_queues.h"
#include "common/links/mul_robot_config.h"

TEST(CommandInit, SetsUpTheRingsAndReadsThisRobotsPlace) {
  const std::filesystem::path path = MulRobotConveyor::MulRobotConfigPath();
  std::filesystem::create_directories(path.parent_path());
  // The master is this machine, so the bus's reader only ever dials loopback.
  std::ofstream(path) << R"({"RobotID": 2, "RobotInLine": 3, "MasterAddr": "127.0.0.1"})";

  gNextCnvObject[0].available = 1;
  gNextCnvObject[2].available = 1;
  EXPECT_EQ(CommandInit(), 1);
  EXPECT_EQ(gRobotId, 2);
  EXPECT_EQ(gRobotInLine, 3);

  EXPECT_EQ(+gPackedCmdQueue.capacity, kPackedCmdQueueSize);
  EXPECT_EQ(+gPackedCmdQueue.elemSize, 2048u);
  EXPECT_EQ(+gPackedCmdQueue.enqueuedTotal, 1u);
  EXPECT_EQ(+gPreDealDataQueue.capacity, kPreDealDataQueueSize);
  EXPECT_EQ(+gPreDealDataQueue.elemSize, sizeof(PreDealData));
  EXPECT_EQ(+gPreDealDataQueue.isEmpty, 1);
  for (int c = 0; c < kConveyorCount; ++c) {
    EXPECT_EQ(gNextCnvObject[c].available, 0) << "conveyor " << c;
    for (int r = 0; r < kConveyorRobotSlots; ++r) {
      EXPECT_EQ(+gObjDataQueue[c][r].capacity, kObjDataQueueSize);
      EXPECT_EQ(+gObjDataQueue[c][r].elemSize, 20u);
      EXPECT_EQ(+gObjDataQueue[c][r].isEmpty, 1);
    }
  }
  // Distinct pools: an object in one ring does not show in another.
  EXPECT_NE(+gObjDataQueue[0][0].pool, +gObjDataQueue[0][1].pool);
  EXPECT_NE(+gObjDataQueue[0][9].pool, +gObjDataQueue[1][0].pool);
}
