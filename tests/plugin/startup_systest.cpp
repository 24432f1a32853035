// "init" in Debian's lua5.3: the start-up settings reach the request channel
// in order, the process id reaches the router segment, and the start-up runs
// once per process.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/transport/segment.h"
#include "install_paths.h"
#include "json/json_project_reader.h"
#include "support/fake_request_service.h"
#include "support/lua_run.h"

namespace zelor::test {
namespace {

std::string projectFile(const char* relative) { return std::string(paths::kProjectDir) + "/" + relative; }

std::string triple(double def) {
  return "{\"def\": " + std::to_string(def) + ", \"min\": 0, \"max\": 100}";
}

void writeFixture() {
  writeFile(projectFile("properties/ratio_default.json"),
            "{\"playback\": {\"joint_vel\": " + triple(50) + ", \"joint_acc\": " + triple(40) +
                ", \"joint_jerk\": " + triple(30) + ", \"coord_vel\": " + triple(60) + ", \"coord_acc\": " +
                triple(20) + ", \"coord_jerk\": " + triple(10) + ", \"arch_startHeight\": " + triple(5) +
                ", \"arch_endHeight\": " + triple(6) + ", \"arch_zLimit\": " + triple(7) + "}}");
  writeFile(projectFile("settings/coordinate/user.json"), "[{\"enable\": true, \"params\": [1, 2, 3, 4, 0, 0]}]");
  writeFile(projectFile("settings/coordinate/tool.json"), "[{\"enable\": true, \"params\": [0, 0, 10, 0, 0, 0]}]");
}

std::vector<std::uint8_t> floats(std::initializer_list<float> values) {
  std::vector<std::uint8_t> out;
  for (float v : values) {
    std::uint8_t b[4];
    std::memcpy(b, &v, 4);
    out.insert(out.end(), b, b + 4);
  }
  return out;
}

std::vector<std::uint8_t> frame(std::uint32_t index, std::initializer_list<float> values) {
  std::vector<std::uint8_t> out(4);
  std::memcpy(out.data(), &index, 4);
  const std::vector<std::uint8_t> rest = floats(values);
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

void expectCleanEnd(const ProcessResult& r) {
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
}

// The interpreter's own process id, as a script line.
constexpr const char* kWritePid = "io.write('pid ', io.open('/proc/self/stat'):read('n'), '\\n')\n";

TEST(PluginStartup, InitSendsTheStartupSettingsInOrderAndReportsThePid) {
  writeFixture();
  FakeRequestService fake;
  fake.setLeftSpace(10);
  EXPECT_EQ(fake.semValue(0), 1);
  // Held open here, so the segment outlives the script.
  common::transport::Segment router(12);
  // Frame 0 as the project reader gives it (the library keeps frame 0 at the origin).
  JsonProjectReader reader;
  const float* user = reader.userCoord[0].params;
  const float* tool = reader.toolCoord[0].params;

  const ProcessResult r = runSrc0(std::string(kWritePid) +
                                  "io.write('first ', tostring(init(0)), '\\n')\n"
                                  "io.write('second ', tostring(init(0)), '\\n')\n");
  expectCleanEnd(r);
  EXPECT_NE(r.out.find("first true\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("second true\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" ************** lua is Initialized , return **************"), std::string::npos);

  struct Expected {
    std::uint16_t id;
    std::uint8_t control;
    std::vector<std::uint8_t> params;
  };
  const std::vector<Expected> expected = {
      {247, 0x00, {}},
      {51, 0x03, {0x00}},
      {83, 0x03, floats({50, 40, 30, 60, 60, 20, 20, 10, 10})},
      {87, 0x03, floats({5, 6, 7})},
      {250, 0x03, frame(0, {user[0], user[1], user[2], user[3]})},
      {251, 0x03, frame(0, {tool[0], tool[1], tool[2], tool[3]})},
  };
  const std::vector<SeenFrame> seen = fake.framesWithoutIndexQueries();
  ASSERT_EQ(seen.size(), expected.size()) << "the second init sends nothing";
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(seen[i].id(), expected[i].id) << i;
    EXPECT_EQ(seen[i].control(), expected[i].control) << i;
    EXPECT_EQ(seen[i].params(), expected[i].params) << i;
    EXPECT_EQ(seen[i].raw[0], 4) << "client 4";
  }

  // Segment 12, channel 6: the router frame [00 04][pid, little-endian].
  const std::size_t at = r.out.find("pid ");
  ASSERT_NE(at, std::string::npos) << r.out;
  const std::uint32_t pid = static_cast<std::uint32_t>(std::stoul(r.out.substr(at + 4)));
  std::vector<std::uint8_t> buffer(router.Conf().GetBlockBufSize());
  ASSERT_EQ(router.Read(6, buffer.data()), 6);
  const std::uint8_t expectedPid[6] = {0x00, 0x04, static_cast<std::uint8_t>(pid), static_cast<std::uint8_t>(pid >> 8),
                                       static_cast<std::uint8_t>(pid >> 16), static_cast<std::uint8_t>(pid >> 24)};
  EXPECT_EQ(std::memcmp(buffer.data(), expectedPid, 6), 0);

  EXPECT_EQ(fake.semValue(0), 1) << "the lock is free again";
  EXPECT_EQ(fake.semValue(9), 0) << "no reply is left waiting";
}

TEST(PluginStartup, InitOutsideZeroToFourStartsNothing) {
  FakeRequestService fake;
  fake.setLeftSpace(10);
  for (const char* n : {"5", "-1"}) {
    const ProcessResult r = runSrc0(std::string("io.write(tostring(init(") + n + ")), '\\n')\n");
    expectCleanEnd(r);
    EXPECT_NE(r.out.find("Init plugin lua failed, pix:" + std::string(n) + "\nfalse\n"), std::string::npos) << r.out;
  }
  EXPECT_TRUE(fake.frames().empty());
  EXPECT_EQ(fake.semValue(0), 1);
  EXPECT_EQ(fake.semValue(9), 0);
}

TEST(PluginStartup, AStaleReplyIsClearedBeforeTheFirstRequest) {
  FakeRequestService fake;
  fake.setLeftSpace(10);
  fake.setCurrentIndex(77);
  // A reply semaphore left raised by an earlier script would hand its reply
  // to the first request.
  dsem_v(fake.semaphores(), 9);
  dsem_v(fake.semaphores(), 9);
  const ProcessResult r = runSrc0("init(0)\nio.write(GetQueuedCmdCurrentIndex(), '\\n')\n");
  expectCleanEnd(r);
  EXPECT_NE(r.out.find("77\n"), std::string::npos) << r.out;
  EXPECT_EQ(fake.semValue(9), 0);
  EXPECT_EQ(fake.semValue(8), 1) << "raised once by the start";
}

}  // namespace
}  // namespace zelor::test
