// The four input-shaping channels.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PTP/path/input_shaping.h"
#include "common/kernel/core_interface.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<std::string> logged;
void captureLog(const char* text) { logged.emplace_back(text); }

// The channels are process-wide; every test starts from pass-through channels
// with an empty history and leaves them that way. Kernel log lines are caught.
class InputShaping : public ::testing::Test {
 protected:
  void SetUp() override {
    reset();
    table_.log = captureLog;
    saved_ = gp_core_interface_inst;
    gp_core_interface_inst = &table_;
    logged.clear();
  }
  void TearDown() override {
    gp_core_interface_inst = saved_;
    reset();
  }

  static void reset() {
    for (ShapChannel& ch : strLocalVar) {
      std::memset(&ch, 0, sizeof ch);
      ch.frequency = kShapingOffFrequency;
      ch.A1 = 1.0;
    }
  }

  static double shape(int n, double x) {
    double y = kNaN;
    vCalcInputShaping(n, x, &y);
    return y;
  }

  core_interface table_{};
  core_interface* saved_ = nullptr;
};

TEST_F(InputShaping, UndampedChannelAtFiveHertz) {
  vInitShape(2, {0.0, 5.0, 0.004});
  const ShapChannel& ch = strLocalVar[2];
  EXPECT_EQ(ch.frequency, 5.0);
  EXPECT_EQ(ch.damping, 0.0);
  EXPECT_EQ(ch.delay1, 25);
  EXPECT_EQ(ch.delay2, 50);
  EXPECT_EQ(ch.A1, 0.25);
  EXPECT_EQ(ch.A2, 0.5);
  EXPECT_EQ(ch.A3, 0.25);
  EXPECT_EQ(ch.reserved, 0u);

  vInitHistoryData(2, 0.0);
  for (int call = 1; call <= 60; ++call) {
    const double want = call <= 26 ? 0.25 : call <= 51 ? 0.75 : 1.0;
    ASSERT_EQ(shape(2, 1.0), want) << "call " << call;
  }
}

TEST_F(InputShaping, UsableSettingsLogNothing) {
  vInitShape(0, {0.05, 8.0, 0.004});
  vInitShape(1, {0.0, 0.01, 0.004});  // capped delays are a usable shaper
  EXPECT_TRUE(logged.empty()) << logged.front();
}

TEST_F(InputShaping, ReservedWordIsCleared) {
  strLocalVar[0].reserved = 0xdeadbeef;
  vInitShape(0, {0.05, 8.0, 0.004});
  EXPECT_EQ(strLocalVar[0].reserved, 0u);
}

TEST_F(InputShaping, OffFrequencyPassesValuesThrough) {
  vInitShape(1, {0.1, kShapingOffFrequency, 0.004});
  strLocalVar[1].writeIndex = 77;
  for (const double x : {0.0, 1.5, -3.25, 1e300}) {
    EXPECT_EQ(shape(1, x), x);
    EXPECT_EQ(strLocalVar[1].writeIndex, 0);
  }
}

TEST_F(InputShaping, LowFrequencyCapsBothDelays) {
  vInitShape(0, {0.0, 0.1, 0.004});  // half period 5 s = 1250 samples, the second delay 2500
  EXPECT_EQ(strLocalVar[0].delay1, 1250);
  EXPECT_EQ(strLocalVar[0].delay2, 1999);
  vInitShape(0, {0.0, 1e-3, 0.004});
  EXPECT_EQ(strLocalVar[0].delay1, 1999);
  EXPECT_EQ(strLocalVar[0].delay2, 1999);
  EXPECT_EQ(strLocalVar[0].frequency, 1e-3);
}

TEST_F(InputShaping, DampedWeightsAddUpToOne) {
  const double dampings[] = {0.0, 0.02, 0.1, 0.5, 0.9, -0.3};
  for (const double zeta : dampings) {
    vInitShape(3, {zeta, 12.0, 0.004});
    const ShapChannel& ch = strLocalVar[3];
    EXPECT_NEAR(ch.A1 + ch.A2 + ch.A3, 1.0, 1e-15) << "zeta " << zeta;
    EXPECT_GT(ch.A1, 0.0);
    EXPECT_LE(ch.delay1, ch.delay2);
    vInitHistoryData(3, 2.5);
    for (int i = 0; i < 3000; ++i) ASSERT_NEAR(shape(3, 2.5), 2.5, 1e-14) << "zeta " << zeta << " call " << i;
  }
}

// Settings that give no finite shaper leave the channel passing values through.
TEST_F(InputShaping, UnusableSettingsGivePassThroughChannel) {
  const struct {
    const char* what;
    ShapCmdTypedef cmd;
  } cases[] = {
      {"damping 1", {1.0, 5.0, 0.004}},
      {"damping above 1", {1.5, 5.0, 0.004}},
      {"damping -1", {-1.0, 5.0, 0.004}},
      {"damping near -1 (exp overflows)", {-0.99999, 5.0, 0.004}},
      {"damping NaN", {kNaN, 5.0, 0.004}},
      {"frequency 0", {0.1, 0.0, 0.004}},
      {"frequency negative", {0.1, -5.0, 0.004}},
      {"frequency infinite", {0.1, kInf, 0.004}},
      {"frequency NaN", {0.1, kNaN, 0.004}},
      {"frequency subnormal", {0.0, 1e-320, 0.004}},
      {"period 0", {0.1, 5.0, 0.0}},
      {"period negative", {0.1, 5.0, -0.004}},
      {"period NaN", {0.1, 5.0, kNaN}},
      {"period infinite", {0.1, 5.0, kInf}},
  };
  for (const auto& c : cases) {
    vInitShape(0, {0.0, 5.0, 0.004});  // a working shaper first
    logged.clear();
    vInitShape(0, c.cmd);
    const ShapChannel& ch = strLocalVar[0];
    EXPECT_EQ(ch.frequency, kShapingOffFrequency) << c.what;
    EXPECT_EQ(ch.delay1, 0) << c.what;
    EXPECT_EQ(ch.delay2, 0) << c.what;
    EXPECT_EQ(ch.A1, 1.0) << c.what;
    EXPECT_EQ(ch.A2, 0.0) << c.what;
    EXPECT_EQ(ch.A3, 0.0) << c.what;
    ASSERT_EQ(logged.size(), 1u) << c.what;
    EXPECT_NE(logged[0].find("channel 0"), std::string::npos) << c.what << ": " << logged[0];
    EXPECT_NE(logged[0].find("pass through"), std::string::npos) << c.what << ": " << logged[0];
    EXPECT_EQ(shape(0, 0.75), 0.75) << c.what;
  }
}

// Property: over more calls than the ring holds, every output is the
// three-impulse sum of the inputs delay1 + 1 and delay2 + 1 calls back. At the
// cap of 1999 the second one is 2000 calls back, which is the slot the ring
// has just overwritten: it reads the current input.
TEST_F(InputShaping, OutputIsTheDelayedWeightedSum) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> value(-100.0, 100.0);
  const ShapCmdTypedef settings[] = {{0.0, 5.0, 0.004}, {0.07, 3.3, 0.004}, {0.2, 40.0, 0.004}, {0.0, 0.1, 0.004}};
  for (const ShapCmdTypedef& cmd : settings) {
    vInitShape(1, cmd);
    const double start = value(rng);
    vInitHistoryData(1, start);
    const ShapChannel& ch = strLocalVar[1];
    std::vector<double> inputs;
    for (int call = 0; call < 4500; ++call) {
      const double x = value(rng);
      inputs.push_back(x);
      auto back = [&](int calls) {
        const int at = static_cast<int>(inputs.size()) - 1 - calls % kShapingHistory;
        return at >= 0 ? inputs[at] : start;
      };
      const double want = ch.A1 * x + ch.A2 * back(ch.delay1 + 1) + ch.A3 * back(ch.delay2 + 1);
      ASSERT_EQ(shape(1, x), want) << "frequency " << cmd.frequency << " call " << call;
      ASSERT_GE(ch.writeIndex, 0);
      ASSERT_LT(ch.writeIndex, kShapingHistory);
    }
  }
}

TEST_F(InputShaping, HistoryFillKeepsIndices) {
  vInitShape(2, {0.0, 5.0, 0.004});
  for (int i = 0; i < 10; ++i) shape(2, 1.0);
  const ShapChannel before = strLocalVar[2];
  vInitHistoryData(2, -4.0);
  const ShapChannel& ch = strLocalVar[2];
  EXPECT_EQ(ch.writeIndex, before.writeIndex);
  EXPECT_EQ(ch.readIndex1, before.readIndex1);
  EXPECT_EQ(ch.readIndex2, before.readIndex2);
  for (const double sample : ch.history) ASSERT_EQ(sample, -4.0);
}

// The next move takes over the blend's channel: history and indices move,
// the shaper settings of the destination stay.
TEST_F(InputShaping, CopyMovesHistoryAndIndicesOnly) {
  vInitShape(0, {0.0, 5.0, 0.004});
  vInitShape(1, {0.1, 7.0, 0.004});
  vInitHistoryData(1, 0.0);
  for (int i = 0; i < 37; ++i) shape(1, i * 0.5);
  const ShapChannel zeroBefore = strLocalVar[0];

  vInputShapingCopy(0, 1);
  const ShapChannel& dst = strLocalVar[0];
  const ShapChannel& src = strLocalVar[1];
  EXPECT_EQ(std::memcmp(dst.history, src.history, sizeof dst.history), 0);
  EXPECT_EQ(dst.writeIndex, src.writeIndex);
  EXPECT_EQ(dst.readIndex1, src.readIndex1);
  EXPECT_EQ(dst.readIndex2, src.readIndex2);
  EXPECT_EQ(dst.frequency, zeroBefore.frequency);
  EXPECT_EQ(dst.delay1, zeroBefore.delay1);
  EXPECT_EQ(dst.delay2, zeroBefore.delay2);
  EXPECT_EQ(dst.A1, zeroBefore.A1);
  EXPECT_EQ(dst.A3, zeroBefore.A3);
}

TEST_F(InputShaping, ChannelsOutsideZeroToThreeAreIgnored) {
  vInitShape(0, {0.0, 5.0, 0.004});
  vInitHistoryData(0, 3.0);
  std::vector<unsigned char> before(sizeof strLocalVar);
  std::memcpy(before.data(), strLocalVar, sizeof strLocalVar);
  for (const int n : {-1, 4, 1000, -2147483647}) {
    vInitShape(n, {0.1, 9.0, 0.004});
    vInitHistoryData(n, 8.0);
    vInputShapingCopy(n, 0);
    vInputShapingCopy(0, n);
    EXPECT_EQ(shape(n, 6.5), 6.5) << "channel " << n;
  }
  EXPECT_EQ(std::memcmp(before.data(), strLocalVar, sizeof strLocalVar), 0) << "a channel changed";
}

}  // namespace
