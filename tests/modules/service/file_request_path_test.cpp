#include <gtest/gtest.h>

#include "service/file_request_path.h"

namespace zelor::modules::service {
namespace {

TEST(FileRequestPath, SplitsTheUriIntoItsNonEmptySegments) {
  struct Case {
    const char* uri;
    std::vector<std::string> segments;
  };
  const Case cases[] = {
      {"/file/read/settings/common.json", {"file", "read", "settings", "common.json"}},
      {"//file///read/", {"file", "read"}},
      {"/", {}},
      {"", {}},
      {"file", {"file"}},
      {"/file/read/a.json?x=1", {"file", "read", "a.json?x=1"}},
  };
  for (const Case& c : cases) EXPECT_EQ(splitUri(c.uri), c.segments) << c.uri;
}

TEST(FileRequestPath, NamesTheFileFromTheSlashAfterTheOperation) {
  struct Case {
    const char* uri;
    std::optional<std::string> path;
  };
  const std::string project = "/zelor/userdata/project";
  const Case cases[] = {
      {"/file/read/settings/common.json", project + "/settings/common.json"},
      {"/file/write/a/b.txt", project + "/a/b.txt"},
      {"/file/delete/", project + "/"},
      {"/file/read/a%20b", project + "/a%20b"},
      {"/file/read", std::nullopt},
      {"/file/rea", std::nullopt},
      {"/file/readme", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(filePathOf(c.uri), c.path) << c.uri;
}

TEST(FileRequestPath, RefusesDotDotAnywhere) {
  EXPECT_TRUE(containsDotDot("/zelor/userdata/project/../x"));
  EXPECT_TRUE(containsDotDot("/zelor/userdata/project/a..b"));
  EXPECT_FALSE(containsDotDot("/zelor/userdata/project/a.b/c.json"));
}

}  // namespace
}  // namespace zelor::modules::service
