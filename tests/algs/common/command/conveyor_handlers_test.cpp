// Conveyor tracking commands through packets: the conveyor records with
// their angles in radians and their channels marked in use, synchronisation
// on and off, encoder positions, point offset and time compensation, and the
// refusal of conveyor numbers, channels and values out of range.
#include "common/command/conveyor_handlers.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/kernel/packed_cmd.h"
#include "support/io_conveyor_state.h"
#include "support/kernel_commands.h"

namespace {

using namespace zelor::test;

constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWrite = 0x01;
constexpr std::uint8_t kReadQueued = 0x02;
constexpr std::uint8_t kWriteQueued = 0x03;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class ConveyorCommands : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    ResetIOConveyorState();
  }
  void TearDown() override {
    ResetIOConveyorState();
    KernelCommands::TearDown();
  }
  int logsContaining(const std::string& part) const {
    int n = 0;
    for (const std::string& line : core.logs) n += line.find(part) != std::string::npos ? 1 : 0;
    return n;
  }
  static bool noConveyorStored() {
    static const Conveyor kZero{};
    for (const Conveyor& c : gConveyor) {
      if (std::memcmp(&c, &kZero, sizeof c) != 0) return false;
    }
    for (const tagEncoderChannel& channel : encoder) {
      if (channel.inUse != 0) return false;
    }
    return true;
  }
};

// A record whose every field has its own value.
Conveyor sampleConveyor(std::uint8_t number, std::uint8_t dataSource) {
  Conveyor c{};
  c.conveyorIndex = number;
  c.conveyorType = 4;
  c.dataSource = dataSource;
  for (int i = 0; i < 6; ++i) {
    c.conveyorFrame[i] = 10.0f + i;
    c.visionFrame[i] = 20.0f + i;
  }
  c.conveyorFrame[3] = 180.0f;
  c.visionFrame[3] = -90.0f;
  for (int i = 0; i < 9; ++i) c.visionMatrix[i] = 0.5f * i;
  c.workArea[0] = 100.0f;
  c.workArea[1] = 200.0f;
  c.workArea[2] = 300.0f;
  c.encoderChannel = 2;
  c.encoderResolution = 12.5f;
  c.direction = 1;
  c.sensorInput = 3;
  c.sensorTriggerType = 1;
  c.sensorRepeatDistance = 55.5f;
  c.cameraTriggerOutput = 6;
  c.cameraTriggerType = 2;
  c.triggerDistance = 80.25f;
  c.cameraRepeatDistance = 4.75f;
  c.dataUnitType = 1;
  c.imageHeight = 480;
  c.imageWidth = 640;
  return c;
}

TEST_F(ConveyorCommands, RecordIsStoredWithItsRotationsInRadiansAndItsChannelInUse) {
  struct Case {
    std::uint8_t number;
    std::uint8_t dataSource;
    float visionRotation;
  };
  // A camera (trigger kind 1) reports the rotation itself: the vision rotation is 0.
  for (const Case& c : {Case{0, 0, -1.5707964f}, Case{1, 1, 0.0f}, Case{2, 2, -1.5707964f}}) {
    SCOPED_TRACE("conveyor " + std::to_string(c.number) + " trigger kind " + std::to_string(c.dataSource));
    ResetIOConveyorState();
    const Conveyor sent = sampleConveyor(c.number, c.dataSource);
    const Packet reply = exchange([&](PluginBase& p) { return p.alloc_SetConveyorParams(&sent, false); });
    EXPECT_EQ(reply.length, 2);
    Conveyor want = sent;
    want.conveyorFrame[3] = 3.1415927f;
    want.visionFrame[3] = c.visionRotation;
    EXPECT_EQ(std::memcmp(&gConveyor[c.number], &want, sizeof want), 0) << "stored record";
    EXPECT_EQ(+gConveyor[c.number].conveyorFrame[3], 3.1415927f);
    EXPECT_EQ(+gConveyor[c.number].visionFrame[3], c.visionRotation);
    for (int n = 0; n < kEncoderChannels; ++n) {
      EXPECT_EQ(encoder[n].inUse, n == c.number ? 1 : 0) << "channel " << n;
      if (n != c.number) {
        static const Conveyor kZero{};
        EXPECT_EQ(std::memcmp(&gConveyor[n], &kZero, sizeof kZero), 0) << "other slots untouched";
      }
    }
  }
}

TEST_F(ConveyorCommands, RecordWriteLogsEveryGroupOfSettings) {
  const Conveyor sent = sampleConveyor(1, 0);
  exchange([&](PluginBase& p) { return p.alloc_SetConveyorParams(&sent, false); });
  for (const char* line : {
           "test conveyor:1 4 0 \r\n",
           "cConv:10.000 11.000 12.000 3.142 14.000 15.000\r\n",
           "cVis:20.000 21.000 22.000 -1.571 24.000 25.000\r\n",
           "visM:0.000 0.500 1.000 1.500 2.000 2.500 3.000 3.500 4.000\r\n",
           "work:100.000 200.000 300.000\r\n",
           "encoder:2 1 12.500\r\n",
           "sensor:3 1 55.500\r\n",
           "camera:6 2 80.250 4.750 1 480 640\r\n",
       }) {
    EXPECT_TRUE(logged(line)) << line;
  }
}

TEST_F(ConveyorCommands, RecordWriteStopsTheTracking) {
  const double frame[6] = {};
  track1.setTrack(frame, frame, frame, 1.0, 0.0, 0.0, 0.0, 0.004, 0.0, 0.0);
  ASSERT_EQ(track1.getState(), 1);
  const Conveyor sent = sampleConveyor(0, 0);
  exchange([&](PluginBase& p) { return p.alloc_SetConveyorParams(&sent, false); });
  EXPECT_EQ(track1.getState(), 0);
}

TEST_F(ConveyorCommands, RecordReadOnlyEchoes) {
  const Conveyor sent = sampleConveyor(1, 0);
  const Packet reply = exchange(makePacket(14, kRead, &sent, sizeof sent));
  EXPECT_EQ(reply.length, sizeof sent + 2);
  EXPECT_EQ(std::memcmp(reply.params, &sent, sizeof sent), 0);
  EXPECT_TRUE(noConveyorStored());
}

TEST_F(ConveyorCommands, RecordOfAConveyorBeyondTheThirdIsRefused) {
  for (const std::uint8_t number : {3, 4, 255}) {
    core.logs.clear();
    const Conveyor sent = sampleConveyor(number, 0);
    const Packet reply = exchange([&](PluginBase& p) { return p.alloc_SetConveyorParams(&sent, false); });
    EXPECT_EQ(reply.length, 2);
    EXPECT_TRUE(noConveyorStored()) << "conveyor " << int{number};
    EXPECT_EQ(logsContaining("outside 0..2"), 1);
  }
}

TEST_F(ConveyorCommands, RecordWithAValueThatIsNotFiniteIsRefused) {
  std::vector<std::size_t> floatsAt;
  for (std::size_t at = offsetof(Conveyor, conveyorFrame); at < offsetof(Conveyor, encoderChannel); at += 4) {
    floatsAt.push_back(at);
  }
  for (std::size_t at : {offsetof(Conveyor, encoderResolution), offsetof(Conveyor, sensorRepeatDistance),
                         offsetof(Conveyor, triggerDistance), offsetof(Conveyor, cameraRepeatDistance)}) {
    floatsAt.push_back(at);
  }
  for (const std::size_t at : floatsAt) {
    for (const float bad : {kNaN, kInf, -kInf}) {
      Conveyor sent = sampleConveyor(1, 0);
      std::memcpy(reinterpret_cast<std::uint8_t*>(&sent) + at, &bad, sizeof bad);
      const Packet reply = exchange([&](PluginBase& p) { return p.alloc_SetConveyorParams(&sent, true); });
      EXPECT_EQ(replyIndex(reply), 1u);
      EXPECT_TRUE(noConveyorStored()) << "float at offset " << at;
    }
  }
}

TEST_F(ConveyorCommands, SynchronisationOnAndOff) {
  struct Case {
    const char* what;
    std::uint16_t id;
    std::uint8_t ctrl;
    std::uint8_t flagBefore;
    std::uint8_t flagAfter;
    int replyLength;  // -1: the queue index
    int entryType;    // -1: nothing queued
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"16 read", 16, kRead, 1, 1, 1, -1, {"Command OnSynCnv isQueued:0\r\n"}},
      {"16 write", 16, kWrite, 0, 1, 0, -1, {"Command OnSynCnv isQueued:0\r\n", "SynCnv 1\r\n"}},
      {"16 write queued", 16, kWriteQueued, 0, 1, -1, kPackedParamPlaceholder,
       {"Command OnSynCnv isQueued:1\r\n", "SynCnv 1\r\n"}},
      {"16 read queued", 16, kReadQueued, 0, 0, -1, -1, {"Command OnSynCnv isQueued:1\r\n"}},
      {"17 read", 17, kRead, 1, 1, 1, -1, {"Command OnStopSynCnv isQueued:0\r\n"}},
      {"17 write", 17, kWrite, 1, 0, 0, -1, {"Command OnStopSynCnv isQueued:0\r\n", "StopSynCnv 0\r\n"}},
      {"17 write queued", 17, kWriteQueued, 1, 0, -1, kPackedStopSynCnv,
       {"Command OnStopSynCnv isQueued:1\r\n", "StopSynCnv 0\r\n", "isQueued\r\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMotionKernel();
    core.logs.clear();
    gSysParams.refSysFlag = c.flagBefore;
    const std::uint8_t conveyor = 0;
    const Packet reply = exchange(makePacket(c.id, c.ctrl, &conveyor, sizeof conveyor));
    EXPECT_EQ(gSysParams.refSysFlag, c.flagAfter);
    if (c.replyLength < 0) {
      EXPECT_EQ(replyIndex(reply), c.entryType < 0 ? 1u : 2u);
    } else {
      ASSERT_EQ(reply.length, c.replyLength + 2);
      if (c.replyLength == 1) {
        EXPECT_EQ(reply.params[0], c.flagBefore);
      }
    }
    if (c.entryType < 0) {
      EXPECT_EQ(queuedCount(), 0u);
    } else {
      ASSERT_EQ(queuedCount(), 1u);
      EXPECT_EQ(entryType(0), static_cast<std::uint32_t>(c.entryType));
    }
    EXPECT_EQ(core.logs, c.lines);
  }
}

TEST_F(ConveyorCommands, EncoderQueryRepliesTheChannelPositionAsAFloat) {
  gCurrentEncoder[0].position = 10.5;
  gCurrentEncoder[1] = {1234.25, 99.0, 77.0};
  gCurrentEncoder[2].position = -7.0;
  struct Case {
    std::uint8_t channel;
    float position;
    const char* line;
  };
  for (const Case& c : {Case{0, 10.5f, "encoder 10.500\r\n"}, Case{1, 1234.25f, "encoder 1234.250\r\n"},
                        Case{2, -7.0f, "encoder -7.000\r\n"}, Case{3, 0.0f, nullptr}, Case{255, 0.0f, nullptr}}) {
    for (const bool queued : {false, true}) {
      core.logs.clear();
      const Packet reply = exchange(makePacket(18, queued ? kWrite : kRead, &c.channel, sizeof c.channel));
      EXPECT_EQ(replyRecord<float>(reply), c.position) << "channel " << int{c.channel};
      if (c.line != nullptr) {
        EXPECT_TRUE(logged(c.line)) << c.line;
      } else {
        EXPECT_EQ(logsContaining("outside 0..2"), 1) << "channel " << int{c.channel};
      }
    }
  }
}

TEST_F(ConveyorCommands, PointOffsetAndTimeCompensation) {
  const stConvPointOffset offset{12.5f, -3.25f};
  EXPECT_EQ(exchange([&](PluginBase& p) { return p.alloc_SetCnvPointOffset(&offset, false); }).length, 2);
  EXPECT_EQ(+gConvPointOffset.x, 12.5f);
  EXPECT_EQ(+gConvPointOffset.y, -3.25f);
  EXPECT_TRUE(logged("test ConvPointOffset:12.500 -3.250\r\n"));

  const std::uint16_t compensation = 40;
  EXPECT_EQ(exchange([&](PluginBase& p) { return p.alloc_SetCnvTimeInterval(&compensation, false); }).length, 2);
  EXPECT_EQ(gCnvTimeCompensation, 40);
  EXPECT_TRUE(logged("CnvTimeCompensation:40\r\n"));

  // Reads echo and store nothing.
  const stConvPointOffset other{1.0f, 2.0f};
  const Packet offsetRead = exchange(makePacket(19, kRead, &other, sizeof other));
  EXPECT_EQ(offsetRead.length, sizeof other + 2);
  EXPECT_EQ(std::memcmp(offsetRead.params, &other, sizeof other), 0);
  const std::uint16_t otherCompensation = 7;
  EXPECT_EQ(exchange(makePacket(23, kRead, &otherCompensation, sizeof otherCompensation)).length, 4);
  EXPECT_EQ(+gConvPointOffset.x, 12.5f);
  EXPECT_EQ(gCnvTimeCompensation, 40);
}

TEST_F(ConveyorCommands, PointOffsetThatIsNotFiniteIsRefused) {
  for (const stConvPointOffset bad : {stConvPointOffset{kNaN, 0}, stConvPointOffset{0, kInf},
                                      stConvPointOffset{-kInf, kNaN}}) {
    gConvPointOffset = {1.0f, 2.0f};
    EXPECT_EQ(exchange([&](PluginBase& p) { return p.alloc_SetCnvPointOffset(&bad, false); }).length, 2);
    EXPECT_EQ(+gConvPointOffset.x, 1.0f);
    EXPECT_EQ(+gConvPointOffset.y, 2.0f);
  }
}

}  // namespace
