// Input and output commands through packets: outputs set at once or queued
// for the execution, inputs read from the image, the extended and analog
// commands, groups of outputs, and points outside the images.
#include "common/command/io_handlers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

template <typename Record>
std::vector<std::uint8_t> bytesOf(const Record& record) {
  std::vector<std::uint8_t> out(sizeof record);
  std::memcpy(out.data(), &record, sizeof record);
  return out;
}

std::vector<std::uint8_t> replyBytes(const Packet& reply) {
  return {reply.params, reply.params + (reply.length - 2)};
}

bool isQueued(std::uint8_t ctrl) { return (ctrl & 0x02) != 0; }

class IOCommands : public KernelCommands {
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
  std::vector<std::uint8_t> entryBytes(std::uint32_t offset, std::size_t from, std::size_t count) const {
    const PackedBaseCmd packed = entry(offset);
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&packed);
    return {raw + from, raw + from + count};
  }
};

Group_IO_DO groupOf(std::initializer_list<tagGroupDO> items, std::uint32_t count) {
  Group_IO_DO group{};
  int i = 0;
  for (const tagGroupDO& item : items) group.DO[i++] = item;
  group.count = count;
  return group;
}

TEST_F(IOCommands, SingleOutputIsSetAtOnceWhateverTheDirection) {
  struct Case {
    std::uint8_t ctrl;
    std::uint32_t address;
    std::uint8_t level;
  };
  for (const Case& c : {Case{kWrite, 1, 1}, Case{kRead, 1, 1}, Case{kWrite, 64, 1}, Case{kRead, 101, 1},
                        Case{kWrite, 1000, 1}, Case{kWrite, 1, 0}}) {
    SCOPED_TRACE("ctrl " + std::to_string(c.ctrl) + " address " + std::to_string(c.address));
    gPhyDOs[c.address - 1] = c.level == 0 ? 1 : 0;
    const tagIO_DO request{c.address, c.level, {7, 8, 9}};
    const Packet reply = exchange(makePacket(131, c.ctrl, &request, sizeof request));
    EXPECT_EQ(gPhyDOs[c.address - 1], c.level);
    EXPECT_EQ(replyBytes(reply), bytesOf(request)) << "the reply repeats the request";
    EXPECT_EQ(queuedCount(), 0u);
  }
}

TEST_F(IOCommands, QueuedSingleOutputWaitsForTheExecution) {
  // The direction bit is not consulted: a queued read queues too.
  for (const std::uint8_t ctrl : {kWriteQueued, kReadQueued}) {
    SCOPED_TRACE("ctrl " + std::to_string(ctrl));
    ResetMotionKernel();
    core.logs.clear();
    const tagIO_DO request{5, 1, {}};
    const Packet reply = exchange(makePacket(131, ctrl, &request, sizeof request));
    EXPECT_EQ(replyIndex(reply), 2u);
    EXPECT_EQ(gPhyDOs[4], 0) << "nothing changes before the execution reaches the entry";
    ASSERT_EQ(queuedCount(), 1u);
    EXPECT_EQ(entryType(0), kPackedIODO);
    EXPECT_EQ(entryIndex(0), 2u);
    EXPECT_EQ(entryBytes(0, 16, 5), (std::vector<std::uint8_t>{4, 0, 0, 0, 1})) << "zero-based index, then level";
    EXPECT_TRUE(logged("Command OnIODO:4, 1\r\n"));
    ASSERT_TRUE(ExecuteQueued());
    EXPECT_EQ(gPhyDOs[4], 1);
  }
}

TEST_F(IOCommands, PointsOutsideTheImagesTouchNoByteAndQueueNothing) {
  struct Case {
    const char* what;
    std::uint16_t id;
    std::uint8_t ctrl;
    std::vector<std::uint8_t> params;
    int errorLines;
  };
  const auto io = [](std::uint32_t address) { return bytesOf(tagIO_DO{address, 1, {}}); };
  const std::vector<Case> cases = {
      {"131 address 0", 131, kWrite, io(0), 1},
      {"131 address 1001", 131, kWrite, io(1001), 1},
      {"131 address 0 queued", 131, kWriteQueued, io(0), 1},
      {"131 address 1001 queued", 131, kWriteQueued, io(1001), 1},
      {"131 largest address", 131, kRead, io(0xFFFFFFFFu), 1},
      {"133 address 0", 133, kRead, io(0), 1},
      {"133 address 1001", 133, kRead, io(1001), 1},
      {"144 addresses 0 and 1001", 144, kWrite,
       bytesOf(groupOf({{0, 1, 0, {}}, {1001, 1, 0, {}}, {0xFFFFFFFFu, 1, 0, {}}}, 3)), 3},
      {"144 queued", 144, kWriteQueued, bytesOf(groupOf({{1001, 1, 0, {}}}, 1)), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMotionKernel();
    core.logs.clear();
    std::memset(gPhyDOs, 0x5A, sizeof gPhyDOs);
    std::memset(gPhyDIs, 0x01, sizeof gPhyDIs);
    std::uint8_t before[kDigitalImageSize];
    std::memcpy(before, gPhyDOs, sizeof before);

    const Packet reply = exchange(makePacket(c.id, c.ctrl, c.params));
    EXPECT_EQ(std::memcmp(before, gPhyDOs, sizeof before), 0) << "no output byte changed";
    EXPECT_EQ(queuedCount(), 0u);
    EXPECT_EQ(logsContaining("outside 1..1000"), c.errorLines);
    if (isQueued(c.ctrl)) {
      EXPECT_EQ(replyIndex(reply), 1u) << "answered with the index of the previous entry";
    } else if (c.id == 133) {
      std::vector<std::uint8_t> want = c.params;
      want[offsetof(tagIO_DI, level)] = 0;
      EXPECT_EQ(replyBytes(reply), want) << "level 0 reported";
    } else {
      EXPECT_EQ(replyBytes(reply), c.params) << "the echo stays an echo";
    }
  }
}

TEST_F(IOCommands, InputReadReportsItsImageByte) {
  gPhyDIs[9] = 1;
  gPhyDIs[999] = 1;
  struct Case {
    std::uint32_t address;
    std::uint8_t level;
    const char* line;
  };
  for (const Case& c : {Case{10, 1, "IO_DI address:10; level:1\r\n"}, Case{11, 0, "IO_DI address:11; level:0\r\n"},
                        Case{1000, 1, "IO_DI address:1000; level:1\r\n"}}) {
    const tagIO_DI request{c.address, 0x77, {}};
    const auto got = replyRecord<tagIO_DI>(exchange([&](PluginBase& p) { return p.alloc_GetIODI(&request); }));
    EXPECT_EQ(+got.address, c.address);
    EXPECT_EQ(got.level, c.level) << "address " << c.address;
    EXPECT_TRUE(logged(c.line)) << c.line;
  }
}

TEST_F(IOCommands, ExtendedInputsWithCountZeroPackTheFirstSixtyFour) {
  struct Case {
    std::vector<int> high;  // inputs numbered from 1
    std::vector<std::uint8_t> levels;
    const char* line;
  };
  const std::vector<Case> cases = {
      {{1, 10}, {0x01, 0x02, 0, 0, 0, 0, 0, 0}, "IODI 1 2 0\r\n"},
      {{8, 17, 64, 65}, {0x80, 0x00, 0x01, 0, 0, 0, 0, 0x80}, "IODI 80 0 1\r\n"},
      {{}, {0, 0, 0, 0, 0, 0, 0, 0}, "IODI 0 0 0\r\n"},
  };
  for (const Case& c : cases) {
    std::memset(gPhyDIs, 0, sizeof gPhyDIs);
    for (int input : c.high) gPhyDIs[input - 1] = 1;
    tagIODIEx request;
    std::memset(&request, 0xEE, sizeof request);
    request.count = 0;
    const Packet reply = exchange([&](PluginBase& p) { return p.alloc_GetIODIEx(&request); });
    std::vector<std::uint8_t> want(sizeof(tagIODIEx), 0);
    want[1] = 0x40;
    std::copy(c.levels.begin(), c.levels.end(), want.begin() + 2);
    EXPECT_EQ(replyBytes(reply), want) << c.line;
    EXPECT_TRUE(logged(c.line)) << c.line;
  }
}

TEST_F(IOCommands, ExtendedInputsWithACountReportTheIndexedInput) {
  gPhyDIs[9] = 1;
  struct Case {
    std::uint8_t index;
    std::uint8_t level;
    int errorLines;
  };
  for (const Case& c : {Case{10, 1, 0}, Case{11, 0, 0}, Case{255, 0, 0}, Case{0, 0, 1}}) {
    core.logs.clear();
    tagIODIEx request;
    std::memset(&request, 0xEE, sizeof request);
    request.index = c.index;
    request.count = 3;
    const Packet reply = exchange([&](PluginBase& p) { return p.alloc_GetIODIEx(&request); });
    std::vector<std::uint8_t> want = bytesOf(request);
    want[2] = c.level;
    EXPECT_EQ(replyBytes(reply), want) << "index " << int{c.index};
    EXPECT_EQ(logsContaining("outside 1..1000"), c.errorLines);
  }
  // The reply keeps the request's length.
  const std::vector<std::uint8_t> shortRequest{10, 1, 0xAA};
  EXPECT_EQ(replyBytes(exchange(makePacket(137, kRead, shortRequest))), (std::vector<std::uint8_t>{10, 1, 1}));
}

TEST_F(IOCommands, AnalogReadsReportZeroForChannelsOneAndTwo) {
  struct DacCase {
    std::uint8_t channel;
    std::uint16_t want;
  };
  for (const DacCase& c : {DacCase{1, 0}, DacCase{2, 0}, DacCase{3, 0x1234}, DacCase{0, 0x1234}}) {
    const tagIODAC request{c.channel, 0x1234};
    const auto got = replyRecord<tagIODAC>(exchange(makePacket(132, kRead, &request, sizeof request)));
    EXPECT_EQ(got.channel, c.channel);
    EXPECT_EQ(+got.value, c.want) << "channel " << int{c.channel};
  }
  struct DacExCase {
    std::uint8_t start;
    std::uint16_t want[2];
  };
  for (const DacExCase& c : {DacExCase{0, {0, 0}}, DacExCase{1, {0, 9}}, DacExCase{2, {7, 9}}}) {
    const tagIODACEx request{c.start, 2, {7, 9}};
    const auto got = replyRecord<tagIODACEx>(exchange([&](PluginBase& p) { return p.alloc_GetIODACEx(&request); }));
    EXPECT_EQ(got.start, c.start);
    EXPECT_EQ(got.count, 2);
    EXPECT_EQ(+got.value[0], c.want[0]) << "start " << int{c.start};
    EXPECT_EQ(+got.value[1], c.want[1]) << "start " << int{c.start};
  }
  const tagIODOEx outputs{3, 4, {0xFF, 0x0F, 0xF0}};
  const auto got = replyRecord<tagIODOEx>(exchange([&](PluginBase& p) { return p.alloc_GetIODOEx(&outputs); }));
  EXPECT_EQ(bytesOf(got), (std::vector<std::uint8_t>{3, 4, 0, 0, 0})) << "levels zeroed, range kept";
}

TEST_F(IOCommands, QueuedAnalogAndExtendedOutputsArePackedAndSetNothing) {
  const tagIODAC dac{3, 500};
  const tagIODOEx doEx{4, 3, {0x05, 0x00, 0x80}};
  const tagIODACEx dacEx{0, 2, {100, 200}};
  EXPECT_EQ(replyIndex(exchange(makePacket(132, kWriteQueued, &dac, sizeof dac))), 2u);
  EXPECT_EQ(replyIndex(exchange([&](PluginBase& p) { return p.alloc_SetIODOEx(&doEx, 1); })), 3u);
  EXPECT_EQ(replyIndex(exchange([&](PluginBase& p) { return p.alloc_SetIODACEx(&dacEx, 1); })), 4u);
  ASSERT_EQ(queuedCount(), 3u);
  EXPECT_EQ(entryType(0), kPackedIODAC);
  EXPECT_EQ(entryBytes(0, 16, 3), (std::vector<std::uint8_t>{3, 0xF4, 0x01}));
  EXPECT_EQ(entryType(1), kPackedIODOEx);
  EXPECT_EQ(entryBytes(1, 16, 6), (std::vector<std::uint8_t>{5, 3, 0x05, 0x00, 0x80, 0x00}))
      << "first output start + 1, count, the 24 levels in a 32-bit word";
  EXPECT_EQ(entryType(2), kPackedIODACEx);
  EXPECT_EQ(entryBytes(2, 16, 6), (std::vector<std::uint8_t>{0, 2, 100, 0, 200, 0}));

  ASSERT_TRUE(ExecuteQueued());
  for (int i = 0; i < kDigitalImageSize; ++i) ASSERT_EQ(gPhyDOs[i], 0) << "output " << i + 1;
}

TEST_F(IOCommands, AnalogAndExtendedWritesNotQueuedChangeNothing) {
  const tagIODAC dac{1, 500};
  const tagIODOEx doEx{0, 2, {0x03, 0, 0}};
  const tagIODACEx dacEx{0, 2, {100, 200}};
  EXPECT_EQ(replyBytes(exchange(makePacket(132, kWrite, &dac, sizeof dac))), bytesOf(dac));
  EXPECT_EQ(exchange([&](PluginBase& p) { return p.alloc_SetIODOEx(&doEx, 0); }).length, 2);
  EXPECT_EQ(exchange([&](PluginBase& p) { return p.alloc_SetIODACEx(&dacEx, 0); }).length, 2);
  EXPECT_EQ(enqueued(), 1u);
  EXPECT_EQ(gPhyDOs[0], 0);
  EXPECT_EQ(gPhyDOs[1], 0);
}

TEST_F(IOCommands, GroupSetsUnmarkedOutputsAtOnceAndQueuesTheMarkedOnesOnce) {
  const Group_IO_DO group = groupOf({{1, 1, 0, {}}, {2, 1, 1, {}}, {3, 1, 0, {}}}, 3);
  for (const int sentQueued : {0, 1}) {
    SCOPED_TRACE(sentQueued ? "sent queued" : "sent not queued");
    ResetMotionKernel();
    core.logs.clear();
    const Packet reply = exchange([&](PluginBase& p) { return p.alloc_SetMulIODO(&group, sentQueued); });
    if (sentQueued) {
      EXPECT_EQ(replyIndex(reply), 2u);
    } else {
      EXPECT_EQ(replyBytes(reply), bytesOf(group));
    }
    EXPECT_EQ(gPhyDOs[0], 1);
    EXPECT_EQ(gPhyDOs[1], 0);
    EXPECT_EQ(gPhyDOs[2], 1);
    ASSERT_EQ(queuedCount(), 1u);
    EXPECT_EQ(entryType(0), kPackedMulIODO);
    EXPECT_EQ(entryBytes(0, 16, sizeof group), bytesOf(group)) << "the whole record travels";
    for (const char* line : {"This is OnMulIODO,size: 3  \r\n", "OnMulIODO(not queue) gPhyDOs[0]:1 \r\n",
                             "OnMulIODO groupDO.DO[1] is Queue \r\n", "OnMulIODO(not queue) gPhyDOs[2]:1 \r\n",
                             "OnMulIODO RingBufferEnqueue \r\n"}) {
      EXPECT_TRUE(logged(line)) << line;
    }
    ASSERT_TRUE(ExecuteQueued());
    EXPECT_EQ(gPhyDOs[1], 1) << "the marked output when the execution reaches it";
  }
}

TEST_F(IOCommands, GroupWithoutMarkedEntriesQueuesNothing) {
  const Group_IO_DO group = groupOf({{7, 1, 0, {}}, {8, 1, 0, {}}}, 2);
  const Packet reply = exchange([&](PluginBase& p) { return p.alloc_SetMulIODO(&group, 1); });
  EXPECT_EQ(replyIndex(reply), 1u);
  EXPECT_EQ(queuedCount(), 0u);
  EXPECT_EQ(gPhyDOs[6], 1);
  EXPECT_EQ(gPhyDOs[7], 1);
  EXPECT_FALSE(logged("OnMulIODO RingBufferEnqueue \r\n"));
}

TEST_F(IOCommands, GroupReadsAtMostSixtyFourEntriesAndKeepsARefusedMarkedEntryQueued) {
  Group_IO_DO all{};
  for (int i = 0; i < kGroupDOEntries; ++i) all.DO[i] = {static_cast<std::uint32_t>(i + 1), 1, 0, {}};
  all.count = 1000;
  exchange([&](PluginBase& p) { return p.alloc_SetMulIODO(&all, 0); });
  for (int i = 0; i < kGroupDOEntries; ++i) EXPECT_EQ(gPhyDOs[i], 1) << "output " << i + 1;
  EXPECT_EQ(gPhyDOs[kGroupDOEntries], 0);
  EXPECT_TRUE(logged("This is OnMulIODO,size: 1000  \r\n"));
  EXPECT_EQ(logsContaining("above 64"), 1);

  std::memset(gPhyDOs, 0, sizeof gPhyDOs);
  const Group_IO_DO mixed = groupOf({{0, 1, 0, {}}, {1001, 1, 1, {}}, {5, 1, 0, {}}, {6, 1, 1, {}}}, 4);
  exchange([&](PluginBase& p) { return p.alloc_SetMulIODO(&mixed, 0); });
  EXPECT_EQ(logsContaining("outside 1..1000"), 2);
  ASSERT_EQ(queuedCount(), 1u) << "the group with a refused marked entry is still queued whole";
  ASSERT_TRUE(ExecuteQueued());
  for (int i = 0; i < kDigitalImageSize; ++i) {
    EXPECT_EQ(gPhyDOs[i], i == 4 || i == 5 ? 1 : 0) << "output " << i + 1;
  }
}

TEST_F(IOCommands, MultiplexingAndAnalogInputsOnlyEcho) {
  const std::vector<std::uint8_t> params{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  for (const std::uint16_t id : {130, 134, 138}) {
    for (const std::uint8_t ctrl : {kRead, kWrite}) {
      const Packet reply = exchange(makePacket(id, ctrl, params));
      EXPECT_EQ(replyBytes(reply), params) << "id " << id;
    }
  }
  EXPECT_EQ(enqueued(), 1u);
  for (int i = 0; i < kDigitalImageSize; ++i) ASSERT_EQ(gPhyDOs[i], 0);
}

}  // namespace
