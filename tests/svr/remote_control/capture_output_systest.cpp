// The capture channels and status outputs stepped by hand on plain memory.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "remote_control/capture_channel.h"
#include "remote_control/status_output.h"

namespace {

constexpr std::int32_t kUntouched = -7;

struct CaptureRow {
  const char* what;
  std::int32_t type;
  std::int32_t last;
  std::vector<std::uint8_t> inputs;
  // Value in the target after each step (kUntouched: nothing written).
  std::vector<std::int32_t> written;
};

void PrintTo(const CaptureRow& row, std::ostream* os) { *os << row.what; }

class CaptureTable : public ::testing::TestWithParam<CaptureRow> {};

TEST_P(CaptureTable, WritesOnlyWhenTheTriggerSaysSo) {
  const CaptureRow& row = GetParam();
  std::uint8_t input = 0;
  std::int32_t target = kUntouched;
  inputChannelCfg cfg;
  cfg.inputType = statusIutput_U8;
  cfg.captureType = row.type;
  cfg.src = &input;
  cfg.dst = &target;
  cfg.trueVal = 11;
  cfg.falseVal = 22;
  cfg.matchVal = 2;
  cfg.lastVal = row.last;
  CaptureOneChannel channel(&cfg);
  ASSERT_EQ(row.inputs.size(), row.written.size());
  for (std::size_t i = 0; i < row.inputs.size(); ++i) {
    input = row.inputs[i];
    target = kUntouched;
    const int fired = channel.CaptureStatus();
    EXPECT_EQ(target, row.written[i]) << row.what << " step " << i << " input " << int(input);
    EXPECT_EQ(fired, target == cfg.trueVal ? 1 : 0) << row.what << " step " << i;
    EXPECT_EQ(channel.lastVal(), input) << row.what << " remembers the value";
  }
}

constexpr std::int32_t T = 11;
constexpr std::int32_t F = 22;
constexpr std::int32_t N = kUntouched;

INSTANTIATE_TEST_SUITE_P(
    Types, CaptureTable,
    ::testing::Values(
        CaptureRow{"raising 0,1,1,0,1 fires twice", CaptureRaising, 0, {0, 1, 1, 0, 1}, {N, T, N, N, T}},
        CaptureRow{"raising from the default last -1 fires on a first 0", CaptureRaising, -1, {0, 0}, {T, N}},
        CaptureRow{"high writes true on reaching 1, false on leaving", CaptureHigh, 0, {0, 1, 1, 0, 1},
                   {F, T, N, F, T}},
        CaptureRow{"fall", CaptureFall, 0, {0, 1, 1, 0, 0}, {N, N, N, T, N}},
        CaptureRow{"low", CaptureLow, 1, {1, 0, 0, 1}, {F, T, N, F}},
        CaptureRow{"edge", CaptureEdge, 0, {0, 1, 1, 0}, {N, T, N, T}},
        CaptureRow{"value", CaptureVal, 0, {0, 2, 2, 3, 2}, {F, T, N, F, T}},
        CaptureRow{"none only remembers", CaptureNone, 0, {0, 1, 0, 1}, {N, N, N, N}}),
    [](const ::testing::TestParamInfo<CaptureRow>& info) { return std::to_string(info.index); });

TEST(CaptureChannel, UnsupportedKindOrTypeWritesNothingAndRemembersNothing) {
  std::uint8_t input = 1;
  std::int32_t target = kUntouched;
  for (auto [kind, type] : {std::pair{5, int{CaptureRaising}}, std::pair{-1, int{CaptureRaising}},
                            std::pair{int{statusIutput_U8}, 9}, std::pair{int{statusIutput_U8}, -1}}) {
    inputChannelCfg cfg;
    cfg.inputType = kind;
    cfg.captureType = type;
    cfg.src = &input;
    cfg.dst = &target;
    cfg.lastVal = 0;
    CaptureOneChannel channel(&cfg);
    EXPECT_EQ(channel.CaptureStatus(), 0) << kind << "/" << type;
    EXPECT_EQ(channel.CaptureStatus(), 0) << kind << "/" << type;
    EXPECT_EQ(target, kUntouched) << kind << "/" << type;
    EXPECT_EQ(channel.lastVal(), 0) << kind << "/" << type;
  }
}

TEST(CaptureChannel, NoSourceOrNoTargetIsHarmless) {
  inputChannelCfg cfg;
  cfg.inputType = statusIutput_U8;
  cfg.captureType = CaptureEdge;
  CaptureOneChannel noSource(&cfg);
  for (int i = 0; i < 30001; ++i) EXPECT_EQ(noSource.CaptureStatus(), 0);

  std::uint8_t input = 0;
  cfg.src = &input;
  cfg.lastVal = 0;
  CaptureOneChannel noTarget(&cfg);
  input = 1;
  EXPECT_EQ(noTarget.CaptureStatus(), 1);
  EXPECT_EQ(noTarget.lastVal(), 1);

  CaptureOneChannel fromNull(nullptr);
  EXPECT_EQ(fromNull.CaptureStatus(), 0);
}

TEST(CaptureChannel, WiderKindsReadTheWholeValue) {
  std::uint16_t half = 0;
  std::int32_t full = 0;
  std::int32_t target = kUntouched;
  inputChannelCfg cfg;
  cfg.captureType = CaptureVal;
  cfg.dst = &target;
  cfg.matchVal = 0x1234;
  cfg.lastVal = 0;
  cfg.inputType = statusIutput_U16;
  cfg.src = &half;
  CaptureOneChannel u16(&cfg);
  half = 0x1234;
  EXPECT_EQ(u16.CaptureStatus(), 1);
  cfg.inputType = statusIutput_U32;
  cfg.src = &full;
  cfg.matchVal = 0x123456;
  CaptureOneChannel u32(&cfg);
  full = 0x123456;
  target = kUntouched;
  EXPECT_EQ(u32.CaptureStatus(), 1);
  EXPECT_EQ(target, 1);
}

struct OutputRig {
  std::int32_t source = 0;
  std::uint8_t byte = 0xEE;
  statusOutput make(std::int32_t force) {
    tagoutputChannelCfg cfg;
    cfg.outputType = statusOutput_U8;
    cfg.src = &source;
    cfg.dst = &byte;
    cfg.force = force;
    return statusOutput(&cfg);
  }
};

TEST(StatusOutput, UnforcedWritesOnlyOnAChangeOfItsSource) {
  OutputRig rig;
  statusOutput out = rig.make(0);
  out.OutputVal();
  EXPECT_EQ(rig.byte, 0) << "the first pass always writes";
  rig.byte = 0xEE;
  out.OutputVal();
  EXPECT_EQ(rig.byte, 0xEE) << "unchanged source: nothing written";
  rig.source = 1;
  out.OutputVal();
  EXPECT_EQ(rig.byte, 1);
  rig.source = 5;
  out.OutputVal();
  EXPECT_EQ(rig.byte, 0) << "not the match value";
}

TEST(StatusOutput, ForcedRewritesEveryPass) {
  OutputRig rig;
  rig.source = 1;
  statusOutput out = rig.make(1);
  for (int i = 0; i < 3; ++i) {
    rig.byte = 0;
    out.OutputVal();
    EXPECT_EQ(rig.byte, 1) << "pass " << i << ": another writer's byte is overridden";
  }
}

TEST(StatusOutput, KindsAndMissingParts) {
  std::int32_t source = 1;
  std::uint16_t word = 0;
  tagoutputChannelCfg cfg;
  cfg.outputType = statusOutput_U16;
  cfg.matchingVal = 0x1234;
  cfg.src = &source;
  cfg.dst = &word;
  statusOutput wide(&cfg);
  wide.OutputVal();
  EXPECT_EQ(word, 0x1234);

  std::uint8_t byte = 0xEE;
  cfg.outputType = statusOutput_Log;
  cfg.dst = &byte;
  statusOutput logOnly(&cfg);
  logOnly.OutputVal();
  EXPECT_EQ(byte, 0xEE) << "kind 0 only logs";

  statusOutput fromNull(nullptr);
  for (int i = 0; i < 200; ++i) fromNull.OutputVal();
  statusOutput plain;
  plain.OutputVal();
}

}  // namespace
