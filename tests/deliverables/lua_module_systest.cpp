// The stock Lua 5.3 interpreter finds and loads the script plug-in.
#include <string>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "process.h"

TEST(LuaModule, RequireFindsThePlugin) {
  const std::string script = "package.cpath = '" + std::string(zelor::test::built::kPluginDir) +
                             "/?.so;' .. package.cpath\n"
                             "local m = require 'libquillonPlugin'\n"
                             "print(type(m))\n";
  // A sanitized module needs the sanitizer runtime loaded before the interpreter starts.
  std::vector<std::string> argv{"/usr/bin/env"};
  if (*zelor::test::built::kAsanRuntime != '\0') {
    argv.push_back(std::string("LD_PRELOAD=") + zelor::test::built::kAsanRuntime);
    argv.push_back("ASAN_OPTIONS=detect_leaks=0");
  }
  argv.insert(argv.end(), {"lua5.3", "-"});
  const auto r = zelor::test::runProcess(argv, script);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "table\n") << r.err;
}

// The module runs on the interpreter's Lua core; a second core of its own
// (liblua among its needed libraries) would break every script.
TEST(LuaModule, NeedsNoLuaLibraryOfItsOwn) {
  const auto r = zelor::test::runProcess({"/usr/bin/env", "readelf", "-d", zelor::test::built::kPlugin});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("(NEEDED)"), std::string::npos);
  EXPECT_EQ(r.out.find("liblua"), std::string::npos) << r.out;
}
