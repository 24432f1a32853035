#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "service/identify_service.h"
#include "support/brevan_rig.h"

namespace zelor::modules::service {
namespace {

namespace fs = std::filesystem;
using zelor::test::readFile;
using zelor::test::TempDir;

void write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

TEST(IdentificationFiles, MovesRegularFilesAndKeepsWhatCouldNotBeCopied) {
  TempDir dir;
  const fs::path src = fs::path(dir.path()) / "tmp";
  const fs::path dest = fs::path(dir.path()) / "identify";
  fs::create_directories(src);
  fs::create_directories(dest);
  write(src / "identify1.csv", "1,2\n");
  write(src / "identify2.csv", "3,4\n");
  write(src / "other.csv", "x");
  write(dir.path() + "/target.csv", "linked");
  fs::create_symlink(dir.path() + "/target.csv", src / "identify_link.csv");
  fs::create_directories(src / "identify_dir");
  write(dest / "identify1.csv", "old content that is longer");

  EXPECT_EQ(moveIdentificationFiles(src.string(), "identify", dest.string() + "/"), 3);
  EXPECT_EQ(readFile(dest / "identify1.csv"), "1,2\n");
  EXPECT_EQ(readFile(dest / "identify2.csv"), "3,4\n");
  EXPECT_EQ(readFile(dest / "identify_link.csv"), "linked");
  EXPECT_FALSE(fs::is_symlink(dest / "identify_link.csv"));
  EXPECT_FALSE(fs::exists(src / "identify1.csv"));
  EXPECT_FALSE(fs::exists(src / "identify2.csv"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(src / "identify_link.csv")));
  EXPECT_TRUE(fs::exists(dir.path() + "/target.csv")) << "a link's target is not removed";
  EXPECT_TRUE(fs::is_directory(src / "identify_dir"));
  EXPECT_FALSE(fs::exists(dest / "identify_dir"));
  EXPECT_TRUE(fs::exists(src / "other.csv"));
  EXPECT_FALSE(fs::exists(dest / "other.csv"));

  // Nothing to move: nothing happens.
  EXPECT_EQ(moveIdentificationFiles(src.string(), "identify", dest.string() + "/"), 0);

  // A destination that cannot take the files: the sources stay.
  write(src / "identify3.csv", "5,6\n");
  EXPECT_EQ(moveIdentificationFiles(src.string(), "identify", dir.path() + "/missing/"), 0);
  EXPECT_EQ(readFile(src / "identify3.csv"), "5,6\n");
  EXPECT_FALSE(fs::exists(dir.path() + "/missing"));
}

}  // namespace
}  // namespace zelor::modules::service
