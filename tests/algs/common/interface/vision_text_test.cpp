// Splitting and number reading of the camera's frame text.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/interface/vision_text.h"

namespace {

TEST(VisionText, SplitKeepsEmptyPieces) {
  struct Case {
    std::string text;
    int result;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"", 0, {}},
      {"0", 1, {"0"}},
      {"0;1,2,3,4", 1, {"0", "1,2,3,4"}},
      {"0;", 1, {"0", ""}},
      {";", 1, {"", ""}},
      {"0;;1,2,3,4", 1, {"0", "", "1,2,3,4"}},
      {";;;", 1, {"", "", "", ""}},
  };
  VisionTextPieces pieces;
  for (const Case& c : cases) {
    // What an earlier text left is replaced.
    parseCnvVisonData("a;b;c;d;e;f", pieces);
    EXPECT_EQ(parseCnvVisonData(c.text, pieces), c.result) << '"' << c.text << '"';
    EXPECT_EQ(pieces.total, c.pieces.size()) << '"' << c.text << '"';
    ASSERT_EQ(pieces.kept, c.pieces.size()) << '"' << c.text << '"';
    for (std::size_t i = 0; i < pieces.kept; ++i) EXPECT_EQ(pieces.piece[i], c.pieces[i]) << '"' << c.text << '"';
  }
}

// Past the fixed capacity the pieces are counted, not kept.
TEST(VisionText, SplitKeepsTheFirstPiecesAndCountsAll) {
  std::string text = "0";
  for (int i = 1; i <= 150; ++i) text += ";" + std::to_string(i);
  VisionTextPieces pieces;
  EXPECT_EQ(parseCnvVisonData(text, pieces), 1);
  EXPECT_EQ(pieces.total, 151u);
  ASSERT_EQ(pieces.kept, VisionTextPieces::kCapacity);
  EXPECT_EQ(pieces.piece[0], "0");
  EXPECT_EQ(pieces.piece[VisionTextPieces::kCapacity - 1], std::to_string(VisionTextPieces::kCapacity - 1));
}

TEST(VisionText, DecimalsFollowTheGrammarOnly) {
  struct Case {
    const char* field;
    double value;
  };
  const Case cases[] = {
      {"812.5", 812.5},   {"  -12", -12.0},   {"+3.25", 3.25},    {".5", 0.5},      {"5.", 5.0},
      {"1e3", 1000.0},    {"1.5E-2", 0.015},  {"2e", 2.0},        {"2e+", 2.0},     {"7x", 7.0},
      {"37.2\r\n", 37.2}, {"\t4 5", 4.0},     {"nan", 0.0},       {"inf", 0.0},     {"-inf", 0.0},
      {"0x10", 0.0},      {"", 0.0},          {"abc", 0.0},       {"-", 0.0},       {".", 0.0},
      {"1,5", 1.0},       {"1.2.3", 1.2},     {"-0.0", -0.0},     {"123456789012", 123456789012.0},
  };
  for (const Case& c : cases) {
    const double got = ReadVisionDecimal(c.field);
    EXPECT_EQ(got, c.value) << '"' << c.field << '"';
    EXPECT_TRUE(std::isfinite(got)) << '"' << c.field << '"';
  }
  EXPECT_TRUE(std::isinf(ReadVisionDecimal("1e400"))) << "beyond double's range the grammar still yields a number";
  // Long numbers read whole, on either side of the conversion's stack buffer.
  for (std::size_t zeros : {100u, 126u, 127u, 128u, 400u}) {
    EXPECT_EQ(ReadVisionDecimal(std::string(zeros, '0') + "1.5,7"), 1.5) << zeros << " leading zeros";
    EXPECT_EQ(ReadVisionDecimal("-1." + std::string(zeros, '0') + "1"), -1.0) << zeros << " zeros after the point";
  }
}

TEST(VisionText, IntegersAndBytes) {
  struct Case {
    const char* field;
    long integer;
    std::uint8_t byte;
  };
  const Case cases[] = {
      {"0", 0, 0},       {"2", 2, 2},           {" -1", -1, 255},         {"+7", 7, 7},
      {"300", 300, 44},  {"256", 256, 0},       {"-256", -256, 0},        {"-257", -257, 255},
      {"1.9", 1, 1},     {"x", 0, 0},           {"", 0, 0},               {"12abc", 12, 12},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadVisionInteger(c.field), c.integer) << '"' << c.field << '"';
    EXPECT_EQ(ReadVisionByte(c.field), c.byte) << '"' << c.field << '"';
  }
  // Any length: integers saturate far outside the conveyor numbers, bytes keep the low 8 bits.
  EXPECT_EQ(ReadVisionInteger("99999999999999999999"), 1000000000);
  EXPECT_EQ(ReadVisionInteger("-99999999999999999999"), -1000000000);
  // Twenty nines modulo 256: (10^20 - 1) mod 256 = 255, since 10^20 is a multiple of 256.
  EXPECT_EQ(ReadVisionByte("99999999999999999999"), 255);
  EXPECT_EQ(ReadVisionByte("-99999999999999999999"), 1);
}

TEST(VisionText, ObjectPieces) {
  struct Case {
    const char* piece;
    VisionPieceResult result;
    stVisionTracePoint point;  // when a point
  };
  const stVisionTracePoint before{1.0f, 2.0f, 3.0f, 4};
  const Case cases[] = {
      {"812.5,403,37.2,1", kPiecePoint, {812.5f, 403.0f, 37.2f, 1}},
      {" 1 , 2 , 3 , 300 ", kPiecePoint, {1.0f, 2.0f, 3.0f, 44}},
      {"1,2,3,-1,ignored,more", kPiecePoint, {1.0f, 2.0f, 3.0f, 255}},
      {"nan,inf,0x10,2", kPiecePoint, {0.0f, 0.0f, 0.0f, 2}},
      {"1,2,3,4\r\n", kPiecePoint, {1.0f, 2.0f, 3.0f, 4}},
      {"", kPieceMalformed, before},
      {"1,2,3", kPieceMalformed, before},
      {"1,,3,4", kPieceMalformed, before},
      {",2,3,4", kPieceMalformed, before},
      {"1,2,3,4,", kPieceMalformed, before},
      {"1,2,3,4,,6", kPieceMalformed, before},
      {"1e40,2,3,4", kPieceNotFinite, before},
      {"1,-1e40,3,4", kPieceNotFinite, before},
      {"1,2,1e400,4", kPieceNotFinite, before},
      {"3.4e38,2,3,4", kPiecePoint, {3.4e38f, 2.0f, 3.0f, 4}},
  };
  for (const Case& c : cases) {
    stVisionTracePoint point = before;
    EXPECT_EQ(getPointFromCnvVisonFrame(c.piece, point), c.result) << '"' << c.piece << '"';
    EXPECT_EQ(point.x, c.point.x) << '"' << c.piece << '"';
    EXPECT_EQ(point.y, c.point.y) << '"' << c.piece << '"';
    EXPECT_EQ(point.r, c.point.r) << '"' << c.piece << '"';
    EXPECT_EQ(point.attribute, c.point.attribute) << '"' << c.piece << '"';
  }
}

}  // namespace
