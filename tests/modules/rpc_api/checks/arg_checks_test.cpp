// The argument checks of the remote commands: number and integer rules, the
// count and range checks with their error ids, digit extraction and split.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rpc_api/checks/arg_checks.h"

namespace zelor::modules::rpcExecuteApis {
namespace {

constexpr const char* kPreset = "0,{},";

TEST(IsNumberStr, AcceptsOnlySignedDecimalsWithAnInnerDot) {
  struct Row {
    const char* text;
    bool number;
  };
  const Row rows[] = {
      {"12", true},   {"-12", true},   {"12.5", true}, {"-12.5", true}, {"-.5", true}, {"0", true},
      {".5", false},  {"12.", false},  {"1.2.3", false}, {"+1", false}, {"1e3", false}, {"", false},
      {"-", false},   {"-12.", false}, {"1 2", false},  {"--1", false}, {"1-", false}, {".", false},
  };
  for (const Row& row : rows) EXPECT_EQ(isNumberStr(row.text), row.number) << '"' << row.text << '"';
}

TEST(IsDouble, FollowsTheNumberRuleAndNamesTheFirstBadPosition) {
  struct Row {
    Args args;
    bool ok;
    std::string reply;
  };
  const std::vector<Row> rows = {
      {{"1", "-2.5", "0"}, true, kPreset},
      {{"0.00000", "0.000000000", "0.0"}, true, kPreset},
      {{"5abc"}, true, kPreset},  // begins with a non-zero number
      {{"1", "2", "00"}, false, "-30003,{},"},
      {{"1", "2", "-0"}, false, "-30003,{},"},
      {{"1", "2", "abc"}, false, "-30003,{},"},
      {{"0."}, false, "-30001,{},"},
      {{"0.0000000000"}, false, "-30001,{},"},  // ten zeros
      {{"1", "", "x"}, false, "-30002,{},"},    // the first failure counts
      {{}, false, kPreset},
  };
  for (const Row& row : rows) {
    std::string reply = kPreset;
    EXPECT_EQ(isDouble(row.args, reply), row.ok) << ::testing::PrintToString(row.args);
    EXPECT_EQ(reply, row.reply) << ::testing::PrintToString(row.args);
  }
}

TEST(IsDouble, RangeFormCountsPositionsInTheWholeList) {
  struct Row {
    std::size_t first, end;
    bool ok;
    std::string reply;
  };
  const Args args = {"x", "1", "2", "y", "3"};
  const std::vector<Row> rows = {
      {1, 3, true, kPreset},       {1, 4, false, "-30004,{},"}, {0, 2, false, "-30001,{},"},
      {3, 3, false, kPreset},      {4, 2, false, kPreset},      {4, 5, true, kPreset},
      {4, 7, false, "-30006,{},"},  // a position past the list is no number
  };
  for (const Row& row : rows) {
    std::string reply = kPreset;
    EXPECT_EQ(isDouble(args, row.first, row.end, reply), row.ok) << row.first << ".." << row.end;
    EXPECT_EQ(reply, row.reply) << row.first << ".." << row.end;
  }
}

TEST(IsDouble, RangeFormPrintsEachArgumentThatPasses) {
  std::string reply = kPreset;
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(isDouble({"x", "1.5", "2", "y"}, 1, 4, reply));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "tmp:1.5\ntmp:2\n");
}

TEST(IsInteger, WholeTextMustBeAnOptionallySignedRunOfDigits) {
  struct Row {
    Args args;
    bool ok;
    std::string reply;
  };
  const std::vector<Row> rows = {
      {{"", "-", "-007", "42"}, true, kPreset},
      {{"1", "1.5"}, false, "-30002,{},"},
      {{"+1"}, false, "-30001,{},"},
      {{"1", "2", "3", "1e3"}, false, "-30004,{},"},
      {{"--1"}, false, "-30001,{},"},
      {{"1-"}, false, "-30001,{},"},
      {{}, false, kPreset},
  };
  for (const Row& row : rows) {
    std::string reply = kPreset;
    EXPECT_EQ(isInteger(row.args, reply), row.ok) << ::testing::PrintToString(row.args);
    EXPECT_EQ(reply, row.reply) << ::testing::PrintToString(row.args);
  }
}

TEST(IsInteger, RangeFormCountsPositionsInTheWholeListAndPrintsNothing) {
  const Args args = {"a", "1", "-2", "b"};
  std::string reply = kPreset;
  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(isInteger(args, 1, 3, reply));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(reply, kPreset);
  EXPECT_FALSE(isInteger(args, 2, 4, reply));
  EXPECT_EQ(reply, "-30004,{},");
  reply = kPreset;
  EXPECT_FALSE(isInteger(args, 2, 2, reply));
  EXPECT_EQ(reply, kPreset);
}

TEST(IsParamsCountOk, ComparesTheWholeCountWithTheBounds) {
  struct Row {
    std::uint8_t min, max;
    std::size_t count;
    bool ok;
  };
  const Row rows[] = {
      {4, 6, 3, false}, {4, 6, 4, true},  {4, 6, 5, true},   {4, 6, 6, true},   {4, 6, 7, false},
      {6, 4, 4, false}, {6, 4, 5, false}, {6, 4, 6, false},  {1, 1, 1, true},   {1, 1, 0, false},
      {1, 1, 2, false}, {0, 0, 0, true},  {1, 1, 256, false}, {1, 1, 257, false}, {0, 0, 256, false},
      {1, 4, 260, false},
      {0, 255, 255, true}, {0, 255, 256, false},
  };
  for (const Row& row : rows) {
    std::string reply = kPreset;
    const std::string where = std::to_string(row.min) + ".." + std::to_string(row.max) + " count " +
                              std::to_string(row.count);
    EXPECT_EQ(isParamsCountOk(row.min, row.max, row.count, reply), row.ok) << where;
    EXPECT_EQ(reply, row.ok ? kPreset : "-20000,{},") << where;
  }
}

template <typename T>
void expectRange(T value, T min, T max, std::size_t position, bool ok) {
  std::string reply = kPreset;
  EXPECT_EQ(isParamsRangeOk<T>(value, min, max, position, reply), ok) << +value << " in " << +min << ".." << +max;
  EXPECT_EQ(reply, ok ? std::string(kPreset) : "-" + std::to_string(40000 + position) + ",{},") << +value;
}

TEST(IsParamsRangeOk, BoundsIncludedNaNRefusedErrorNamesThePosition) {
  expectRange<int>(0, 1, 100, 5, false);
  expectRange<int>(101, 1, 100, 5, false);
  expectRange<int>(1, 1, 100, 5, true);
  expectRange<int>(100, 1, 100, 5, true);
  expectRange<int>(-1, 0, 9, 0, false);
  expectRange<float>(1.5f, 0.0f, 1.5f, 1, true);
  expectRange<float>(std::nextafter(1.5f, 2.0f), 0.0f, 1.5f, 1, false);
  expectRange<float>(std::numeric_limits<float>::quiet_NaN(), -1e30f, 1e30f, 2, false);
  expectRange<double>(std::numeric_limits<double>::quiet_NaN(), -1e300, 1e300, 3, false);
  expectRange<double>(std::numeric_limits<double>::infinity(), 0.0, 1000.0, 1, false);
  expectRange<double>(1000.0, 0.0, 1000.0, 1, true);
  expectRange<unsigned int>(7u, 0u, 5u, 4, false);
  expectRange<unsigned int>(5u, 0u, 5u, 4, true);
  expectRange<unsigned char>(255, 0, 254, 6, false);
  expectRange<unsigned char>(0, 0, 254, 6, true);
}

TEST(GetDigitsFromStr, FindsEveryNumberLeftToRightAndPrintsEach) {
  struct Row {
    std::string text;
    std::vector<std::string> digits;
  };
  const std::vector<Row> rows = {
      {"SpeedJ=50", {"50"}},
      {"CP=-3", {"-3"}},
      {"x=1.5y=2", {"1.5", "2"}},
      {"CP=5.", {"5."}},
      {"CP=", {}},
      {"a-b", {"-"}},
      {"1-2", {"1", "-2"}},
      {"", {}},
  };
  for (const Row& row : rows) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(getDigitsFromStr(row.text), row.digits) << row.text;
    std::string printed;
    for (const std::string& d : row.digits) printed += "\"" + d + "\"\n";
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), printed) << row.text;
  }
}

TEST(Split, ReadsPiecesAsALineReaderWould) {
  struct Row {
    std::string text;
    std::vector<std::string> pieces;
  };
  const std::vector<Row> rows = {
      {"", {}},
      {"a", {"a"}},
      {"a.b.c", {"a", "b", "c"}},
      {"a.", {"a"}},
      {"a..b", {"a", "", "b"}},
      {".a", {"", "a"}},
      {"192.168.1.10", {"192", "168", "1", "10"}},
  };
  for (const Row& row : rows) EXPECT_EQ(split(row.text, '.'), row.pieces) << row.text;
}

TEST(GetIntAndGetDouble, ConvertLikeTheCLibraryAndHoldIntsInRange) {
  EXPECT_EQ(getInt("42"), 42);
  EXPECT_EQ(getInt("-7x"), -7);
  EXPECT_EQ(getInt("08"), 8);  // base 10, not octal
  EXPECT_EQ(getInt("abc"), 0);
  // 2^32 + 50 must not wrap to 50 and pass a 1..100 check.
  EXPECT_EQ(getInt("4294967346"), std::numeric_limits<int>::max());
  EXPECT_EQ(getInt("-4294967346"), std::numeric_limits<int>::min());
  EXPECT_DOUBLE_EQ(getDouble("1.25"), 1.25);
  EXPECT_DOUBLE_EQ(getDouble("5abc"), 5.0);
  EXPECT_TRUE(std::isnan(getDouble("nan")));
}

}  // namespace
}  // namespace zelor::modules::rpcExecuteApis
