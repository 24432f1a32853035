// Points written as text.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "point_text.h"

namespace {

TEST(PointText, FourNumbersBetweenBraces) {
  struct Case {
    const char* text;
    int result;
    double point[4];
  };
  const Case cases[] = {
      {"{1,2,3,4}", 0, {1, 2, 3, 4}},
      {"{1,2}", 0, {1, 2, 0, 0}},
      {"{-1.5, 2e1 ,3,4,99}", 0, {-1.5, 20, 3, 4}},
      {"{}", 0, {0, 0, 0, 0}},
      {"1,2,3,4}", -1, {9, 9, 9, 9}},
      {"{1,2,3,4", -1, {9, 9, 9, 9}},
  };
  for (const Case& c : cases) {
    double point[4] = {9, 9, 9, 9};
    EXPECT_EQ(parsePointData(c.text, point), c.result) << c.text;
    for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(point[i], c.point[i]) << c.text << " " << i;
  }
  double point[4];
  EXPECT_EQ(parsePointData(nullptr, point), -1);
  EXPECT_EQ(parsePointData("{1}", nullptr), -1);
}

TEST(PointText, PartsBetweenBracesEmptyOnesIncluded) {
  std::vector<std::string> parts;
  EXPECT_EQ(parseMultiPointData("{a;b;}", parts), 3);
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", ""}));
  // Appended to what the list holds; text outside the braces stays in the end parts.
  EXPECT_EQ(parseMultiPointData("x{c}y", parts), 4);
  EXPECT_EQ(parts.back(), "xcy");
  EXPECT_EQ(parseMultiPointData("{a;b", parts), -1);
  EXPECT_EQ(parseMultiPointData(nullptr, parts), -1);
  EXPECT_EQ(parts.size(), 4u);
}

}  // namespace
