// Payload and dynamic-model commands through packets: stored and read back
// whole, the load switch set from the payload, placeholders for queued load
// writes, and writes carrying a value that is not finite, or cut short,
// refused without a change or a placeholder.
#include "common/command/load_handlers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "common/kernel/dynamics_state.h"
#include "common/kernel/packed_cmd.h"
#include "support/kernel_commands.h"

namespace {

using zelor::test::KernelCommands;
using zelor::test::makePacket;
using zelor::test::replyIndex;
using zelor::test::replyRecord;

constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWrite = 0x01;
constexpr std::uint8_t kWriteQueued = 0x03;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class LoadCommands : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    clear();
  }
  void TearDown() override {
    clear();
    KernelCommands::TearDown();
  }
  static void clear() {
    LoadParams = 0.0f;
    std::memset(gBasicDynamicParams, 0, sizeof gBasicDynamicParams);
  }
};

TEST_F(LoadCommands, PayloadDecidesTheLoadSwitch) {
  struct Case {
    double payload;
    std::uint8_t flag;
  };
  for (const Case c : {Case{0.001, 1}, Case{0.0, 0}, Case{1e-5, 0}, Case{2.5, 1}, Case{-1.0, 0}}) {
    SCOPED_TRACE(c.payload);
    const _stLoadParams load{c.payload, 0.125};
    EXPECT_EQ(exchange(makePacket(208, kWrite, &load, sizeof load)).length, 2);
    EXPECT_EQ(gSysParams.loadFlag, c.flag);
    const auto got = replyRecord<_stLoadParams>(exchange(makePacket(208, kRead, {})));
    EXPECT_EQ(+got.payload, c.payload);
    EXPECT_EQ(+got.inertia, 0.125);
  }
  EXPECT_TRUE(logged("Command OnLoadSet isQueued:0\r\n"));
  EXPECT_TRUE(logged("Command OnLoadSet:2.500 0.125\r\n"));
}

TEST_F(LoadCommands, QueuedLoadWritesAreAnsweredWithTheNextIndex) {
  const _stLoadParams load{0.001, 0.0};
  _stLoadFullParams full{};
  full.index = 2;
  full.weight = 1.5;
  full.inertia = 0.25;
  EXPECT_EQ(replyIndex(exchange(makePacket(208, kWriteQueued, &load, sizeof load))), 2u);
  EXPECT_EQ(replyIndex(exchange(makePacket(253, kWriteQueued, &full, sizeof full))), 3u);
  EXPECT_EQ(entryType(0), kPackedParamPlaceholder);
  EXPECT_EQ(entryType(1), kPackedParamPlaceholder);
  EXPECT_EQ(gSysParams.loadFlag, 1);
  EXPECT_TRUE(logged("Command OnLoadFullParamsSet isQueued:1\r\n"));
  EXPECT_TRUE(logged("Command OnLoadFullParamsSet:2, 1.500 0.250\r\n"));
  const auto got = replyRecord<_stLoadFullParams>(exchange(makePacket(253, kRead, {})));
  EXPECT_EQ(got.index, 2);
  EXPECT_EQ(+got.weight, 1.5);
  EXPECT_EQ(+got.inertia, 0.25);
}

TEST_F(LoadCommands, NotFiniteOrShortLoadWritesChangeNothing) {
  const _stLoadParams before{3.0, 0.5};
  _stLoadFullParams beforeFull{};
  beforeFull.index = 1;
  beforeFull.weight = 4.0;
  beforeFull.inertia = 0.75;
  struct Case {
    const char* what;
    std::uint16_t id;
    std::vector<std::uint8_t> bytes;
  };
  auto loadBytes = [](double payload, double inertia) {
    const _stLoadParams l{payload, inertia};
    const auto* p = reinterpret_cast<const std::uint8_t*>(&l);
    return std::vector<std::uint8_t>(p, p + sizeof l);
  };
  auto fullBytes = [](double weight, double inertia) {
    _stLoadFullParams f{};
    f.index = 9;
    f.weight = weight;
    f.inertia = inertia;
    const auto* p = reinterpret_cast<const std::uint8_t*>(&f);
    return std::vector<std::uint8_t>(p, p + sizeof f);
  };
  std::vector<std::uint8_t> shortLoad = loadBytes(1.0, 1.0);
  shortLoad.resize(8);
  std::vector<std::uint8_t> shortFull = fullBytes(1.0, 1.0);
  shortFull.resize(23);
  const Case cases[] = {
      {"load NaN payload", 208, loadBytes(kNaN, 0.0)},  {"load NaN inertia", 208, loadBytes(1.0, kNaN)},
      {"load infinite", 208, loadBytes(kInf, 0.0)},     {"load cut short", 208, shortLoad},
      {"full NaN weight", 253, fullBytes(kNaN, 0.0)},   {"full NaN inertia", 253, fullBytes(1.0, kNaN)},
      {"full infinite", 253, fullBytes(1.0, -kInf)},    {"full cut short", 253, shortFull},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gSysParams.loadParams = before;
    gSysParams.loadFullParams = beforeFull;
    gSysParams.loadFlag = 1;
    const std::uint64_t previous = enqueued();
    EXPECT_EQ(exchange(makePacket(c.id, kWrite, c.bytes)).length, 2);
    EXPECT_EQ(replyIndex(exchange(makePacket(c.id, kWriteQueued, c.bytes))), previous) << "no placeholder";
    EXPECT_EQ(enqueued(), previous);
    EXPECT_EQ(std::memcmp(&gSysParams.loadParams, &before, sizeof before), 0);
    EXPECT_EQ(std::memcmp(&gSysParams.loadFullParams, &beforeFull, sizeof beforeFull), 0);
    EXPECT_EQ(gSysParams.loadFlag, 1);
  }
}

TEST_F(LoadCommands, PayloadMassIsStoredWhenFinite) {
  const float mass = 2.5f;
  EXPECT_EQ(exchange(makePacket(204, kWrite, &mass, sizeof mass)).length, 2);
  EXPECT_TRUE(logged("Load params:2.500\r\n"));
  EXPECT_EQ(replyRecord<float>(exchange(makePacket(204, kRead, {}))), 2.5f);
  for (const float bad : {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity()}) {
    EXPECT_EQ(exchange(makePacket(204, kWrite, &bad, sizeof bad)).length, 2);
    EXPECT_EQ(LoadParams, 2.5f);
  }
  exchange(makePacket(204, kWrite, {0, 0}));
  EXPECT_EQ(LoadParams, 2.5f) << "a request cut short";
  EXPECT_EQ(enqueued(), 1u);
}

TEST_F(LoadCommands, DynamicModelIsCopiedWholeAndNeverQueued) {
  std::vector<std::uint8_t> model(148);
  for (std::size_t i = 0; i < model.size(); ++i) model[i] = static_cast<std::uint8_t>(i * 7 + 1);
  // Any bytes, even those of a NaN, are the dynamics stage's to read.
  model[3] = 0x7F;
  model[2] = 0xC0;
  EXPECT_EQ(replyIndex(exchange(makePacket(202, kWriteQueued, model))), 1u);
  EXPECT_EQ(std::memcmp(gBasicDynamicParams, model.data(), model.size()), 0);
  const Packet read = exchange(makePacket(202, kRead, {}));
  ASSERT_EQ(read.length, 150);
  EXPECT_EQ(std::memcmp(read.params, model.data(), model.size()), 0);

  std::vector<std::uint8_t> cut(model.begin(), model.end() - 1);
  cut[0] = 0xEE;
  EXPECT_EQ(exchange(makePacket(202, kWrite, cut)).length, 2);
  EXPECT_EQ(std::memcmp(gBasicDynamicParams, model.data(), model.size()), 0) << "147 bytes change nothing";
}

}  // namespace
