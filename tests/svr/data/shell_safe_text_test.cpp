#include "subProcess/data/shell_safe_text.h"

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(ShellSafeText, RefusesWhatKeepsAMeaningInsideDoubleQuotes) {
  struct Case {
    std::string text;
    bool safe;
  };
  const Case cases[] = {
      {"demo", true},
      {"my project-2 (copy)", true},
      {"\xe6\xb5\x8b\xe8\xaf\x95", true},  // UTF-8
      {"it's", true},
      {"", true},
      {"a\"b", false},
      {"a\\b", false},
      {"a$(touch /tmp/p)", false},
      {"a`id`", false},
      {"a\nb", false},
      {"a\tb", false},
      {std::string("a\x7f", 2), false},
      {std::string("a\0b", 3), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(isShellSafeText(c.text), c.safe);
  }
}

}  // namespace
