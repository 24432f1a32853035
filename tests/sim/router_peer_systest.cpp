// The probe of segment 12: frames written with it are read back with it.
#include <string>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "process.h"

namespace {

using zelor::test::runProcess;

zelor::test::ProcessResult peer(std::vector<std::string> args) {
  args.insert(args.begin(), zelor::test::built::kRouterPeer);
  return runProcess(args);
}

TEST(RouterPeer, WritesFramesAsGivenAndReadsThemOnce) {
  const auto empty = peer({"read", "11"});
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_EQ(empty.out, "empty\n");

  // A write on 11 drops the frame waiting on 12; 13 keeps its own.
  ASSERT_EQ(peer({"write", "12", "00:02:01:02"}).exitCode, 0);
  ASSERT_EQ(peer({"write", "13", "0001", "7f"}).exitCode, 0);
  ASSERT_EQ(peer({"write", "11", "0003aabbcc"}).exitCode, 0);
  const auto got = peer({"read", "11"});
  EXPECT_EQ(got.exitCode, 0) << got.err;
  EXPECT_EQ(got.out, "00 03 aa bb cc\n");
  EXPECT_EQ(peer({"read", "11"}).out, "empty\n");
  EXPECT_EQ(peer({"read", "12"}).out, "empty\n");
  EXPECT_EQ(peer({"read", "13"}).out, "00 01 7f\n");

  // A frame whose length does not match its bytes goes out raw, as given.
  ASSERT_EQ(peer({"write", "14", "00 05 01"}).exitCode, 0);
  EXPECT_EQ(peer({"read", "14"}).out.substr(0, 9), "00 05 01 ");
}

TEST(RouterPeer, RefusesABadCommandLine) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"read"}, {"read", "x"}, {"read", "300"}, {"write", "4"}, {"write", "4", "0g"}, {"write", "4", "012"},
           {"peek", "4"}}) {
    EXPECT_EQ(peer(args).exitCode, 2);
  }
}

}  // namespace
