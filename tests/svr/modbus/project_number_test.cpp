// Which project names stand for a project number in holding register 1281.
#include "modbus/project_number.h"

#include <gtest/gtest.h>

TEST(ProjectNumber, OnlyDecimalDigitsWithAValueOneTo65535Count) {
  const struct {
    const char* name;
    int number;
  } cases[] = {
      {"7", 7},     {"007", 7},   {"65535", 65535}, {"1", 1},  {"0000000000000000000042", 42},
      {"", 0},      {"0", 0},     {"000", 0},       {"abc", 0}, {"7a", 0},
      {"70000", 0}, {"65536", 0}, {"-7", 0},        {"+7", 0},  {" 7", 0},
      {"7 ", 0},    {"99999999999999999999", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(projectNumberOf(c.name), c.number) << '"' << c.name << '"';
}
