// Queued moves and waits through packets: the entry types and indices, the
// motion snapshot byte for byte, the point-to-point mode check, the parallel
// outputs' count, requests without the queued bit, and targets that cannot be
// taken.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "common/kernel/packed_cmd.h"
#include "support/kernel_commands.h"

namespace {

using zelor::test::KernelCommands;
using zelor::test::makePacket;
using zelor::test::replyIndex;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class MotionCommands : public KernelCommands {
 protected:
  // Distinct bytes in every field the snapshot copies.
  static void fillSnapshotSources() {
    gSysParams.armOrientation = 1;
    gSysParams.transition = 35;
    auto* block = reinterpret_cast<std::uint8_t*>(&gSysParams.ptpParams);
    for (std::size_t i = 0; i < sizeof gSysParams.ptpParams; ++i) block[i] = static_cast<std::uint8_t>(i + 1);
    gSysParams.localParams = {3, 1.5f, 2.5f, 3.5f, 4.5f};
    gSysParams.toolParams = {4, 5.5f, 6.5f, 7.5f, 8.5f};
    gSysParams.ecpParams = {0, 9.5f, 10.5f, 11.5f, 12.5f};
    gSysParams.refSysFlag = 1;
    gSysParams.eCPFlag = 1;
    gSysParams.loadFlag = 1;
    gSysParams.loadParams = {2.0, 0.25};
    gSysParams.loadFullParams = {5, {}, 3.0, 0.5};
  }

  static std::vector<std::uint8_t> bytesAt(const PackedBaseCmd& packed, std::size_t offset, std::size_t size) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&packed);
    return {bytes + offset, bytes + offset + size};
  }
  template <typename Record>
  static std::vector<std::uint8_t> bytesOf(const Record& record) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
    return {bytes, bytes + sizeof(Record)};
  }
};

TEST_F(MotionCommands, PointToPointModeEightIsQueuedNineIsNot) {
  const tagPTPCmd eight{8, 250.0f, -10.0f, 5.0f, 45.0f};
  const Packet queued = exchange([&](PluginBase& c) { return c.alloc_SetPTPCmd(&eight, 1); });
  EXPECT_EQ(replyIndex(queued), 2u) << "the first queued command after start gets index 2";
  ASSERT_EQ(queuedCount(), 1u);
  EXPECT_EQ(entryType(0), kPackedPTP);
  EXPECT_EQ(entryIndex(0), 2u);
  EXPECT_TRUE(logged("Command OnPTPCmd ptpMode:8, queuedCmdIndex:2 \r\n"));
  EXPECT_TRUE(logged("Command OnPTPCmd xyzr:250.00000 -10.00000 5.00000 45.00000 arm 0 trans 0\r\n"));

  core.logs.clear();
  const tagPTPCmd nine{9, 250.0f, -10.0f, 5.0f, 45.0f};
  const Packet refused = exchange([&](PluginBase& c) { return c.alloc_SetPTPCmd(&nine, 1); });
  EXPECT_EQ(replyIndex(refused), 2u) << "answered with the previous index";
  EXPECT_EQ(queuedCount(), 1u);
  EXPECT_TRUE(logged("!!!!!!!!PTP Mode error:9\r\n"));

  const tagPTPCmd nineWithOutputs = nine;
  const tagParallelOutputCmd output{};
  const Packet refusedPO =
      exchange([&](PluginBase& c) { return c.alloc_SetPTPPOCmd(&nineWithOutputs, &output, 1, true); });
  EXPECT_EQ(replyIndex(refusedPO), 2u);
  EXPECT_EQ(queuedCount(), 1u);
}

TEST_F(MotionCommands, PointToPointEntryCarriesTheSnapshotInItsOrder) {
  fillSnapshotSources();
  const tagSysParams taken = gSysParams;
  const tagPTPCmd move{1, 100.0f, 200.0f, -30.0f, 90.0f};
  exchange([&](PluginBase& c) { return c.alloc_SetPTPCmd(&move, 1); });
  // Later changes do not reach the queued entry.
  gSysParams.transition = 99;
  gSysParams.ptpParams.common.velocityRatio = 1.0f;
  gSysParams.toolParams.x = -1.0f;
  ASSERT_EQ(queuedCount(), 1u);
  const PackedBaseCmd packed = entry(0);

  const std::uint32_t arm = 1;
  struct Field {
    const char* name;
    std::size_t offset;
    std::vector<std::uint8_t> want;
  };
  const std::vector<Field> fields = {
      {"type", 0, bytesOf(std::uint32_t{2})},
      {"queuedCmdIndex", 8, bytesOf(std::uint64_t{2})},
      {"armOrientation", 16, bytesOf(arm)},
      {"transition", 20, {35}},
      {"ptpParams", 21, bytesOf(taken.ptpParams)},
      {"localParams", 153, bytesOf(taken.localParams)},
      {"toolParams", 173, bytesOf(taken.toolParams)},
      {"ecpParams", 193, bytesOf(taken.ecpParams)},
      {"poFlag, count, done", 213, std::vector<std::uint8_t>(10, 0)},
      {"outputs", 223, std::vector<std::uint8_t>(8 * sizeof(tagParallelOutputCmd), 0)},
      {"refSysFlag, eCPFlag, loadFlag", 415, {1, 1, 1}},
      {"loadParams", 418, bytesOf(taken.loadParams)},
      {"loadFullParams", 434, bytesOf(taken.loadFullParams)},
      {"cmd", 458, bytesOf(move)},
  };
  for (const Field& field : fields) {
    EXPECT_EQ(bytesAt(packed, field.offset, field.want.size()), field.want) << field.name;
  }
  EXPECT_EQ(bytesAt(packed, 475, kPackedCmdSize - 475), std::vector<std::uint8_t>(kPackedCmdSize - 475, 0))
      << "nothing written behind the move";
}

TEST_F(MotionCommands, ParallelOutputsAboveEightAreCutToEight) {
  tagParallelOutputCmd outputs[12];
  for (int i = 0; i < 12; ++i) {
    std::memset(&outputs[i], 0x30 + i, sizeof outputs[i]);
    outputs[i].ratio = static_cast<std::uint8_t>(10 * i);
    outputs[i].address = static_cast<std::uint16_t>(100 + i);
    outputs[i].level = static_cast<std::uint8_t>(i & 1);
  }
  const tagPTPCmd move{2, 300.0f, 0.0f, 0.0f, 0.0f};
  const Packet reply = exchange([&](PluginBase& c) { return c.alloc_SetPTPPOCmd(&move, outputs, 12, true); });
  EXPECT_EQ(replyIndex(reply), 2u);
  ASSERT_EQ(queuedCount(), 1u);
  const PackedBaseCmd packed = entry(0);
  const PackedPTPBody& ptp = packed.body.ptp;
  EXPECT_EQ(entryType(0), kPackedPTP);
  EXPECT_EQ(ptp.parallel.poFlag, 1);
  EXPECT_EQ(ptp.parallel.count, 8);
  for (std::uint8_t done : ptp.parallel.done) EXPECT_EQ(done, 0);
  EXPECT_EQ(std::memcmp(ptp.parallel.outputs, outputs, sizeof ptp.parallel.outputs), 0)
      << "the first eight records are carried unchanged";
  EXPECT_EQ(std::memcmp(&ptp.cmd, &move, sizeof move), 0);
  EXPECT_TRUE(logged("parallelCmdCount:8 \r\n"));
  EXPECT_TRUE(logged("poCmd[7],ratio:70,address:107,level:1   \r\n"));
  EXPECT_FALSE(logged("poCmd[8],ratio:80,address:108,level:0   \r\n"));
}

TEST_F(MotionCommands, MovesWithoutTheQueuedBitAreAnsweredEmptyAndDoNothing) {
  const std::vector<std::uint8_t> body(64, 0x01);
  for (std::uint16_t id : {84, 88, 101, 102, 103, 104, 110, 120}) {
    SCOPED_TRACE(id);
    core.logs.clear();
    const Packet reply = exchange(makePacket(id, 0x01, body));
    EXPECT_EQ(reply.length, 2) << "length 0";
    EXPECT_EQ(reply.ctrl, 0x01);
    EXPECT_TRUE(core.logs.empty());
  }
  EXPECT_EQ(enqueued(), 1u);
}

TEST_F(MotionCommands, ArcCircleExcitationWaitAndTriggerEntries) {
  fillSnapshotSources();
  const tagARCCmd arc{{1, 2, 3, 4}, {5, 6, 7, 8}};
  const tagCircleCmd circle{{1, 2, 3, 4}, {5, 6, 7, 8}, 3};
  const tagExcitCmd excit{{1, 2, 3, 4, 5, 6}};
  const tagExcitCmdZ excitZ{{7, 8, 9}};
  const tagWAITCmd wait{1500};
  const tagTRIGCmd trig{12, 1, 2, 0x0304};
  exchange([&](PluginBase& c) { return c.alloc_SetARCCmd(&arc, 1); });
  exchange([&](PluginBase& c) { return c.alloc_SetCircleCmd(&circle, 1); });
  exchange([&](PluginBase& c) { return c.alloc_SetExicitCmd(&excit, true); });
  exchange([&](PluginBase& c) { return c.alloc_SetExicitZCmd(&excitZ, true); });
  exchange([&](PluginBase& c) { return c.alloc_SetWAITCmd(&wait, 1); });
  const Packet last = exchange([&](PluginBase& c) { return c.alloc_SetTRIGCmd(&trig, 1); });
  EXPECT_EQ(replyIndex(last), 7u);
  ASSERT_EQ(queuedCount(), 6u);

  const std::uint32_t wantTypes[] = {4, 5, 15, 16, 6, 7};
  for (std::uint32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(entryType(i), wantTypes[i]) << "entry " << i;
    EXPECT_EQ(entryIndex(i), 2u + i) << "entry " << i;
  }
  // Arcs and circles: the flags before the external frame, the move at 256.
  EXPECT_EQ(bytesAt(entry(0), 193, 2), (std::vector<std::uint8_t>{1, 1}));
  EXPECT_EQ(bytesAt(entry(0), 195, sizeof(tagToolParams)), bytesOf(gSysParams.ecpParams));
  EXPECT_EQ(bytesAt(entry(0), 256, sizeof arc), bytesOf(arc));
  EXPECT_EQ(bytesAt(entry(1), 256, sizeof circle), bytesOf(circle));
  EXPECT_EQ(bytesAt(entry(1), 21, sizeof(tagPTPParamsBlock)), bytesOf(gSysParams.ptpParams));
  EXPECT_EQ(bytesAt(entry(2), 16, sizeof(tagPTPParamsBlock)), bytesOf(gSysParams.ptpParams));
  EXPECT_EQ(bytesAt(entry(2), 148, sizeof excit), bytesOf(excit));
  EXPECT_EQ(bytesAt(entry(3), 148, sizeof excitZ), bytesOf(excitZ));
  EXPECT_EQ(bytesAt(entry(4), 16, sizeof wait), bytesOf(wait));
  EXPECT_EQ(bytesAt(entry(5), 16, sizeof trig), (std::vector<std::uint8_t>{12, 1, 2, 0x04, 0x03}));

  EXPECT_TRUE(
      logged("test ptp arc cir : 1.00000 2.00000 3.00000 4.00000 to : 5.00000 6.00000 7.00000 8.00000 arm 1 "
             "trans 35\r\n"));
  EXPECT_TRUE(logged("Command OnExicitCmd:7.000 8.000 9.000\r\n"));
  EXPECT_TRUE(logged("Command OnWAITCmd:6\r\n"));
}

TEST_F(MotionCommands, TargetsNotFiniteOrCutShortAreNotQueued) {
  struct Case {
    const char* what;
    std::function<Packet*(PluginBase&)> send;
  };
  const tagPTPCmd badMove{1, 100.0f, kNaN, 0.0f, 0.0f};
  const tagARCCmd badArc{{1, 2, 3, 4}, {5, 6, 7, -std::numeric_limits<float>::infinity()}};
  const tagCircleCmd badCircle{{kNaN, 2, 3, 4}, {5, 6, 7, 8}, 1};
  const tagExcitCmd badExcit{{1, 2, 3, 4, 5, kNaN}};
  const Case cases[] = {
      {"84 not finite", [&](PluginBase& c) { return c.alloc_SetPTPCmd(&badMove, 1); }},
      {"88 not finite", [&](PluginBase& c) { return c.alloc_SetPTPPOCmd(&badMove, nullptr, 0, true); }},
      {"101 not finite", [&](PluginBase& c) { return c.alloc_SetARCCmd(&badArc, 1); }},
      {"102 not finite", [&](PluginBase& c) { return c.alloc_SetCircleCmd(&badCircle, 1); }},
      {"103 not finite", [&](PluginBase& c) { return c.alloc_SetExicitCmd(&badExcit, true); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(replyIndex(exchange(c.send)), 1u);
  }
  // A move cut short would otherwise be read as a jump to the origin.
  const std::vector<std::uint8_t> cut = {0, 0, 0, 0x48};
  for (std::uint16_t id : {84, 88, 101, 102, 103, 104, 110, 120}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(replyIndex(exchange(makePacket(id, 0x03, id == 110 ? std::vector<std::uint8_t>{1, 2} : cut))), 1u);
  }
  // Outputs announced but not sent.
  std::vector<std::uint8_t> fewOutputs(sizeof(tagPTPCmd) + 1 + sizeof(tagParallelOutputCmd), 0);
  fewOutputs[sizeof(tagPTPCmd)] = 2;
  EXPECT_EQ(replyIndex(exchange(makePacket(88, 0x03, fewOutputs))), 1u);
  EXPECT_EQ(queuedCount(), 0u);
}

}  // namespace
