// The common finish of the stops, the parameter reset, and the drops of
// queued work and conveyor objects.
#include <cstring>

#include "Dynamics/excitation.h"
#include "PTP/path/blending.h"
#include "PTP/path/path.h"
#include "PTP/stopping/queue_drops.h"
#include "PTP/stopping/stop_finish.h"
#include "stop_fixture.h"

namespace zelor::test {
namespace {

// A ring's header words, read by value (the header is packed).
struct RingWords {
  std::uint32_t count;
  std::uint8_t isEmpty;
  std::uint64_t dequeued;
  std::uint64_t enqueued;
};
RingWords WordsOf(const tagRingBuffer& ring) {
  return {ring.count, ring.isEmpty, ring.dequeuedTotal, ring.enqueuedTotal};
}

class StopFinish : public Stops {
 protected:
  // Everything a finish or a reset may clear, set.
  static void Dirty() {
    gCmdFinishFlag = 0;
    gCmdPlanFlag = true;  // excitation segment in progress
    SetSpeeds({1, -2, 3, -4});
    gTeachMove.velocity = 7;
    gTeachMove.targetSpeed = 9;
    gPeriodCount = 12;
    gPeriodCount1 = 3;
    gRobotPrfMode = kPrfStop;
    gStopCmdPlanFlag = 0;
    fstPath.extent = 1.0;
    secPath.extent = 1.0;
    blendSeg.exitSpeed = 40.0;
    gLoad.payload = 2.5;
    std::memset(gSysParams.stopClearedFlags, 1, sizeof gSysParams.stopClearedFlags);
    gSysParams.resetWord = 0;
    gSysParams.runQueuedCmd = 1;
    gPreDealData.pathSpeed = 80;
    gPreDealData.pathParam = 12;
    gEncoderCheckFlag = 1;
    strLocalVar[0].endFlag = 1;
  }
  static bool StopFlagsClear() {
    return gSysParams.stopClearedFlags[0] == 0 && gSysParams.stopClearedFlags[1] == 0 &&
           gSysParams.stopClearedFlags[2] == 0;
  }
};

TEST_F(StopFinish, FinishClearsTheMotionAndWhatTheSwitchesOwn) {
  struct Case {
    std::uint8_t trueMotion;
    std::uint8_t dynamicOptimal;
  };
  for (const Case c : {Case{0, 0}, Case{1, 0}, Case{0, 1}, Case{1, 1}}) {
    SCOPED_TRACE(::testing::Message() << "true motion " << int(c.trueMotion) << " dynamic " << int(c.dynamicOptimal));
    Dirty();
    gUsingTrueMotion = c.trueMotion;
    gDynamicOptimal = c.dynamicOptimal;
    StopFinishDeal();
    EXPECT_EQ(gCmdFinishFlag, 1);
    EXPECT_FALSE(gCmdPlanFlag) << "excitation state reset";
    EXPECT_EQ(Speeds(), (Joints{0, 0, 0, 0}));
    EXPECT_EQ(gTeachMove.velocity, 0.0);
    EXPECT_EQ(gTeachMove.targetSpeed, 9.0) << "only the teach motion's first value";
    EXPECT_EQ(gPeriodCount, 0u);
    EXPECT_EQ(gPeriodCount1, 0u);
    EXPECT_EQ(gRobotPrfMode, kPrfIdle);
    EXPECT_EQ(gStopCmdPlanFlag, 1);
    EXPECT_EQ(fstPath.extent, c.trueMotion ? 0.0 : 1.0);
    EXPECT_EQ(secPath.extent, c.trueMotion ? 0.0 : 1.0);
    EXPECT_EQ(blendSeg.exitSpeed, c.trueMotion ? 0.0 : 40.0);
    EXPECT_EQ(gLoad.payload, c.dynamicOptimal ? 0.0 : 2.5);
    EXPECT_TRUE(StopFlagsClear());
    EXPECT_EQ(gPreDealData.pathSpeed, 0.0);
    EXPECT_EQ(gPreDealData.pathParam, 0.0);
    EXPECT_EQ(gEncoderCheckFlag, 0);
    EXPECT_EQ(strLocalVar[0].endFlag, 0);
    EXPECT_EQ(gSysParams.runQueuedCmd, 1) << "the finish leaves queued execution alone";
  }
  blendSeg.reset();
  fstPath = {};
  secPath = {};
}

TEST_F(StopFinish, ParameterResetClearsThePlanningRecordsAndQueuedExecution) {
  for (std::uint8_t on : {0, 1}) {
    SCOPED_TRACE(int(on));
    Dirty();
    gUsingTrueMotion = on;
    gDynamicOptimal = on;
    SystemParamsReset();
    EXPECT_EQ(fstPath.extent, on ? 0.0 : 1.0);
    EXPECT_EQ(blendSeg.exitSpeed, on ? 0.0 : 40.0);
    EXPECT_EQ(gLoad.payload, on ? 0.0 : 2.5);
    EXPECT_TRUE(StopFlagsClear());
    EXPECT_EQ(gSysParams.resetWord, 1u);
    EXPECT_EQ(gSysParams.runQueuedCmd, 0);
    EXPECT_FALSE(gCmdPlanFlag);
    // Not a stop: the motion state stays.
    EXPECT_EQ(gRobotPrfMode, kPrfStop);
    EXPECT_EQ(gCmdFinishFlag, 0);
  }
  blendSeg.reset();
  fstPath = {};
  secPath = {};
}

TEST_F(StopFinish, AlarmStopEmptiesBothRingsAndTheIndicesContinue) {
  PackedBaseCmd cmd{};
  for (int i = 0; i < 3; ++i) RingBufferEnqueue(&gPackedCmdQueue, &cmd);
  static PreDealData entry{};
  for (int i = 0; i < 2; ++i) RingBufferEnqueue(&gPreDealDataQueue, &entry);
  const std::uint64_t packedTotal = WordsOf(gPackedCmdQueue).enqueued;
  const std::uint64_t plannedTotal = WordsOf(gPreDealDataQueue).enqueued;
  gCmdFinishFlag = 0;
  gPauseCmdFlag = 1;
  gSysParams.runQueuedCmd = 1;
  gQueuedMotionCmdCurrentIndex = 9;

  AlarmStopDeal();
  EXPECT_EQ(gCmdFinishFlag, 1);
  EXPECT_EQ(gPauseCmdFlag, 0);
  EXPECT_EQ(gSysParams.runQueuedCmd, 0);
  EXPECT_EQ(gQueuedMotionCmdCurrentIndex, 0u);
  for (const tagRingBuffer* ring : {&gPackedCmdQueue, &gPreDealDataQueue}) {
    const RingWords r = WordsOf(*ring);
    EXPECT_EQ(r.count, 0u);
    EXPECT_EQ(r.isEmpty, 1);
    EXPECT_EQ(r.dequeued, r.enqueued) << "the read position caught up";
  }
  EXPECT_EQ(WordsOf(gPackedCmdQueue).enqueued, packedTotal);
  EXPECT_EQ(WordsOf(gPreDealDataQueue).enqueued, plannedTotal);
  // The next command continues the index sequence.
  RingBufferEnqueue(&gPackedCmdQueue, &cmd);
  EXPECT_EQ(WordsOf(gPackedCmdQueue).enqueued, packedTotal + 1);
}

TEST_F(StopFinish, ConveyorStopDropsEveryObjectAndTheTracking) {
  MulRobotConveyor::ObjectData object{};
  object.available = 1;
  for (auto& conveyor : gObjDataQueue) {
    for (tagRingBuffer& ring : conveyor) RingBufferEnqueue(&ring, &object);
  }
  for (auto& next : gNextCnvObject) next = object;
  gCnvTimeCompensation = 40;
  std::memset(gSysParams.stopClearedFlags, 1, sizeof gSysParams.stopClearedFlags);
  gOutObj.newObject = 1;
  for (tagEncoderChannel& channel : encoder) channel.inUse = 1;
  gConveyor0.dataSource = 1;
  gConveyor0.conveyorType = 7;

  ConveyorStopDeal();
  for (const auto& conveyor : gObjDataQueue) {
    for (const tagRingBuffer& ring : conveyor) {
      const RingWords r = WordsOf(ring);
      EXPECT_EQ(r.count, 0u);
      EXPECT_EQ(r.enqueued, 2u) << "indices continue";
    }
  }
  for (const auto& next : gNextCnvObject) EXPECT_EQ(next.available, 0);
  EXPECT_EQ(gCnvTimeCompensation, 0);
  EXPECT_EQ(gSysParams.stopClearedFlags[0], 0);
  EXPECT_EQ(gSysParams.stopClearedFlags[1], 1) << "only the first flag";
  EXPECT_EQ(gOutObj.newObject, 0);
  for (const tagEncoderChannel& channel : encoder) EXPECT_EQ(channel.inUse, 0);
  const std::uint8_t* bytes = reinterpret_cast<const std::uint8_t*>(&gConveyor0);
  EXPECT_EQ(bytes[2], 2) << "the trigger kind";
  EXPECT_EQ(bytes[1], 7) << "the rest of the record stays";

  gOutObj = {};
  gConveyor0 = {};
  std::memset(encoder, 0, sizeof encoder);
}

}  // namespace
}  // namespace zelor::test
