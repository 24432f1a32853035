// A robot program started the way the data server's start line does: the
// installed interpreter on the installed start script.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "install_paths.h"
#include "support/fake_request_service.h"
#include "support/lua_run.h"

namespace zelor::test {
namespace {

namespace fs = std::filesystem;

std::string buildDir() { return fs::path(built::kPlcHost).parent_path().parent_path().string(); }

TEST(PluginInstalled, TheStartScriptRunsTeachPointGlobalAndScriptFilesInOrder) {
  const ProcessResult install =
      runProcess({std::string(built::kSourceDir) + "/scripts/install-root.sh", buildDir()}, {}, 60s);
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
  ASSERT_TRUE(fs::exists(std::string(paths::kLuaDir) + "/zelor.lua"));
  ASSERT_TRUE(fs::exists(paths::kApiIni));

  FakeRequestService fake;
  fake.setLeftSpace(10);
  fake.setCurrentIndex(31);
  fs::create_directories("/tmp/prog");
  writeFile("/tmp/prog/point.lua", "io.write('point\\n')\n");
  writeFile("/tmp/prog/global.lua", "io.write('global\\n')\n");
  writeFile("/tmp/prog/src0.lua", "io.write('index ', GetQueuedCmdCurrentIndex(), '\\n')\n");
  writeFile("/tmp/prog/src1.lua", "io.write('second\\n')\n");

  std::vector<std::string> argv{"/usr/bin/env"};
  if (*built::kAsanRuntime != '\0') argv.push_back(std::string("LD_PRELOAD=") + built::kAsanRuntime);
  argv.insert(argv.end(), {paths::kLuaInterpreter, std::string(paths::kLuaDir) + "/zelor.lua", "127.0.0.1",
                           "/tmp/prog/src0.lua,/tmp/prog/src1.lua", "/tmp/prog/global.lua", "/tmp/prog/point.lua"});
  const ProcessResult r = runProcess(argv, {}, 20s);
  fs::remove_all("/tmp/prog");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
  const std::size_t point = r.out.find("\npoint\n");
  const std::size_t global = r.out.find("\nglobal\n");
  const std::size_t index = r.out.find("\nindex 31\n");
  const std::size_t second = r.out.find("\nsecond\n");
  ASSERT_NE(point, std::string::npos) << r.out;
  ASSERT_NE(global, std::string::npos) << r.out;
  ASSERT_NE(index, std::string::npos) << r.out;
  ASSERT_NE(second, std::string::npos) << r.out;
  EXPECT_LT(point, global);
  EXPECT_LT(global, index);
  EXPECT_LT(index, second);
  EXPECT_EQ(fake.count(51), 1u) << "the start script ran init";
}

}  // namespace
}  // namespace zelor::test
